// The window lives in a plugin of its own, convertor-window.so, so that a
// command-line run never loads Qt: the program opens the plugin only when
// it must show the window. The plugin's two entry points are plain C
// symbols; its build tag must be the program's, since the two share the
// layout of ProgramState and of the front-end interfaces.
#pragma once

#include <string>

#include "CommandLine.h"

namespace kvq {

struct ProgramState;

// The entry points the plugin exports, under these names.
extern "C" {
using WindowRunFunction = int (*)(int* argc, char** argv);
using WindowOpenFunction = BatchFrontEnd* (*)(ProgramState* state, int* argc, char** argv);
using WindowBuildTagFunction = const char* (*)();
}
inline constexpr const char* kWindowRunSymbol = "kvq_window_run";
inline constexpr const char* kWindowOpenSymbol = "kvq_window_open";
inline constexpr const char* kWindowBuildTagSymbol = "kvq_window_build_tag";

// What the program and the plugin must agree on.
const char* WindowBuildTag();

struct WindowPlugin {
  WindowRunFunction run = nullptr;
  WindowOpenFunction open = nullptr;
  std::string error;  // why the plugin could not be used, when run is null

  bool Loaded() const { return run != nullptr && open != nullptr; }
};

// Looks for the plugin beside the running program (a build tree), then where
// an installation puts it relative to the program's folder, and loads it
// once. The plugin stays loaded until the program ends.
WindowPlugin LoadWindowPlugin();

}  // namespace kvq
