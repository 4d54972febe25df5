#include "driver/OutputFile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

#include "PathLookup.h"
#include "driver/InsertedLines.h"
#include "engine/CharacterClass.h"
#include "engine/TextUtilities.h"

namespace kvq {

namespace {

constexpr std::string_view kWarningWord = " WARNING";

// The text of a diagnostic for a " WARNING" line: the line without the
// word and its "!!!".
std::string WarningText(std::string_view line) {
  std::string_view rest = TrimBlanks(line.substr(kWarningWord.size()));
  if (rest.starts_with("!!!")) rest = TrimBlanks(rest.substr(3));
  if (rest.empty())
    return "a statement could not be converted (see the WARNING line in the output)";
  return std::string(rest);
}

}  // namespace

OutputFile::OutputFile(const RunState& run, RunObserver& observer, bool echo)
    : run_(run), observer_(observer), echo_(echo && observer.WantsLines()) {}

OutputFile::~OutputFile() {
  Discard();
}

bool OutputFile::Create(const std::string& path, LinkPolicy links) {
  Discard();
  buffer_.clear();
  // Room for a flush's worth and the line that passes it, taken at once:
  // growing by doubling would copy the text and touch twice the memory.
  buffer_.reserve(kFlushSize + kFlushSize / 4);
  flushed_ = 0;
  handlerJumps_.clear();
  return file_.Create(path, links);
}

bool OutputFile::Seal() {
  FlushEcho();
  Flush();
  return file_.Seal();
}

bool OutputFile::Commit() {
  return Seal() && file_.Commit();
}

void OutputFile::Discard() {
  FlushEcho();
  buffer_.clear();
  file_.Discard();
}

bool MayReplaceDestination(const std::string& path) {
  // Opening a FIFO or a terminal would wait for a writer or a key.
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) return errno == ENOENT;
  if (!S_ISREG(info.st_mode)) return false;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return errno == ENOENT;
  char head[kFirstOutputLine.size() + 1] = {};
  std::size_t got = std::fread(head, 1, sizeof head, file);
  std::fclose(file);
  if (got == 0) return true;
  std::string_view line(head, got);
  if (!line.starts_with(kFirstOutputLine)) return false;
  // The line ends there: CR, LF, or the end of the file.
  return got == kFirstOutputLine.size() || head[kFirstOutputLine.size()] == '\r' ||
         head[kFirstOutputLine.size()] == '\n';
}

bool IsContainsLine(std::string_view line) {
  std::size_t end = line.find_last_not_of(' ');
  if (end == std::string_view::npos || end + 1 != 8) return false;
  constexpr std::string_view kContains = "CONTAINS";
  for (std::size_t i = 0; i < 8; ++i)
    if (ToUpper(line[i]) != kContains[i]) return false;
  return true;
}

void OutputFile::WriteOutputLine(std::string_view line) {
  // A free-form line that starts with "C" is a statement (CALL, COMMON ...):
  // only fixed-form lines have a comment letter in column 1.
  Write(line, !run_.freeForm);
  if (line.starts_with(kWarningWord)) {
    Warn(CurrentLocation(), WarningText(line));
  }
}

void OutputFile::Warn(const SourceLocation& where, std::string_view text) {
  observer_.Report(
      Diagnostic{Severity::Warning, NameForUser(where.file), where.line, std::string(text)});
}

// The main source as the user gave it, and an INCLUDE file beside it with
// the source's directory as given (the shown one is upper-cased).
std::string OutputFile::NameForUser(const std::string& shown) const {
  if (givenSource_.empty()) return shown;
  if (shown == shownSource_) return givenSource_;
  std::string shownDirectory = DirectoryPart(shownSource_);
  if (!shownDirectory.empty() && shown.starts_with(shownDirectory + kPathSeparator))
    return JoinPath(DirectoryPart(givenSource_), shown.substr(shownDirectory.size() + 1));
  return shown;
}

void OutputFile::FlushEcho() {
  if (echoed_.empty()) return;
  observer_.AddOutputLines(echoed_);
  echoed_.clear();
}

void OutputFile::WriteCommentLine(std::string_view line) {
  Write(line, true);
}

void OutputFile::Flush() {
  if (!buffer_.empty()) file_.Write(buffer_);
  flushed_ += buffer_.size();
  buffer_.clear();
}

// Marks become the current labels; each piece is noted at its offset in
// the file.
void OutputFile::PutInLabels(std::string& line, std::uint64_t offset) {
  pieces_.clear();
  marks_.Fill(line, handlerLabels_, &pieces_);
  for (const MarkPiece& piece : pieces_)
    handlerJumps_.push_back({offset + piece.at, piece.length, piece.handler, piece.digit});
}

void OutputFile::Overwrite(std::uint64_t offset, std::string_view text) {
  if (offset >= flushed_) {
    buffer_.replace(offset - flushed_, text.size(), text);
    return;
  }
  file_.WriteAt(offset, text);
}

void OutputFile::ResolveHandlerLabels(const HandlerLabels& labels) {
  for (const HandlerJump& jump : handlerJumps_) {
    std::string_view label =
        std::string_view(labels.Of(jump.handler)).substr(jump.digit, jump.length);
    std::string_view written =
        std::string_view(handlerLabels_.Of(jump.handler)).substr(jump.digit, jump.length);
    if (label.size() == jump.length && label != written) Overwrite(jump.offset, label);
  }
  handlerJumps_.clear();
}

SourceLocation OutputFile::CurrentLocation() const {
  return locate_ ? locate_(converting_) : SourceLocation();
}

// Every line is attributed to the source line being converted, the lines
// inserted for it too; a marker comes where the compiler's count differs.
void OutputFile::WriteLineMarker() {
  SourceLocation at = CurrentLocation();
  if (at.line <= 0) return;
  if (at.line == nextLine_ && at.file == markedFile_) {
    ++nextLine_;
    return;
  }
  std::string name = NameForUser(at.file);
  buffer_.append("# ").append(std::to_string(at.line)).append(" \"");
  for (char c : name) {
    if (c == '"' || c == '\\') buffer_.push_back('\\');
    buffer_.push_back(c);
  }
  buffer_.append("\"\r\n");
  markedFile_ = at.file;
  nextLine_ = at.line + 1;
}

void OutputFile::Write(std::string_view given, bool leadingCToComment) {
  if (lineMarkers_ && file_.IsOpen() && outputLines_ > 0) WriteLineMarker();
  lastLineAt_ = flushed_ + buffer_.size();
  std::string withLabels;
  std::string_view line = given;
  if (FindMark(given) != std::string_view::npos) {
    withLabels.assign(given);
    PutInLabels(withLabels, flushed_ + buffer_.size());
    line = withLabels;
  }
  bool comment = leadingCToComment && !line.empty() && line[0] == 'C' && !IsContainsLine(line);
  if (file_.IsOpen()) {
    if (comment) {
      buffer_.push_back('!');
      buffer_.append(line.substr(1));
    } else {
      buffer_.append(line);
    }
    buffer_.append("\r\n");
    if (buffer_.size() >= kFlushSize) Flush();
  }
  ++outputLines_;
  if (echo_) {
    echoed_.emplace_back(line);
    if (comment) echoed_.back()[0] = '!';
    if (echoed_.size() >= kEchoBatch) FlushEcho();
  }
}

}  // namespace kvq
