// The program's start without arguments: the window, when there is a
// display to show it on.
#pragma once

#include <cstdio>

namespace kvq {

// A display is there: DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM is set
// (the last names a platform such as offscreen).
bool HasDisplay();

// Shows the window and runs its message loop until it is closed. Without a
// display it says so on err and returns 2.
int RunWindow(int& argc, char** argv, std::FILE* err = stderr);

}  // namespace kvq
