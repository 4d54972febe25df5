// The single channel through which every rule writes a line of converted
// output, and the single sink of what the engine finds wrong with a source.
// The run implements it over the destination file and its observer.
#pragma once

#include <string>
#include <string_view>

namespace kvq {

// A physical line of a source file: its name as shown and its 1-based number.
struct SourceLocation {
  std::string file;
  int line = 0;
};

// A line's place as numbers, turned into a file name only for a diagnostic.
struct LinePlace {
  int depth = 0;  // include level
  int line = 0;   // 1-based line number in that file
};

class OutputChannel {
 public:
  virtual ~OutputChannel() = default;
  // A line of the converted source, source lines and generated statements.
  // A line that begins " WARNING" is also reported as a warning.
  virtual void WriteOutputLine(std::string_view line) = 0;
  // The source line whose conversion the lines written next belong to: a
  // statement's first line, or a line after it that a rule takes over.
  virtual void ConvertingLine(const LinePlace& place) = 0;
  // A comment line the converter generates itself; a leading "C" becomes
  // "!" in either source form.
  virtual void WriteCommentLine(std::string_view line) = 0;
  // A problem that the output does not show by itself.
  virtual void Warn(const SourceLocation& where, std::string_view text) = 0;
};

}  // namespace kvq
