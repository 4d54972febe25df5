// Console I/O rewriting: console READ, WRITE and PRINT go through the
// run-time library's buffer zx_BufIO; I/O on other units keeps its unit and
// gets the ERR= (and END=) jumps to the unit's handlers.
#include <algorithm>

#include "engine/CharacterClass.h"
#include "engine/Continuation.h"
#include "engine/ControlList.h"
#include "engine/StatementConverter.h"
#include "engine/TextUtilities.h"

namespace kvq {

namespace {

constexpr std::string_view kMpiGuardLine = "      if(zx_MyProcess.eq.0) then";
constexpr std::string_view kMpiBroadcastPlaceholder =
    "      Call MPI_BCast(..., ..., ..., 0,zx_MPIcommunicator,zx_ierr) ! - Sorry !!!";
constexpr std::string_view kReadInputLine = "      CALL Interface_IO(3)   ! Read ";
// Views of the input line that meet their end of file at the end of input,
// so that an IOSTAT= variable gets the end-of-file value: a list-directed
// READ reads a record of no characters then (gfortran loops forever on a
// list-directed READ from an internal file of no records), a formatted one
// an internal file of no records (a record of no characters gives blanks).
constexpr std::string_view kListDirectedInputHead = "      Read(zx_BufIO(1:1)(1:zx_InputLength()),";
constexpr std::string_view kFormattedInputHead = "      Read(zx_BufIO(1:zx_InputRecords()),";
// Console output hands the buffer over with Interface_IO(5), (6) for a debug
// message, (8) for a line piece: the library takes the text as written.
// Modules converted earlier call it with 1, 2 and 4, whose byte 250 stood
// for a "/" of the format and still separates their lines.
constexpr std::string_view kPrintOutputLine = "      CALL Interface_IO(5)   !  Write";
// ADVANCE='NO': the text goes to the library's unit for line pieces, which
// keeps trailing blanks and has no record length; Interface_IO(8) then
// outputs it without ending the line.
constexpr std::string_view kNewPartialLine = "      Call zx_NewPartial";
constexpr std::string_view kPartialHead = "      Write(zx_PartUnit,";
constexpr std::string_view kFixedContinuation = "     -   ";
constexpr std::string_view kFixedContinuationInConstant = "     -";

bool IsUnitNameChar(char c) {
  return c == '*' || IsDigit(c) || IsUpperLetter(c) || c == '_';
}

}  // namespace

IoUnitData StatementConverter::AnalyseUnit(Scanner& scan) {
  // UNIT= after another specifier: the unit is found wherever it stands.
  if (scan.Pos() >= 1) PutUnitFirst(*call_.text, scan.Pos() - 1);
  IoUnitData unit;
  unit.mpiGuard = Mpi();
  char c = scan.NextChar();
  if (c == kEndMarker) {
    // The control list goes on in the next line and could not be joined.
    output_.WriteOutputLine(" WARNING !!! ");
    unit.unitEnd = c;
    return unit;
  }
  unit.unitEnd = scan.ReadToListEnd(c, unit.unitText, true);
  std::erase(unit.unitText, ' ');
  if (unit.unitText.starts_with("UNIT=")) unit.unitText.erase(0, 5);
  std::size_t nameLength = 0;
  while (nameLength < unit.unitText.size() && IsUnitNameChar(unit.unitText[nameLength]))
    ++nameLength;
  std::string name = unit.unitText.substr(0, nameLength);

  unit.unitDesignator = unit.unitText;
  const std::vector<std::string>& characterNames = run_.unit.characterNames;
  bool internal =
      name.starts_with("OUTSTR") ||
      std::find(characterNames.begin(), characterNames.end(), name) != characterNames.end();
  if (internal) {
    unit.unitDesignator = "0";
    unit.isExternal = false;
    unit.mpiGuard = false;
  }
  if (name == "*" || name == "DEBUG") unit.unitDesignator = "0";
  unit.isConsole =
      run_.InList(run_.handleDrivenUnits, name) || run_.InList(run_.consoleUnits, name);
  unit.newRecordLine = "      Call zx_NewRecord(" + unit.unitDesignator + ")";
  return unit;
}

void StatementConverter::ParseFormatPart(Scanner& scan) {
  unit_.formatPart.clear();
  unit_.formatSpec.clear();
  if (unit_.unitEnd == ')') return;  // the list holds only the unit
  scan.SetRaw(false);
  std::string part = " ";
  int depth = 0;
  for (;;) {
    char c = scan.NextChar();
    // Parentheses count inside apostrophes too; the stops only outside.
    if (c == '(') ++depth;
    if (c == ')') --depth;
    if (c == kEndMarker || (!scan.Raw() && (c == ',' || (c == ')' && depth < 0)))) {
      unit_.unitEnd = c;
      break;
    }
    part.push_back(c);
    if (c == '\'') scan.SetRaw(!scan.Raw());  // blanks and case stand inside a constant
  }
  unit_.formatPart = part;
  std::string trimmed(TrimBlanks(part));
  if (!trimmed.empty() &&
      (trimmed[0] == '\'' || trimmed[0] == '*' || (trimmed[0] >= '1' && trimmed[0] <= '9')))
    unit_.formatSpec = trimmed;
}

void StatementConverter::RecordFormatLabel(IoDirection direction) {
  run_.unit.ioHandlersNeeded = true;
  std::string& part = unit_.formatPart;
  part.erase(0, std::min(part.find_first_not_of(' '), part.size()));
  if (part.empty()) return;
  bool redirected = carry_.Of(direction).redirected;
  if (!redirected && part[0] != '*' && part[0] != '\'' && unit_.isConsole) {
    std::vector<std::string>& labels = run_.unit.consoleFormatLabels;
    std::string label = part.substr(0, 6);
    if (labels.size() < UnitData::kMaxConsoleFormatLabels)
      labels.push_back(label);
    else
      labels.back() = label;  // a full table keeps its last entry for the newest label
  }
  part += ",";
}

// Where the value of "name=" begins in key: the first one after "," or "("
// (or at the key's start, when atStart says so); npos when there is none.
static std::size_t FindSpecifierValue(std::string_view key, std::string_view name, bool atStart) {
  for (std::size_t at = key.find(name); at != std::string_view::npos; at = key.find(name, at + 1)) {
    std::size_t end = at + name.size();
    if (end >= key.size() || key[end] != '=') continue;
    if (at == 0 ? atStart : key[at - 1] == ',' || key[at - 1] == '(') return end + 1;
  }
  return std::string_view::npos;
}

std::string KeywordValue(std::string_view key, std::string_view name) {
  std::size_t start = FindSpecifierValue(key, name, true);
  if (start == std::string_view::npos) return {};
  std::string value;
  int depth = 0;
  bool quoted = false;
  for (std::size_t i = start; i < key.size(); ++i) {
    char c = key[i];
    if (c == '\'') quoted = !quoted;
    if (!quoted) {
      if (c == '!' || (c == ',' && depth == 0)) break;
      if (c == ')') {
        if (depth == 0) break;
        --depth;
      }
      if (c == '(') ++depth;
    }
    value.push_back(c);
  }
  std::size_t open = value.find('('), close = value.find(')');
  if (open != std::string::npos && (close == std::string::npos || open > close)) value += ")";
  return value;
}

bool HasSpecifier(std::string_view key, std::string_view name) {
  return FindSpecifierValue(key, name, false) != std::string_view::npos;
}

// The head of a console READ that handles the end of input itself. A
// format that is neither a label, a constant nor a CHARACTER variable of
// the unit may be a namelist name: it gets the list-directed view, which
// ends where the other would loop.
std::string StatementConverter::InputViewHead() const {
  std::string format(TrimBlanks(unit_.formatPart));
  if (format.starts_with("FMT=")) format.erase(0, 4);
  bool formatted = false;
  if (!format.empty() && format[0] != '*') {
    const std::vector<std::string>& names = run_.unit.characterNames;
    formatted = format[0] == '\'' || IsDigit(format[0]) ||
                std::find(names.begin(), names.end(), format) != names.end();
  }
  return std::string(formatted ? kFormattedInputHead : kListDirectedInputHead);
}

std::string StatementConverter::ConsoleIoHead(IoDirection direction) {
  bool read = direction == IoDirection::Read;
  if (!carry_.Of(direction).redirected)
    return read ? "      Read(zx_BufIO," : "      Write(zx_BufIO,";
  const std::string& unit = carry_.Of(direction).unit;
  output_.WriteOutputLine("      Call zx_NewRecord(" + unit + ")       !  - redirected !");
  return (read ? "      Read(" : "      Write(") + unit + ",";
}

// Writes the leading 72-column pieces of a fixed-form line; the last piece
// stays in line. A cut inside an apostrophe constant continues the constant
// directly, so its text keeps every character.
void StatementConverter::WriteFixedFormPieces(std::string& line) {
  bool quoted = false;
  while (line.size() > kFixedFormLastColumn) {
    std::string piece = line.substr(0, kFixedFormLastColumn);
    for (char c : piece)
      if (c == '\'') quoted = !quoted;
    output_.WriteOutputLine(piece);
    std::string_view prefix = quoted ? kFixedContinuationInConstant : kFixedContinuation;
    line = std::string(prefix) + line.substr(kFixedFormLastColumn);
  }
}

// Writes the leading pieces of a free-form line longer than 132 columns,
// each ended by "&", the next one begun by "&" so that a constant or a name
// cut in two goes on directly; the last piece stays in line. A trailing
// comment (and the line's own continuation mark before it) is never cut.
void StatementConverter::WriteFreeFormPieces(std::string& line) {
  constexpr std::string_view kMark = "&";
  constexpr std::string_view kContinuedIndent = "      &";
  while (line.size() > kFreeFormLastColumn) {
    std::size_t code = FreeFormCodeEnd(line);
    std::size_t cut = kFreeFormLastColumn - kMark.size();
    if (code <= cut) return;  // only the comment passes column 132
    output_.WriteOutputLine(line.substr(0, cut) + std::string(kMark));
    line = std::string(kContinuedIndent) + line.substr(cut);
  }
}

void StatementConverter::ComposeIoStatement(Scanner& scan, std::string head) {
  std::string& text = *call_.text;
  if (std::size_t at = head.find(",,"); at != std::string::npos) head.erase(at, 1);
  scan.SetRaw(false);
  std::size_t keep = scan.Pos();
  std::string after;
  for (char c = scan.NextChar(); c != kEndMarker; c = scan.NextChar()) after.push_back(c);
  scan.SetPos(keep);
  if (after.find(",ERR=") != std::string::npos) {
    if (std::size_t at = head.find(",ERR="); at != std::string::npos) {
      std::size_t end = at + 5;
      while (end < head.size() && IsDigit(head[end])) ++end;
      head.erase(at, end - at);
    }
  }
  // Only the head's ",)" is mended: the I/O list may hold it in a constant.
  if (std::size_t at = head.find(",)"); at != std::string::npos) head.erase(at, 1);
  std::string list = keep < text.size() ? text.substr(keep) : std::string();
  if (!call_.freeForm && !call_.joined &&
      (text.size() > kFixedFormLastColumn || EndsInsideConstant(text))) {
    KeepListColumns(head, list, keep);
    return;
  }
  if (call_.freeForm) {
    text = head + list;
    WriteFreeFormPieces(text);
    return;
  }
  if (head.size() + list.size() <= kFixedFormLastColumn) {
    text = head + list;
    return;
  }
  WriteFixedFormPieces(head);
  if (!list.empty()) {
    output_.WriteOutputLine(head);
    head = std::string(kFixedContinuation) + list;
  }
  text = std::move(head);
}

// The line has text beyond column 72, or ends inside a constant whose value
// runs to column 72: the list keeps the columns it stood in, after the head
// or on a continuation line, so that nothing of what stood beyond column 72
// moves into the statement field and the constant keeps its blanks.
void StatementConverter::KeepListColumns(std::string head, const std::string& list,
                                         std::size_t listStart) {
  if (head.size() > listStart) {
    WriteFixedFormPieces(head);
    output_.WriteOutputLine(head);
    head.assign(kFixedContinuation.substr(0, kStatementFieldColumn7));
  }
  head.resize(std::max(listStart, head.size()), ' ');
  *call_.text = head + list;
}

void StatementConverter::PassContinuationLines() {
  while (LinesFollow()) {
    output_.WriteOutputLine(*call_.text);
    TakeLine();
  }
}

// The control list after the format item, up to its closing ")".
static std::string ReadControlRest(Scanner& scan, char unitEnd) {
  if (unitEnd != ',') return {};
  std::string rest = ",";
  scan.ReadToListEnd(scan.NextChar(), rest, false);
  return rest;
}

void StatementConverter::RewriteRead(Scanner& scan) {
  std::string& text = *call_.text;
  std::size_t onKeyword = scan.Pos();
  bool controlList = scan.NextChar() == '(';
  if (controlList) {
    JoinControlList(scan);
    unit_ = AnalyseUnit(scan);
  } else {
    scan.SetPos(onKeyword);  // READ f, list
    unit_.isConsole = true;
  }
  const std::string key = TextKey();
  std::string before = text.substr(0, std::min(call_.keywordStart, text.size()));
  if (before.find_first_not_of(' ') != std::string::npos)
    output_.WriteOutputLine(std::string(TrimBlanks(before)) + "     Continue");
  if (!carry_.read.redirected) output_.WriteOutputLine(unit_.newRecordLine);

  ParseFormatPart(scan);
  bool consoleBranch =
      unit_.isExternal && ((unit_.mpiGuard && !unit_.formatSpec.empty()) || unit_.isConsole);
  std::string head = !controlList || consoleBranch ? ConsoleIoHead(IoDirection::Read)
                                                   : "      READ(" + unit_.unitText + ",";
  // Only process 0 reads a file without a recognised format; the others
  // get the value by the broadcast the user completes.
  bool guard = unit_.mpiGuard && !consoleBranch;
  if (guard) output_.WriteOutputLine(kMpiGuardLine);
  if (consoleBranch) {
    unit_.mpiGuard = false;
    unit_.isConsole = true;
    if (!carry_.read.redirected) {
      output_.WriteOutputLine(kReadInputLine);
      if (HasSpecifier(key, "IOSTAT")) {
        // The program handles the end of input itself: no jump, the READ
        // meets its end of file and takes its own END= if it has one.
        head = InputViewHead();
      } else {
        std::string label = HasSpecifier(key, "END") ? KeywordValue(key, "END") : EndOfFileLabel();
        output_.WriteOutputLine("      if(Ichar(zx_BufIO(1:1)).eq.0) goto " + label +
                                "    ! EOF checking");
      }
    }
  }
  unit_.controlRest = controlList ? ReadControlRest(scan, unit_.unitEnd) : std::string();
  RecordFormatLabel(IoDirection::Read);
  std::string& rest = unit_.controlRest;
  if (!rest.empty() && rest[0] != ',') rest.insert(0, ",");
  // A statement with IOSTAT= handles its own errors and end of file: jumps
  // to the unit's handlers would take precedence over it.
  std::string added;
  if (!HasSpecifier(key, "IOSTAT")) {
    if (!HasSpecifier(key, "ERR")) added = "ERR=" + ErrorLabel();
    if (!HasSpecifier(key, "END") && !HasSpecifier(key, "REC"))
      added += (added.empty() ? "" : ",") + std::string("END=") + EndOfFileLabel();
  }
  ComposeIoStatement(scan, head + unit_.formatPart + added + rest + ")");
  PassContinuationLines();
  if (consoleBranch && !carry_.read.redirected && HasSpecifier(key, "IOSTAT") &&
      HasSpecifier(key, "NML")) {
    // gfortran's namelist READ finds no end of file in an internal file:
    // the end of input is told by the library.
    output_.WriteOutputLine(*call_.text);
    *call_.text = "      if(zx_InputRecords().eq.0) " + KeywordValue(key, "IOSTAT") + "=-1";
  }
  if (guard) {
    output_.WriteOutputLine(*call_.text);
    output_.WriteOutputLine(kEndifLine);
    *call_.text = kMpiBroadcastPlaceholder;
  }
}

void StatementConverter::RewritePrint(Scanner& scan) {
  output_.WriteOutputLine("      Call zx_NewRecord(0)");
  if (!carry_.write.redirected) unit_.mpiGuard = false;
  if (unit_.mpiGuard) output_.WriteOutputLine(kMpiGuardLine);
  unit_.unitEnd = ' ';
  // PRINT always writes to the console: a FORMAT it names is console output.
  unit_.isConsole = true;
  ParseFormatPart(scan);
  RecordFormatLabel(IoDirection::Write);
  if (unit_.unitEnd == ',' || unit_.unitEnd == kEndMarker) unit_.unitEnd = ' ';
  ComposeIoStatement(scan, ConsoleIoHead(IoDirection::Write) + unit_.formatPart +
                               "ERR=" + ErrorLabel() + ")" + std::string(1, unit_.unitEnd));
  PassContinuationLines();
  if (!carry_.write.redirected) {
    output_.WriteOutputLine(*call_.text);
    *call_.text = kPrintOutputLine;
  }
}

void StatementConverter::RewriteWrite(Scanner& scan) {
  std::string& text = *call_.text;
  JoinControlList(scan);
  unit_ = AnalyseUnit(scan);
  const std::string key = TextKey();
  output_.WriteOutputLine(unit_.newRecordLine);
  ParseFormatPart(scan);
  unit_.controlRest = ReadControlRest(scan, unit_.unitEnd);
  RecordFormatLabel(IoDirection::Write);
  std::string& rest = unit_.controlRest;
  if (!rest.empty() && rest[0] != ',') rest.insert(0, ",");
  if (!HasSpecifier(key, "ERR") && !HasSpecifier(key, "IOSTAT"))
    rest = "ERR=" + ErrorLabel() + rest;

  // A handle-driven unit is written through the buffer whether or not
  // console output is redirected: its text goes out by its handle.
  bool handleDriven = run_.InList(run_.handleDrivenUnits, unit_.unitDesignator);
  bool consoleBranch =
      unit_.isExternal && ((Mpi() && !unit_.formatSpec.empty()) ||
                           (unit_.isConsole && (!carry_.write.redirected || handleDriven)));
  if (consoleBranch) {
    // A console line built by non-advancing WRITE statements.
    bool piece = unit_.isConsole && !handleDriven && HasSpecifier(key, "ADVANCE") &&
                 KeywordValue(key, "ADVANCE") == "'NO'";
    std::string head = handleDriven ? "      Write(zx_BufIO," : ConsoleIoHead(IoDirection::Write);
    if (piece) {
      output_.WriteOutputLine(kNewPartialLine);
      head = kPartialHead;
    }
    ComposeIoStatement(scan, head + unit_.formatPart + rest + ")");
    output_.WriteOutputLine(text);
    while (LinesFollow()) {
      TakeLine();
      output_.WriteOutputLine(text);
    }
    // Indented like the IF it stands in, unless the call would then pass
    // column 72 of fixed form and be cut by the compiler.
    constexpr std::size_t kCallLength = std::string_view("CALL Interface_IO(5)").size();
    std::size_t indent = call_.inIf ? call_.ifPrefixLength : 6;
    if (!call_.freeForm && indent + kCallLength > kFixedFormLastColumn) indent = 6;
    text = std::string(indent, ' ') + "CALL Interface_IO(" +
           (piece                       ? "8)    ! Write, no line end"
            : unit_.unitText == "DEBUG" ? "6)    ! debug message"
                                        : "5)    ! Write");
    unit_.mpiGuard = false;
    if (handleDriven)
      text = "      call zx_WriteByHandle(" + unit_.unitDesignator +
             ",zx_BufIO)  ! maybe handle driven";
    return;
  }
  if (unit_.mpiGuard) output_.WriteOutputLine(kMpiGuardLine);
  ComposeIoStatement(scan, "      WRITE(" + unit_.unitText + "," + unit_.formatPart + rest + ")");
  PassContinuationLines();
}

}  // namespace kvq
