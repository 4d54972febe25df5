// The program's start without arguments: the window, when there is a
// display to show it on. Nothing here loads Qt; the window comes from its
// plugin (WindowPlugin.h).
#pragma once

#include <cstdio>
#include <memory>

#include "CommandLine.h"

namespace kvq {

struct ProgramState;

// A display is there: DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM is set
// (the last names a platform such as offscreen).
bool HasDisplay();

// How to convert without the window, the line after every refusal to show it.
const char* WithoutWindowHint();

// Shows the window and runs its message loop until it is closed. Without a
// display, or when the window cannot be loaded, it says so on err and
// returns 2.
int StartWindow(int& argc, char** argv, std::FILE* err = stderr);

// The window as the front end of a batch run, loaded from the plugin; null
// after saying on err why it cannot be shown.
std::unique_ptr<BatchFrontEnd> OpenWindowFrontEnd(ProgramState& state, int& argc, char** argv,
                                                  std::FILE* err = stderr);

}  // namespace kvq
