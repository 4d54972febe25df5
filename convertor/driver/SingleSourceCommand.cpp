#include "driver/SingleSourceCommand.h"

#include "PathLookup.h"
#include "driver/ConversionRun.h"
#include "driver/InsertedLines.h"
#include "engine/TextUtilities.h"

namespace kvq {

namespace {

constexpr std::string_view kSourceFilter =
    "Fortran Sources(*.for;*.f;*.f90)|*.for;*.f;*.f90|Special Sources(*.src;*.srt)|*.src;*.srt|"
    "Any file|*.*";
constexpr std::string_view kConvertedDirectoryMark = "\\CONVERTED_";

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

// Asks for the names the argument list did not give. Returns Converted when
// both are known.
RunOutcome AskForFileNames(ProgramState& state, UserInterface& ui, ConversionJob& job,
                           int fileCount) {
  state.batchMode = false;
  if (!ui.CanShowDialogs()) return RunOutcome::NeedsFileNames;
  ui.ShowWindow();
  FileDialogRequest source{"KVQ :  Select Source file", std::string(kSourceFilter), ".", ""};
  if (fileCount == 0) {
    for (;;) {
      std::optional<std::string> chosen = ui.OpenFileDialog(source);
      if (!chosen) return RunOutcome::Cancelled;
      std::string name = UpperCase(*chosen);
      ui.SetCaption(std::string(kConvertorVersion) + "   " + name);
      std::string slashed = name;
      for (char& c : slashed)
        if (c == '/') c = '\\';
      if (Contains(slashed, kConvertedDirectoryMark)) {
        ui.ShowMessage(name + "  is converted yet !");
        source.initialDirectory = DirectoryPart(DirectoryPart(*chosen));
        source.fileName.clear();
        continue;
      }
      job.shownSource = name;
      job.source = ResolvePath(*chosen);
      job.givenSource = *chosen;
      break;
    }
  }
  FileDialogRequest destination{"KVQ :  Specify Destination file", source.filter,
                                source.initialDirectory, ""};
  std::string proposed = ReplaceExtension(job.shownSource, ".FOR");
  if (proposed == job.shownSource) proposed = ReplaceExtension(job.shownSource, ".F");
  destination.fileName = proposed;
  std::optional<std::string> chosen = ui.SaveFileDialog(destination);
  if (!chosen) return RunOutcome::Cancelled;
  job.shownDestination = UpperCase(*chosen);
  ui.SetCaption(std::string(kConvertorVersion) + "   " + job.shownSource + " -> " +
                job.shownDestination);
  job.destination = ResolveDestination(*chosen);
  job.givenDestination = *chosen;
  return RunOutcome::Converted;
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

bool JobFromArguments(const ParamList& params, ConversionJob& job, int& fileCount,
                      std::string& message) {
  fileCount = 0;
  for (std::size_t i = 0; i < params.size(); ++i) {
    if (params.IsSetting(i)) {
      ApplySettingArgument(job.settings, params[i]);
      continue;
    }
    if (fileCount == 0) {
      job.shownSource = params[i];
      job.source = ChooseSourceVariant(params.Original(i), job.shownSource);
      job.givenSource = job.shownSource == params[i] ? params.Original(i) : job.source;
      if (!IsExistingFile(job.source)) {
        message = "Cannot find file " + params[i];
        return false;
      }
    } else if (fileCount == 1) {
      job.shownDestination = params[i];
      job.destination = ResolveDestination(params.Original(i));
      job.givenDestination = params.Original(i);
    } else {
      continue;  // further file names are ignored
    }
    ++fileCount;
  }
  return true;
}

RunOutcome RunSingleSource(ProgramState& state, UserInterface& ui, RunObserver& observer,
                           const StartCommand* command, const ProjectGeneration& generate) {
  ConversionJob job;
  job.settings = state.settings;
  job.settings.conversionMode = ConversionMode::SingleSource;
  if (command)
    job.settings.conversionMode =
        Contains(command->caption, "MPI") ? ConversionMode::SingleForMpi : command->mode;
  ResetForRun(job.settings, state.checks);
  observer.ClearLists();

  int fileCount = 0;
  std::string message;
  if (!JobFromArguments(state.paramList, job, fileCount, message)) {
    ui.ShowMessage(message);
    return RunOutcome::Abandoned;
  }
  // A destination the user typed may be a source in the wrong place.
  job.protectDestination = fileCount == 2 && !state.forceOverwrite;
  job.dependencyFile = state.dependencyFile;
  if (fileCount < 2) {
    RunOutcome named = AskForFileNames(state, ui, job, fileCount);
    if (named != RunOutcome::Converted) return named;
  }
  job.freeForm = IsFreeFormName(job.shownSource) || IsFreeFormName(job.shownDestination);
  job.askDllName = [&ui](const std::string& current, const std::string& programName,
                         const std::string& where) {
    return AskForDllName(ui, current, programName, where);
  };

  ui.SetBusyCursor(true);
  RunResult result = RunConversionJob(job, state.carry, observer);
  ui.SetBusyCursor(false);
  if (!result.dllName.empty()) state.settings.dllName = result.dllName;
  if (!result.message.empty()) ui.ShowMessage(result.message);
  for (const Diagnostic& followUp : result.followUp) observer.Report(followUp);
  if (result.outcome != RunOutcome::Converted) return result.outcome;

  // The source is converted either way; a generation that failed (and said
  // why) makes the whole command fail.
  RunOutcome generated = RunOutcome::Converted;
  if (job.settings.createProject) {
    if (generate) generated = generate(job.destination);
    observer.ScrollListsToEnd();
  }
  observer.SetStatusLine(RunStatusLine(job.shownSource, result.inputLines, result.outputLines,
                                       std::string(kReadyMessage)));
  if (state.batchMode) ui.CloseWindow();
  return generated;
}

}  // namespace kvq
