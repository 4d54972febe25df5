#include "SourceReader.h"

#include <cstdio>

#include "PathLookup.h"
#include "engine/CharacterClass.h"
#include "engine/Continuation.h"
#include "engine/Scanner.h"
#include "engine/TextUtilities.h"

namespace kvq {

namespace {

constexpr std::string_view kIncludeMarker = "!<<<<<<      INCLUDE ";
constexpr std::string_view kEndMarkerLine = "!>>>>>>      end of   ";
constexpr std::string_view kCompanionSkipPrefix = "!>>>>>>";
// The companion's lines are written in pieces of this size.
constexpr std::size_t kCompanionFlushSize = 1 << 20;
// INCLUDE names are taken up to this length.
constexpr std::size_t kNameLimit = 255;

}  // namespace

SourceReader::SourceReader(const ConversionSettings& settings, CarryOver& carry, RunState& run,
                           OutputChannel& output)
    : settings_(settings), carry_(carry), run_(run), output_(output) {}

SourceLocation SourceReader::Location(const LinePlace& place) const {
  return SourceLocation{include_[place.depth < 0 ? 0 : place.depth].path, place.line};
}

void SourceReader::StartMainLevel(const std::string& shownPath) {
  stmt_.Clear();
  current_ = CurrentLine();
  primed_ = false;
  lookahead_.clear();
  pendingRest_.clear();
  openQuote_ = Quote::None;
  openQuoteAsWritten_ = formatStatement_ = false;
  preparedContinued_ = lookaheadContinued_ = false;
  includeEnded_ = false;
  sequenceFieldNoted_ = false;
  inputLines_ = -1;
  lookaheadDepth_ = textDepth_ = 0;
  lookaheadAt_ = currentAt_ = rawAt_ = LinePlace();
  include_[0].path = shownPath;
  include_[0].lineNumber = 0;
  includeDepth_ = 0;
  endOfInput_ = false;
}

bool SourceReader::Open(const std::string& openPath, const std::string& shownPath) {
  CloseFiles();
  IncludeLevel& main = include_[0];
  if (!main.file.Open(openPath)) return false;
  main.file.AcceptLineFeedEnds(settings_.acceptLineFeeds);
  StartMainLevel(shownPath);
  main.openPath = openPath;
  return true;
}

void SourceReader::OpenText(std::string bytes, const std::string& openPath,
                            const std::string& shownPath) {
  CloseFiles();
  include_[0].file.OpenText(std::move(bytes));
  include_[0].file.AcceptLineFeedEnds(settings_.acceptLineFeeds);
  StartMainLevel(shownPath);
  include_[0].openPath = openPath;
}

// The companion is written beside its name and replaces a file of that name
// only when the source held conditionals: a user's file stays otherwise,
// and a link there is replaced, never the file it points to.
bool SourceReader::OpenCompanion(const std::string& path, bool keepStaged) {
  companionBuffer_.clear();
  keepCompanionStaged_ = keepStaged;
  return companion_.Create(path, LinkPolicy::ReplaceLink);
}

void SourceReader::CloseFiles() {
  for (IncludeLevel& level : include_) level.file.Close();
  companion_.Discard();
  companionBuffer_.clear();
}

// ---------------------------------------------------------------------------
// Reading

void SourceReader::Prime() {
  if (primed_) return;
  ReadNextLine();  // the first line becomes the look-ahead
  primed_ = true;
}

void SourceReader::ReadStatement() {
  Prime();
  // The statement's first line gets the directive step; an INTERFACE block
  // is copied, and the caller receives the statement after it (after the
  // next block, when one follows directly).
  for (;;) {
    ReadNextLine();
    ApplyReaderDirectives();
    stmt_.Clear();
    TakeCurrentLine();
    if (!stmt_.StartsWith("INTERFACE") && !stmt_.StartsWith("ABSTRACTINTERFACE")) break;
    if (interfaceHook_) interfaceHook_();
    if (!CopyInterfaceBlock()) {
      stmt_.kind_ = StatementKind::Written;
      return;
    }
  }
  const std::string& text = stmt_.Text();
  if (IsCommentLine(text))
    stmt_.kind_ = StatementKind::Comment;
  else if (text.starts_with("!DEC$"))
    stmt_.kind_ = StatementKind::Conditional;
  else
    stmt_.kind_ = StatementKind::Code;
  // Only a statement to convert takes continuation lines: after a comment
  // line a continuation line starts a statement of its own.
  while (stmt_.kind_ == StatementKind::Code && ContinuationFollows()) {
    ReadNextLine();
    ApplyReaderDirectives();
    TakeCurrentLine();
  }
}

// The current line becomes the statement's next line; the buffers swap, so
// no line is allocated anew.
void SourceReader::TakeCurrentLine() {
  bool first = stmt_.size() == 0;
  StatementLine& line = stmt_.Append();
  line.text.swap(current_.text);
  line.label = current_.label;
  line.labelField = current_.labelField;
  line.freeForm = run_.freeForm;
  line.continues =
      !first || current_.prevContinued || (!run_.freeForm && IsFixedFormContinuation(line.text));
  line.inputLines = inputLines_;
  line.depth = textDepth_;
  line.place = currentAt_;
}

void SourceReader::ReadNextLine() {
  // Nothing lies beyond the main file: its end marker is never delivered.
  if (endOfInput_) return;

  includeEnded_ = false;
  int rawDepth;
  do {
    rawDepth = includeDepth_;
    GetRawLine(raw_);
    if (!run_.freeForm) ApplySequenceField(raw_);
    PrepareLine(raw_, prepared_);
  } while (prepared_.empty());

  depthBeforeInclude_ = includeDepth_;
  bool includeOpened = false;
  if (KeyStartsWith(prepared_, "INCLUDE", run_.freeForm)) {
    includeSourceLine_ = prepared_;
    includeOpened = ApplyIncludeStep(prepared_);
    if (includeOpened) preparedContinued_ = false;
  }

  // The look-ahead becomes the current line and the prepared line the
  // look-ahead; the buffers rotate, so no line is allocated anew.
  current_.text.swap(lookahead_);
  lookahead_.swap(prepared_);
  textDepth_ = lookaheadDepth_;
  lookaheadDepth_ = rawDepth;
  currentAt_ = lookaheadAt_;
  lookaheadAt_ = rawAt_;
  current_.prevContinued = current_.continued;
  current_.continued = lookaheadContinued_;
  lookaheadContinued_ = preparedContinued_;

  ReadLabel();
  TranslateConditional();

  std::size_t last = current_.text.find_last_not_of(' ');
  current_.lastChar = last == std::string::npos ? ' ' : current_.text[last];
  if (current_.lastChar == '&' && !IsCommentLine(current_.text)) run_.freeForm = true;

  TrackConditional();

  if (!current_.text.empty()) WriteCompanionLine(current_.text);
  if (includeOpened) WriteCompanionLine(includeSourceLine_);

  if (endOfInput_ && run_.projectRun) FinishCompanion();
}

bool SourceReader::GetRawLine(std::string& raw) {
  if (!pendingRest_.empty()) {
    ReadRawLine(raw);
    return true;
  }
  IncludeLevel& level = include_[includeDepth_];
  if (level.file.AtEnd()) {
    level.file.Close();
    if (includeDepth_ > 0) includeEnded_ = true;
    raw.assign(kEndMarkerLine);
    raw.append(level.path);
    --includeDepth_;
    if (includeDepth_ == -1) endOfInput_ = true;
    return false;
  }
  ReadRawLine(raw);
  return true;
}

void SourceReader::ReadRawLine(std::string& raw) {
  if (!pendingRest_.empty()) {
    raw.swap(pendingRest_);
    pendingRest_.clear();
    return;
  }
  bool mainFile = includeDepth_ == 0;
  if (mainFile) ++inputLines_;
  IncludeLevel& level = include_[includeDepth_];
  level.file.ReadLine(raw);
  rawAt_.depth = includeDepth_;
  rawAt_.line = ++level.lineNumber;
  if (mainFile && inputEcho_) inputEcho_->push_back(raw);
}

namespace {

// Characters the character pass treats specially; every other byte is
// copied as it stands. A table keeps the common case (runs of ordinary
// characters) to one lookup per byte.
constexpr std::array<bool, 256> MakeSpecialTable() {
  std::array<bool, 256> table{};
  for (unsigned char c : {'\t', '\n', '!', '"', '\'', ';', '&'}) table[c] = true;
  return table;
}
constexpr std::array<bool, 256> kSpecial = MakeSpecialTable();

}  // namespace

// The character pass: tabs, line feeds, double-quoted constants, free-form
// ";", and the continuation mark. A double-quoted constant becomes an
// apostrophe-quoted one of the same value: an apostrophe inside is doubled,
// a doubled double quote becomes one. A constant left open at the end of a
// line goes on in its continuation line.
void SourceReader::PrepareLine(const std::string& raw, std::string& prepared) {
  prepared.clear();
  Quote quote = Quote::None;
  if (openQuote_ != Quote::None &&
      (preparedContinued_ || (!run_.freeForm && IsFixedFormContinuation(raw))))
    quote = openQuote_;
  bool comment = quote == Quote::None && IsCommentLine(raw);
  bool asWritten = quote == Quote::Double && openQuoteAsWritten_;
  bool markLast = false;  // the last character that counts was "&"
  OpenConstant opened;    // where the open constant began
  int growth = 0;         // characters the changed quotes added to the line
  const std::size_t size = raw.size();
  std::size_t i = 0;
  while (i < size) {
    std::size_t run = i;
    while (run < size && !kSpecial[static_cast<unsigned char>(raw[run])]) ++run;
    if (run > i) {
      prepared.append(raw, i, run - i);
      if (!comment && markLast && (raw[run - 1] != ' ' || raw.find_last_not_of(' ', run - 1) >= i))
        markLast = false;
    }
    if (run == size) break;
    char c = raw[run];
    i = run + 1;
    if (c == '\t') {
      do prepared.push_back(' ');
      while (prepared.size() < 7);
      continue;
    }
    if (c == '\n') {
      const IncludeLevel& level = include_[rawAt_.depth];
      throw UnixTextRefused{Location(rawAt_), level.openPath, rawAt_.depth > 0};
    }
    if (comment) {
      prepared.push_back(c);
      continue;
    }
    bool markBefore = markLast;
    markLast = c == '&';
    switch (c) {
      case '!':
        prepared.push_back(c);
        if (quote == Quote::None) {
          comment = true;  // a trailing comment hides no continuation mark
          markLast = markBefore;
        }
        break;
      case '"':
        if (quote == Quote::Apostrophe) {
          prepared.push_back('"');
        } else if (quote == Quote::Double && i < size && raw[i] == '"') {
          prepared.push_back('"');  // a doubled double quote stands for one
          if (asWritten) prepared.push_back('"');
          ++i;
          if (!asWritten) --growth;
        } else {
          if (quote == Quote::None) opened = {prepared.size(), run};
          prepared.push_back(asWritten ? '"' : '\'');
          if (quote == Quote::Double) asWritten = false;
          quote = quote == Quote::Double ? Quote::None : Quote::Double;
        }
        break;
      case '\'':
        if (quote == Quote::Double && asWritten) {
          prepared.push_back(c);
        } else if (quote == Quote::Double) {
          prepared.append("''");  // an apostrophe inside becomes two
          ++growth;
        } else {
          if (quote == Quote::None) opened = {prepared.size(), run};
          prepared.push_back(c);
          quote = quote == Quote::Apostrophe ? Quote::None : Quote::Apostrophe;
        }
        break;
      case ';':
        if (run_.freeForm && quote == Quote::None) {
          pendingRest_.assign(TrimBlanks(std::string_view(raw).substr(run + 1)));
          TrimTrailingBlanks(prepared);
          openQuote_ = Quote::None;
          preparedContinued_ = false;
          return;
        }
        prepared.push_back(c);
        break;
      default:
        prepared.push_back(c);
        break;
    }
  }
  TrimTrailingBlanks(prepared);
  openQuote_ = comment ? Quote::None : quote;
  openQuoteAsWritten_ = asWritten && openQuote_ == Quote::Double;
  preparedContinued_ = markLast;
  if (!run_.freeForm && !comment && !IsFixedFormContinuation(raw))
    formatStatement_ = KeyStartsWith(prepared, "FORMAT", false);
  if (!run_.freeForm && openQuote_ != Quote::None && growth != 0)
    KeepOpenConstantEnd(raw, prepared, opened, growth);
}

namespace {

// The byte of a fixed-form line where column 73 begins (a tab before column
// 7 reaches column 7, any other tab takes one column); npos when the line
// ends before.
std::size_t SequenceFieldStart(std::string_view raw) {
  // A tab reaches column 7 at most: a shorter line cannot pass column 72.
  if (raw.size() + kStatementFieldColumn7 <= kFixedFormLastColumn) return std::string_view::npos;
  if (raw.find('\t') == std::string_view::npos)
    return raw.size() > kFixedFormLastColumn ? kFixedFormLastColumn : std::string_view::npos;
  std::size_t column = 0;  // columns taken so far
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (column == kFixedFormLastColumn) return i;
    column =
        raw[i] == '\t' && column < kStatementFieldColumn7 ? kStatementFieldColumn7 : column + 1;
  }
  return std::string_view::npos;
}

}  // namespace

// Fixed form: text beyond column 72 of a statement line is a card sequence
// field when the job says so, and goes before anything sees the line;
// otherwise it stays, and the run is told once, naming the setting.
void SourceReader::ApplySequenceField(std::string& raw) {
  std::size_t start = SequenceFieldStart(raw);
  if (start == std::string::npos || IsCommentLine(raw)) return;
  if (settings_.sequenceField) {
    raw.resize(start);
    return;
  }
  if (sequenceFieldNoted_ || raw.find_first_not_of(' ', start) == std::string::npos) return;
  sequenceFieldNoted_ = true;
  output_.Warn(Location(rawAt_),
               "statement lines carry text beyond column 72; it stays in its columns, which "
               "the compiler ignores; with the setting CARDS=Y it is dropped as a card "
               "sequence field");
}

namespace {

// Where the last Hollerith constant (nH and n characters) before `end` ends,
// outside apostrophe constants; the statement field's start when none does.
// A count after a letter or digit belongs to a name.
std::size_t HollerithEnd(std::string_view line, std::size_t end) {
  std::size_t after = kStatementFieldColumn7;
  bool inside = false;
  for (std::size_t i = kStatementFieldColumn7; i < end; ++i) {
    char c = line[i];
    if (c == '\'') inside = !inside;
    if (inside || !IsDigit(c) || IsNameChar(line[i - 1])) continue;
    std::size_t h = i;
    while (h < end && IsDigit(line[h])) ++h;
    if (h < end && (line[h] == 'H' || line[h] == 'h')) {
      after = std::min(end, h + 1 + DigitsValue(line.substr(i, h - i)));
      i = after - 1;
    } else {
      i = h - 1;
    }
  }
  return after;
}

// Removes up to `count` blanks outside character constants before `end`,
// nearest first, and none of a Hollerith constant's. Returns how many went.
int RemoveBlanksBefore(std::string& line, std::size_t end, int count) {
  std::size_t start = HollerithEnd(line, end);
  bool inside = false;  // seen from the right, the scan starts outside
  int removed = 0;
  for (std::size_t i = end; i > start && removed < count;) {
    --i;
    if (line[i] == '\'') inside = !inside;
    if (!inside && line[i] == ' ') {
      line.erase(i, 1);
      ++removed;
    }
  }
  return removed;
}

}  // namespace

// A fixed-form constant left open at the end of a line takes its value up to
// column 72, blanks included. When changed quotes made the line longer or
// shorter, blanks outside constants before the constant go or come so that
// it ends where it did; where that cannot be done, the run is told.
void SourceReader::KeepOpenConstantEnd(const std::string& raw, std::string& prepared,
                                       OpenConstant opened, int growth) {
  std::size_t beyond = SequenceFieldStart(raw);
  if (beyond != std::string::npos && raw.find_first_not_of(' ', beyond) != std::string::npos)
    return;  // text beyond column 72 stays where it stood, and was reported
  std::size_t openedAt = opened.prepared;
  if (openedAt != std::string::npos && growth < 0) {
    prepared.insert(openedAt, static_cast<std::size_t>(-growth), ' ');
    return;
  }
  std::string before = prepared.substr(0, std::min(openedAt, prepared.size()));
  if (openedAt != std::string::npos && RemoveBlanksBefore(prepared, openedAt, growth) == growth)
    return;
  // A FORMAT is copied as written: its double-quoted constant may keep its
  // quotes, and so its end, when it opens on this line and nothing before it
  // moved. One opened on an earlier line has already been changed there.
  if (formatStatement_ && openQuote_ == Quote::Double && openedAt != std::string::npos &&
      openedAt == opened.raw) {
    prepared = before;
    prepared.append(raw, opened.raw, std::string::npos);
    TrimTrailingBlanks(prepared);
    openQuoteAsWritten_ = true;
    return;
  }
  output_.Warn(Location(rawAt_),
               "a character constant continued from this line changes length when its "
               "double quotes become apostrophes; its text on this line no longer ends in "
               "column 72, so its value changes");
}

// Replaces an INCLUDE line whose file opens by the marker line and enters the
// file. Returns true when a file was opened.
bool SourceReader::ApplyIncludeStep(std::string& prepared) {
  if (KeyStartsWith(prepared, "INCLUDE'ZENTRIX.H'", run_.freeForm)) {
    prepared = "!";
    return false;
  }
  char quote = '\'';
  std::size_t open = prepared.find(quote);
  if (open == std::string::npos) {
    quote = '"';
    open = prepared.find(quote);
    if (open == std::string::npos) return false;
  }
  std::string_view after = std::string_view(prepared).substr(open + 1, kNameLimit);
  std::size_t close = after.find(quote);
  if (close == std::string_view::npos || close == 0) return false;
  std::string name(after.substr(0, close));
  if (includeDepth_ >= kMaxIncludeDepth) {
    output_.Warn(Location(rawAt_), "INCLUDE '" + name + "' nests deeper than " +
                                       std::to_string(kMaxIncludeDepth) +
                                       " levels; the line is kept as it is");
    return false;
  }

  const IncludeLevel& parent = include_[includeDepth_];
  bool bare = !HasDirectoryPart(name);
  std::string shown = bare ? JoinPath(DirectoryPart(parent.path), name) : name;
  std::string wanted = bare ? JoinPath(DirectoryPart(parent.openPath), name) : name;
  std::string resolved = ResolvePath(wanted);

  IncludeLevel& level = include_[includeDepth_ + 1];
  if (!level.file.Open(resolved)) {
    output_.Warn(Location(rawAt_),
                 "INCLUDE '" + name + "' cannot be opened; the line is kept as it is");
    return false;
  }
  level.file.AcceptLineFeedEnds(settings_.acceptLineFeeds);
  ++includeDepth_;
  level.lineNumber = 0;
  level.path = shown;
  level.openPath = resolved;
  run_.includedFiles.push_back(resolved);
  prepared.assign(kIncludeMarker);
  prepared.append(shown);
  return true;
}

namespace {

// Columns 1 to 6 of a line that takes over a label: a blank and the digits,
// or all five digits from column 1, so that column 6 stays blank.
void SetLabelField(std::string& field, std::string_view digits) {
  constexpr std::size_t kLabelColumns = 5;
  field.assign(kStatementFieldColumn7, ' ');
  field.replace(digits.size() < kLabelColumns ? 1 : 0, digits.size(), digits);
}

}  // namespace

void SourceReader::ReadLabel() {
  current_.label = 0;
  char buffer[5];  // at most five digits are taken
  std::size_t count = 0;
  const std::string& text = current_.text;
  if (run_.freeForm) {
    // Free form: a label is the digits in front of the statement, in any
    // column, followed by a blank.
    std::size_t at = text.find_first_not_of(' ');
    std::size_t end = at;
    while (end != std::string::npos && end < text.size() && end - at < 5 && IsDigit(text[end]))
      ++end;
    if (at != std::string::npos && end > at && (end == text.size() || IsBlank(text[end])))
      for (std::size_t i = at; i < end && count < sizeof buffer; ++i) buffer[count++] = text[i];
  } else {
    for (std::size_t column = 1; column <= 5 && column <= text.size(); ++column) {
      char c = text[column - 1];
      if (IsBlank(c)) continue;
      if (!IsDigit(c)) break;
      buffer[count++] = c;
    }
  }
  std::string_view digits(buffer, count);
  for (char c : digits) current_.label = current_.label * 10 + (c - '0');
  SetLabelField(current_.labelField, digits);
}

void SourceReader::WriteCompanionLine(std::string_view line) {
  if (!run_.projectRun || !companion_.IsOpen()) return;
  if (!(depthBeforeInclude_ == 0 || depthBeforeInclude_ == -1)) return;
  if (includeEnded_ || line.starts_with(kCompanionSkipPrefix)) return;
  companionBuffer_.append(line).append("\r\n");
  if (companionBuffer_.size() >= kCompanionFlushSize) {
    companion_.Write(companionBuffer_);
    companionBuffer_.clear();
  }
}

void SourceReader::FinishCompanion() {
  if (!companion_.IsOpen()) return;
  if (carry_.conditions.ConditionalSeen) {
    companion_.Write(companionBuffer_);
    // A failure leaves the old companion; the conversion goes on.
    if (keepCompanionStaged_)
      companion_.Seal();
    else
      companion_.Commit();
  } else {
    companion_.Discard();
  }
  companionBuffer_.clear();
}

// ---------------------------------------------------------------------------
// Text utilities

bool SourceReader::IsCommentLine(std::string_view text) const {
  return kvq::IsCommentLine(text, run_.freeForm);
}

// The look-ahead continues the current line, and a next line exists to be
// read (the main file's end marker never continues a statement).
bool SourceReader::ContinuationFollows() const {
  if (endOfInput_) return false;
  if (current_.continued) return true;
  if (run_.freeForm) return false;
  return IsFixedFormContinuation(lookahead_);
}

// ---------------------------------------------------------------------------
// Conditional compilation

namespace {

// The symbol of a "*$" line: after its first blank, up to the next blank.
std::string ConditionalSymbol(std::string_view text) {
  std::size_t blank = text.find(' ');
  std::string_view rest = blank == std::string_view::npos ? text : text.substr(blank + 1);
  std::size_t begin = rest.find_first_not_of(' ');
  if (begin == std::string_view::npos) return {};
  rest = rest.substr(begin);
  return std::string(rest.substr(0, rest.find(' ')));
}

std::string_view TrimUnderscores(std::string_view text) {
  std::size_t begin = text.find_first_not_of('_');
  if (begin == std::string_view::npos) return {};
  std::size_t end = text.find_last_not_of('_');
  return text.substr(begin, end - begin + 1);
}

}  // namespace

void SourceReader::TranslateConditional() {
  std::string& text = current_.text;
  if (text.size() < 2 || text[0] != '*' || text[1] != '$') return;
  Scanner scan(text);
  std::string key;
  for (int i = 0; i < 4; ++i) key.push_back(scan.NextChar());
  if (key == "*$IF") {
    carry_.conditions.ConditionalSeen = true;
    std::size_t blank = text.find(' ');
    if (blank != std::string::npos) {
      std::string symbol(TrimUnderscores(TrimBlanks(std::string_view(text).substr(blank + 1))));
      text = text.substr(0, blank + 1) + "__" + symbol + "__";
    }
  }
  if (settings_.dialect == Dialect::Compaq) {
    key.push_back(scan.NextChar());
    key.push_back(scan.NextChar());
    if (key == "*$ENDI") {
      text = "!DEC$ ENDIF";
    } else if (key == "*$ELSE") {
      text = "!DEC$ ELSE";
    } else if (key == "*$IFDE") {
      text = "!DEC$ IF DEFINED (" + ConditionalSymbol(text) + ")";
    } else if (key == "*$IFND") {
      // The IFNDEF branch becomes the ELSE part of an empty IF DEFINED branch.
      std::string ifLine = "!DEC$ IF DEFINED (" + ConditionalSymbol(text) + ")";
      output_.WriteOutputLine(ifLine);
      WriteCompanionLine(ifLine);
      OpenConditionLevel(ifLine);
      text = "!DEC$ ELSE";
    }
  }
}

void SourceReader::OpenConditionLevel(std::string_view text) {
  // Levels beyond the record's nine are counted, so that their ENDIF lines
  // close them, but not recorded: their lines count as switched on.
  ConditionRecord& conditions = carry_.conditions;
  ++conditions.ConditionDepth;
  if (conditions.ConditionDepth == ConditionRecord::kLevels + 1)
    output_.Warn(Location(currentAt_), "IF DEFINED nests deeper than " +
                                           std::to_string(ConditionRecord::kLevels) +
                                           " levels; the lines of the deeper levels are converted");
  if (conditions.ConditionDepth > ConditionRecord::kLevels) return;
  std::string& level = conditions.ConditionStack[conditions.ConditionDepth];
  level.clear();
  std::size_t open = text.find('(');
  std::size_t close = text.find(')');
  if (open != std::string_view::npos && close != std::string_view::npos && open < close)
    level.assign(TrimBlanks(text.substr(open + 1, close - open - 1)));
}

void SourceReader::TrackConditional() {
  const std::string& text = current_.text;
  int& depth = carry_.conditions.ConditionDepth;
  if (text == "!DEC$ ENDIF") {
    if (depth > 0) --depth;  // an ENDIF without an open level changes nothing
  } else if (text.starts_with("!DEC$ IF DEFINED")) {
    OpenConditionLevel(text);
  } else if (text.starts_with("!DEC$ ELSE") && depth > 0 && depth <= ConditionRecord::kLevels) {
    carry_.conditions.ConditionStack[depth].insert(0, 1, '-');
  }
}

bool SourceReader::InInactiveBranch() const {
  const ConditionRecord& conditions = carry_.conditions;
  int depth = conditions.ConditionDepth;
  if (depth < 1 || depth > ConditionRecord::kLevels) return false;
  const std::string& level = conditions.ConditionStack[depth];
  if (level.empty()) return false;
  const std::string& defined = settings_.definedSymbols;
  if (level[0] == '-') return defined.find(level.substr(1, 100)) != std::string::npos;
  return defined.find(level) == std::string::npos;
}

}  // namespace kvq
