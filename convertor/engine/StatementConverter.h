// The statement converter rewrites a line of a statement of a program unit:
// STOP, PAUSE, labelled ENDDO and DO loops, RETURN, trace lines before CALL,
// FORMAT statements (copied as written), and the recognised I/O
// statements (OPEN, CLOSE, READ, PRINT, WRITE), which get their comment
// line, error description, label move and logical-IF unfolding here and are
// rewritten by the console I/O and file I/O rules.
//
// A rule reads the statement the reader delivered and may take the lines
// after the one it converts (a rewritten I/O statement takes its
// continuation lines); it never reads from the reader. Lines the rules
// insert go out through the OutputChannel before the converted line; the
// run writes the converted line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/ConversionSettings.h"
#include "engine/HandlerLabels.h"
#include "engine/OutputChannel.h"
#include "engine/RunState.h"
#include "engine/Scanner.h"
#include "engine/Statement.h"
#include "engine/TextUtilities.h"

namespace kvq {

// What the control list says about the unit of the statement being rewritten.
struct IoUnitData {
  std::string unitText;              // upper case, blank-free, "UNIT=" removed
  std::string unitDesignator = "0";  // passed to zx_NewRecord
  std::string newRecordLine = "      Call zx_NewRecord(0)";
  bool isExternal = true;  // false for an internal file
  bool mpiGuard = false;   // wrap the statement in a process-0 test
  bool isConsole = false;  // console or handle-driven unit
  char unitEnd = ' ';      // what ended the unit (or the format item)
  std::string formatPart;
  std::string formatSpec;   // a recognised format: '...', * or a label
  std::string controlRest;  // the control list after the format item
};

// The value of name= in a statement key, up to a "," or ")" outside
// parentheses and apostrophes (FILE=NAMES(I,J) keeps both subscripts), a
// "!" or the end; empty when the key has no name=.
// The name starts a specifier: UNIT= is not the end of NEWUNIT=.
std::string KeywordValue(std::string_view key, std::string_view name);
// A specifier name= of the control list in a statement key: after "(" or
// ",", so that UNIT= is not found in NEWUNIT=.
bool HasSpecifier(std::string_view key, std::string_view name);

// Writes head and tail as one line, or in fixed form as two when the line
// would pass column 72 (the tail on a continuation line).
void WriteSplitLine(OutputChannel& output, bool freeForm, std::string_view head,
                    std::string_view tail);

// Closes the block IFs that the I/O rules open.
inline constexpr std::string_view kEndifLine = "      endif";

class StatementConverter {
 public:
  StatementConverter(OutputChannel& output, const ConversionSettings& settings, CarryOver& carry,
                     RunState& run);

  // Converts line `first` of the statement; text holds that line and
  // receives the line the run writes after the inserted ones. Returns the
  // number of lines the rule took (at least the one converted).
  std::size_t ConvertStatement(const Statement& statement, std::size_t first, std::string& text);

 private:
  enum class IoKind { None, Open, Close, Read, Print, Write };
  enum class ScanResult { Continue, Unmatched, Done };

  // The keyword scan.
  // rows: the rows whose keyword still begins with the candidate (a bit per
  // row of the scan table), narrowed by the candidate's last character.
  ScanResult TryRows(Scanner& scan, const std::string& candidate, unsigned& rows);
  bool Recognised(Scanner& scan, IoKind kind);

  // Control statements.
  void NoteDoLabelReferences();
  bool EndsDoLoopOnFreeLabel() const;
  std::string TakeLabelForContinue();
  bool ClosesLabelledDo() const;
  void MoveEnddoLabel();
  void PushDoLabel(Scanner& scan);
  void ApplyPauseRule();
  bool ApplyStopRule(const Scanner& scan);
  std::string WriteFixedFormContinued(std::string_view code);
  void ApplyTraceRule();

  void PassFormatStatement();

  // The steps every recognised I/O statement takes.
  void ConvertIoStatement(Scanner& scan, IoKind kind);
  void WriteErrorDescription(const std::string& continuationNote);
  void JoinControlList(Scanner& scan);

  // Console I/O.
  // The unit of the control list, classified once: designator, internal
  // or external, console, the MPI guard.
  IoUnitData AnalyseUnit(Scanner& scan);
  void ParseFormatPart(Scanner& scan);
  void RecordFormatLabel(IoDirection direction);
  std::string InputViewHead() const;
  std::string ConsoleIoHead(IoDirection direction);
  void ComposeIoStatement(Scanner& scan, std::string head);
  void WriteFixedFormPieces(std::string& line);
  void WriteFreeFormPieces(std::string& line);
  void KeepListColumns(std::string head, const std::string& list, std::size_t listStart);
  void PassContinuationLines();
  void RewriteRead(Scanner& scan);
  void RewritePrint(Scanner& scan);
  void RewriteWrite(Scanner& scan);

  // File I/O.
  void RewriteOpen(Scanner& scan);
  void WriteChangeableSpecifiers(const std::string& key, const std::string& unit);
  void RewriteClose(Scanner& scan);

  bool Mpi() const { return settings_.conversionMode == ConversionMode::SingleForMpi; }
  // Where a generated statement jumps to the unit's handlers.
  std::string ErrorLabel() const { return HandlerReference(settings_, Handler::Error); }
  std::string EndOfFileLabel() const { return HandlerReference(settings_, Handler::EndOfFile); }
  std::string LabelPrefix() const;
  // The statement's lines after the ones taken so far.
  bool LinesFollow() const { return call_.next < call_.statement->size(); }
  const std::string& NextLine() const { return call_.statement->line(call_.next).text; }
  // The next line becomes the line being converted.
  void TakeLine();
  bool LineStartsWith(std::string_view word) const;
  // The key of the text being converted, of all its lines when joined.
  std::string TextKey() const {
    return call_.joined ? JoinedStatementKey(*call_.text, call_.freeForm)
                        : StatementKey(*call_.text, call_.freeForm);
  }

  OutputChannel& output_;
  const ConversionSettings& settings_;
  CarryOver& carry_;
  RunState& run_;

  // What one call of ConvertStatement works on, begun as a whole
  // (Begin) and then advanced by the scan: the statement, the line
  // being converted and its text, and where the keyword stands.
  struct StatementCall {
    const Statement* statement = nullptr;
    std::size_t first = 0;
    std::size_t next = 0;  // the first line not taken yet
    std::string* text = nullptr;
    bool freeForm = false;
    bool continues = false;  // the converted line continues an earlier one
    bool joined = false;     // the text holds lines joined into it
    std::string labelField;
    std::size_t statementStart = 6;  // ScanPos where the statement field begins
    std::size_t keywordStart = 0;    // ScanPos before the keyword's first character
    bool inIf = false;               // action of a logical IF, or a continuation line
    std::size_t ifPrefixLength = 0;
    IoKind kind = IoKind::None;

    // Every field from the line; in place, so that the label field keeps
    // its buffer from call to call.
    void Begin(const Statement& of, std::size_t line, std::string& lineText);
  };

  StatementCall call_;
  // The unit of the I/O statement being rewritten, as AnalyseUnit read it.
  IoUnitData unit_;
};

}  // namespace kvq
