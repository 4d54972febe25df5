#include "engine/StatementConverter.h"

#include <algorithm>
#include <array>
#include <bit>

#include "engine/CharacterClass.h"
#include "engine/Continuation.h"
#include "engine/LabelReferences.h"
#include "engine/TextUtilities.h"

namespace kvq {

namespace {

enum class Row {
  EndDo,
  Do,
  If,
  Pause,
  Stop,
  Call,
  Open,
  Close,
  Read,
  Print,
  Write,
  Return,
  Format
};

struct ScanRow {
  std::string_view keyword;  // blank-free, upper case
  Row row;
};

// Tried in this order after every character of the candidate.
constexpr ScanRow kScanRows[] = {
    {"ENDDO", Row::EndDo},   {"DO", Row::Do},       {"IF(", Row::If},       {"PAUSE", Row::Pause},
    {"STOP", Row::Stop},     {"CALL", Row::Call},   {"OPEN(", Row::Open},   {"CLOSE(", Row::Close},
    {"READ", Row::Read},     {"PRINT", Row::Print}, {"WRITE(", Row::Write}, {"RETURN", Row::Return},
    {"FORMAT", Row::Format},
};

constexpr unsigned kAllRows = (1u << std::size(kScanRows)) - 1;

constexpr std::string_view kStopCall = "CALL zx_Instead_of_STOP   ";
constexpr std::string_view kStopTag = "  !  KVQ";
constexpr std::string_view kPauseLine = "Continue   ! instead of PAUSE !";
constexpr std::string_view kEnddoContinue = "  continue  ! ZUL:this label was glued to next line!";
constexpr std::string_view kTwoOperatorsWarning =
    " WARNING !!! Could not convert line below consist of 2 separate operators !";
constexpr std::string_view kDoEndWarning = " WARNING !!! Could not correctly convert: ";
constexpr std::string_view kConvertedComment = "!Converted: ";
constexpr std::size_t kTraceTextLimit = 40;
// An error description line is cut here, so that with its closing quote it
// ends in column 71, inside the statement field.
constexpr std::size_t kErrorDescriptionWidth = 70;

// Free form: the statement starts after leading blanks and a statement
// label; the result is the column before its first character.
std::size_t FreeFormStatementStart(const std::string& text) {
  std::size_t at = text.find_first_not_of(' ');
  if (at == std::string::npos) return text.size();
  std::size_t digits = at;
  while (digits < text.size() && IsDigit(text[digits])) ++digits;
  if (digits > at && digits < text.size() && IsBlank(text[digits])) {
    std::size_t next = text.find_first_not_of(' ', digits);
    return next == std::string::npos ? text.size() : next;
  }
  return at;
}

// A ";" outside constants and comments: a second statement on the line.
bool HasStatementSeparator(std::string_view text) {
  bool quoted = false;
  for (char c : text) {
    if (c == '\'') quoted = !quoted;
    if (quoted) continue;
    if (c == '!') return false;
    if (c == ';') return true;
  }
  return false;
}

void BlankColumns(std::string& text, std::size_t count) {
  for (std::size_t i = 0; i < count && i < text.size(); ++i) text[i] = ' ';
}

}  // namespace

StatementConverter::StatementConverter(OutputChannel& output, const ConversionSettings& settings,
                                       CarryOver& carry, RunState& run)
    : output_(output), settings_(settings), carry_(carry), run_(run) {}

void StatementConverter::TakeLine() {
  output_.ConvertingLine(call_.statement->line(call_.next).place);
  *call_.text = call_.statement->line(call_.next).text;
  call_.continues = true;
  ++call_.next;
}

bool StatementConverter::LineStartsWith(std::string_view word) const {
  if (call_.first == 0) return call_.statement->StartsWith(word);
  return KeyStartsWith(call_.statement->line(call_.first).text, word, call_.freeForm);
}

// In free form the text before the statement (indentation and label), or
// six blanks when the statement starts in column 1, so that a generated
// line never begins with the letter of a statement in column 1.
std::string StatementConverter::LabelPrefix() const {
  const std::string& text = *call_.text;
  std::string prefix = text.substr(0, std::min(call_.statementStart, text.size()));
  return prefix.empty() ? std::string(6, ' ') : prefix;
}

void StatementConverter::StatementCall::Begin(const Statement& of, std::size_t line,
                                              std::string& lineText) {
  const StatementLine& at = of.line(line);
  statement = &of;
  first = line;
  next = line + 1;
  text = &lineText;
  freeForm = at.freeForm;
  continues = at.continues;
  joined = false;
  labelField = at.labelField;
  statementStart = freeForm ? FreeFormStatementStart(lineText) : 6;
  keywordStart = 0;
  inIf = false;
  ifPrefixLength = 0;
  kind = IoKind::None;
}

std::size_t StatementConverter::ConvertStatement(const Statement& statement, std::size_t first,
                                                 std::string& text) {
  call_.Begin(statement, first, text);
  Scanner scan(text, call_.statementStart);
  if (!LineStartsWith("FORMAT") && !call_.continues) run_.unit.lastWasReturn = false;
  NoteDoLabelReferences();

  std::string candidate;
  unsigned rows = kAllRows;
  for (;;) {
    if (candidate.empty()) {
      call_.keywordStart = scan.Pos();
      rows = kAllRows;
    }
    char c = scan.NextChar();
    if (c == '!' || c == kEndMarker) break;  // a trailing comment or the line's end
    candidate.push_back(c);
    ScanResult result = TryRows(scan, candidate, rows);
    if (result == ScanResult::Done) break;
    // Outside a logical IF a keyword counts only where the statement
    // begins; inside one the scan goes on through the condition.
    if (result == ScanResult::Unmatched) {
      if (!call_.inIf) break;
      candidate.clear();
    }
  }
  return call_.next - first;
}

// For each position of a keyword and each character: the rows whose
// keyword has that character there. The scan narrows its rows with one
// lookup per character instead of comparing every keyword again.
constexpr std::size_t kLongestKeyword = 6;
using RowMasks = std::array<std::array<unsigned, 256>, kLongestKeyword>;
constexpr RowMasks MakeRowMasks() {
  RowMasks masks{};
  for (std::size_t r = 0; r < std::size(kScanRows); ++r)
    for (std::size_t k = 0; k < kScanRows[r].keyword.size(); ++k)
      masks[k][static_cast<unsigned char>(kScanRows[r].keyword[k])] |= 1u << r;
  return masks;
}
constexpr RowMasks kRowMasks = MakeRowMasks();

StatementConverter::ScanResult StatementConverter::TryRows(Scanner& scan,
                                                           const std::string& candidate,
                                                           unsigned& rows) {
  std::size_t last = candidate.size() - 1;
  rows &=
      last < kLongestKeyword ? kRowMasks[last][static_cast<unsigned char>(candidate[last])] : 0u;
  // The first row in table order whose keyword begins with the candidate.
  if (rows != 0) {
    std::size_t r = static_cast<std::size_t>(std::countr_zero(rows));
    const ScanRow& row = kScanRows[r];
    if (candidate.size() < row.keyword.size()) return ScanResult::Continue;
    switch (row.row) {
      case Row::EndDo: {
        if (call_.freeForm) {
          if (LabelPrefix().find_first_of("0123456789") == std::string::npos)
            return ScanResult::Unmatched;
        } else {
          std::string field = call_.text->substr(0, 5);
          if (field.empty() || field == "     ") return ScanResult::Unmatched;
        }
        // A labelled END DO that closes a DO naming its label is the
        // loop's end as written: a CONTINUE would end that loop before it.
        if (ClosesLabelledDo()) return ScanResult::Done;
        MoveEnddoLabel();
        return ScanResult::Done;
      }
      case Row::Do:
        PushDoLabel(scan);
        return call_.inIf ? ScanResult::Unmatched : ScanResult::Done;
      case Row::If:
        call_.inIf = true;
        return ScanResult::Unmatched;  // the condition is scanned next
      case Row::Pause:
        ApplyPauseRule();
        return ScanResult::Done;
      case Row::Stop:
        if (!scan.AtWordEnd() || !ApplyStopRule(scan)) return ScanResult::Unmatched;
        return ScanResult::Done;
      case Row::Call:
        if (!settings_.insertTrace || call_.inIf || call_.continues || !scan.AtWordEnd())
          return ScanResult::Unmatched;
        ApplyTraceRule();
        return ScanResult::Done;
      case Row::Open:
        return Recognised(scan, IoKind::Open) ? ScanResult::Done : ScanResult::Unmatched;
      case Row::Close:
        return Recognised(scan, IoKind::Close) ? ScanResult::Done : ScanResult::Unmatched;
      case Row::Read:
        if (!scan.AtWordEnd()) return ScanResult::Unmatched;
        return Recognised(scan, IoKind::Read) ? ScanResult::Done : ScanResult::Unmatched;
      case Row::Print:
        if (!scan.AtWordEnd()) return ScanResult::Unmatched;
        return Recognised(scan, IoKind::Print) ? ScanResult::Done : ScanResult::Unmatched;
      case Row::Write:
        return Recognised(scan, IoKind::Write) ? ScanResult::Done : ScanResult::Unmatched;
      case Row::Return:
        // A RETURN that a logical IF guards is no last RETURN: a false
        // condition would fall into the handlers behind it.
        if (scan.AtWordEnd() && !call_.inIf) run_.unit.lastWasReturn = true;
        return ScanResult::Unmatched;
      case Row::Format: {
        const std::string& text = *call_.text;
        // Column 6 marks a continuation in fixed form only.
        bool column6Blank = call_.freeForm || text.size() < 6 || IsBlank(text[5]);
        if (!column6Blank || IsCommentLine(text, call_.freeForm)) return ScanResult::Unmatched;
        PassFormatStatement();
        return ScanResult::Done;
      }
    }
  }
  return ScanResult::Unmatched;
}

// In a logical IF an I/O keyword counts only right after the condition.
bool StatementConverter::Recognised(Scanner& scan, IoKind kind) {
  if (call_.inIf) {
    const std::string& text = *call_.text;
    char before = call_.keywordStart >= 1 && call_.keywordStart <= text.size()
                      ? text[call_.keywordStart - 1]
                      : ' ';
    if (before != ')' && before != ' ') return false;
  }
  ConvertIoStatement(scan, kind);
  return true;
}

// ---------------------------------------------------------------------------
// Control statements

// While a labelled DO loop is open, the statements of its body are seen one
// by one; a reference to its terminal label is noted as it passes. A DO
// statement sharing the label refers to nothing.
void StatementConverter::NoteDoLabelReferences() {
  UnitData& unit = run_.unit;
  if (unit.doLabelStack.empty()) return;
  const std::string& text = *call_.text;
  std::string_view field = StatementField(text, call_.freeForm);
  field = field.substr(std::min(call_.statementStart, field.size()));
  if (std::none_of(field.begin(), field.end(), IsDigit)) return;  // no label in it
  std::string key = LabelReferenceKey(field);
  if (key.starts_with("DO")) return;
  for (int label : unit.doLabelStack) {
    if (std::find(unit.referencedDoLabels.begin(), unit.referencedDoLabels.end(), label) !=
        unit.referencedDoLabels.end())
      continue;
    if (RefersToLabel(key, label)) unit.referencedDoLabels.push_back(label);
  }
}

// An I/O statement that ends a labelled DO loop becomes several lines: its
// label goes to a CONTINUE after them, which then ends the loop. Not when a
// statement of the loop jumps to the label: the jump would pass the I/O.
bool StatementConverter::EndsDoLoopOnFreeLabel() const {
  const UnitData& unit = run_.unit;
  int label = call_.statement->line(call_.first).label;
  return !unit.doLabelStack.empty() && unit.doLabelStack.back() == label &&
         std::find(unit.referencedDoLabels.begin(), unit.referencedDoLabels.end(), label) ==
             unit.referencedDoLabels.end();
}

// Takes the label off the line; returns the CONTINUE line that gets it.
std::string StatementConverter::TakeLabelForContinue() {
  std::string& text = *call_.text;
  std::size_t columns = call_.freeForm ? std::min(call_.statementStart, text.size()) : 5;
  std::string field = text.substr(0, std::min(columns, text.size()));
  if (!call_.freeForm) field.resize(6, ' ');
  BlankColumns(text, columns);
  call_.labelField = "      ";
  return field + "CONTINUE";
}

bool StatementConverter::ClosesLabelledDo() const {
  const auto& stack = run_.unit.doLabelStack;
  int label = call_.statement->line(call_.first).label;
  return label > 0 && std::find(stack.begin(), stack.end(), label) != stack.end();
}

void StatementConverter::MoveEnddoLabel() {
  std::string& text = *call_.text;
  std::size_t labelColumns = call_.freeForm ? std::min(call_.statementStart, text.size()) : 6;
  output_.WriteOutputLine((call_.freeForm ? LabelPrefix() : text.substr(0, 6)) +
                          std::string(kEnddoContinue));
  BlankColumns(text, labelColumns);
}

void StatementConverter::PushDoLabel(Scanner& scan) {
  int label = 0;
  for (;;) {
    std::size_t before = scan.Pos();
    char c = scan.NextChar();
    if (!IsDigit(c)) {
      scan.SetPos(before);  // the character after the label starts the next candidate
      break;
    }
    if (label < 100000) label = label * 10 + (c - '0');
  }
  if (label >= 1 && run_.unit.doLabelStack.size() < UnitData::kMaxDoLabels)
    run_.unit.doLabelStack.push_back(label);
}

// A FORMAT statement stays as written, "/" included: the console buffer
// is an internal file of many records, so a "/" begins the next one there
// as it does in a file. Its continuation lines go with it unscanned.
void StatementConverter::PassFormatStatement() {
  while (LinesFollow()) {
    output_.WriteOutputLine(*call_.text);
    TakeLine();
  }
}

void StatementConverter::ApplyPauseRule() {
  std::string& text = *call_.text;
  std::string head = call_.freeForm ? LabelPrefix() : text.substr(0, 6);
  text = head + std::string(kPauseLine);
}

namespace {

// What follows STOP up to the end of the statement or its trailing
// comment: a stop code or a message as written, blanks around it dropped.
std::string StopArgument(std::string_view rest) {
  char quote = 0;
  std::size_t end = rest.size();
  for (std::size_t i = 0; i < rest.size(); ++i) {
    char c = rest[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == '!') {
      end = i;
      break;
    }
  }
  rest = rest.substr(0, end);
  std::size_t first = rest.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return std::string(rest.substr(first, rest.find_last_not_of(" \t") - first + 1));
}

}  // namespace

bool StatementConverter::ApplyStopRule(const Scanner& scan) {
  std::string& text = *call_.text;
  std::size_t last = scan.Pos();  // column of the keyword's last letter
  if (last > 10 && static_cast<unsigned char>(text[last - 5]) >= '0') return false;
  // The stop code or message goes to the library, which reports it as the
  // compiler's STOP would; the statement may go on over continuation lines.
  // The join keeps each line's statement field only.
  std::string_view field = StatementField(text, call_.freeForm);
  if (LinesFollow()) {
    text.resize(field.size());
    for (; LinesFollow(); ++call_.next) AppendContinuation(text, NextLine(), call_.freeForm);
    call_.joined = true;
    field = text;
  }
  std::string argument = StopArgument(field.substr(std::min(last, field.size())));
  std::string prefix = text.substr(0, call_.keywordStart);
  if (call_.freeForm && prefix.find_first_not_of(' ') == std::string::npos) prefix = LabelPrefix();
  std::string call = argument.empty()
                         ? std::string(kStopCall)
                         : std::string(kStopCall.substr(0, kStopCall.find_last_not_of(' ') + 1)) +
                               "(" + argument + ")";
  if (!call_.inIf) run_.unit.lastWasReturn = true;
  if (!call_.freeForm && prefix.size() + call.size() + kStopTag.size() > kFixedFormLastColumn) {
    output_.WriteOutputLine(prefix);
    text = WriteFixedFormContinued(call);
  } else {
    text = prefix + call;
  }
  text += kStopTag;
  return true;
}

// Writes code over continuation lines of the fixed form ("-" in column 6,
// the code from column 8, then from column 7), all but the last; returns
// the last. A constant may be cut anywhere: it goes on in column 7.
std::string StatementConverter::WriteFixedFormContinued(std::string_view code) {
  std::string line = "     - ";
  constexpr std::size_t kWidth = kFixedFormLastColumn;
  while (line.size() + code.size() > kWidth) {
    std::size_t room = kWidth - line.size();
    line.append(code.substr(0, room));
    output_.WriteOutputLine(line);
    code.remove_prefix(room);
    line = "     -";
  }
  line.append(code);
  return line;
}

void StatementConverter::ApplyTraceRule() {
  std::string& text = *call_.text;
  std::string trace = std::string(run_.unit.ShownName()) + ": " + text;
  if (trace.size() > kTraceTextLimit) {
    trace.resize(kTraceTextLimit);
    trace += " ...";
  }
  for (char& c : trace)
    if (c == '\'') c = ' ';
  std::string head = call_.freeForm ? LabelPrefix() : text.substr(0, 6);
  output_.WriteOutputLine(head + "zx_BufIO='Trace> " + trace + "'");
  output_.WriteOutputLine("      call zx_NewRecord(0) ");
  output_.WriteOutputLine("      call Interface_IO(5)   ! Write");
  BlankColumns(text, call_.freeForm ? std::min(call_.statementStart, text.size()) : 5);
}

// ---------------------------------------------------------------------------
// Recognised I/O statements

void StatementConverter::ConvertIoStatement(Scanner& scan, IoKind kind) {
  std::string& text = *call_.text;
  call_.kind = kind;
  if (call_.freeForm && HasStatementSeparator(text)) {
    output_.WriteOutputLine(kTwoOperatorsWarning);
    return;
  }
  std::string continueLine;
  if (kind != IoKind::Close && EndsDoLoopOnFreeLabel()) continueLine = TakeLabelForContinue();
  call_.ifPrefixLength = call_.keywordStart;
  if (call_.continues) {
    call_.inIf = true;
    call_.ifPrefixLength = 6;
  }
  if (call_.inIf) {
    // The logical IF becomes a block IF around the rewritten statement; a
    // "then" that would pass column 72 goes on a continuation line.
    std::string prefix = text.substr(0, call_.ifPrefixLength);
    if (!call_.freeForm && prefix.size() + 6 > kFixedFormLastColumn) {
      output_.WriteOutputLine(prefix);
      output_.WriteOutputLine("     -  then");
    } else {
      output_.WriteOutputLine(prefix + "  then");
    }
    BlankColumns(text, call_.ifPrefixLength);
    call_.labelField = "      ";
  }
  std::string note = LinesFollow() ? " ..." : "";
  const auto& stack = run_.unit.doLabelStack;
  int label = call_.statement->line(call_.first).label;
  bool endsDoLoop =
      continueLine.empty() && !stack.empty() && stack.back() == label && kind != IoKind::Close;
  output_.WriteOutputLine(std::string(endsDoLoop ? kDoEndWarning : kConvertedComment) + text +
                          note);
  if (kind != IoKind::Close) WriteErrorDescription(note);

  unit_ = IoUnitData();
  unit_.mpiGuard = Mpi();
  switch (kind) {
    case IoKind::Open:
      RewriteOpen(scan);
      break;
    case IoKind::Close:
      RewriteClose(scan);
      break;
    case IoKind::Read:
      RewriteRead(scan);
      break;
    case IoKind::Print:
      RewritePrint(scan);
      break;
    case IoKind::Write:
      RewriteWrite(scan);
      break;
    case IoKind::None:
      break;
  }
  if ((kind == IoKind::Print || kind == IoKind::Write) && unit_.mpiGuard) {
    output_.WriteOutputLine(*call_.text);
    *call_.text = kEndifLine;
  }
  if (call_.inIf) {
    output_.WriteOutputLine(*call_.text);
    *call_.text = kEndifLine;
  }
  if (!continueLine.empty()) {
    output_.WriteOutputLine(*call_.text);
    *call_.text = continueLine;
  }
}

void StatementConverter::WriteErrorDescription(const std::string& note) {
  std::string& text = *call_.text;
  std::string line;
  line.reserve(kErrorDescriptionWidth + text.size());
  line.append(call_.labelField).append("zx_Ebuf='");
  // A file name may hold apostrophes (IT'S.FOR): doubled, they stay inside
  // the constant.
  for (char c : run_.sourceFileName) {
    if (c == '\'') line.push_back(c);
    line.push_back(c);
  }
  line.append("(");
  line.append(std::to_string(call_.statement->line(call_.first).inputLines)).append(") ");
  line.append(run_.unit.ShownName()).append(": ");
  for (char c : StatementField(text, call_.freeForm))
    if (c != ' ' && c != '\'') line.push_back(c);
  line += note;
  if (line.size() > kErrorDescriptionWidth) {
    line.resize(kErrorDescriptionWidth);
    // A cut through a doubled apostrophe would leave the constant open.
    std::size_t quotes = 0;
    while (quotes < line.size() && line[line.size() - 1 - quotes] == '\'') ++quotes;
    if (quotes % 2 == 1 && line.size() - quotes > line.find('\'')) line.pop_back();
  }
  line += "'";
  output_.WriteOutputLine(line);
  // The label has moved to the description line.
  std::size_t columns = call_.freeForm ? std::min(call_.statementStart, text.size()) : 6;
  for (std::size_t i = 0; i < columns && i < text.size(); ++i) {
    if (!IsBlank(text[i]) && !IsDigit(text[i])) break;
    text[i] = ' ';
  }
}

// A control list continued on the next lines is joined into the line up
// to its closing ")"; the I/O list's own continuation lines stay.
void StatementConverter::JoinControlList(Scanner& scan) {
  std::string& text = *call_.text;
  std::size_t from = scan.Pos() == 0 ? 0 : scan.Pos() - 1;
  if (ClosingBracket(text, from) != std::string::npos || !LinesFollow()) return;
  text.resize(StatementField(text, call_.freeForm).size());
  call_.joined = true;
  while (ClosingBracket(text, from) == std::string::npos && LinesFollow()) {
    AppendContinuation(text, NextLine(), call_.freeForm);
    ++call_.next;
  }
}

}  // namespace kvq
