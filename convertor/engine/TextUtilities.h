// The small text helpers of the converter: tests and edits on one line that
// need no reader state. Text is 8-bit; only a to z have an upper case.
#pragma once

#include <string>
#include <string_view>

namespace kvq {

// The comment-line test. In fixed form a "C", "c" or "*" (not "*$") in
// column 1 makes a comment; in free form those letters begin statements.
// Both forms: an empty text, "!" not followed by "D", a text whose first
// non-blank character from column 2 on is "!", or one with nothing from
// column 2 on.
bool IsCommentLine(std::string_view text, bool freeForm);

// The keyword key of a line: blank-free, a to z upper-cased, the statement
// field (columns 7 to 72 in fixed form, the line in free form); empty for a
// comment line.
std::string StatementKey(std::string_view text, bool freeForm);
// The key of a statement joined from its lines: the whole text from the
// statement field on.
std::string JoinedStatementKey(std::string_view text, bool freeForm);
// The first character of the statement field's key, ignoring the comment
// test; a blank when the field is empty.
char KeyInitial(std::string_view text, bool freeForm);
// StatementKey(text, freeForm).starts_with(word), without building the key.
bool KeyStartsWith(std::string_view text, std::string_view word, bool freeForm);

// The index of the ")" that brings the bracket depth counted from `from`
// back to zero, outside apostrophe constants; npos when a trailing comment
// or the end of the text comes first.
std::size_t ClosingBracket(std::string_view text, std::size_t from);

// A prepared fixed-form line whose statement field ends inside a character
// constant (which its continuation line goes on with); the line is taken to
// begin outside constants.
bool EndsInsideConstant(std::string_view text);

// The value of a run of digits, read from its first `limit` digits at most
// so that no run overflows.
std::size_t DigitsValue(std::string_view digits, std::size_t limit = 9);

// A name a Fortran compiler takes: a letter, then letters, digits and "_",
// at most 63 characters.
bool IsFortranName(std::string_view name);

// Removes blanks at the end, or at both ends.
void TrimTrailingBlanks(std::string& text);
std::string_view TrimBlanks(std::string_view text);

std::string UpperCase(std::string_view text);
inline bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}
// Replaces the first occurrence of from, when there is one.
void ReplaceFirst(std::string& text, std::string_view from, std::string_view to);
// The last non-blank character; a blank when there is none.
char LastNonBlank(std::string_view text);

}  // namespace kvq
