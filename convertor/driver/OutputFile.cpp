#include "driver/OutputFile.h"

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
  Close();
}

bool OutputFile::Create(const std::string& path) {
  Close();
  file_ = std::fopen(path.c_str(), "wb");
  failed_ = false;
  buffer_.clear();
  return file_ != nullptr;
}

bool OutputFile::Close() {
  FlushEcho();
  if (!file_) return true;
  Flush();
  bool ok = !failed_ && std::fflush(file_) == 0 && !std::ferror(file_);
  ok = std::fclose(file_) == 0 && ok;
  file_ = nullptr;
  return ok;
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
    Warn(current_ ? current_() : SourceLocation(), WarningText(line));
  }
}

void OutputFile::Warn(const SourceLocation& where, std::string_view text) {
  observer_.Report(Diagnostic{Severity::Warning, where.file, where.line, std::string(text)});
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
  if (file_ && !buffer_.empty() &&
      std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size())
    failed_ = true;
  buffer_.clear();
}

void OutputFile::Write(std::string_view line, bool leadingCToComment) {
  bool comment = leadingCToComment && !line.empty() && line[0] == 'C' && !IsContainsLine(line);
  if (file_) {
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
