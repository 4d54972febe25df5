#include "FrontEndRuns.h"

#include "PathLookup.h"
#include "driver/InsertedLines.h"
#include "driver/OutputFile.h"
#include "engine/TextUtilities.h"
#include "project/ProjectConversion.h"
#include "project/ProjectGenerator.h"

namespace kvq {

namespace {

constexpr std::string_view kSourceFilter =
    "Fortran Sources(*.for;*.f;*.f90)|*.for;*.f;*.f90|Special Sources(*.src;*.srt)|*.src;*.srt|"
    "Any file|*.*";
constexpr std::string_view kConvertedDirectoryMark = "\\CONVERTED_";

std::string Caption(const std::string& text) {
  return std::string(kConvertorVersion) + "   " + text;
}

bool InConvertedDirectory(const std::string& upperCaseName) {
  std::string slashed = upperCaseName;
  for (char& c : slashed)
    if (c == '/') c = '\\';
  return Contains(slashed, kConvertedDirectoryMark);
}

// The source, asked for until it lies outside a converted folder.
std::optional<std::string> AskForSource(UserInterface& ui, FileDialogRequest& request) {
  for (;;) {
    std::optional<std::string> chosen = ui.OpenFileDialog(request);
    if (!chosen) return {};
    std::string name = UpperCase(*chosen);
    ui.SetCaption(Caption(name));
    if (!InConvertedDirectory(name)) return chosen;
    ui.ShowMessage(name + "  is converted yet !");
    request.initialDirectory = DirectoryPart(DirectoryPart(*chosen));
    request.fileName.clear();
  }
}

// An existing file is replaced only when the user says so; one that is no
// converter output may be a source chosen by mistake, and the question
// says that.
bool MayReplace(UserInterface& ui, const std::string& chosen) {
  std::string path = AbsolutePath(chosen);
  if (!PathExists(path)) return true;
  if (MayReplaceDestination(path)) return ui.AskYesNo(chosen + " already exists.\rReplace it?");
  // The mark stands on a line of its own: a dialog would wrap it after "!".
  return ui.AskYesNo(chosen + " is no output of the converter: its first line is not\r" +
                     std::string(kFirstOutputLine) +
                     "\rIt may be a source. Replace it all the same?");
}

// The destination, proposed beside the source; asked for again when the
// user keeps an existing file.
std::optional<std::string> AskForDestination(UserInterface& ui, FileDialogRequest& request) {
  for (;;) {
    std::optional<std::string> chosen = ui.SaveFileDialog(request);
    if (!chosen) return {};
    if (MayReplace(ui, *chosen)) return chosen;
    request.fileName = *chosen;
  }
}

}  // namespace

ConversionSettings RunSettings(const ProgramState& state, ConversionMode mode) {
  ConversionSettings settings = state.settings;
  settings.conversionMode = mode;
  ResetForRun(settings, state.checks);
  if (!state.consoleUnits.empty())
    ApplySettingArgument(settings, "UNITS=" + UpperCase(state.consoleUnits));
  return settings;
}

std::optional<std::vector<std::string>> AskForFileNames(UserInterface& ui,
                                                        const std::vector<std::string>& given) {
  std::vector<std::string> files = given;
  FileDialogRequest source{"KVQ :  Select Source file", std::string(kSourceFilter), ".", ""};
  if (files.empty()) {
    std::optional<std::string> chosen = AskForSource(ui, source);
    if (!chosen) return {};
    files.push_back(*chosen);
  }
  std::string shownSource = UpperCase(files[0]);
  FileDialogRequest destination{"KVQ :  Specify Destination file", source.filter,
                                source.initialDirectory, ""};
  std::string proposed = ReplaceExtension(shownSource, ".FOR");
  if (proposed == shownSource) proposed = ReplaceExtension(shownSource, ".F");
  destination.fileName = proposed;
  std::optional<std::string> chosen = AskForDestination(ui, destination);
  if (!chosen) return {};
  ui.SetCaption(Caption(shownSource + " -> " + UpperCase(*chosen)));
  files.resize(1);
  files.push_back(*chosen);
  return files;
}

RunReport ConvertSingleSource(ProgramState& state, UserInterface& ui, RunObserver& observer,
                              ConversionMode mode, const ProjectGeneration& generate) {
  ConversionRequest request = SingleSourceRequest(RunSettings(state, mode), state.paramList);
  // A destination the user typed may be a source in the wrong place.
  request.protectDestination = request.files.size() == 2 && !state.forceOverwrite;
  request.dependencyFile = state.dependencyFile;
  RunReport report = RunSingleSource(request, state.carry, ui, observer, generate);
  bool asked = report.outcome == RunOutcome::NeedsFileNames;
  if (asked) {
    // Once the window asks, it stays open after the run.
    state.batchMode = false;
    if (!ui.CanShowDialogs()) return report;
    ui.ShowWindow();
    std::optional<std::vector<std::string>> files = AskForFileNames(ui, request.files);
    if (!files) {
      report.outcome = RunOutcome::Cancelled;
      return report;
    }
    report = RunSingleSource(WithChosenFiles(request, std::move(*files)), state.carry, ui, observer,
                             generate);
  }
  if (!report.dllName.empty()) state.settings.dllName = report.dllName;
  if (report.outcome == RunOutcome::Converted && state.batchMode) ui.CloseWindow();
  return report;
}

RunReport ConvertWholeProject(ProgramState& state, UserInterface& ui, RunObserver& observer,
                              ConversionMode mode, const std::string& projectFile,
                              const ProjectGeneration& generate) {
  ProjectRequest request{mode, RunSettings(state, mode), projectFile, UpperCase(projectFile)};
  if (projectFile.empty()) {
    FileDialogRequest dialog{"KVQ :  Select Source Project",
                             "Fortran Project(*.dsp;*.dsw)|*.dsp;*.dsw", ".", ""};
    std::optional<std::string> chosen = ui.OpenFileDialog(dialog);
    if (!chosen) {
      RunReport cancelled;
      cancelled.outcome = RunOutcome::Cancelled;
      return cancelled;
    }
    request.project = request.shownProject = *chosen;
  }
  RunReport report = ConvertProject(request, state.carry, ui, observer, generate);
  // The program's settings keep what the project set, as after the menu
  // command: its name, its symbols and the kind of its main program.
  if (!report.dllName.empty()) {
    state.settings.dllName = report.dllName;
    state.settings.definedSymbols = report.definedSymbols;
    state.settings.consoleMain = report.consoleMain;
  }
  return report;
}

RunOutcome GenerateProjectFiles(const ProgramState& state, UserInterface& ui, RunObserver& observer,
                                const std::optional<std::string>& outputPath) {
  return GenerateProject(GenerationRequest{state.paramList, outputPath}, ui, observer);
}

}  // namespace kvq
