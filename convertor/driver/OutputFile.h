// The destination of a run: converted lines end in CR LF, are counted, and
// are echoed into the output list box unless a project run is going on.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "ConversionOptions.h"
#include "OutputChannel.h"

namespace kvq {

class UserInterface;

class OutputFile : public OutputChannel {
 public:
  OutputFile(const ConversionOptions& options, const bool& projectRun, UserInterface& ui);
  ~OutputFile() override;

  bool Create(const std::string& path);
  // Returns false when a write failed or the file could not be closed.
  bool Close();

  void WriteOutputLine(std::string_view line) override;
  void WriteCommentLine(std::string_view line) override;

  int OutputLines() const { return outputLines_; }
  void ResetCount() { outputLines_ = 0; }

 private:
  void Write(std::string_view line, bool leadingCToComment);
  void Flush();

  // Lines are collected and written in large pieces.
  static constexpr std::size_t kFlushSize = 1 << 20;

  const ConversionOptions& options_;
  const bool& projectRun_;
  UserInterface& ui_;
  std::FILE* file_ = nullptr;
  bool failed_ = false;
  int outputLines_ = 0;
  std::string buffer_;
};

// True for a CONTAINS line, whose leading "C" is no comment letter.
bool IsContainsLine(std::string_view line);

}  // namespace kvq
