// A logical statement as the reader delivers it: its physical lines as
// prepared (the first line and the continuation lines that follow it
// directly), its label, its source form, its keyword key and its kind.
// Rules read it and write lines; they never read further lines themselves.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Continuation.h"
#include "engine/OutputChannel.h"
#include "engine/TextUtilities.h"

namespace kvq {

// One physical line of a statement.
struct StatementLine {
  std::string text;
  // Numeric value of the label; 0 when there is none.
  int label = 0;
  // Exactly 6 characters: the label's digits placed so that column 6 stays
  // blank. Rules use it as columns 1 to 6 of a line that takes the label.
  std::string labelField = "      ";
  // The source form in force when the line was read.
  bool freeForm = false;
  // The line continues the statement of an earlier line (also a
  // continuation line that follows a comment line).
  bool continues = false;
  // Main-file lines read when this line was delivered (the line number of
  // the error descriptions).
  int inputLines = 0;
  // Include level of the file the line was read from (0: the main file).
  int depth = 0;
  LinePlace place;
};

enum class StatementKind {
  Comment,      // a comment line (also a converter directive)
  Conditional,  // a "!DEC$" line of conditional compilation
  Code,         // a statement to convert
  Written,      // the input ended inside an INTERFACE block: already written
};

class Statement {
 public:
  std::size_t size() const { return count_; }
  const StatementLine& line(std::size_t i) const { return lines_[i]; }
  const StatementLine& first() const { return lines_[0]; }
  const std::string& Text() const { return lines_[0].text; }
  int Label() const { return lines_[0].label; }
  bool FreeForm() const { return lines_[0].freeForm; }
  StatementKind Kind() const { return kind_; }
  // Blank-free, a to z upper-cased, the statement field of the first line;
  // empty for comment lines. Built once, when first asked for.
  const std::string& Key() const {
    if (!keyBuilt_) key_ = StatementKey(lines_[0].text, lines_[0].freeForm);
    keyBuilt_ = true;
    return key_;
  }
  // Key().starts_with(word); most tests end at the first letter, so the
  // key is not built for them.
  bool StartsWith(std::string_view word) const {
    if (keyBuilt_) return key_.starts_with(word);
    if (initial_ == 0) initial_ = KeyInitial(lines_[0].text, lines_[0].freeForm);
    return !word.empty() && word[0] == initial_ &&
           KeyStartsWith(lines_[0].text, word, lines_[0].freeForm);
  }
  // All lines joined into one (Continuation's join); the first line's text
  // when the statement has one line.
  const std::string& Joined() const {
    if (size() == 1) return lines_[0].text;
    if (!joinedBuilt_) {
      joined_ = StatementField(lines_[0].text, lines_[0].freeForm);
      for (std::size_t i = 1; i < size(); ++i)
        AppendContinuation(joined_, lines_[i].text, lines_[i].freeForm);
      joinedBuilt_ = true;
    }
    return joined_;
  }

 private:
  friend class SourceReader;
  StatementLine& Append() {
    if (count_ == lines_.size()) lines_.emplace_back();
    return lines_[count_++];
  }
  void Clear() {
    count_ = 0;
    keyBuilt_ = false;
    joinedBuilt_ = false;
    initial_ = 0;
  }

  // Storage is reused from statement to statement; only count_ lines count.
  std::vector<StatementLine> lines_{1};
  std::size_t count_ = 0;
  StatementKind kind_ = StatementKind::Comment;
  mutable std::string key_;
  mutable bool keyBuilt_ = false;
  mutable char initial_ = 0;  // the key's first character, once asked for; 0 before
  mutable std::string joined_;
  mutable bool joinedBuilt_ = false;
};

}  // namespace kvq
