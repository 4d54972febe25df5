#include "OutputFile.h"

#include "CharacterClass.h"
#include "UserInterface.h"

namespace kvq {

OutputFile::OutputFile(const ConversionOptions& options, const bool& projectRun, UserInterface& ui)
    : options_(options), projectRun_(projectRun), ui_(ui) {}

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
  Write(line, !options_.freeForm);
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
  if (!projectRun_ && ui_.ShowsLists()) {
    std::string shown(line);
    if (comment) shown[0] = '!';
    ui_.AddOutputLine(shown);
  }
}

}  // namespace kvq
