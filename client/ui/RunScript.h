// The command script Kestrin feeds the minimiser, one line per request of
// the module: the title, the parameter block for as many parameters as the
// user asks, the search commands, "exit", and from then on the end-of-input
// line.
#pragma once

#include <QString>
#include <cstdint>

namespace kvq {

class TRunScript {
 public:
  // Back to the first line ("set title").
  void Restart();
  // The next line. `paramCount` is read anew for every parameter line.
  QString NextLine(int paramCount);

  std::int32_t ScriptStep() const { return scriptStep_; }
  std::int32_t ParamIndex() const { return paramIndex_; }

 private:
  QString ParameterLine(int paramCount);

  // The position in the script: the step of the line last sent.
  std::int32_t scriptStep_ = 0;
  // Parameter lines produced so far.
  std::int32_t paramIndex_ = 0;
};

// The line whose only character has the code 0: the end of the module's input.
QString EndOfInputLine();

}  // namespace kvq
