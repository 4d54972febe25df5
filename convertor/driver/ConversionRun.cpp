#include "driver/ConversionRun.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>

#include "OutputConflicts.h"
#include "PathLookup.h"
#include "driver/ConversionOptions.h"
#include "driver/DependencyFile.h"
#include "driver/InsertedLines.h"
#include "engine/CharacterClass.h"
#include "engine/ProgramUnits.h"
#include "engine/ReservedNames.h"
#include "engine/TextUtilities.h"

namespace kvq {

namespace {

constexpr std::string_view kReadDirective = "!KVQ:READ=";
constexpr std::string_view kWriteDirective = "!KVQ:WRITE=";
// Lines the observer gets at a time.
constexpr std::size_t kEchoBatch = 256;

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

// The name of a PROGRAM statement ("" when it has none).
std::string ProgramName(std::string_view head, bool freeForm) {
  std::string key;
  for (char c : freeForm || head.size() < kStatementFieldColumn7
                    ? head
                    : head.substr(kStatementFieldColumn7))
    if (c != ' ') key.push_back(ToUpper(c));
  std::size_t start = key.find("PROGRAM");
  if (start == std::string::npos) return {};
  start += std::string_view("PROGRAM").size();
  std::size_t end = start;
  while (end < key.size() && IsNameChar(key[end])) ++end;
  if (end == start || !IsUpperLetter(key[start])) return {};
  return key.substr(start, end - start);
}

}  // namespace

bool IsFreeFormName(const std::string& upperCaseName) {
  for (std::string_view extension : {".F90", ".F95", ".F03", ".F08"})
    if (Contains(upperCaseName, extension)) return true;
  return false;
}

RunResult RunConversionJob(const ConversionJob& job, CarryOver& carry, RunObserver& observer) {
  ConversionRun run(job, carry, observer);
  return run.Run();
}

ConversionRun::ConversionRun(const ConversionJob& job, CarryOver& carry, RunObserver& observer)
    : job_(job),
      settings_(job.settings),
      carry_(carry),
      observer_(observer),
      run_(job.settings),
      output_(run_, observer, !job.projectRun),
      reader_(job.settings, carry, run_, output_),
      converter_(output_, job.settings, carry, run_),
      dllName_(job.settings.dllName) {
  run_.projectRun = job.projectRun;
  run_.freeForm = job.freeForm;
  run_.sourceFileName = FileNamePart(job.shownSource);
  reader_.SetInterfaceHook([this] { BeforeInterfaceBlock(); });
  if (!job.projectRun && observer.WantsLines()) reader_.SetInputEcho(&inputEcho_);
  output_.SetLocator([this](const LinePlace& place) { return reader_.Location(place); });
  output_.SetSourceNames(job.shownSource, job.givenSource);
  output_.SetHandlerLabels(DefaultHandlerLabels(settings_));
  output_.SetLineMarkers(settings_.lineMarkers);
}

RunResult ConversionRun::Run() {
  RunResult result;
  carry_.conditions.ConditionalSeen = false;
  if (settings_.readGiven) carry_.read = settings_.read;
  if (settings_.writeGiven) carry_.write = settings_.write;

  if (!OpenFiles(result)) {
    CloseAll();
    return result;
  }
  try {
    ConvertSource();
  } catch (const UnixTextRefused& refused) {
    CloseAll();
    result.message = "Cannot convert UNIX-style text!";
    result.followUp.push_back(LineFeedsRefused(refused));
    return result;
  } catch (const SourceReadError& error) {
    CloseAll();
    result.message = "convertor: " + error.path + ": the source cannot be read any further";
    return result;
  } catch (const SourceLineTooLong& error) {
    CloseAll();
    result.message = "convertor: " + error.path + ": a line is longer than " +
                     std::to_string(kMaxSourceLineBytes) +
                     " bytes (is it a Fortran source?); nothing was written";
    return result;
  } catch (const std::exception& fault) {
    // A fault of ours must not cost the user the destination or a crash.
    CloseAll();
    result.internalFault = true;
    result.message = "convertor: " + job_.shownSource +
                     ": the conversion stopped on an internal error (" + fault.what() +
                     "); nothing was written. Please report it with the source";
    return result;
  }
  EchoInputLines();
  // A companion kept staged goes with the result, and with it is dropped
  // when the run fails after all.
  result.companion = reader_.TakeCompanion();
  reader_.CloseFiles();
  result.inputLines = reader_.inputLines();
  result.outputLines = output_.OutputLines();
  result.dllName = dllName_;
  result.mainProgramConverted = run_.mainProgramConverted;
  result.includedFiles = run_.includedFiles;
  if (cancelled_) {
    output_.Discard();
    ShowRunStatus(" - cancelled !");
    result.outcome = RunOutcome::Cancelled;
    return result;
  }
  if (!CommitOutputs(result)) return result;
  result.outcome = RunOutcome::Converted;
  return result;
}

// The files the run reads and writes, for the rule that no output is an
// input or another output.
std::vector<RunFile> ConversionRun::Outputs() const {
  std::vector<RunFile> outputs{{job_.destination, GivenDestination(), "the destination"}};
  if (!job_.dependencyFile.empty())
    outputs.push_back({job_.dependencyFile, job_.dependencyFile, "the dependency file"});
  return outputs;
}

std::vector<RunFile> ConversionRun::Inputs() const {
  std::vector<RunFile> inputs;
  if (!job_.sourceText) inputs.push_back({job_.source, GivenSource(), "the source"});
  for (const std::string& include : run_.includedFiles)
    inputs.push_back({include, include, "an INCLUDE file"});
  return inputs;
}

// Why the outputs cannot be written: one is a file the run read or another
// output, or a name no Make rule can hold. Empty when they can.
std::string ConversionRun::OutputsProblem() const {
  if (std::string conflict = FindOutputConflict(Outputs(), Inputs()); !conflict.empty())
    return conflict;
  if (job_.dependencyFile.empty()) return {};
  std::string unnamable = NameNoRuleCanHold(job_.destination, job_.source, run_.includedFiles);
  if (unnamable.empty()) return {};
  return unnamable +
         ": a Make rule cannot name this file (it holds \";\", \"%\" or a line end); nothing "
         "was written";
}

static std::string CannotWrite(const std::string& name, const std::string& what) {
  return name + ": " + what + " could not be written (" + std::strerror(errno) + ")";
}

// Every output is checked and written out in full before any replaces its
// file: a dependency file that cannot be written keeps the old destination.
bool ConversionRun::CommitOutputs(RunResult& result) {
  const bool withRule = !job_.dependencyFile.empty();
  StagedFile rule;
  std::string problem = OutputsProblem();
  if (problem.empty() && withRule) {
    if (rule.Create(job_.dependencyFile, LinkPolicy::ReplaceTarget))
      rule.Write(DependencyRule(job_.destination, job_.source, run_.includedFiles));
    else
      problem = CannotWrite(job_.dependencyFile, "the dependency file");
  }
  if (problem.empty() && !output_.Seal()) {
    result.writeFailed = true;
    problem = CannotWrite(GivenDestination(), "the converted file");
  }
  if (problem.empty() && job_.keepDestinationStaged) {
    result.destination = output_.TakeSealed();
    return true;
  }
  if (problem.empty() && withRule && !rule.Seal())
    problem = CannotWrite(job_.dependencyFile, "the dependency file");
  if (problem.empty() && !output_.Commit()) {
    result.writeFailed = true;
    problem = CannotWrite(GivenDestination(), "the converted file");
  }
  if (problem.empty() && withRule && !rule.Commit())
    problem = CannotWrite(job_.dependencyFile, "the dependency file");
  if (problem.empty()) return true;
  output_.Discard();
  rule.Discard();
  result.message = "convertor: " + problem;
  return false;
}

// Names the file with bare line feeds (the source, or an INCLUDE file
// as it was opened) and the way to accept them.
Diagnostic ConversionRun::LineFeedsRefused(const UnixTextRefused& refused) const {
  std::string file = refused.included ? refused.openPath : GivenSource();
  std::string what = refused.included ? "the INCLUDE file" : "the source";
  return Diagnostic{
      Severity::Error, file, refused.where.line,
      what + " ends lines with bare line feeds (LF); convert it with " + job_.acceptLineFeedsHint};
}

std::string ConversionRun::GivenDestination() const {
  return job_.givenDestination.empty() ? job_.destination : job_.givenDestination;
}

// Why the destination cannot be created; a missing directory is named.
static std::string CannotCreateText(const std::string& destination, int error) {
  std::string directory = DirectoryPart(destination);
  if (error == ENOENT && !directory.empty() && !IsExistingDirectory(directory))
    return "cannot be created: the directory " + directory + " does not exist";
  return std::string("cannot be created: ") + std::strerror(error);
}

std::string ConversionRun::GivenSource() const {
  if (!job_.givenSource.empty()) return job_.givenSource;
  return job_.source.empty() ? job_.shownSource : job_.source;
}

bool ConversionRun::OpenFiles(RunResult& result) {
  if (job_.sourceText) {
    reader_.OpenText(*job_.sourceText, job_.source.empty() ? job_.shownSource : job_.source,
                     job_.shownSource);
  } else if (!reader_.Open(job_.source, job_.shownSource)) {
    int error = errno;
    ShowRunStatus("*** No file: " + job_.shownSource);
    observer_.Report(Diagnostic{Severity::Error, GivenSource(), 0,
                                std::string("cannot be read: ") + std::strerror(error)});
    return false;
  }
  // The companion file collects the source as read, for project runs only.
  if (job_.projectRun && !job_.companionPath.empty())
    reader_.OpenCompanion(job_.companionPath, job_.keepDestinationStaged);
  if (!job_.sourceText && SameFile(job_.destination, job_.source)) {
    result.message = "convertor: " + GivenDestination() +
                     ": the destination is the source itself; nothing was written";
    return false;
  }
  if (!IsReplaceableTarget(job_.destination, job_.destinationLinks)) {
    result.message = "convertor: " + GivenDestination() +
                     ": is no regular file (a directory, device, FIFO, socket or a link to "
                     "nothing); nothing was written";
    return false;
  }
  if (std::string conflict = FindOutputConflict(Outputs(), Inputs()); !conflict.empty()) {
    result.message = "convertor: " + conflict;
    return false;
  }
  if (job_.protectDestination && !MayReplaceDestination(job_.destination)) {
    result.outcome = RunOutcome::Refused;
    result.message = "convertor: " + GivenDestination() +
                     ": exists and is no output of the converter (its first line is not " +
                     std::string(kFirstOutputLine) + "); it is not overwritten without --force";
    return false;
  }
  if (!output_.Create(job_.destination, job_.destinationLinks)) {
    int error = errno;
    ShowRunStatus("*** No file: " + job_.shownDestination);
    observer_.Report(Diagnostic{Severity::Error, GivenDestination(), 0,
                                CannotCreateText(GivenDestination(), error)});
    return false;
  }
  return true;
}

void ConversionRun::CloseAll() {
  EchoInputLines();
  reader_.CloseFiles();
  output_.Discard();
}

std::string RunStatusLine(const std::string& shownSource, int inputLines, int outputLines,
                          const std::string& message) {
  // Before the first line is read the count stands at -1: no line was read.
  return shownSource + "    Input Lines:" + std::to_string(std::max(inputLines, 0)) +
         "     Output Lines:" + std::to_string(outputLines) + "    " + message;
}

void ConversionRun::ShowRunStatus(const std::string& message) {
  observer_.SetStatusLine(
      RunStatusLine(job_.shownSource, reader_.inputLines(), output_.OutputLines(), message));
}

void ConversionRun::EchoInputLines() {
  if (inputEcho_.empty()) return;
  observer_.AddInputLines(inputEcho_);
  inputEcho_.clear();
}

// ---------------------------------------------------------------------------
// The conversion

void ConversionRun::ConvertSource() {
  reader_.Prime();
  output_.WriteOutputLine(kFirstOutputLine);
  while (!reader_.EndOfInput()) {
    if (observer_.CancelRequested()) {
      cancelled_ = true;
      return;
    }
    reader_.ReadStatement();
    if (inputEcho_.size() >= kEchoBatch) EchoInputLines();
    const Statement& statement = reader_.statement();
    if (statement.Kind() == StatementKind::Written) continue;  // an unclosed INTERFACE block
    for (std::size_t i = 0; i < statement.size();) i += HandleLine(statement, i);
  }
}

void ConversionRun::NoteWritten(std::string_view text) {
  afterTouchLine_ = text == kTouchLine;
  afterNoTouchLine_ = text == kFirstOutputLine;
}

// One line of a statement, and the lines after it that a rule takes.
std::size_t ConversionRun::HandleLine(const Statement& statement, std::size_t index) {
  const StatementLine& line = statement.line(index);
  output_.ConvertingLine(line.place);
  if (afterTouchLine_) passThrough_ = false;
  copyNextStatement_ = afterNoTouchLine_;
  const std::string& text = line.text;
  bool startsFreeMemory = index == 0 ? statement.StartsWith("ENTRYFREE_MEMORY")
                                     : KeyStartsWith(text, "ENTRYFREE_MEMORY", line.freeForm);
  if (!run_.unit.procedure && startsFreeMemory) freeMemoryPresent_ = true;

  if (text.starts_with(kReadDirective) || text.starts_with(kWriteDirective)) {
    bool read = text.starts_with(kReadDirective);
    output_.WriteOutputLine(text);
    std::size_t skip = read ? kReadDirective.size() : kWriteDirective.size();
    SetRedirection(carry_, read ? IoDirection::Read : IoDirection::Write,
                   std::string_view(text).substr(skip));
    NoteWritten(text);
    return 1;
  }
  if (unitState_ == UnitState::BetweenUnits && text == kFirstOutputLine) passThrough_ = true;
  if (passThrough_ || IsCommentLine(text, line.freeForm) || reader_.InInactiveBranch() ||
      text.starts_with("!DEC$")) {
    output_.WriteOutputLine(text);
    NoteWritten(text);
    return 1;
  }
  text_ = text;
  if (unitState_ == UnitState::BetweenUnits) {
    HandleUnitHead(statement, index);
    if (unitState_ == UnitState::BetweenUnits || !headlessMainProgram_) return 1;
    headlessMainProgram_ = false;  // the statement is the main program's first
  }
  return HandleCode(statement, index);
}

void ConversionRun::HandleUnitHead(const Statement& statement, std::size_t index) {
  const StatementLine& line = statement.line(index);
  std::string name;
  headText_ = text_;  // the PROGRAM line is replaced
  UnitHead head = RecogniseUnitHead(text_, line.freeForm, name);
  run_.unit = UnitData();
  handlerLabelClash_ = SourceLocation();
  definedLabels_.Clear();
  saveLineAt_.reset();
  if (afterContains_) {
    run_.unit.characterNames = hostCharacterNames_;
    if (head == UnitHead::None && IsUnitEnd(text_, line.freeForm)) {
      // The END of the unit whose CONTAINS was passed: its handlers
      // stand before CONTAINS already.
      afterContains_ = false;
      output_.WriteOutputLine(text_);
      NoteWritten(text_);
      return;
    }
  }
  if (head == UnitHead::None && BeginsHeadlessMainProgram(statement, index)) {
    StartHeadlessMainProgram();
    return;
  }
  if (head == UnitHead::None) NoteLineOutsideUnits(statement, index);
  if (head != UnitHead::None) {
    unitSeen_ = true;
    outsideReported_ = false;
    unitState_ = UnitState::AfterHead;
    run_.unit.procedure = head == UnitHead::Procedure;
    run_.unit.unitName = name;
    if (head == UnitHead::Procedure && IsReservedName(UpperCase(name)))
      output_.Warn(reader_.Location(line.place), ReservedNameWarning(name, "the procedure"));
    ProcedureTraits traits = ReadProcedureTraits(headText_, line.freeForm);
    if (!traits.characterResult.empty())
      run_.unit.characterNames.push_back(std::move(traits.characterResult));
    run_.unit.takesNoSave = traits.takesNoSave;
    if (head == UnitHead::MainProgram) {
      run_.mainProgramConverted = true;
      if (settings_.conversionMode == ConversionMode::SingleForMpi)
        text_ = kMpiUserMainHead;
      else
        EnsureDllName(ProgramName(headText_, run_.freeForm));
      WriteMainProgramBlock(output_, settings_, dllName_);
    }
  }
  output_.WriteOutputLine(text_);
  NoteWritten(text_);
}

// A local ALLOCATABLE is deallocated at RETURN; the save line would keep
// it allocated, and the unit's next ALLOCATE fail. Such a unit's save line
// becomes a comment (it may stand on disk already: same length, in place).
namespace {

// Whether the statement's text holds ALLOCATABLE, in any case and, in fixed
// form, with blanks anywhere in it: a test that builds no key, for the
// statements of a unit whose save line may still have to go.
bool MayDeclareAllocatable(const Statement& statement) {
  constexpr std::string_view kWord = "ALLOCATABLE";
  for (std::size_t i = 0; i < statement.size(); ++i) {
    const StatementLine& line = statement.line(i);
    std::string_view text = line.text;
    for (std::size_t start = 0; start < text.size(); ++start) {
      if (ToUpper(text[start]) != 'A') continue;
      std::size_t matched = 0;
      for (std::size_t at = start; at < text.size() && matched < kWord.size(); ++at) {
        if (!line.freeForm && text[at] == ' ') continue;
        if (ToUpper(text[at]) != kWord[matched]) break;
        ++matched;
      }
      if (matched == kWord.size()) return true;
    }
  }
  return false;
}

}  // namespace

void ConversionRun::UnsaveAllocatableLocals(const Statement& statement) {
  if (!MayDeclareAllocatable(statement)) return;
  std::string key = statement.size() == 1
                        ? statement.Key()
                        : JoinedStatementKey(statement.Joined(), statement.FreeForm());
  if (key.find("ALLOCATABLE") == std::string::npos ||
      !DeclaresAllocatableLocal(key, StatementKey(headText_, statement.FreeForm())))
    return;
  output_.Overwrite(*saveLineAt_, "!");
  saveLineAt_.reset();
}

// FORTRAN 77 makes the PROGRAM statement optional: a main source whose
// first statement belongs to no unit, and opens no MODULE or BLOCK DATA,
// begins its main program there.
bool ConversionRun::BeginsHeadlessMainProgram(const Statement& statement, std::size_t index) const {
  const StatementLine& line = statement.line(index);
  if (unitSeen_ || afterContains_ || inModule_ || line.continues || line.depth != 0) return false;
  const std::string& key = index == 0 ? statement.Key() : StatementKey(line.text, line.freeForm);
  for (std::string_view word : {"MODULE", "SUBMODULE", "BLOCKDATA", "END", "INCLUDE"})
    if (key.starts_with(word)) return false;
  return true;
}

// The head a PROGRAM statement would have given, before the statement.
void ConversionRun::StartHeadlessMainProgram() {
  unitSeen_ = true;
  headlessMainProgram_ = true;
  unitState_ = UnitState::AfterHead;
  run_.mainProgramConverted = true;
  std::string head(kDllMainHead);
  if (settings_.conversionMode == ConversionMode::SingleForMpi) {
    head = kMpiUserMainHead;
  } else {
    std::string stem = UpperCase(FileNamePart(job_.shownSource));
    stem = stem.substr(0, stem.find('.'));
    EnsureDllName(IsFortranName(stem) ? stem : std::string("MAIN"));
  }
  WriteMainProgramBlock(output_, settings_, dllName_);
  output_.WriteOutputLine(head);
  NoteWritten(head);
}

void ConversionRun::EnsureDllName(const std::string& programName) {
  // A name that is no Fortran name would make the entry routine's head
  // invalid: it is asked for again.
  if ((dllName_.empty() || !IsFortranName(dllName_)) && job_.askDllName) {
    SourceLocation at = reader_.Location(output_.LineBeingConverted());
    dllName_ = job_.askDllName(dllName_, programName,
                               output_.NameForUser(at.file) + ":" + std::to_string(at.line));
  }
  dllName_ = UpperCase(dllName_);
}

// An INTERFACE block is copied by the reader before the run sees the
// statement after it; the declarations that must precede it in its unit
// (the use line after the head, the save line) are written first.
void ConversionRun::BeforeInterfaceBlock() {
  if (passThrough_ || unitState_ == UnitState::BetweenUnits || unitState_ == UnitState::InBody ||
      reader_.InInactiveBranch())
    return;
  output_.ConvertingLine(reader_.statement().first().place);
  text_ = reader_.statement().Text();
  HandleDeclarationSteps(reader_.statement(), 0);
}

// COMMON blocks and EXTERNAL names that the run-time library declares too.
void ConversionRun::NoteReservedNames(const Statement& statement) {
  if (!statement.StartsWith("COMMON") && !statement.StartsWith("EXTERNAL")) return;
  std::string key = JoinedStatementKey(statement.Joined(), statement.FreeForm());
  const char* kind = key.starts_with("COMMON") ? "the COMMON block" : "the EXTERNAL name";
  for (const std::string& name : ReservedNamesDeclared(key))
    output_.Warn(reader_.Location(statement.first().place), ReservedNameWarning(name, kind));
}

std::size_t ConversionRun::HandleCode(const Statement& statement, std::size_t index) {
  const StatementLine& line = statement.line(index);
  if (index == 0) NoteReservedNames(statement);
  if (unitState_ == UnitState::AfterHead && line.continues) {
    output_.WriteOutputLine(text_);
    NoteWritten(text_);
    return 1;
  }
  HandleDeclarationSteps(statement, index);
  NoteHandlerLabelClash(line);
  if (index == 0 && saveLineAt_) UnsaveAllocatableLocals(statement);

  if (IsUnitEnd(text_, line.freeForm)) {
    HandleUnitEnd();
    return 1;
  }
  if (!afterContains_ && IsContainsStatement(statement, index)) {
    HandleContains();
    return 1;
  }
  if (std::size_t taken =
          CollectCharacterNames(statement, index, output_, run_.unit.characterNames)) {
    NoteWritten(statement.line(index + taken - 1).text);
    return taken;
  }
  std::size_t taken = 1;
  if (!copyNextStatement_) taken = converter_.ConvertStatement(statement, index, text_);
  output_.WriteOutputLine(text_);
  NoteWritten(text_);
  run_.unit.PopDoLabel(line.label);
  return taken;
}

// After the head the first statement brings the use line; the first one
// that is none of USE, PARAMETER, IMPLICIT the save line.
void ConversionRun::HandleDeclarationSteps(const Statement& statement, std::size_t index) {
  const StatementLine& line = statement.line(index);
  auto startsWith = [&](std::string_view word) {
    return index == 0 ? statement.StartsWith(word) : KeyStartsWith(line.text, word, line.freeForm);
  };
  bool mpi = settings_.conversionMode == ConversionMode::SingleForMpi;
  if (unitState_ == UnitState::AfterHead) {
    if (!mpi) output_.WriteOutputLine(kUseZentrixLine);
    unitState_ = UnitState::InDeclarations;
  }
  if (unitState_ == UnitState::InDeclarations) {
    // The save line goes before the first other statement of the main file,
    // never into an included file or a conditional block.
    if (line.depth == 0 && reader_.conditions().ConditionDepth == 0 && !line.continues &&
        !startsWith("USE") && !startsWith("PARAMETER") && !startsWith("IMPLICIT")) {
      unitState_ = UnitState::InBody;
      if (mpi) output_.WriteOutputLine(kIncludeZentrixLine);
      if (settings_.insertSave && !run_.unit.takesNoSave) {
        output_.WriteOutputLine(kSaveLine);
        saveLineAt_ = output_.LastLineStart();
      }
    } else if (startsWith("USEZENTRIX")) {
      text_ = "!";
    }
  }
}

bool ConversionRun::IsContainsStatement(const Statement& statement, std::size_t index) const {
  const StatementLine& line = statement.line(index);
  // Nearly every statement fails on its first letter: no key is built then.
  bool contains = index == 0 ? statement.StartsWith("CONTAINS")
                             : KeyStartsWith(line.text, "CONTAINS", line.freeForm);
  if (!contains) return false;
  std::string key = index == 0 ? statement.Key() : StatementKey(line.text, line.freeForm);
  std::string_view rest = std::string_view(key).substr(8);
  return rest.empty() || rest[0] == '!';
}

// The unit's own part ends at CONTAINS: its handlers, Return and
// Free_Memory entry go before it, and every contained procedure is
// converted as a unit of its own.
void ConversionRun::HandleContains() {
  WriteUnitEndLines();
  output_.WriteOutputLine(text_);
  NoteWritten(text_);
  hostCharacterNames_ = run_.unit.characterNames;
  afterContains_ = true;
  unitState_ = UnitState::BetweenUnits;
}

// A label of the unit that its handlers take as well makes a duplicate
// label; the handlers come only with a rewritten I/O statement.
void ConversionRun::NoteHandlerLabelClash(const StatementLine& line) {
  if (line.label == 0) return;
  definedLabels_.Note(line.label);
  if (handlerLabelClash_.line != 0) return;
  std::string text = std::to_string(line.label);
  if (text == settings_.errorLabel || text == "9" + settings_.errorLabel) {
    handlerLabelClash_ = reader_.Location(line.place);
    clashingLabel_ = text;
  }
}

// A unit that defines a default handler label gets handlers under labels
// it does not use (the jumps written so far change with them); labels the
// ERRLAB setting chose stay, and the duplicate is reported.
void ConversionRun::WriteUnitEndLines() {
  HandlerLabels labels = ChooseHandlerLabels(settings_, definedLabels_);
  if (run_.unit.ioHandlersNeeded && handlerLabelClash_.line != 0) {
    std::string handler = clashingLabel_ == settings_.errorLabel ? "I/O error" : "end-of-file";
    std::string said = "label " + clashingLabel_ + " is also the default label of the " + handler +
                       " handler; this unit's handlers take labels " + labels.error + " and " +
                       labels.endOfFile;
    if (labels.error == settings_.errorLabel)
      said = "label " + clashingLabel_ + " is also the label of the " + handler +
             " handler added to this unit; choose other handler labels with the ERRLAB setting";
    output_.Warn(handlerLabelClash_, said);
  }
  output_.ResolveHandlerLabels(labels);
  WriteEndOfUnitLines(output_, labels, run_.unit, freeMemoryPresent_);
}

// A statement between units, outside a MODULE or BLOCK DATA, belongs to
// no unit the converter knows and stays as it is.
void ConversionRun::NoteLineOutsideUnits(const Statement& statement, std::size_t index) {
  if (afterContains_) return;
  const StatementLine& line = statement.line(index);
  std::string key = index == 0 ? statement.Key() : StatementKey(line.text, line.freeForm);
  if (key.starts_with("ENDMODULE") || key.starts_with("ENDSUBMODULE") ||
      key.starts_with("ENDBLOCKDATA") || (inModule_ && key == "END")) {
    inModule_ = false;
    return;
  }
  if ((key.starts_with("MODULE") && !key.starts_with("MODULEPROCEDURE")) ||
      key.starts_with("SUBMODULE") || key.starts_with("BLOCKDATA")) {
    inModule_ = true;
    return;
  }
  if (inModule_ || outsideReported_ || line.continues) return;
  outsideReported_ = true;
  output_.Warn(reader_.Location(line.place),
               "statements outside any program unit are left unconverted (a main program "
               "without a PROGRAM statement, or a unit head the converter does not know)");
}

void ConversionRun::HandleUnitEnd() {
  WriteUnitEndLines();
  output_.WriteOutputLine(text_);
  NoteWritten(text_);
  unitState_ = UnitState::BetweenUnits;
}

}  // namespace kvq
