#include "driver/SingleSourceCommand.h"

#include "PathLookup.h"
#include "driver/ConversionRun.h"
#include "driver/InsertedLines.h"
#include "engine/TextUtilities.h"

namespace kvq {

namespace {

// The source named by the user, or its .SRT or .SRC variant when one exists.
std::string ChooseSourceVariant(const std::string& name, std::string& shown) {
  for (std::string_view ext : {".SRT", ".SRC"}) {
    std::string candidate = ResolvePath(ReplaceExtension(name, ext));
    if (IsExistingFile(candidate)) {
      shown = UpperCase(ReplaceExtension(shown, ext));
      return candidate;
    }
  }
  return ResolvePath(name);
}

// The destination keeps its file name as given; its directories are found
// case-insensitively.
std::string ResolveDestination(const std::string& name) {
  std::string directory = DirectoryPart(name);
  if (directory.empty()) return FileNamePart(name);
  return JoinPath(ResolvePath(directory), FileNamePart(name));
}

}  // namespace

std::string AskForDllName(UserInterface& ui, const std::string& current,
                          const std::string& programName, const std::string& where) {
  // Cancel keeps the text offered: after a refusal that is a Fortran name.
  std::string offered = IsFortranName(programName) ? programName : std::string("MAIN");
  QueryFallback fallback{"NAME=", offered, "the main program's name", where};
  std::string name =
      ui.InputQuery("Enter DLL Name", "Needed only for main file", current, fallback);
  for (std::string problem = DllNameProblem(name); !problem.empty();
       problem = DllNameProblem(name)) {
    ui.ShowMessage(problem);
    name = ui.InputQuery("Enter DLL Name", "Needed only for main file", offered, fallback);
  }
  return name;
}

ConversionRequest SingleSourceRequest(ConversionSettings settings, const ParamList& arguments) {
  ConversionRequest request;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (arguments.IsSetting(i))
      ApplySettingArgument(settings, arguments[i]);
    else if (request.files.size() < 2)
      request.files.push_back(arguments.Original(i));  // further file names are ignored
  }
  request.mode = settings.conversionMode;
  request.settings = std::move(settings);
  return request;
}

ConversionRequest WithChosenFiles(const ConversionRequest& request,
                                  std::vector<std::string> files) {
  ConversionRequest completed = request;
  // A source chosen in the dialog is taken as chosen; the dialog asked
  // before a destination was replaced.
  completed.sourceVariants = request.sourceVariants && !request.files.empty();
  completed.protectDestination = false;
  completed.files = std::move(files);
  return completed;
}

bool JobFromRequest(const ConversionRequest& request, ConversionJob& job, std::string& message) {
  job.settings = request.settings;
  job.settings.conversionMode = request.mode;
  if (!request.files.empty()) {
    const std::string& given = request.files[0];
    std::string upper = UpperCase(given);
    job.shownSource = upper;
    if (request.sourceVariants) {
      job.source = ChooseSourceVariant(given, job.shownSource);
      job.givenSource = job.shownSource == upper ? given : job.source;
    } else {
      job.source = ResolvePath(given);
      job.givenSource = given;
    }
    if (!IsExistingFile(job.source)) {
      message = "Cannot find file " + upper;
      return false;
    }
  }
  if (request.files.size() > 1) {
    const std::string& given = request.files[1];
    job.shownDestination = UpperCase(given);
    job.destination = ResolveDestination(given);
    job.givenDestination = given;
  }
  job.protectDestination = request.protectDestination;
  job.dependencyFile = request.dependencyFile;
  return true;
}

namespace {

void TakeResult(const RunResult& result, RunReport& report) {
  report.outcome = result.outcome;
  report.message = result.message;
  report.inputLines = result.inputLines;
  report.outputLines = result.outputLines;
  report.dllName = result.dllName;
  report.includedFiles = result.includedFiles;
}

}  // namespace

RunReport RunSingleSource(const ConversionRequest& request, CarryOver& carry, UserInterface& ui,
                          RunObserver& observer, const ProjectGeneration& generate) {
  RunReport report;
  RecordingObserver recorder(observer, report.diagnostics);
  recorder.ClearLists();

  ConversionJob job;
  if (!JobFromRequest(request, job, report.message)) {
    ui.ShowMessage(report.message);
    return report;
  }
  report.shownSource = job.shownSource;
  report.givenSource = job.givenSource.empty() ? job.source : job.givenSource;
  if (request.files.size() < 2) {
    report.outcome = RunOutcome::NeedsFileNames;
    report.message.clear();
    return report;
  }
  job.freeForm = IsFreeFormName(job.shownSource) || IsFreeFormName(job.shownDestination);
  job.acceptLineFeedsHint = ui.HowToAcceptLineFeeds();
  job.askDllName = [&ui](const std::string& current, const std::string& programName,
                         const std::string& where) {
    return AskForDllName(ui, current, programName, where);
  };

  ui.SetBusyCursor(true);
  RunResult result = RunConversionJob(job, carry, recorder);
  ui.SetBusyCursor(false);
  TakeResult(result, report);
  if (!result.message.empty()) ui.ShowMessage(result.message);
  for (const Diagnostic& followUp : result.followUp) recorder.Report(followUp);
  if (result.outcome != RunOutcome::Converted) return report;
  report.sourceConverted = true;

  // The source is converted either way; a generation that failed (and said
  // why) makes the whole command fail.
  if (job.settings.createProject) {
    if (generate) report.outcome = generate(job.destination);
    recorder.ScrollListsToEnd();
  }
  recorder.SetStatusLine(RunStatusLine(job.shownSource, result.inputLines, result.outputLines,
                                       std::string(kReadyMessage)));
  return report;
}

}  // namespace kvq
