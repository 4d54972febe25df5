// The SourceReader turns one Fortran source file, with its INCLUDE files,
// into the sequence of statements the engine converts.
//
// What it guarantees to its consumers:
// - Each ReadStatement delivers one Statement: a line and the continuation
//   lines that follow it directly (a continuation line after a comment line
//   starts a statement of its own and says so in Continues). Lines are
//   prepared: tabs expanded, double-quoted constants turned into
//   apostrophe-quoted ones, trailing blanks removed, never empty (blank
//   lines never reach a consumer), and in free form one statement per line
//   (";" splits a line). Continuation lines are joined once, by the rules
//   of Continuation.h; the key of the first line is built once.
// - Lines are never cut: text beyond column 72 stays part of the line.
// - An INCLUDE that opens is replaced by a "!<<<<<<" marker line, followed by
//   the included lines and a "!>>>>>>" end marker line (both comment lines).
// - Converter directives (CONSOLE, HANDLEDRIVEN, OWNMACRO) are applied and
//   INTERFACE blocks written as they stand before the statement after them
//   is delivered.
// - inputLines numbers the main file's physical lines read so far; each
//   line keeps the count of its delivery.
// - EndOfInput is set by the call that delivers the main file's last line;
//   no further call may follow.
// - A line feed without a carriage return before it throws UnixTextRefused
//   (unless the settings accept line feeds); a read failure throws
//   SourceReadError, a line longer than kMaxSourceLineBytes
//   SourceLineTooLong.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "StagedFile.h"
#include "engine/ConversionSettings.h"
#include "engine/OutputChannel.h"
#include "engine/RunState.h"
#include "engine/SourceFile.h"
#include "engine/Statement.h"

namespace kvq {

// The source, or an INCLUDE file of it, has bare line-feed line ends and is
// not converted.
struct UnixTextRefused {
  SourceLocation where;  // the file as shown in marker lines, and the line
  std::string openPath;  // the file as the file system opened it
  bool included = false;
};

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
  // It replaces a file of its name at the end of input, only when the source
  // held conditionals; with keepStaged it is only written out, and
  // TakeCompanion hands it over for the caller to put in place.
  bool OpenCompanion(const std::string& path, bool keepStaged = false);
  StagedFile TakeCompanion() { return std::move(companion_); }
  void CloseFiles();

  // Reading. Prime reads the first line ahead (ReadStatement does it when
  // it was not called); it throws as ReadStatement does.
  void Prime();
  void ReadStatement();
  // Called with the INTERFACE line as the statement, before its block is
  // copied, so that the run can write what must precede the block in its
  // unit.
  void SetInterfaceHook(std::function<void()> hook) { interfaceHook_ = std::move(hook); }

  // Conditional compilation (the "*$" and "!DEC$ IF DEFINED" lines).
  bool InInactiveBranch() const;

  bool FreeForm() const { return run_.freeForm; }
  // Where a line of a statement stands in its file.
  SourceLocation Location(const LinePlace& place) const;
  const Statement& statement() const { return stmt_; }
  bool EndOfInput() const { return endOfInput_; }
  int inputLines() const { return inputLines_; }
  ConditionRecord& conditions() { return carry_.conditions; }

 private:
  struct IncludeLevel {
    std::string path;      // the name as shown in marker lines
    std::string openPath;  // the name the file system opened
    SourceFile file;
    int lineNumber = 0;  // physical lines read from the file so far
  };

  // The line that became current last, before the statement takes it.
  struct CurrentLine {
    std::string text;
    int label = 0;
    std::string labelField = "      ";
    char lastChar = ' ';         // last non-blank character; a blank when empty
    bool continued = false;      // ends in a free-form continuation mark
    bool prevContinued = false;  // continued of the line before
  };

  void StartMainLevel(const std::string& shownPath);
  void ReadNextLine();
  void TakeCurrentLine();
  bool ContinuationFollows() const;

  void ApplyReaderDirectives();
  bool CopyInterfaceBlock();
  void ReadRawLine(std::string& raw);
  bool GetRawLine(std::string& raw);  // false: the main file's end marker was taken
  void ApplySequenceField(std::string& raw);
  // Where a constant opened: in the prepared line and in the raw one.
  struct OpenConstant {
    std::size_t prepared = std::string::npos;
    std::size_t raw = std::string::npos;
  };
  void KeepOpenConstantEnd(const std::string& raw, std::string& prepared, OpenConstant opened,
                           int growth);
  void PrepareLine(const std::string& raw, std::string& prepared);
  bool ApplyIncludeStep(std::string& prepared);
  void ReadLabel();
  void WriteCompanionLine(std::string_view line);
  void FinishCompanion();
  void TranslateConditional();
  void TrackConditional();
  void OpenConditionLevel(std::string_view text);
  bool IsCommentLine(std::string_view text) const;

  const ConversionSettings& settings_;
  CarryOver& carry_;
  RunState& run_;
  OutputChannel& output_;
  std::vector<std::string>* inputEcho_ = nullptr;
  LinePlace lookaheadAt_;  // where the look-ahead line stands
  LinePlace currentAt_;    // where the current line stands
  LinePlace rawAt_;        // where the line under preparation stands

  Statement stmt_;
  CurrentLine current_;
  bool primed_ = false;
  std::string lookahead_;    // the next line, already prepared
  std::string pendingRest_;  // free form: the rest of a line after ";"
  // The character constant a prepared line ended in, taken over by its
  // continuation line.
  enum class Quote { None, Apostrophe, Double };
  Quote openQuote_ = Quote::None;
  // The open constant keeps its double quotes and single apostrophes as
  // written (a FORMAT's constant that could not keep its end otherwise).
  bool openQuoteAsWritten_ = false;
  // The statement of the last fixed-form initial line is a FORMAT.
  bool formatStatement_ = false;
  bool preparedContinued_ = false;  // the prepared line ends in a continuation mark
  bool lookaheadContinued_ = false;
  std::array<IncludeLevel, kMaxIncludeDepth + 1> include_;
  int includeDepth_ = -1;  // innermost open file; -1 once the main file ended
  bool endOfInput_ = true;
  bool includeEnded_ = false;        // an include file ended in this ReadNextLine
  bool sequenceFieldNoted_ = false;  // text beyond column 72 was reported
  std::function<void()> interfaceHook_;
  int inputLines_ = -1;
  int depthBeforeInclude_ = 0;
  int lookaheadDepth_ = 0;  // level the look-ahead line was read from
  int textDepth_ = 0;       // level the current line was read from

  StagedFile companion_;
  std::string companionBuffer_;  // lines not yet written
  bool keepCompanionStaged_ = false;

  // Reused buffers: a line is held only while it is current or look-ahead.
  std::string raw_;
  std::string prepared_;
  std::string includeSourceLine_;
};

}  // namespace kvq
