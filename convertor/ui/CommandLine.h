// The program's start from the command line: the arguments become the
// argument list, a batch run converts without a window, and the outcome
// becomes the exit status (0 converted, 1 abandoned, 2 usage error).
#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "RunObserver.h"
#include "UserInterface.h"

namespace kvq {

struct ConsoleStreams {
  std::FILE* out = stdout;
  std::FILE* err = stderr;
  std::FILE* in = stdin;
  bool interactive = false;  // standard input is a terminal
  // The program that handed its run over to this one warned of the
  // settings already.
  bool settingsWarned = false;
};

class ConsoleUserInterface;
struct ProgramState;

// A front end for batch runs that asks and is told: made from the console's
// by the window build, whose front end opens the window when a run must ask
// for a file name.
class BatchFrontEnd : public UserInterface, public RunObserver {};
using BatchFrontEndFactory =
    std::function<std::unique_ptr<BatchFrontEnd>(ConsoleUserInterface&, ProgramState&)>;

int RunCommandLine(const std::vector<std::string>& arguments, const ConsoleStreams& streams,
                   const BatchFrontEndFactory& makeFrontEnd = {});

}  // namespace kvq
