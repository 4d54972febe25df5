// Whole-project conversion of a Compaq Visual Fortran project: the .dsw and
// .dsp beside each other are copied into Converted_<project name>, the .dsp
// is rewritten to build a dynamic library (or a console program) with the
// run-time library Zentrix, and every Fortran source is converted there by a
// single-source run.
#pragma once

#include "RunObserver.h"
#include "UserInterface.h"
#include "driver/ConversionRequest.h"
#include "driver/SingleSourceCommand.h"

namespace kvq {

// The project file is the request's (chosen in a dialog or given as the
// only argument). Each Fortran source becomes a job of its own; generate is
// called after each when Create Project is on. The report carries the
// project's name as the DLL name and the symbols its .dsp defines.
RunReport ConvertProject(const ProjectRequest& request, CarryOver& carry, UserInterface& ui,
                         RunObserver& observer, const ProjectGeneration& generate);

}  // namespace kvq
