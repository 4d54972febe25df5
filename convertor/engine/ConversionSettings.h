// What a conversion job is told to do (the settings: read-only during a run)
// and what in-source directives change for later runs (the carry-overs).
#pragma once

#include <string>
#include <string_view>

#include "engine/Conditionals.h"

namespace kvq {

enum class ConversionMode { SingleSource, SingleForMpi, WholeProject, ConsoleApplication };
enum class Dialect { Compaq, WatCom };
// Console READ reads, console WRITE and PRINT write.
enum class IoDirection { Read, Write };

inline constexpr std::string_view kDefaultConsoleUnits = ",*,5,6,DEBUG,";

// Console I/O redirected to a unit of the program's own.
struct Redirection {
  bool redirected = false;
  std::string unit;
};

struct ConversionSettings {
  ConversionMode conversionMode = ConversionMode::SingleSource;
  bool consoleMain = false;                        // main program becomes a console program
  Dialect dialect = Dialect::Compaq;               // "*$" directives become "!DEC$" lines
  std::string errorLabel = "9470";                 // label of the I/O error handler
  bool errorLabelGiven = false;                    // ERRLAB= chose it: no other is taken
  std::string consoleUnits{kDefaultConsoleUnits};  // comma-framed designators
  std::string handleDrivenUnits;                   // comma-framed designators
  bool insertSave = true;
  bool insertTrace = false;
  std::string dllName;  // name of the exported entry routine
  bool createProject = false;
  std::string definedSymbols;  // symbols of selected IF DEFINED branches
  // Sources and INCLUDE files may end lines with a bare line feed.
  bool acceptLineFeeds = false;
  // Fixed form: text beyond column 72 is a card sequence field, dropped
  // from statement lines before anything reads them.
  bool sequenceField = false;
  // LINES=Y: line markers ("# 9 \"bad.f\"") before the output lines, so that
  // compiler messages name the user's file and line.
  bool lineMarkers = false;
  // READ= and WRITE= given for this job; they replace the carried-over
  // redirection when the run starts.
  bool readGiven = false;
  Redirection read;
  bool writeGiven = false;
  Redirection write;
};

// What one run leaves to the next: the redirections and the macro of the
// last in-source directives and the conditional nesting record. The command
// line and the window keep one for the program; a whole-project conversion
// keeps one for its runs.
struct CarryOver {
  Redirection read{false, "91"};
  Redirection write{false, "92"};
  std::string ownMacros;  // " NAME " of the last OWNMACRO directive
  ConditionRecord conditions;

  const Redirection& Of(IoDirection direction) const {
    return direction == IoDirection::Read ? read : write;
  }
  Redirection& Of(IoDirection direction) { return direction == IoDirection::Read ? read : write; }
};

}  // namespace kvq
