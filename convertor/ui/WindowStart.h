// The window is a program of its own, convertor-window, so that a
// command-line run never loads Qt and convertor can be linked statically:
// convertor hands its process over to the window program (exec, the same
// arguments) when it must show the window. That is at a start without
// arguments, and when a batch run must ask for a file name: nothing is
// written before that question, so the run starts again in the window
// program and opens the window where it asks.
#pragma once

#include <cstdio>

namespace kvq {

// A display is there: DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM is set
// (the last names a platform such as offscreen).
bool HasDisplay();

// How to convert without the window, the line after every refusal to show it.
const char* WithoutWindowHint();

// Says on err that there is no display to show the window on.
void SayNoDisplay(std::FILE* err);

// Replaces the process by the window program, started with argv. Returns
// only when that cannot be done, after saying why on err.
void HandOverToWindow(char** argv, std::FILE* err = stderr);

// In the window program: the run was handed over by convertor, which has
// warned of its settings already. Read once, at the start.
bool TakeHandedOverMark();

// The start without arguments: hands over to the window program when there
// is a display. Returns 2 after saying on err why the window cannot be shown.
int StartWindow(char** argv, std::FILE* err = stderr);

}  // namespace kvq
