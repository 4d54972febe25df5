// Whole-project conversion of a Compaq Visual Fortran project: the .dsw and
// .dsp beside each other are copied into Converted_<project name>, the .dsp
// is rewritten to build a dynamic library (or a console program) with the
// run-time library Zentrix, and every Fortran source is converted there by a
// single-source run.
#pragma once

#include "RunObserver.h"
#include "UserInterface.h"
#include "driver/SingleSourceCommand.h"

namespace kvq {

// With a starting command (Whole Project, Console Application) the project
// file is chosen in a dialog; without one it is the first argument. Each
// Fortran source becomes a job of its own; generate is called after each
// when Create Project is on.
RunOutcome ConvertProject(ProgramState& state, UserInterface& ui, RunObserver& observer,
                          const StartCommand* command, const ProjectGeneration& generate);

}  // namespace kvq
