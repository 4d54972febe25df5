// The single channel through which every rule writes a line of converted
// output. The run implements it over the destination file.
#pragma once

#include <string_view>

namespace kvq {

class OutputChannel {
 public:
  virtual ~OutputChannel() = default;
  // A line of the converted source, source lines and generated statements.
  virtual void WriteOutputLine(std::string_view line) = 0;
  // A comment line the converter generates itself; a leading "C" becomes
  // "!" in either source form.
  virtual void WriteCommentLine(std::string_view line) = 0;
};

}  // namespace kvq
