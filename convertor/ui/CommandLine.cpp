#include "CommandLine.h"

#include "CommandLineOptions.h"
#include "ConsoleUserInterface.h"
#include "FrontEndRuns.h"
#include "PathLookup.h"
#include "ProgramState.h"
#include "Version.h"
#include "driver/InsertedLines.h"
#include "engine/TextUtilities.h"

namespace kvq {

namespace {

constexpr int kExitConverted = 0;
constexpr int kExitAbandoned = 1;
constexpr int kExitUsage = 2;

constexpr const char* kUsage =
    "usage: convertor [OPTION ...] [KEY=value ...] SOURCE DEST\n"
    "       convertor PROJECT.dsw | PROJECT.dsp\n"
    "       convertor TARVIK NAME [extra ...]\n"
    "Try 'convertor --help' for more information.\n";

constexpr const char* kHelp =
    "usage: convertor [OPTION ...] [KEY=value ...] SOURCE DEST\n"
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
    "Lines end in CR LF; a source with bare line feeds (LF) is refused unless\n"
    "--accept-lf (ACCEPTLF=Y) is given. DEST is written only when the run\n"
    "succeeds, and an existing DEST that is no converter output (its first line\n"
    "is not !KVQ:NO_TOUCH!) is kept unless --force is given; a DEST that is no\n"
    "regular file, or a file the run reads, is never replaced. Problems are\n"
    "reported on standard error as convertor: FILE:LINE: warning: TEXT.\n"
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
    "  ACCEPTLF=Y          accept bare line feeds (LF) as line ends, as --accept-lf\n"
    "  CARDS=Y             fixed form: text beyond column 72 is a card sequence field, dropped\n"
    "  LINES=Y             line markers (# 9 \"bad.f\"): compiler messages name your lines\n"
    "\n"
    "Other forms:\n"
    "  convertor PROJECT.dsw|PROJECT.dsp   converts the whole Compaq Visual Fortran project\n"
    "                                      into Converted_<project name> beside it\n"
    "  convertor TARVIK NAME [extra ...]   generates the project files from ETALON.PRJ in\n"
    "                                      the current directory (NAME or @LISTFILE; extras:\n"
    "                                      library names, - for the library only, CONSOLE for\n"
    "                                      the test files only, VER=x.x.x.x, PVER=x.x.x.x)\n"
    "\n"
    "Without NAME= the entry routine is asked for on a terminal, offering the\n"
    "main program's name; without a terminal it takes that name.\n"
    "\n"
    "Options (anywhere before --; a lone - is no option):\n"
    "  -h, --help      show this text\n"
    "  -V, --version   show the version\n"
    "  -q, --quiet     leave out the status line and the report lines\n"
    "  --force         overwrite a DEST that is no converter output\n"
    "  --accept-lf     accept sources and INCLUDE files with bare line feeds (LF)\n"
    "  --depfile FILE  write a Make rule into FILE: DEST depends on SOURCE and on\n"
    "                  the INCLUDE files the run expanded\n"
    "  --              end of options and settings: what follows is a file name\n"
    "\n"
    "Exit status: 0 converted, 1 the run was abandoned (a file not found or not\n"
    "opened, UNIX-style line ends), 2 usage error or a DEST kept. The status line\n"
    "is printed on standard output at the end of the run; messages go to\n"
    "standard error.\n";

int ExitStatus(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::Converted:
      return kExitConverted;
    case RunOutcome::Abandoned:
    case RunOutcome::Cancelled:
    case RunOutcome::NotAvailable:
      return kExitAbandoned;
    case RunOutcome::NeedsFileNames:
    case RunOutcome::Refused:
      return kExitUsage;
  }
  return kExitAbandoned;
}

int UsageError(const ConsoleStreams& streams, const std::string& message) {
  std::fprintf(streams.err, "convertor: %s\n%s", message.c_str(), kUsage);
  return kExitUsage;
}

bool IsProjectFileName(const std::string& upperCaseName) {
  return upperCaseName.ends_with(".DSP") || upperCaseName.ends_with(".DSW");
}

// The forms the argument list may take; returns a message for a list that
// is none of them. Settings are checked, with warnings, for a single-source
// run only (the project generator takes VER= and PVER= of its own).
std::string CheckArgumentForm(const ParamList& params, const ConsoleStreams& streams) {
  if (params[0] == "TARVIK") return {};
  if (params.size() == 1) {
    if (IsProjectFileName(params[0])) return {};
    return "one argument is taken as a project file (.dsp or .dsw), and " + params.Original(0) +
           " is none; did you forget the destination?";
  }
  std::vector<std::string> files;
  for (std::size_t i = 0; i < params.size(); ++i) {
    if (params.IsSetting(i)) {
      std::string error = SettingError(params.Original(i));
      if (!error.empty()) return error;
      std::string problem = SettingProblem(params.Original(i));
      if (!problem.empty() && !streams.settingsWarned)
        std::fprintf(streams.err, "convertor: warning: %s\n", problem.c_str());
    } else {
      files.push_back(params.Original(i));
    }
  }
  if (files.size() > 2)
    return "too many file names: " + files[0] + ", " + files[1] + ", " + files[2] +
           (files.size() > 3 ? ", ..." : "") + " (a source and a destination are taken)";
  return {};
}

// TARVIK NAME ... generates a project, a single argument names a project
// to convert, anything else is a single-source conversion.
RunOutcome DispatchArguments(ProgramState& state, UserInterface& ui, RunObserver& observer) {
  const ParamList& params = state.paramList;
  ProjectGeneration generate = [&](const std::string& outputPath) {
    return GenerateProjectFiles(state, ui, observer, outputPath);
  };
  if (params[0] == "TARVIK") {
    RunOutcome generated = GenerateProjectFiles(state, ui, observer, std::nullopt);
    ui.CloseWindow();
    return generated;
  }
  if (params.size() == 1) {
    std::string project = params.Original(0);
    if (!HasDirectoryPart(project)) project = AbsolutePath(project);
    RunReport converted =
        ConvertWholeProject(state, ui, observer, ConversionMode::WholeProject, project, generate);
    ui.CloseWindow();
    return converted.outcome;
  }
  return ConvertSingleSource(state, ui, observer, ConversionMode::SingleSource, generate).outcome;
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& arguments, const ConsoleStreams& streams,
                   const BatchFrontEndFactory& makeFrontEnd) {
  CommandLineOptions options;
  std::string error;
  if (!ParseCommandLineOptions(arguments, options, error)) return UsageError(streams, error);
  if (options.help) {
    std::fputs(kHelp, streams.out);
    return kExitConverted;
  }
  if (options.version) {
    std::fprintf(streams.out, "convertor %s (%s)\n", ZENTRIX_VERSION,
                 std::string(kConvertorVersion).c_str());
    return kExitConverted;
  }

  ConsoleUserInterface ui(streams.out, streams.err, streams.in, streams.interactive);
  ui.SetQuiet(options.quiet);
  ProgramState state;
  if (!state.paramList.Assign(options.operands, options.settingsEnd))
    return UsageError(streams, "too many arguments: at most " +
                                   std::to_string(ParamList::kMaxEntries) + " are taken");
  if (state.paramList.empty()) {
    // Without arguments the program shows its window; this build has none.
    std::fputs(kUsage, streams.err);
    return kExitUsage;
  }
  if (!options.dependencyFile.empty() &&
      (state.paramList[0] == "TARVIK" || state.paramList.size() == 1))
    return UsageError(streams, "--depfile is for the conversion of a single source");
  if (std::string form = CheckArgumentForm(state.paramList, streams); !form.empty())
    return UsageError(streams, form);
  state.batchMode = true;
  state.forceOverwrite = options.force;
  state.settings.acceptLineFeeds = options.acceptLf;
  state.dependencyFile = options.dependencyFile;

  std::unique_ptr<BatchFrontEnd> frontEnd = makeFrontEnd ? makeFrontEnd(ui, state) : nullptr;
  RunOutcome outcome =
      frontEnd ? DispatchArguments(state, *frontEnd, *frontEnd) : DispatchArguments(state, ui, ui);
  ui.PrintStatusLine();
  if (outcome == RunOutcome::NeedsFileNames)
    return UsageError(streams,
                      "a source and a destination file name are needed; did you forget the "
                      "destination?");
  return ExitStatus(outcome);
}

}  // namespace kvq
