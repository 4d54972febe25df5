// Convertor: converts Fortran sources into modules of the computational
// server. Without arguments it shows its window; with arguments it runs in
// batch mode and shows the window only when a run must ask for a file name.
// The window is a program of its own (WindowStart.h): this one never loads
// Qt.
#include <unistd.h>

#include "CommandLine.h"
#include "TemporaryFiles.h"
#ifdef CONVERTOR_WITH_WINDOW
#include "WindowOnDemand.h"
#include "WindowStart.h"
#endif

int main(int argc, char** argv) {
  // A run interrupted by a signal leaves no hidden temporary behind.
  kvq::RemoveTemporariesOnSignals();
  std::vector<std::string> arguments(argv + 1, argv + argc);
#ifdef CONVERTOR_WITH_WINDOW
  // The argument list ends at the first empty argument.
  if (arguments.empty() || arguments.front().empty()) return kvq::StartWindow(argv);
#endif
  kvq::ConsoleStreams streams;
  streams.interactive = ::isatty(STDIN_FILENO) == 1;
#ifdef CONVERTOR_WITH_WINDOW
  return kvq::RunCommandLine(
      arguments, streams, [&](kvq::ConsoleUserInterface& console, kvq::ProgramState& state) {
        return std::make_unique<kvq::WindowOnDemand>(
            console, state, [&](kvq::ProgramState&) -> std::unique_ptr<kvq::BatchFrontEnd> {
              // The run starts again in the window program; here it goes
              // on without the window when that cannot be done.
              kvq::HandOverToWindow(argv, streams.err);
              return nullptr;
            });
      });
#else
  return kvq::RunCommandLine(arguments, streams);
#endif
}
