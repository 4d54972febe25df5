// A single-source conversion as a request describes it: the job is built
// from the request's settings and file names, run, and, with Create Project
// on, the project generated around its output. Nothing is asked here but
// the DLL name of a main program; missing file names are the front end's
// to ask for (the report says NeedsFileNames).
#pragma once

#include <functional>
#include <string>

#include "RunObserver.h"
#include "UserInterface.h"
#include "driver/ConversionJob.h"
#include "driver/ConversionRequest.h"

namespace kvq {

// Generates the project files around a converted source (Create Project);
// Converted when every file was written.
using ProjectGeneration = std::function<RunOutcome(const std::string& outputPath)>;

// Asks for the DLL name of a main program until the answer is a Fortran
// name; after a refusal the main program's name is offered (kept on
// Cancel, taken where there is nobody to ask).
std::string AskForDllName(UserInterface& ui, const std::string& current,
                          const std::string& programName, const std::string& where);

// The job a request describes: its settings, the source (found, or its
// .SRT/.SRC variant) and the destination. Returns false with a message
// when the source does not exist.
bool JobFromRequest(const ConversionRequest& request, ConversionJob& job, std::string& message);

// Runs the request. carry: what the front end's earlier runs left (READ/
// WRITE redirection, own macros); the run may change it.
RunReport RunSingleSource(const ConversionRequest& request, CarryOver& carry, UserInterface& ui,
                          RunObserver& observer, const ProjectGeneration& generate);

}  // namespace kvq
