// The labels of a unit's I/O error and end-of-file handlers. A unit may
// define the default labels itself after its first rewritten statement has
// jumped to them, so generated jumps are written as marks of the label's
// length; the output channel puts in the labels the unit ends up with.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "engine/ConversionSettings.h"

namespace kvq {

enum class Handler { Error, EndOfFile };

struct HandlerLabels {
  std::string error;
  std::string endOfFile;  // "9" and the error label
  const std::string& Of(Handler handler) const {
    return handler == Handler::Error ? error : endOfFile;
  }
};

// The labels from the error label setting.
HandlerLabels DefaultHandlerLabels(const ConversionSettings& settings);

// What a generated statement writes where it jumps to a handler: the
// label itself when ERRLAB= was given (the user's choice stays), else a
// mark of the same length, one mark byte per digit.
std::string HandlerReference(const ConversionSettings& settings, Handler handler);

// A piece of a mark in a line: a fixed-form split may leave the rest of a
// label to the next line, so a piece knows which digits it stands for.
struct MarkPiece {
  std::size_t at = 0;      // in the line
  std::size_t length = 0;  // digits
  Handler handler = Handler::Error;
  std::size_t digit = 0;  // the label's digit it begins with
};

// The mark bytes: the two line-end characters, which the reader never
// leaves inside a line, so that no byte of a source (a control character
// in a constant, for one) can be taken for a mark.
inline constexpr char kErrorMark = '\n';
inline constexpr char kEndOfFileMark = '\r';

// The first mark byte in line at or after from; npos when there is none.
// Every output line is searched: two vectorised scans, no per-byte loop.
inline std::size_t FindMark(std::string_view line, std::size_t from = 0) {
  if (from >= line.size()) return std::string_view::npos;
  const char* begin = line.data() + from;
  std::size_t size = line.size() - from;
  const void* error = std::memchr(begin, kErrorMark, size);
  const void* endOfFile =
      std::memchr(begin, kEndOfFileMark, error ? static_cast<const char*>(error) - begin : size);
  const char* first = static_cast<const char*>(endOfFile ? endOfFile : error);
  return first ? static_cast<std::size_t>(first - line.data()) : std::string_view::npos;
}

// Finds the marks of the lines given one after the other and puts in the
// labels; a mark cut at a line's end goes on at the next mark of its kind.
class MarkFiller {
 public:
  // Replaces the marks in line by labels; pieces (when given) receives
  // where they stood.
  void Fill(std::string& line, const HandlerLabels& labels,
            std::vector<MarkPiece>* pieces = nullptr);

 private:
  Handler cutHandler_ = Handler::Error;
  std::size_t cutDigit_ = 0;  // digits of a cut mark written already; 0: none
};

// The statement labels a unit defines (1 to 99999). A unit defines few:
// they are kept as a list, which a new unit empties without touching more
// memory than the last one used.
class DefinedLabels {
 public:
  void Note(int label) {
    if (label > 0 && label < kLimit) defined_.push_back(label);
  }
  bool Has(std::string_view label) const;
  void Clear() { defined_.clear(); }

 private:
  static constexpr int kLimit = 100000;
  std::vector<int> defined_;
};

// The default labels, or when the unit defines one of them the first
// labels from there on, of the same lengths, that it defines neither of.
HandlerLabels ChooseHandlerLabels(const ConversionSettings& settings, const DefinedLabels& defined);

}  // namespace kvq
