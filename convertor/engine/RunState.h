// What one run changes as it goes. It is rebuilt for every run; what a run
// leaves to later runs lives in CarryOver, what it was told in the
// ConversionSettings.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/ConversionSettings.h"

namespace kvq {

// The program unit being converted. It has one owner, the run, and starts
// afresh at each unit head.
struct UnitData {
  static constexpr std::size_t kMaxDoLabels = 100;
  static constexpr std::size_t kMaxConsoleFormatLabels = 1000;

  // A SUBROUTINE or FUNCTION (its name in unitName); otherwise the main
  // program, or no unit yet.
  bool procedure = false;
  std::string unitName;
  // Names that denote internal files: CHARACTER variables of the unit, and
  // every name beginning OUTSTR.
  std::vector<std::string> characterNames{"OUTSTR"};
  // A RECURSIVE, PURE or ELEMENTAL procedure: no save line goes in.
  bool takesNoSave = false;
  // Terminal labels of the open labelled DO loops, innermost last.
  std::vector<int> doLabelStack;
  // Terminal labels of open DO loops that a statement inside the loop
  // refers to (GOTO, arithmetic IF, ERR=, ...): an I/O statement on such a
  // label cannot hand it over to a CONTINUE. Labels are unique in a unit.
  std::vector<int> referencedDoLabels;
  // The last statement line was a RETURN or a rewritten STOP.
  bool lastWasReturn = false;
  // A rewritten I/O statement of the unit may jump to the handler labels.
  bool ioHandlersNeeded = false;
  // Labels of FORMAT statements used by console I/O of the unit.
  std::vector<std::string> consoleFormatLabels;

  // The unit's name in error descriptions and trace lines.
  std::string_view ShownName() const {
    return procedure ? std::string_view(unitName) : std::string_view("PROGRAM");
  }
  // Called after each converted line: a loop that ends on this label closes
  // (one entry only).
  void PopDoLabel(int label) {
    if (!doLabelStack.empty() && doLabelStack.back() == label) doLabelStack.pop_back();
  }
};

struct RunState {
  explicit RunState(const ConversionSettings& settings)
      : consoleUnits(settings.consoleUnits), handleDrivenUnits(settings.handleDrivenUnits) {}

  // The source is free form: from the file names, or from the first
  // statement line that ends in "&".
  bool freeForm = false;
  // The run converts one source of a whole-project conversion.
  bool projectRun = false;
  // Comma-framed unit lists; CONSOLE and HANDLEDRIVEN directives change them.
  std::string consoleUnits;
  std::string handleDrivenUnits;
  // The source's file name without directory, for error descriptions.
  std::string sourceFileName;
  // The run converted a main program.
  bool mainProgramConverted = false;
  // The INCLUDE files the run expanded, as the file system opened them, in
  // the order met (a file included twice is named twice).
  std::vector<std::string> includedFiles;
  UnitData unit;

  bool InList(const std::string& list, const std::string& designator) const {
    return list.find("," + designator + ",") != std::string::npos;
  }
};

}  // namespace kvq
