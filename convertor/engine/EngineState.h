// Engine state of one run that the statement rules and the run share.
#pragma once

#include <string>
#include <vector>

namespace kvq {

struct EngineState {
  static constexpr std::size_t kMaxDoLabels = 100;
  static constexpr std::size_t kMaxConsoleFormatLabels = 1000;

  // Terminal labels of the open labelled DO loops, innermost last.
  std::vector<int> DoLabelStack;
  // The last statement line was a RETURN or a rewritten STOP.
  bool LastWasReturn = false;
  // A rewritten I/O statement of the unit may jump to the handler labels.
  bool IoHandlersNeeded = false;
  // Labels of FORMAT statements used by console I/O of the current unit.
  std::vector<std::string> ConsoleFormatLabels;
  // The source's file name without directory, for error descriptions.
  std::string SourceFileName;

  // Called after each converted line: a loop that ends on this label closes
  // (one entry only).
  void PopDoLabel(int label) {
    if (!DoLabelStack.empty() && DoLabelStack.back() == label) DoLabelStack.pop_back();
  }
};

}  // namespace kvq
