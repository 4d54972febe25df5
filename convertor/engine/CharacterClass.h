// Character tests of the converter. Text is 8-bit and taken as it stands:
// only the ASCII letters a to z have an upper case here.
#pragma once

#include <cstddef>

namespace kvq {

// Fixed form: columns 1 to 5 hold the label, column 6 the continuation
// mark, columns 7 to 72 the statement; generated lines stay within 72.
inline constexpr std::size_t kFixedFormLastColumn = 72;
inline constexpr std::size_t kStatementFieldColumn7 = 6;  // 0-based index of column 7
// Free form: the compiler reads 132 columns of a line; longer generated
// lines are continued.
inline constexpr std::size_t kFreeFormLastColumn = 132;

// What the scanner returns beyond the end of a line (carriage return).
inline constexpr char kEndMarker = '\r';
inline constexpr char kCtrlZ = '\x1a';

constexpr bool IsBlank(char c) {
  return c == ' ';
}
constexpr bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
constexpr bool IsUpperLetter(char c) {
  return c >= 'A' && c <= 'Z';
}
constexpr bool IsLowerLetter(char c) {
  return c >= 'a' && c <= 'z';
}
constexpr char ToUpper(char c) {
  return IsLowerLetter(c) ? static_cast<char>(c - 'a' + 'A') : c;
}
// Letters, digits and "_" continue a name.
constexpr bool IsNameChar(char c) {
  return IsUpperLetter(c) || IsLowerLetter(c) || IsDigit(c) || c == '_';
}

}  // namespace kvq
