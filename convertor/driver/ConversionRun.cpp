#include "ConversionRun.h"

#include <sys/stat.h>

#include "InsertedLines.h"
#include "PathLookup.h"
#include "ProgramUnits.h"
#include "UserInterface.h"

namespace kvq {

namespace {

constexpr std::string_view kSourceFilter =
    "Fortran Sources(*.for;*.f;*.f90)|*.for;*.f;*.f90|Special Sources(*.src;*.srt)|*.src;*.srt|"
    "Any file|*.*";
constexpr std::string_view kReadDirective = "!KVQ:READ=";
constexpr std::string_view kWriteDirective = "!KVQ:WRITE=";
constexpr std::string_view kConvertedDirectoryMark = "\\CONVERTED_";

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

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

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

}  // namespace

ConversionDriver::ConversionDriver(ProgramState& state, UserInterface& ui)
    : state_(state),
      options_(state.options),
      ui_(ui),
      output_(state.options, state.projectRun, ui),
      reader_(state.options, state.projectRun, output_, ui),
      converter_(reader_, output_, state.options, engine_) {
  reader_.SetInterfaceHook([this] { BeforeInterfaceBlock(); });
}

RunOutcome ConversionDriver::RunConversion(const StartCommand* command) {
  options_.conversionMode = ConversionMode::SingleSource;
  if (command)
    options_.conversionMode =
        Contains(command->caption, "MPI") ? ConversionMode::SingleForMpi : command->mode;
  ui_.ClearLists();
  reader_.conditions().ConditionalSeen = false;

  ParamList& params = state_.paramList;
  if (!params.empty() && params[0] == "TARVIK") {
    RunOutcome generated = RunOutcome::NotAvailable;
    if (projects_.generateProject)
      generated = projects_.generateProject(nullptr);
    else
      ui_.ShowMessage("convertor: project generation (TARVIK) is not available in this build");
    ui_.CloseWindow();
    return generated;
  }
  if (params.size() == 1) {
    if (!projects_.convertProject) {
      ui_.ShowMessage("convertor: " + params[0] +
                      ": whole-project conversion is not available in this build");
      return RunOutcome::NotAvailable;
    }
    if (!HasDirectoryPart(params.Original(0))) params.Set({AbsolutePath(params.Original(0))});
    RunOutcome converted = projects_.convertProject(nullptr);
    ui_.CloseWindow();
    return converted;
  }

  ResetForRun(options_, state_.checks);
  output_.ResetCount();
  sourceShown_.clear();
  sourceOpen_.clear();
  outputPath_.clear();

  RunOutcome named = NameFiles();
  if (named != RunOutcome::Converted) {
    CloseAll();
    return named;
  }

  try {
    ConvertSource();
  } catch (const UnixTextRefused&) {
    CloseAll();
    ui_.ShowMessage("Cannot convert UNIX-style text!");
    return RunOutcome::Abandoned;
  } catch (const SourceReadError& error) {
    CloseAll();
    ui_.ShowMessage("convertor: " + error.path + ": the source cannot be read any further");
    return RunOutcome::Abandoned;
  }
  reader_.CloseFiles();
  if (!output_.Close()) {
    ui_.SetBusyCursor(false);
    ui_.ShowMessage("convertor: " + outputPath_ + ": the converted file could not be written");
    return RunOutcome::Abandoned;
  }

  if (state_.checks.createProject) {
    if (projects_.generateProject) projects_.generateProject(&outputPath_);
    ui_.ScrollListsToEnd();
  }
  ShowRunStatus(" - ready !");
  ui_.SetBusyCursor(false);
  if (state_.batchMode && !state_.projectRun) ui_.CloseWindow();
  return RunOutcome::Converted;
}

void ConversionDriver::CloseAll() {
  reader_.CloseFiles();
  output_.Close();
  ui_.SetBusyCursor(false);
}

void ConversionDriver::ShowRunStatus(const std::string& message) {
  ui_.SetStatusLine(sourceShown_ + "    Input Lines:" + std::to_string(reader_.InputLines()) +
                    "     Output Lines:" + std::to_string(output_.OutputLines()) + "    " +
                    message);
}

// ---------------------------------------------------------------------------
// Naming the files

RunOutcome ConversionDriver::NameFiles() {
  const ParamList& params = state_.paramList;
  int fileCount = 0;
  for (std::size_t i = 0; i < params.size(); ++i) {
    if (Contains(params[i], "=")) {
      ApplySettingArgument(options_, params[i]);
      continue;
    }
    if (fileCount == 0) {
      if (!OpenSource(i)) return RunOutcome::Abandoned;
    } else if (fileCount == 1) {
      if (!CreateDestination(i)) return RunOutcome::Abandoned;
    } else {
      continue;  // further file names are ignored
    }
    ++fileCount;
  }
  if (fileCount < 2) return AskForFileNames(fileCount);
  return RunOutcome::Converted;
}

bool ConversionDriver::OpenSource(std::size_t entry) {
  const ParamList& params = state_.paramList;
  sourceShown_ = params[entry];
  std::string found = ChooseSourceVariant(params.Original(entry), sourceShown_);
  if (!IsExistingFile(found)) {
    ui_.ShowMessage("Cannot find file " + params[entry]);
    sourceShown_.clear();
    return false;
  }
  sourceOpen_ = found;
  if (!reader_.Open(found, sourceShown_)) {
    ShowRunStatus("*** No file: " + sourceShown_);
    return false;
  }
  // The companion file collects the source as read, for project runs only;
  // a single-source run leaves the source's directory as it was.
  if (state_.projectRun) reader_.OpenCompanion(ReplaceExtension(found, ".WatCom"));
  return true;
}

bool ConversionDriver::CreateDestination(std::size_t entry) {
  const ParamList& params = state_.paramList;
  const std::string& shown = params[entry];
  std::string path = ResolveDestination(params.Original(entry));
  if (SameFile(path, sourceOpen_)) {
    ui_.ShowMessage("convertor: " + shown +
                    ": the destination is the source itself; nothing was written");
    return false;
  }
  if (!output_.Create(path)) {
    ShowRunStatus("*** No file: " + shown);
    return false;
  }
  outputPath_ = path;
  // Free form follows the file names: a .F90 destination, or a .F90 source.
  options_.freeForm = Contains(shown, ".F90") || Contains(sourceShown_, ".F90");
  return true;
}

RunOutcome ConversionDriver::AskForFileNames(int fileCount) {
  state_.batchMode = false;
  if (!ui_.CanShowDialogs()) return RunOutcome::NeedsFileNames;
  ui_.ShowWindow();
  FileDialogRequest source{"KVQ :  Select Source file", std::string(kSourceFilter), ".", ""};
  if (fileCount == 0) {
    for (;;) {
      std::optional<std::string> chosen = ui_.OpenFileDialog(source);
      if (!chosen) return RunOutcome::Cancelled;
      std::string name = UpperCase(*chosen);
      ui_.SetCaption(std::string(kConvertorVersion) + "   " + name);
      std::string slashed = name;
      for (char& c : slashed)
        if (c == '/') c = '\\';
      if (Contains(slashed, kConvertedDirectoryMark)) {
        ui_.ShowMessage(name + "  is converted yet !");
        source.initialDirectory = DirectoryPart(DirectoryPart(*chosen));
        source.fileName.clear();
        continue;
      }
      sourceShown_ = name;
      sourceOpen_ = ResolvePath(*chosen);
      if (!reader_.Open(sourceOpen_, sourceShown_)) {
        ShowRunStatus("*** No file: " + name);
        return RunOutcome::Abandoned;
      }
      options_.freeForm = Contains(name, ".F90");
      break;
    }
  }
  FileDialogRequest destination{"KVQ :  Specify Destination file", source.filter,
                                source.initialDirectory, ""};
  std::string proposed = ReplaceExtension(sourceShown_, ".FOR");
  if (proposed == sourceShown_) proposed = ReplaceExtension(sourceShown_, ".F");
  destination.fileName = proposed;
  std::optional<std::string> chosen = ui_.SaveFileDialog(destination);
  if (!chosen) return RunOutcome::Cancelled;
  std::string name = UpperCase(*chosen);
  ui_.SetCaption(std::string(kConvertorVersion) + "   " + sourceShown_ + " -> " + name);
  std::string path = ResolveDestination(*chosen);
  if (SameFile(path, sourceOpen_)) {
    ui_.ShowMessage("convertor: " + name +
                    ": the destination is the source itself; nothing was written");
    return RunOutcome::Abandoned;
  }
  if (!output_.Create(path)) {
    ShowRunStatus("*** No file: " + name);
    return RunOutcome::Abandoned;
  }
  outputPath_ = path;
  return RunOutcome::Converted;
}

// ---------------------------------------------------------------------------
// The conversion

void ConversionDriver::ConvertSource() {
  reader_.ProgramSeen = false;
  reader_.UnitName = "PROGRAM";
  freeMemoryPresent_ = false;
  passThrough_ = false;
  copyNextStatement_ = false;
  engine_ = EngineState();
  engine_.SourceFileName = FileNamePart(sourceShown_);
  ui_.SetBusyCursor(true);
  unitState_ = UnitState::BetweenUnits;

  reader_.ReadStatement();  // primes the reader: the current line is empty
  output_.WriteOutputLine(kFirstOutputLine);
  Statement& stmt = reader_.statement();
  stmt.Text = kTouchLine;

  while (!reader_.EndOfInput()) {
    if (stmt.Text == kTouchLine) passThrough_ = false;
    copyNextStatement_ = stmt.Text == kFirstOutputLine;
    reader_.ReadStatement();
    HandleLine();
  }
}

void ConversionDriver::HandleLine() {
  Statement& stmt = reader_.statement();
  if (reader_.CurrentLineWritten()) return;  // the end of an unclosed INTERFACE block
  if (reader_.UnitName == "PROGRAM" && reader_.LineStartsWith("ENTRYFREE_MEMORY"))
    freeMemoryPresent_ = true;

  if (stmt.Text.starts_with(kReadDirective) || stmt.Text.starts_with(kWriteDirective)) {
    bool read = stmt.Text.starts_with(kReadDirective);
    output_.WriteOutputLine(stmt.Text);
    std::size_t skip = read ? kReadDirective.size() : kWriteDirective.size();
    SetRedirection(options_, read ? 0 : 1, std::string_view(stmt.Text).substr(skip));
    return;
  }
  if (unitState_ == UnitState::BetweenUnits && stmt.Text == kFirstOutputLine) passThrough_ = true;
  if (passThrough_ || reader_.IsCommentLine(stmt.Text) || reader_.InInactiveBranch() ||
      stmt.Text.starts_with("!DEC$")) {
    output_.WriteOutputLine(stmt.Text);
    return;
  }
  if (unitState_ == UnitState::BetweenUnits) {
    HandleUnitHead();
    return;
  }
  HandleStatement();
}

void ConversionDriver::HandleUnitHead() {
  reader_.UnitName = "PROGRAM";
  if (IsUnitHead(reader_)) {
    unitState_ = UnitState::AfterHead;
    engine_.DoLabelStack.clear();
    if (reader_.ProgramSeen) {
      reader_.ProgramSeen = false;
      state_.mainProgramMark = "PIVOT ";
      if (options_.conversionMode == ConversionMode::SingleForMpi)
        reader_.statement().Text = kMpiUserMainHead;
      else
        EnsureDllName();
      WriteMainProgramBlock(output_, options_);
    }
    reader_.CharacterNames.assign(1, "OUTSTR");
  }
  output_.WriteOutputLine(reader_.statement().Text);
}

void ConversionDriver::EnsureDllName() {
  if (options_.dllName.empty())
    options_.dllName =
        ui_.InputQuery("Enter DLL Name", "Needed only for main file", options_.dllName, "NAME=");
  options_.dllName = UpperCase(options_.dllName);
}

// An INTERFACE block is copied by the reader before the run sees its
// first line; the declarations that must precede it in its unit (the use
// line after the head, the save line) are written first.
void ConversionDriver::BeforeInterfaceBlock() {
  if (passThrough_ || unitState_ == UnitState::BetweenUnits || unitState_ == UnitState::InBody ||
      reader_.InInactiveBranch())
    return;
  HandleDeclarationSteps();
}

void ConversionDriver::HandleStatement() {
  Statement& stmt = reader_.statement();
  if (unitState_ == UnitState::AfterHead && reader_.IsContinuation()) {
    output_.WriteOutputLine(stmt.Text);
    return;
  }
  HandleDeclarationSteps();

  if (IsUnitEnd(reader_)) {
    HandleUnitEnd();
    return;
  }
  if (CollectCharacterNames(reader_, output_)) return;
  if (!copyNextStatement_) converter_.ConvertStatement();
  output_.WriteOutputLine(stmt.Text);
  engine_.PopDoLabel(stmt.Label);
  stmt.Label = 0;
}

// After the head the first statement brings the use line; the first one
// that is none of USE, PARAMETER, IMPLICIT the save line.
void ConversionDriver::HandleDeclarationSteps() {
  Statement& stmt = reader_.statement();
  bool mpi = options_.conversionMode == ConversionMode::SingleForMpi;
  if (unitState_ == UnitState::AfterHead) {
    if (!mpi) output_.WriteOutputLine(kUseZentrixLine);
    unitState_ = UnitState::InDeclarations;
    engine_.IoHandlersNeeded = false;
    engine_.ConsoleFormatLabels.clear();
  }
  if (unitState_ == UnitState::InDeclarations) {
    // The save line goes before the first other statement of the main file,
    // never into an included file or a conditional block.
    if (reader_.CurrentLineDepth() == 0 && reader_.conditions().ConditionDepth == 0 &&
        !reader_.IsContinuation() && !reader_.LineStartsWith("USE") &&
        !reader_.LineStartsWith("PARAMETER") && !reader_.LineStartsWith("IMPLICIT")) {
      unitState_ = UnitState::InBody;
      if (mpi) output_.WriteOutputLine(kIncludeZentrixLine);
      if (options_.insertSave) output_.WriteOutputLine(kSaveLine);
    } else if (reader_.LineStartsWith("USEZENTRIX")) {
      stmt.Text = "!";
    }
  }
}

void ConversionDriver::HandleUnitEnd() {
  WriteEndOfUnitLines(output_, options_, engine_, reader_.UnitName == "PROGRAM",
                      freeMemoryPresent_);
  output_.WriteOutputLine(reader_.statement().Text);
  unitState_ = UnitState::BetweenUnits;
}

}  // namespace kvq
