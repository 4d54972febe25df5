// One conversion run: drives the engine over the job's source unit by unit,
// inserts the lines that make the converted code callable from the run-time
// library, and reports to its observer. The run never asks the user
// anything except through the job's askDllName.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "OutputConflicts.h"
#include "RunObserver.h"
#include "driver/ConversionJob.h"
#include "driver/OutputFile.h"
#include "engine/RunState.h"
#include "engine/SourceReader.h"
#include "engine/StatementConverter.h"

namespace kvq {

// Does one job. carry: what earlier runs left (READ/WRITE redirection, own
// macros, the conditional nesting record); the run may change it.
RunResult RunConversionJob(const ConversionJob& job, CarryOver& carry, RunObserver& observer);

// The status line of a run: the source, the line counts and a message.
std::string RunStatusLine(const std::string& shownSource, int inputLines, int outputLines,
                          const std::string& message);
// The status line of a finished run.
inline constexpr std::string_view kReadyMessage = " - ready !";

// True for a file name of free-form Fortran.
bool IsFreeFormName(const std::string& upperCaseName);

enum class UnitState { BetweenUnits, AfterHead, InDeclarations, InBody };

class ConversionRun {
 public:
  ConversionRun(const ConversionJob& job, CarryOver& carry, RunObserver& observer);
  RunResult Run();

 private:
  bool OpenFiles(RunResult& result);
  bool CommitOutputs(RunResult& result);
  std::string OutputsProblem() const;
  std::vector<RunFile> Outputs() const;
  std::vector<RunFile> Inputs() const;
  void ConvertSource();
  std::size_t HandleLine(const Statement& statement, std::size_t index);
  void HandleUnitHead(const Statement& statement, std::size_t index);
  void NoteReservedNames(const Statement& statement);
  std::size_t HandleCode(const Statement& statement, std::size_t index);
  void HandleDeclarationSteps(const Statement& statement, std::size_t index);
  void BeforeInterfaceBlock();
  void HandleUnitEnd();
  bool IsContainsStatement(const Statement& statement, std::size_t index) const;
  void HandleContains();
  void WriteUnitEndLines();
  void NoteHandlerLabelClash(const StatementLine& line);
  void NoteLineOutsideUnits(const Statement& statement, std::size_t index);
  // The text written last for a line: the next line's handling looks at it.
  void NoteWritten(std::string_view text);
  bool BeginsHeadlessMainProgram(const Statement& statement, std::size_t index) const;
  void StartHeadlessMainProgram();
  void UnsaveAllocatableLocals(const Statement& statement);
  void EnsureDllName(const std::string& programName);
  void EchoInputLines();
  void ShowRunStatus(const std::string& message);
  void CloseAll();
  Diagnostic LineFeedsRefused(const UnixTextRefused& refused) const;
  std::string GivenSource() const;
  std::string GivenDestination() const;

  const ConversionJob& job_;
  const ConversionSettings& settings_;
  CarryOver& carry_;
  RunObserver& observer_;
  RunState run_;
  OutputFile output_;
  SourceReader reader_;
  StatementConverter converter_;

  std::vector<std::string> inputEcho_;  // main-file lines read, for the observer
  std::string dllName_;
  std::string headText_;  // the last unit head as read
  UnitState unitState_ = UnitState::BetweenUnits;
  std::string text_;  // its text as the rules make it
  bool passThrough_ = false;
  bool copyNextStatement_ = false;
  bool afterTouchLine_ = true;     // the line written last was kTouchLine
  bool afterNoTouchLine_ = false;  // ... or kFirstOutputLine
  bool freeMemoryPresent_ = false;
  bool cancelled_ = false;
  // A unit's CONTAINS has been passed: between units, heads begin its
  // contained procedures and an END ends it. Its handlers stand before
  // CONTAINS; its CHARACTER names are seen by the contained procedures.
  bool afterContains_ = false;
  std::vector<std::string> hostCharacterNames_;
  // Between units: inside a MODULE or BLOCK DATA, whose lines are no unit's
  // and no main program's; and whether the stretch of lines outside any
  // unit has been reported.
  bool inModule_ = false;
  bool outsideReported_ = false;
  bool unitSeen_ = false;  // a unit has begun in this source
  // The statement being handled begins a main program without PROGRAM.
  bool headlessMainProgram_ = false;
  // Where the unit defines a label that its handlers take (0: nowhere).
  SourceLocation handlerLabelClash_;
  std::string clashingLabel_;
  DefinedLabels definedLabels_;  // the unit's own labels
  // Where the unit's save line stands in the output, while it may change.
  std::optional<std::uint64_t> saveLineAt_;
};

}  // namespace kvq
