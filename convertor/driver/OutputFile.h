// The destination of a run: converted lines end in CR LF, are counted, are
// passed to the run observer in batches when it shows them, and every
// " WARNING" line is also reported as a diagnostic. Lines go to a temporary
// file beside the destination, which replaces the destination only when the
// run commits it: a failed run leaves the destination as it was.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "RunObserver.h"
#include "StagedFile.h"
#include "engine/HandlerLabels.h"
#include "engine/OutputChannel.h"
#include "engine/RunState.h"

namespace kvq {

class OutputFile : public OutputChannel {
 public:
  // echo: the observer receives the lines written.
  OutputFile(const RunState& run, RunObserver& observer, bool echo);
  ~OutputFile() override;

  // Creates the temporary file beside path; false (errno set) when it
  // cannot be created or path names no regular file.
  bool Create(const std::string& path, LinkPolicy links);
  // Writes out what is buffered and closes the temporary file; false when
  // a write or the close failed.
  bool Seal();
  // Puts the temporary file in the destination's place. Returns false,
  // with the destination untouched, when a write failed or the file could
  // not be closed or renamed.
  bool Commit();
  // Closes and removes the temporary file; the destination stays as it was.
  void Discard();
  // The sealed temporary, for a caller that commits it later.
  StagedFile TakeSealed() { return std::move(file_); }

  void WriteOutputLine(std::string_view line) override;
  void WriteCommentLine(std::string_view line) override;
  void Warn(const SourceLocation& where, std::string_view text) override;

  // Where the line being converted stands; " WARNING" lines are reported
  // there.
  // Turns the place of the line being converted into a file name and line.
  void SetLocator(std::function<SourceLocation(const LinePlace&)> locate) {
    locate_ = std::move(locate);
  }
  void ConvertingLine(const LinePlace& place) override { converting_ = place; }
  const LinePlace& LineBeingConverted() const { return converting_; }
  // Diagnostics about the main source name it as the user gave it.
  void SetSourceNames(std::string shown, std::string given) {
    shownSource_ = std::move(shown);
    givenSource_ = std::move(given);
  }
  // A file as the reader shows it, named for the user's messages.
  std::string NameForUser(const std::string& shown) const;
  // Passes the lines collected for the observer on.
  void FlushEcho();
  // Generated jumps to the handlers (marks) get these labels from now on.
  void SetHandlerLabels(HandlerLabels labels) { handlerLabels_ = std::move(labels); }
  // The unit ends with these labels: the jumps written since the last call
  // are changed to them where they differ.
  void ResolveHandlerLabels(const HandlerLabels& labels);
  // Where the line written last begins in the file.
  std::uint64_t LastLineStart() const { return lastLineAt_; }
  // Lines after the first get line markers ("# 9 \"bad.f\"") where the
  // source line they come from is not the one the compiler counts to.
  void SetLineMarkers(bool on) { lineMarkers_ = on; }
  // Replaces bytes written at offset by as many others.
  void Overwrite(std::uint64_t offset, std::string_view text);
  int OutputLines() const { return outputLines_; }

 private:
  void Write(std::string_view line, bool leadingCToComment);
  void PutInLabels(std::string& line, std::uint64_t offset);
  void WriteLineMarker();
  void Flush();

  // Lines are collected and written in large pieces.
  static constexpr std::size_t kFlushSize = 1 << 14;
  // Lines the observer gets at a time.
  static constexpr std::size_t kEchoBatch = 256;

  const RunState& run_;
  RunObserver& observer_;
  bool echo_;
  SourceLocation CurrentLocation() const;
  std::function<SourceLocation(const LinePlace&)> locate_;
  LinePlace converting_;
  std::string shownSource_;
  std::string givenSource_;
  StagedFile file_;
  int outputLines_ = 0;
  std::string buffer_;
  std::uint64_t flushed_ = 0;  // bytes written to the file before buffer_
  std::uint64_t lastLineAt_ = 0;
  bool lineMarkers_ = false;
  std::string markedFile_;  // the file of the last line marker
  int nextLine_ = 0;        // the line number the compiler gives the next line
  std::vector<std::string> echoed_;
  HandlerLabels handlerLabels_{"9470", "99470"};
  // Where the unit's jumps to its handlers stand in the file, so that they
  // can take other labels when the unit ends: one entry per jump.
  struct HandlerJump {
    std::uint64_t offset;
    std::size_t length;
    Handler handler;
    std::size_t digit;  // the label's first digit written there
  };
  std::vector<HandlerJump> handlerJumps_;
  MarkFiller marks_;
  std::vector<MarkPiece> pieces_;
};

// True when a run may replace the file at path: it does not exist, is
// empty, or is an output of the converter (its first line is
// "!KVQ:NO_TOUCH!"). Anything else may be the user's source.
bool MayReplaceDestination(const std::string& path);

// True for a CONTAINS line, whose leading "C" is no comment letter.
bool IsContainsLine(std::string_view line);

}  // namespace kvq
