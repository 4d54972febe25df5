#include "driver/ConversionRun.h"

#include <sys/stat.h>

#include "PathLookup.h"
#include "driver/ConversionOptions.h"
#include "driver/InsertedLines.h"
#include "engine/ProgramUnits.h"
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
      converter_(reader_, output_, job.settings, carry, run_),
      dllName_(job.settings.dllName) {
  run_.projectRun = job.projectRun;
  run_.freeForm = job.freeForm;
  run_.sourceFileName = FileNamePart(job.shownSource);
  reader_.SetInterfaceHook([this] { BeforeInterfaceBlock(); });
  if (!job.projectRun && observer.WantsLines()) reader_.SetInputEcho(&inputEcho_);
  output_.SetCurrentLocation([this] { return reader_.CurrentLocation(); });
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
  } catch (const UnixTextRefused&) {
    CloseAll();
    result.message = "Cannot convert UNIX-style text!";
    return result;
  } catch (const SourceReadError& error) {
    CloseAll();
    result.message = "convertor: " + error.path + ": the source cannot be read any further";
    return result;
  }
  EchoInputLines();
  reader_.CloseFiles();
  result.inputLines = reader_.InputLines();
  result.outputLines = output_.OutputLines();
  result.dllName = dllName_;
  result.mainProgramConverted = run_.mainProgramConverted;
  result.includedFiles = run_.includedFiles;
  if (!output_.Close()) {
    observer_.Report(Diagnostic{Severity::Error, job_.destination, 0,
                                "the converted file could not be written"});
    result.message = "convertor: " + job_.destination + ": the converted file could not be written";
    return result;
  }
  if (cancelled_) {
    ShowRunStatus(" - cancelled !");
    result.outcome = RunOutcome::Cancelled;
    return result;
  }
  result.outcome = RunOutcome::Converted;
  return result;
}

bool ConversionRun::OpenFiles(RunResult& result) {
  if (job_.sourceText) {
    reader_.OpenText(*job_.sourceText, job_.source.empty() ? job_.shownSource : job_.source,
                     job_.shownSource);
  } else if (!reader_.Open(job_.source, job_.shownSource)) {
    ShowRunStatus("*** No file: " + job_.shownSource);
    return false;
  }
  // The companion file collects the source as read, for project runs only.
  if (job_.projectRun && !job_.companionPath.empty()) reader_.OpenCompanion(job_.companionPath);
  if (!job_.sourceText && SameFile(job_.destination, job_.source)) {
    result.message = "convertor: " + job_.shownDestination +
                     ": the destination is the source itself; nothing was written";
    return false;
  }
  if (!output_.Create(job_.destination)) {
    ShowRunStatus("*** No file: " + job_.shownDestination);
    return false;
  }
  return true;
}

void ConversionRun::CloseAll() {
  EchoInputLines();
  reader_.CloseFiles();
  output_.Close();
}

std::string RunStatusLine(const std::string& shownSource, int inputLines, int outputLines,
                          const std::string& message) {
  return shownSource + "    Input Lines:" + std::to_string(inputLines) +
         "     Output Lines:" + std::to_string(outputLines) + "    " + message;
}

void ConversionRun::ShowRunStatus(const std::string& message) {
  observer_.SetStatusLine(
      RunStatusLine(job_.shownSource, reader_.InputLines(), output_.OutputLines(), message));
}

void ConversionRun::EchoInputLines() {
  if (inputEcho_.empty()) return;
  observer_.AddInputLines(inputEcho_);
  inputEcho_.clear();
}

// ---------------------------------------------------------------------------
// The conversion

void ConversionRun::ConvertSource() {
  reader_.ReadStatement();  // primes the reader: the current line is empty
  output_.WriteOutputLine(kFirstOutputLine);
  Statement& stmt = reader_.statement();
  stmt.Text = kTouchLine;

  while (!reader_.EndOfInput()) {
    if (observer_.CancelRequested()) {
      cancelled_ = true;
      return;
    }
    if (stmt.Text == kTouchLine) passThrough_ = false;
    copyNextStatement_ = stmt.Text == kFirstOutputLine;
    reader_.ReadStatement();
    if (inputEcho_.size() >= kEchoBatch) EchoInputLines();
    HandleLine();
  }
}

void ConversionRun::HandleLine() {
  Statement& stmt = reader_.statement();
  if (reader_.CurrentLineWritten()) return;  // the end of an unclosed INTERFACE block
  if (!run_.unit.Procedure && reader_.LineStartsWith("ENTRYFREE_MEMORY")) freeMemoryPresent_ = true;

  if (stmt.Text.starts_with(kReadDirective) || stmt.Text.starts_with(kWriteDirective)) {
    bool read = stmt.Text.starts_with(kReadDirective);
    output_.WriteOutputLine(stmt.Text);
    std::size_t skip = read ? kReadDirective.size() : kWriteDirective.size();
    SetRedirection(carry_, read ? IoDirection::Read : IoDirection::Write,
                   std::string_view(stmt.Text).substr(skip));
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

void ConversionRun::HandleUnitHead() {
  std::string name;
  UnitHead head = RecogniseUnitHead(reader_, name);
  run_.unit = UnitData();
  handlerLabelClash_ = SourceLocation();
  if (afterContains_) {
    run_.unit.CharacterNames = hostCharacterNames_;
    if (head == UnitHead::None && IsUnitEnd(reader_)) {
      // The END of the unit whose CONTAINS was passed: its handlers
      // stand before CONTAINS already.
      afterContains_ = false;
      output_.WriteOutputLine(reader_.statement().Text);
      return;
    }
  }
  if (head == UnitHead::None) NoteLineOutsideUnits();
  if (head != UnitHead::None) {
    outsideReported_ = false;
    unitState_ = UnitState::AfterHead;
    run_.unit.Procedure = head == UnitHead::Procedure;
    run_.unit.UnitName = name;
    if (head == UnitHead::MainProgram) {
      run_.mainProgramConverted = true;
      if (settings_.conversionMode == ConversionMode::SingleForMpi)
        reader_.statement().Text = kMpiUserMainHead;
      else
        EnsureDllName();
      WriteMainProgramBlock(output_, settings_, dllName_);
    }
  }
  output_.WriteOutputLine(reader_.statement().Text);
}

void ConversionRun::EnsureDllName() {
  if (dllName_.empty() && job_.askDllName) dllName_ = job_.askDllName(dllName_);
  dllName_ = UpperCase(dllName_);
}

// An INTERFACE block is copied by the reader before the run sees its
// first line; the declarations that must precede it in its unit (the use
// line after the head, the save line) are written first.
void ConversionRun::BeforeInterfaceBlock() {
  if (passThrough_ || unitState_ == UnitState::BetweenUnits || unitState_ == UnitState::InBody ||
      reader_.InInactiveBranch())
    return;
  HandleDeclarationSteps();
}

void ConversionRun::HandleStatement() {
  Statement& stmt = reader_.statement();
  if (unitState_ == UnitState::AfterHead && reader_.IsContinuation()) {
    output_.WriteOutputLine(stmt.Text);
    return;
  }
  HandleDeclarationSteps();
  NoteHandlerLabelClash();

  if (IsUnitEnd(reader_)) {
    HandleUnitEnd();
    return;
  }
  if (!afterContains_ && IsContainsStatement()) {
    HandleContains();
    return;
  }
  if (CollectCharacterNames(reader_, output_)) return;
  if (!copyNextStatement_) converter_.ConvertStatement();
  output_.WriteOutputLine(stmt.Text);
  run_.unit.PopDoLabel(stmt.Label);
  stmt.Label = 0;
}

// After the head the first statement brings the use line; the first one
// that is none of USE, PARAMETER, IMPLICIT the save line.
void ConversionRun::HandleDeclarationSteps() {
  Statement& stmt = reader_.statement();
  bool mpi = settings_.conversionMode == ConversionMode::SingleForMpi;
  if (unitState_ == UnitState::AfterHead) {
    if (!mpi) output_.WriteOutputLine(kUseZentrixLine);
    unitState_ = UnitState::InDeclarations;
  }
  if (unitState_ == UnitState::InDeclarations) {
    // The save line goes before the first other statement of the main file,
    // never into an included file or a conditional block.
    if (reader_.CurrentLineDepth() == 0 && reader_.conditions().ConditionDepth == 0 &&
        !reader_.IsContinuation() && !reader_.LineStartsWith("USE") &&
        !reader_.LineStartsWith("PARAMETER") && !reader_.LineStartsWith("IMPLICIT")) {
      unitState_ = UnitState::InBody;
      if (mpi) output_.WriteOutputLine(kIncludeZentrixLine);
      if (settings_.insertSave) output_.WriteOutputLine(kSaveLine);
    } else if (reader_.LineStartsWith("USEZENTRIX")) {
      stmt.Text = "!";
    }
  }
}

bool ConversionRun::IsContainsStatement() {
  if (!reader_.LineStartsWith("CONTAINS")) return false;
  std::string_view rest = std::string_view(reader_.statement().LineKey).substr(8);
  return rest.empty() || rest[0] == '!';
}

// The unit's own part ends at CONTAINS: its handlers, Return and
// Free_Memory entry go before it, and every contained procedure is
// converted as a unit of its own.
void ConversionRun::HandleContains() {
  WriteUnitEndLines();
  output_.WriteOutputLine(reader_.statement().Text);
  hostCharacterNames_ = run_.unit.CharacterNames;
  afterContains_ = true;
  unitState_ = UnitState::BetweenUnits;
}

// A label of the unit that its handlers take as well makes a duplicate
// label; the handlers come only with a rewritten I/O statement.
void ConversionRun::NoteHandlerLabelClash() {
  int label = reader_.statement().Label;
  if (label == 0 || handlerLabelClash_.line != 0) return;
  std::string text = std::to_string(label);
  if (text == settings_.errorLabel || text == "9" + settings_.errorLabel) {
    handlerLabelClash_ = reader_.CurrentLocation();
    clashingLabel_ = text;
  }
}

void ConversionRun::WriteUnitEndLines() {
  if (run_.unit.IoHandlersNeeded && handlerLabelClash_.line != 0) {
    std::string handler = clashingLabel_ == settings_.errorLabel ? "I/O error" : "end-of-file";
    output_.Warn(handlerLabelClash_, "label " + clashingLabel_ + " is also the label of the " +
                                         handler + " handler added to this unit; choose " +
                                         "other handler labels with the ERRLAB setting");
  }
  WriteEndOfUnitLines(output_, settings_, run_.unit, freeMemoryPresent_);
}

// A statement between units, outside a MODULE or BLOCK DATA, belongs to
// no unit the converter knows and stays as it is.
void ConversionRun::NoteLineOutsideUnits() {
  if (afterContains_) return;
  if (reader_.LineStartsWith("ENDMODULE") || reader_.LineStartsWith("ENDSUBMODULE") ||
      reader_.LineStartsWith("ENDBLOCKDATA") ||
      (inModule_ && reader_.statement().LineKey == "END")) {
    inModule_ = false;
    return;
  }
  if ((reader_.LineStartsWith("MODULE") && !reader_.LineStartsWith("MODULEPROCEDURE")) ||
      reader_.LineStartsWith("SUBMODULE") || reader_.LineStartsWith("BLOCKDATA")) {
    inModule_ = true;
    return;
  }
  if (inModule_ || outsideReported_ || reader_.IsContinuation()) return;
  outsideReported_ = true;
  output_.Warn(reader_.CurrentLocation(),
               "statements outside any program unit are left unconverted (a main program "
               "without a PROGRAM statement, or a unit head the converter does not know)");
}

void ConversionRun::HandleUnitEnd() {
  WriteUnitEndLines();
  output_.WriteOutputLine(reader_.statement().Text);
  unitState_ = UnitState::BetweenUnits;
}

}  // namespace kvq
