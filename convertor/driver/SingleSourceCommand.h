// A single-source conversion as the user starts it: from the argument list
// (KEY=value settings and up to two file names) or, for names it lacks,
// from the file dialogs; then the job is run and, with Create Project on,
// the project generated around its output.
#pragma once

#include <functional>
#include <string>

#include "RunObserver.h"
#include "UserInterface.h"
#include "driver/ConversionJob.h"
#include "driver/ConversionOptions.h"

namespace kvq {

// The menu command that starts a run; a run from the command line has none.
struct StartCommand {
  std::string caption;  // "Single Source", "Single for MPI"
  ConversionMode mode = ConversionMode::SingleSource;
};

// Generates the project files around a converted source (Create Project);
// Converted when every file was written.
using ProjectGeneration = std::function<RunOutcome(const std::string& outputPath)>;

// Asks for the DLL name of a main program until the answer is a Fortran
// name; after a refusal the main program's name is offered (kept on
// Cancel, taken where there is nobody to ask).
std::string AskForDllName(UserInterface& ui, const std::string& current,
                          const std::string& programName, const std::string& where);

// The job the argument list describes, before any dialog: its settings, the
// source (found, or its .SRT/.SRC variant) and the destination. Returns
// false with a message when the source does not exist; fileCount tells how
// many names the list gave (at most two are taken).
bool JobFromArguments(const ParamList& params, ConversionJob& job, int& fileCount,
                      std::string& message);

RunOutcome RunSingleSource(ProgramState& state, UserInterface& ui, RunObserver& observer,
                           const StartCommand* command, const ProjectGeneration& generate);

}  // namespace kvq
