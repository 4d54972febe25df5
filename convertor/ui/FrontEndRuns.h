// What every front end does around a run: build the request from the
// program's state, ask in dialogs for the file names the request lacks,
// hand the request to the driver and keep from its report what outlives the
// run (the DLL name chosen, what a project conversion set). The command
// line, the window and the window opened for a missing file name all start
// their runs here.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ProgramState.h"
#include "RunObserver.h"
#include "UserInterface.h"
#include "driver/ConversionRequest.h"
#include "driver/SingleSourceCommand.h"

namespace kvq {

// The settings a run starts from: the program's, in the given mode, reset
// for the run with the check items taken over and the Consoles list the
// user typed.
ConversionSettings RunSettings(const ProgramState& state, ConversionMode mode);

// The names the request did not give, asked for in the file dialogs
// (source, then destination): a source in a converted folder is asked for
// again; an existing destination is replaced only when the user says so,
// after a warning when it is no converter output. Nothing when a dialog was
// cancelled.
std::optional<std::vector<std::string>> AskForFileNames(UserInterface& ui,
                                                        const std::vector<std::string>& given);

// A single source in the given mode, with the state's arguments (KEY=value
// settings, file names) and the names the dialogs complete.
RunReport ConvertSingleSource(ProgramState& state, UserInterface& ui, RunObserver& observer,
                              ConversionMode mode, const ProjectGeneration& generate);

// A whole project (WholeProject or ConsoleApplication): the project file
// given, or chosen in a dialog when it is empty.
RunReport ConvertWholeProject(ProgramState& state, UserInterface& ui, RunObserver& observer,
                              ConversionMode mode, const std::string& projectFile,
                              const ProjectGeneration& generate);

// The project files from the template, with the state's arguments (TARVIK
// NAME ...) or around a converted source (Create Project).
RunOutcome GenerateProjectFiles(const ProgramState& state, UserInterface& ui, RunObserver& observer,
                                const std::optional<std::string>& outputPath);

}  // namespace kvq
