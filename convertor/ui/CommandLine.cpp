#include "CommandLine.h"

#include "ConsoleUserInterface.h"
#include "PathLookup.h"
#include "driver/InsertedLines.h"
#include "driver/SingleSourceCommand.h"
#include "project/ProjectConversion.h"
#include "project/ProjectGenerator.h"

namespace kvq {

namespace {

constexpr int kExitConverted = 0;
constexpr int kExitAbandoned = 1;
constexpr int kExitUsage = 2;

constexpr const char* kUsage =
    "usage: convertor [KEY=value ...] SOURCE DEST\n"
    "       convertor PROJECT.dsw | PROJECT.dsp\n"
    "       convertor TARVIK NAME [extra ...]\n"
    "Try 'convertor --help' for more information.\n";

constexpr const char* kHelp =
    "usage: convertor [KEY=value ...] SOURCE DEST\n"
    "\n"
    "Converts the Fortran source SOURCE (fixed or free form) into DEST so that it\n"
    "runs as a module of the computational server through the run-time library\n"
    "Zentrix: console READ, WRITE and PRINT go through the library's buffer, STOP\n"
    "and PAUSE no longer end or block the process, OPEN and CLOSE become library\n"
    "calls, and I/O statements jump to error and end-of-file handlers. The first\n"
    "output line is !KVQ:NO_TOUCH!; the main PROGRAM becomes the subroutine\n"
    "DLL_MAIN behind the exported entry routine named by NAME=.\n"
    "When SOURCE.SRT (else SOURCE.SRC) exists it is converted instead. A DEST\n"
    "or SOURCE whose name contains .F90 (.F95, .F03, .F08) is taken as free form.\n"
    "Lines end in CR LF. Problems are reported as FILE:LINE: warning: TEXT on\n"
    "standard error.\n"
    "\n"
    "Settings (a key may be shortened to any prefix: S=Y is SAVE=Y):\n"
    "  FORTRAN=C|D|W       dialect of conditional directives: Compaq (C, D) or WatCom (W)\n"
    "  ERRLAB=label        label of the I/O error handler (default 9470)\n"
    "  UNITS=list          console units, comma-separated (default *,5,6,DEBUG)\n"
    "  HANDLEDRIVEN=list   units written through handles, comma-separated\n"
    "  SAVE=Y              insert a SAVE line in every unit (default; any other value: off)\n"
    "  TRACE=Y             insert trace lines before CALL statements\n"
    "  NAME=name           name of the exported entry routine of the main program\n"
    "  READ=unit           redirect console READ to the unit (READ=0 or READ=: off)\n"
    "  WRITE=unit          redirect console PRINT to the unit (WRITE keeps its unit)\n"
    "  MODE=MPI            convert for MPI: only process 0 reads and prints\n"
    "  MODE=CONSOLE        the main program becomes a console program (MODE=DLL: entry routine)\n"
    "\n"
    "Other forms:\n"
    "  convertor PROJECT.dsw|PROJECT.dsp   converts the whole Compaq Visual Fortran project\n"
    "                                      into Converted_<project name> beside it\n"
    "  convertor TARVIK NAME [extra ...]   generates the project files from ETALON.PRJ in\n"
    "                                      the current directory (NAME or @LISTFILE; extras:\n"
    "                                      library names, - for the library only, CONSOLE for\n"
    "                                      the test files only, VER=x.x.x.x, PVER=x.x.x.x)\n"
    "\n"
    "Options:\n"
    "  --help          show this text\n"
    "  --version       show the version\n"
    "  --depfile FILE  write a Make rule into FILE: DEST depends on SOURCE and on\n"
    "                  the INCLUDE files the run expanded\n"
    "\n"
    "Exit status: 0 converted, 1 the run was abandoned (a file not found or not\n"
    "opened, UNIX-style line ends), 2 usage error. The status line is printed on\n"
    "standard output at the end of the run; messages go to standard error.\n";

int ExitStatus(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::Converted:
      return kExitConverted;
    case RunOutcome::Abandoned:
    case RunOutcome::Cancelled:
    case RunOutcome::NotAvailable:
      return kExitAbandoned;
    case RunOutcome::NeedsFileNames:
      return kExitUsage;
  }
  return kExitAbandoned;
}

// Takes "--depfile FILE" (or "--depfile=FILE") out of the arguments.
// Returns false with a message when FILE is missing.
bool TakeDependencyFileOption(std::vector<std::string>& arguments, std::string& path,
                              std::string& message) {
  constexpr std::string_view kOption = "--depfile";
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == kOption) {
      if (i + 1 == arguments.size() || arguments[i + 1].empty()) {
        message = "convertor: --depfile needs a file name\n";
        return false;
      }
      path = arguments[i + 1];
      arguments.erase(arguments.begin() + i, arguments.begin() + i + 2);
      --i;
    } else if (argument.starts_with(std::string(kOption) + "=")) {
      path = argument.substr(kOption.size() + 1);
      if (path.empty()) {
        message = "convertor: --depfile needs a file name\n";
        return false;
      }
      arguments.erase(arguments.begin() + i);
      --i;
    }
  }
  return true;
}

// Handles the arguments beginning "--", which are never file names.
// Returns -1 when there are none and the run goes on.
int HandleOptions(const std::vector<std::string>& arguments, const ConsoleStreams& streams) {
  for (const std::string& argument : arguments) {
    if (!argument.starts_with("--")) continue;
    if (argument == "--help") {
      std::fputs(kHelp, streams.out);
      return kExitConverted;
    }
    if (argument == "--version") {
      std::fprintf(streams.out, "convertor 0.1.0 (%s)\n", std::string(kConvertorVersion).c_str());
      return kExitConverted;
    }
    std::fprintf(streams.err, "convertor: unknown option %s\n%s", argument.c_str(), kUsage);
    return kExitUsage;
  }
  return -1;
}

// TARVIK NAME ... generates a project, a single argument names a project
// to convert, anything else is a single-source conversion.
RunOutcome DispatchArguments(ProgramState& state, UserInterface& ui, RunObserver& observer) {
  ParamList& params = state.paramList;
  ProjectGeneration generate = [&](const std::string& outputPath) {
    GenerateProject(state, ui, observer, &outputPath);
  };
  if (params[0] == "TARVIK") {
    RunOutcome generated = GenerateProject(state, ui, observer, nullptr);
    ui.CloseWindow();
    return generated;
  }
  if (params.size() == 1) {
    if (!HasDirectoryPart(params.Original(0))) params.Set({AbsolutePath(params.Original(0))});
    RunOutcome converted = ConvertProject(state, ui, observer, nullptr, generate);
    ui.CloseWindow();
    return converted;
  }
  return RunSingleSource(state, ui, observer, nullptr, generate);
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& givenArguments, const ConsoleStreams& streams,
                   const BatchFrontEndFactory& makeFrontEnd) {
  std::vector<std::string> arguments = givenArguments;
  ProgramState state;
  std::string optionError;
  if (!TakeDependencyFileOption(arguments, state.dependencyFile, optionError)) {
    std::fprintf(streams.err, "%s%s", optionError.c_str(), kUsage);
    return kExitUsage;
  }
  if (int status = HandleOptions(arguments, streams); status >= 0) return status;

  ConsoleUserInterface ui(streams.out, streams.err, streams.in, streams.interactive);
  if (!state.paramList.Assign(arguments)) {
    std::fprintf(streams.err, "convertor: too many arguments: at most %zu are taken\n%s",
                 ParamList::kMaxEntries, kUsage);
    return kExitUsage;
  }
  if (state.paramList.empty()) {
    // Without arguments the program shows its window; this build has none.
    std::fputs(kUsage, streams.err);
    return kExitUsage;
  }
  if (!state.dependencyFile.empty() &&
      (state.paramList[0] == "TARVIK" || state.paramList.size() == 1)) {
    std::fprintf(streams.err, "convertor: --depfile is for the conversion of a single source\n%s",
                 kUsage);
    return kExitUsage;
  }
  state.batchMode = true;

  std::unique_ptr<BatchFrontEnd> frontEnd = makeFrontEnd ? makeFrontEnd(ui, state) : nullptr;
  RunOutcome outcome =
      frontEnd ? DispatchArguments(state, *frontEnd, *frontEnd) : DispatchArguments(state, ui, ui);
  ui.PrintStatusLine();
  if (outcome == RunOutcome::NeedsFileNames) {
    std::fprintf(streams.err, "convertor: a source and a destination file name are needed\n%s",
                 kUsage);
  }
  return ExitStatus(outcome);
}

}  // namespace kvq
