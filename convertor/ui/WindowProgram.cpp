// convertor-window: the converter with its window in the process. convertor
// hands over to it (WindowStart.h): without arguments it shows the window;
// with arguments it is the command line again, whose run opens the window
// where it must ask for a file name.
#include <unistd.h>

#include <QApplication>
#include <optional>

#include "CommandLine.h"
#include "DisplayCheck.h"
#include "ProgramState.h"
#include "TForm1.h"
#include "TemporaryFiles.h"
#include "WindowFrontEnd.h"
#include "WindowOnDemand.h"
#include "WindowStart.h"

namespace {

// The window of a start without arguments, until it is closed.
int RunWindow(int& argc, char** argv) {
  if (!kvq::HasDisplay()) {
    kvq::SayNoDisplay(stderr);
    return 2;
  }
  std::optional<kvq::DisplayCheck> check(std::in_place);
  QApplication application(argc, argv);
  check.reset();
  kvq::ProgramState state;
  kvq::TForm1 form(state);
  return application.exec();
}

}  // namespace

int main(int argc, char** argv) {
  kvq::RemoveTemporariesOnSignals();
  bool handedOver = kvq::TakeHandedOverMark();
  std::vector<std::string> arguments(argv + 1, argv + argc);
  if (arguments.empty() || arguments.front().empty()) return RunWindow(argc, argv);
  kvq::ConsoleStreams streams;
  streams.interactive = ::isatty(STDIN_FILENO) == 1;
  streams.settingsWarned = handedOver;
  return kvq::RunCommandLine(
      arguments, streams, [&](kvq::ConsoleUserInterface& console, kvq::ProgramState& state) {
        return std::make_unique<kvq::WindowOnDemand>(
            console, state,
            [&](kvq::ProgramState& runState) -> std::unique_ptr<kvq::BatchFrontEnd> {
              return std::make_unique<kvq::WindowFrontEnd>(runState, argc, argv);
            });
      });
}
