// The current line of the conversion and what the reader knows about it.
// There is exactly one, owned by the SourceReader; every converting rule
// reads and rewrites it in place.
#pragma once

#include <string>

namespace kvq {

struct Statement {
  // The current line: a source line as prepared by the reader, or the text a
  // rule replaced it with (a translated directive, the DLL_MAIN head, a whole
  // statement joined from its continuation lines).
  std::string Text;
  // Numeric value of the label in columns 1 to 5; 0 when there is none.
  int Label = 0;
  // Exactly 6 characters: a blank, the label's digits, blanks. Rules use it
  // as columns 1 to 6 of a line that takes over the label.
  std::string LabelField = "      ";
  // Built by the last keyword test: Text from the statement field on,
  // blanks removed, a to z upper-cased.
  std::string LineKey;
  // 1-based column of the character NextChar returned last; 0 before the first.
  std::size_t ScanPos = 0;
  // Scanner mode: false skips blanks and upper-cases, true returns
  // characters as they stand.
  bool RawScan = false;
  // The character that ended the last name read by ScanName.
  char NameEnd = ' ';
  // Last non-blank character of Text; a blank when Text is empty.
  char LastChar = ' ';
  // LastChar of the previous current line.
  char PrevLastChar = ' ';
  // The current line ends in a free-form continuation mark.
  bool Continued = false;
  // Continued of the previous current line.
  bool PrevContinued = false;
};

}  // namespace kvq
