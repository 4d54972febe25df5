#include "engine/StatementConverter.h"

#include <algorithm>
#include <array>
#include <bit>

#include "engine/CharacterClass.h"
#include "engine/Continuation.h"
#include "engine/LabelReferences.h"

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

StatementConverter::StatementConverter(SourceReader& reader, OutputChannel& output,
                                       const ConversionSettings& settings, CarryOver& carry,
                                       RunState& run)
    : reader_(reader), output_(output), settings_(settings), carry_(carry), run_(run) {}

// In free form the text before the statement (indentation and label), or
// six blanks when the statement starts in column 1, so that a generated
// line never begins with the letter of a statement in column 1.
std::string StatementConverter::LabelPrefix() const {
  const std::string& text = reader_.statement().Text;
  std::string prefix = text.substr(0, std::min(statementStart_, text.size()));
  return prefix.empty() ? std::string(6, ' ') : prefix;
}

void StatementConverter::ConvertStatement() {
  Statement& s = stmt();
  s.RawScan = false;
  statementStart_ = reader_.FreeForm() ? FreeFormStatementStart(s.Text) : 6;
  s.ScanPos = statementStart_;
  if (!reader_.LineStartsWith("FORMAT") && !reader_.IsContinuation())
    run_.unit.LastWasReturn = false;
  inIf_ = false;
  kind_ = IoKind::None;
  NoteDoLabelReferences();

  std::string candidate;
  unsigned rows = kAllRows;
  for (;;) {
    if (candidate.empty()) {
      keywordStart_ = s.ScanPos;
      rows = kAllRows;
    }
    char c = reader_.NextChar();
    if (c == '!' || c == kEndMarker) return;  // a trailing comment or the line's end
    candidate.push_back(c);
    switch (TryRows(candidate, rows)) {
      case ScanResult::Continue:
        break;
      case ScanResult::Done:
        return;
      case ScanResult::Unmatched:
        // Outside a logical IF a keyword counts only where the statement
        // begins; inside one the scan goes on through the condition.
        if (!inIf_) return;
        candidate.clear();
        break;
    }
  }
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

StatementConverter::ScanResult StatementConverter::TryRows(const std::string& candidate,
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
        if (reader_.FreeForm()) {
          if (LabelPrefix().find_first_of("0123456789") == std::string::npos)
            return ScanResult::Unmatched;
        } else {
          std::string field = stmt().Text.substr(0, 5);
          if (field.empty() || field == "     ") return ScanResult::Unmatched;
        }
        MoveEnddoLabel();
        return ScanResult::Done;
      }
      case Row::Do:
        PushDoLabel();
        return inIf_ ? ScanResult::Unmatched : ScanResult::Done;
      case Row::If:
        inIf_ = true;
        return ScanResult::Unmatched;  // the condition is scanned next
      case Row::Pause:
        ApplyPauseRule();
        return ScanResult::Done;
      case Row::Stop:
        if (!reader_.AtWordEnd() || !ApplyStopRule()) return ScanResult::Unmatched;
        return ScanResult::Done;
      case Row::Call:
        if (!settings_.insertTrace || inIf_ || reader_.IsContinuation() || !reader_.AtWordEnd())
          return ScanResult::Unmatched;
        ApplyTraceRule();
        return ScanResult::Done;
      case Row::Open:
        return Recognised(IoKind::Open) ? ScanResult::Done : ScanResult::Unmatched;
      case Row::Close:
        return Recognised(IoKind::Close) ? ScanResult::Done : ScanResult::Unmatched;
      case Row::Read:
        if (!reader_.AtWordEnd()) return ScanResult::Unmatched;
        return Recognised(IoKind::Read) ? ScanResult::Done : ScanResult::Unmatched;
      case Row::Print:
        if (!reader_.AtWordEnd()) return ScanResult::Unmatched;
        return Recognised(IoKind::Print) ? ScanResult::Done : ScanResult::Unmatched;
      case Row::Write:
        return Recognised(IoKind::Write) ? ScanResult::Done : ScanResult::Unmatched;
      case Row::Return:
        // A RETURN that a logical IF guards is no last RETURN: a false
        // condition would fall into the handlers behind it.
        if (reader_.AtWordEnd() && !inIf_) run_.unit.LastWasReturn = true;
        return ScanResult::Unmatched;
      case Row::Format: {
        const std::string& text = stmt().Text;
        // Column 6 marks a continuation in fixed form only.
        bool column6Blank = reader_.FreeForm() || text.size() < 6 || IsBlank(text[5]);
        if (!column6Blank || reader_.IsCommentLine(text)) return ScanResult::Unmatched;
        ApplyFormatRule();
        return ScanResult::Done;
      }
    }
  }
  return ScanResult::Unmatched;
}

// In a logical IF an I/O keyword counts only right after the condition.
bool StatementConverter::Recognised(IoKind kind) {
  if (inIf_) {
    const std::string& text = stmt().Text;
    char before =
        keywordStart_ >= 1 && keywordStart_ <= text.size() ? text[keywordStart_ - 1] : ' ';
    if (before != ')' && before != ' ') return false;
  }
  ConvertIoStatement(kind);
  return true;
}

// ---------------------------------------------------------------------------
// Control statements

// While a labelled DO loop is open, the statements of its body are seen one
// by one; a reference to its terminal label is noted as it passes. A DO
// statement sharing the label refers to nothing.
void StatementConverter::NoteDoLabelReferences() {
  UnitData& unit = run_.unit;
  if (unit.DoLabelStack.empty()) return;
  const std::string& text = stmt().Text;
  std::string key =
      LabelReferenceKey(std::string_view(text).substr(std::min(statementStart_, text.size())));
  if (key.starts_with("DO")) return;
  for (int label : unit.DoLabelStack) {
    if (std::find(unit.ReferencedDoLabels.begin(), unit.ReferencedDoLabels.end(), label) !=
        unit.ReferencedDoLabels.end())
      continue;
    if (RefersToLabel(key, label)) unit.ReferencedDoLabels.push_back(label);
  }
}

// An I/O statement that ends a labelled DO loop becomes several lines: its
// label goes to a CONTINUE after them, which then ends the loop. Not when a
// statement of the loop jumps to the label: the jump would pass the I/O.
bool StatementConverter::EndsDoLoopOnFreeLabel() const {
  const UnitData& unit = run_.unit;
  int label = reader_.statement().Label;
  return !unit.DoLabelStack.empty() && unit.DoLabelStack.back() == label &&
         std::find(unit.ReferencedDoLabels.begin(), unit.ReferencedDoLabels.end(), label) ==
             unit.ReferencedDoLabels.end();
}

// Takes the label off the line; returns the CONTINUE line that gets it.
std::string StatementConverter::TakeLabelForContinue() {
  Statement& s = stmt();
  std::size_t columns = reader_.FreeForm() ? std::min(statementStart_, s.Text.size()) : 5;
  std::string field = s.Text.substr(0, std::min(columns, s.Text.size()));
  if (!reader_.FreeForm()) field.resize(6, ' ');
  BlankColumns(s.Text, columns);
  s.LabelField = "      ";
  return field + "CONTINUE";
}

void StatementConverter::MoveEnddoLabel() {
  std::string& text = stmt().Text;
  std::size_t labelColumns = reader_.FreeForm() ? std::min(statementStart_, text.size()) : 6;
  output_.WriteOutputLine((reader_.FreeForm() ? LabelPrefix() : text.substr(0, 6)) +
                          std::string(kEnddoContinue));
  BlankColumns(text, labelColumns);
}

void StatementConverter::PushDoLabel() {
  Statement& s = stmt();
  int label = 0;
  for (;;) {
    std::size_t before = s.ScanPos;
    char c = reader_.NextChar();
    if (!IsDigit(c)) {
      s.ScanPos = before;  // the character after the label starts the next candidate
      break;
    }
    if (label < 100000) label = label * 10 + (c - '0');
  }
  if (label >= 1 && run_.unit.DoLabelStack.size() < UnitData::kMaxDoLabels)
    run_.unit.DoLabelStack.push_back(label);
}

void StatementConverter::ApplyPauseRule() {
  std::string& text = stmt().Text;
  std::string head = reader_.FreeForm() ? LabelPrefix() : text.substr(0, 6);
  text = head + std::string(kPauseLine);
}

bool StatementConverter::ApplyStopRule() {
  std::string& text = stmt().Text;
  std::size_t last = stmt().ScanPos;  // column of the keyword's last letter
  if (last > 10 && static_cast<unsigned char>(text[last - 5]) >= '0') return false;
  std::string prefix = text.substr(0, keywordStart_);
  if (reader_.FreeForm() && prefix.find_first_not_of(' ') == std::string::npos)
    prefix = LabelPrefix();
  std::string call = std::string(kStopCall) + std::string(kStopTag);
  if (!inIf_) run_.unit.LastWasReturn = true;
  if (!reader_.FreeForm() && prefix.size() + call.size() > kFixedFormLastColumn) {
    output_.WriteOutputLine(prefix);
    text = "     - " + call;
  } else {
    text = prefix + call;
  }
  return true;
}

void StatementConverter::ApplyTraceRule() {
  std::string& text = stmt().Text;
  std::string trace = run_.unit.ShownName() + ": " + text;
  if (trace.size() > kTraceTextLimit) {
    trace.resize(kTraceTextLimit);
    trace += " ...";
  }
  for (char& c : trace)
    if (c == '\'') c = ' ';
  std::string head = reader_.FreeForm() ? LabelPrefix() : text.substr(0, 6);
  output_.WriteOutputLine(head + "zx_BufIO='Trace> " + trace + "'");
  output_.WriteOutputLine("      call zx_NewRecord(0) ");
  output_.WriteOutputLine("      call Interface_IO(1)   ! Write");
  BlankColumns(text, reader_.FreeForm() ? std::min(statementStart_, text.size()) : 5);
}

// ---------------------------------------------------------------------------
// Recognised I/O statements

void StatementConverter::ConvertIoStatement(IoKind kind) {
  Statement& s = stmt();
  kind_ = kind;
  if (reader_.FreeForm() && HasStatementSeparator(s.Text)) {
    output_.WriteOutputLine(kTwoOperatorsWarning);
    return;
  }
  std::string continueLine;
  if (kind != IoKind::Close && EndsDoLoopOnFreeLabel()) continueLine = TakeLabelForContinue();
  ifPrefixLength_ = keywordStart_;
  if (reader_.IsContinuation()) {
    inIf_ = true;
    ifPrefixLength_ = 6;
  }
  if (inIf_) {
    // The logical IF becomes a block IF around the rewritten statement; a
    // "then" that would pass column 72 goes on a continuation line.
    std::string prefix = s.Text.substr(0, ifPrefixLength_);
    if (!reader_.FreeForm() && prefix.size() + 6 > kFixedFormLastColumn) {
      output_.WriteOutputLine(prefix);
      output_.WriteOutputLine("     -  then");
    } else {
      output_.WriteOutputLine(prefix + "  then");
    }
    BlankColumns(s.Text, ifPrefixLength_);
    s.LabelField = "      ";
  }
  std::string note = reader_.NextIsContinuation() ? " ..." : "";
  const auto& stack = run_.unit.DoLabelStack;
  bool endsDoLoop =
      continueLine.empty() && !stack.empty() && stack.back() == s.Label && kind != IoKind::Close;
  output_.WriteOutputLine(std::string(endsDoLoop ? kDoEndWarning : kConvertedComment) + s.Text +
                          note);
  if (kind != IoKind::Close) WriteErrorDescription(note);

  unit_ = IoUnitData();
  unit_.MpiGuard = Mpi();
  switch (kind) {
    case IoKind::Open:
      RewriteOpen();
      break;
    case IoKind::Close:
      RewriteClose();
      break;
    case IoKind::Read:
      RewriteRead();
      break;
    case IoKind::Print:
      RewritePrint();
      break;
    case IoKind::Write:
      RewriteWrite();
      break;
    case IoKind::None:
      break;
  }
  if ((kind == IoKind::Print || kind == IoKind::Write) && unit_.MpiGuard) {
    output_.WriteOutputLine(s.Text);
    s.Text = kEndifLine;
  }
  if (inIf_) {
    output_.WriteOutputLine(s.Text);
    s.Text = kEndifLine;
  }
  if (!continueLine.empty()) {
    output_.WriteOutputLine(s.Text);
    s.Text = continueLine;
  }
}

void StatementConverter::WriteErrorDescription(const std::string& note) {
  Statement& s = stmt();
  std::string line = s.LabelField + "zx_Ebuf='" + run_.sourceFileName + "(" +
                     std::to_string(reader_.InputLines()) + ") " + run_.unit.ShownName() + ": ";
  for (char c : s.Text)
    if (c != ' ' && c != '\'') line.push_back(c);
  line += note;
  if (line.size() > 70) line.resize(70);
  line += "'";
  output_.WriteOutputLine(line);
  // The label has moved to the description line.
  std::size_t columns = reader_.FreeForm() ? std::min(statementStart_, s.Text.size()) : 6;
  for (std::size_t i = 0; i < columns && i < s.Text.size(); ++i) {
    if (!IsBlank(s.Text[i]) && !IsDigit(s.Text[i])) break;
    s.Text[i] = ' ';
  }
}

// A control list continued on the next lines is joined into the current
// line up to its closing ")"; the I/O list's own continuation lines stay.
void StatementConverter::JoinControlList() {
  Statement& s = stmt();
  auto closes = [&](const std::string& text) {
    int depth = 0;
    bool quoted = false;
    for (std::size_t i = s.ScanPos == 0 ? 0 : s.ScanPos - 1; i < text.size(); ++i) {
      char c = text[i];
      if (c == '\'') quoted = !quoted;
      if (quoted) continue;
      if (c == '!') return false;
      if (c == '(') ++depth;
      if (c == ')' && --depth == 0) return true;
    }
    return false;
  };
  if (closes(s.Text) || !reader_.ContinuationFollows()) return;
  std::size_t scanPos = s.ScanPos;
  int label = s.Label;
  std::string labelField = s.LabelField;
  std::string joined = s.Text;
  while (!closes(joined) && reader_.ContinuationFollows()) {
    AppendContinuation(joined, reader_.Lookahead(), reader_.FreeForm());
    reader_.ReadStatement();
  }
  s.Text = std::move(joined);
  s.ScanPos = scanPos;
  s.Label = label;
  s.LabelField = labelField;
}

}  // namespace kvq
