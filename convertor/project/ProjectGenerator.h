// Project generation (the Tarvik mode): writes the build files around a
// converted program from the template ETALON.PRJ in the current directory,
// makes the console test program from console.exe, appends the test project
// and starts the generated workspace.
#pragma once

#include <string>

#include "RunObserver.h"
#include "UserInterface.h"
#include "driver/ConversionJob.h"
#include "driver/ConversionRequest.h"

namespace kvq {

// The request's outputPath: the converted source of a single-source run
// (Create Project); without it the project name and extras come from its
// arguments. The account of the work goes to the observer's report lines.
RunOutcome GenerateProject(const GenerationRequest& request, UserInterface& ui,
                           RunObserver& observer);

// The 18-byte marker of console.exe is overwritten with the project name,
// block by block (10000 bytes); exposed for its tests.
void PatchConsoleBlock(std::string& block, const std::string& projectName);

}  // namespace kvq
