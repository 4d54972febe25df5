// The SourceReader turns one Fortran source file, with its INCLUDE files,
// into the sequence of lines the engine converts.
//
// What it guarantees to its consumers:
// - After each ReadStatement the Statement holds the current line and
//   Lookahead the next one, both prepared: tabs expanded, double-quoted
//   constants turned into apostrophe-quoted ones, trailing blanks removed,
//   never empty (blank lines never reach a consumer), and in free form one
//   statement per line (";" splits a line).
// - Lines are never cut: text beyond column 72 stays part of the line.
// - An INCLUDE that opens is replaced by a "!<<<<<<" marker line, followed by
//   the included lines and a "!>>>>>>" end marker line (both comment lines).
// - Label and LabelField are read for every line; ScanPos is 0 and the
//   scanner is in normal mode.
// - InputLines numbers the main file's physical lines read so far; it is the
//   current line's number whenever no blank line lies before the look-ahead.
// - EndOfInput is set by the call that delivers the main file's last line;
//   no further call may follow.
// - A line feed without a carriage return before it throws UnixTextRefused;
//   a read failure throws SourceReadError.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/ConversionSettings.h"
#include "engine/OutputChannel.h"
#include "engine/RunState.h"
#include "engine/SourceFile.h"
#include "engine/Statement.h"

namespace kvq {

// The source has bare line-feed line ends and is not converted.
struct UnixTextRefused {};

class SourceReader {
 public:
  static constexpr int kMaxIncludeDepth = 10;

  SourceReader(const ConversionSettings& settings, CarryOver& carry, RunState& run,
               OutputChannel& output);

  // Starts a run on the main file, opened as level 0. openPath is the file
  // system name; shownPath the name the run shows and builds INCLUDE paths
  // from. The conditional nesting record is kept from run to run.
  bool Open(const std::string& openPath, const std::string& shownPath);
  // The same on a source held in memory; INCLUDE names without a directory
  // are looked for in the directory of openPath.
  void OpenText(std::string bytes, const std::string& openPath, const std::string& shownPath);
  // Lines of the main file as read are appended here (nothing when null).
  void SetInputEcho(std::vector<std::string>* lines) { inputEcho_ = lines; }
  // The companion file of a project run: every main-file line, as prepared.
  bool OpenCompanion(const std::string& path);
  void CloseFiles();

  // Reading.
  void ReadStatement();
  void ReadNextLine();
  // True when the current line was already written: an INTERFACE block
  // that was still open at the end of the input.
  bool CurrentLineWritten() const { return currentLineWritten_; }
  // Called with the INTERFACE line current, before its block is copied, so
  // that the run can write what must precede the block in its unit.
  void SetInterfaceHook(std::function<void()> hook) { interfaceHook_ = std::move(hook); }

  // Text utilities on the Statement.
  bool IsCommentLine(std::string_view text) const;
  char NextChar();
  std::string ScanName();
  bool AtWordEnd() const;
  bool LineStartsWith(std::string_view word);
  bool LineContains(std::string_view text);
  bool NextIsContinuation() const;
  bool IsContinuation() const;
  // NextIsContinuation, and a next line exists to be read (the main file's
  // end marker never continues a statement).
  bool ContinuationFollows() const;
  void JoinContinuations();
  void WriteSplitLine(std::string_view head, std::string_view tail);

  // Conditional compilation (the "*$" and "!DEC$ IF DEFINED" lines).
  void TranslateConditional();
  void TrackConditional();
  bool InInactiveBranch() const;

  bool FreeForm() const { return run_.freeForm; }
  // Where the current line stands in its file.
  SourceLocation CurrentLocation() const { return Location(currentAt_); }
  Statement& statement() { return stmt_; }
  const Statement& statement() const { return stmt_; }
  const std::string& Lookahead() const { return lookahead_; }
  bool EndOfInput() const { return endOfInput_; }
  // The include level of the file the current line was read from (0 for the
  // main file). IncludeDepth already belongs to the look-ahead line.
  int CurrentLineDepth() const { return textDepth_; }
  int InputLines() const { return inputLines_; }
  ConditionRecord& conditions() { return carry_.conditions; }
  RunState& run() { return run_; }

 private:
  struct IncludeLevel {
    std::string path;      // the name as shown in marker lines
    std::string openPath;  // the name the file system opened
    SourceFile file;
    int lineNumber = 0;  // physical lines read from the file so far
  };

  void StartMainLevel(const std::string& shownPath);

  void ApplyReaderDirectives();
  bool CopyInterfaceBlock();
  void ReadRawLine(std::string& raw);
  bool GetRawLine(std::string& raw);  // false: the main file's end marker was taken
  void PrepareLine(const std::string& raw, std::string& prepared);
  bool ApplyIncludeStep(std::string& prepared);
  void ReadLabel();
  void WriteCompanionLine(std::string_view line);
  void FinishCompanion();
  void OpenConditionLevel(std::string_view text);
  void BuildKey(std::string_view text);
  // The keyword test on a given text (the line under preparation).
  bool LineStartsWith(std::string_view text, std::string_view word);

  const ConversionSettings& settings_;
  CarryOver& carry_;
  RunState& run_;
  OutputChannel& output_;
  std::vector<std::string>* inputEcho_ = nullptr;
  // A line's place as numbers, turned into a SourceLocation only when a
  // diagnostic needs it.
  struct LinePlace {
    int depth = 0;  // include level
    int line = 0;   // 1-based line number in that file
  };
  SourceLocation Location(const LinePlace& place) const;
  LinePlace lookaheadAt_;  // where the look-ahead line stands
  LinePlace currentAt_;    // where the current line stands
  LinePlace rawAt_;        // where the line under preparation stands

  Statement stmt_;
  std::string lookahead_;    // the next line, already prepared
  std::string pendingRest_;  // free form: the rest of a line after ";"
  // The character constant a prepared line ended in, taken over by its
  // continuation line.
  enum class Quote { None, Apostrophe, Double };
  Quote openQuote_ = Quote::None;
  bool preparedContinued_ = false;  // the prepared line ends in a continuation mark
  bool lookaheadContinued_ = false;
  std::array<IncludeLevel, kMaxIncludeDepth + 1> include_;
  int includeDepth_ = -1;  // innermost open file; -1 once the main file ended
  bool endOfInput_ = true;
  bool includeEnded_ = false;  // an include file ended in this ReadNextLine
  bool currentLineWritten_ = false;
  std::function<void()> interfaceHook_;
  int inputLines_ = -1;
  int depthBeforeInclude_ = 0;
  int lookaheadDepth_ = 0;  // level the look-ahead line was read from
  int textDepth_ = 0;       // level the current line was read from

  std::FILE* companion_ = nullptr;
  std::string companionPath_;

  // Reused buffers: a line is held only while it is current or look-ahead.
  std::string raw_;
  std::string prepared_;
  std::string includeSourceLine_;
};

}  // namespace kvq
