// One conversion run: names the source and destination, drives the engine
// over the source unit by unit, inserts the lines that make the converted
// code callable from the run-time library, and reports the line counts.
#pragma once

#include <functional>
#include <string>

#include "ConversionOptions.h"
#include "EngineState.h"
#include "OutputFile.h"
#include "SourceReader.h"
#include "StatementConverter.h"

namespace kvq {

class UserInterface;

// The menu command that starts a run; a run from the command line has none.
struct StartCommand {
  std::string caption;  // "Single Source", "Single for MPI"
  ConversionMode mode = ConversionMode::SingleSource;
};

enum class RunOutcome {
  Converted,       // the output was written and the status line reports it
  Abandoned,       // a file was not found or not opened; the message was shown
  Cancelled,       // a dialog was cancelled
  NeedsFileNames,  // file names are missing and no dialog can ask for them
  NotAvailable,    // the requested kind of run is not part of this build
};

enum class UnitState { BetweenUnits, AfterHead, InDeclarations, InBody };

// The project operations a run dispatches to; the program's start wires
// them to the project subsystem, which itself drives runs.
struct ProjectHandlers {
  std::function<RunOutcome(const StartCommand*)> convertProject;
  std::function<RunOutcome(const std::string* outputPath)> generateProject;
};

class ConversionDriver {
 public:
  ConversionDriver(ProgramState& state, UserInterface& ui);

  RunOutcome RunConversion(const StartCommand* command = nullptr);
  void SetProjectHandlers(ProjectHandlers handlers) { projects_ = std::move(handlers); }

 private:
  RunOutcome NameFiles();
  bool OpenSource(std::size_t entry);
  bool CreateDestination(std::size_t entry);
  RunOutcome AskForFileNames(int fileCount);
  void ConvertSource();
  void HandleLine();
  void HandleUnitHead();
  void HandleStatement();
  void HandleDeclarationSteps();
  void BeforeInterfaceBlock();
  void HandleUnitEnd();
  void EnsureDllName();
  void ShowRunStatus(const std::string& message);
  void CloseAll();

  ProgramState& state_;
  ConversionOptions& options_;
  UserInterface& ui_;
  OutputFile output_;
  SourceReader reader_;
  EngineState engine_;
  StatementConverter converter_;

  std::string sourceShown_;  // the source as the run shows it (upper case)
  std::string sourceOpen_;   // the source as the file system opened it
  std::string outputPath_;
  UnitState unitState_ = UnitState::BetweenUnits;
  bool passThrough_ = false;
  bool copyNextStatement_ = false;
  bool freeMemoryPresent_ = false;
  ProjectHandlers projects_;
};

}  // namespace kvq
