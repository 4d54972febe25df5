// The statement converter rewrites one line of a program unit in place:
// STOP, PAUSE, labelled ENDDO and DO loops, RETURN, trace lines before CALL,
// FORMAT statements used by console output, and the recognised I/O
// statements (OPEN, CLOSE, READ, PRINT, WRITE), which get their comment
// line, error description, label move and logical-IF unfolding here and are
// rewritten by the console I/O and file I/O rules.
//
// Lines the rules insert go out through the OutputChannel before the current
// line; the run writes whatever Text holds when ConvertStatement returns.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/ConversionSettings.h"
#include "engine/OutputChannel.h"
#include "engine/RunState.h"
#include "engine/SourceReader.h"

namespace kvq {

// What the control list says about the unit of the statement being rewritten.
struct IoUnitData {
  std::string UnitText;              // upper case, blank-free, "UNIT=" removed
  std::string UnitDesignator = "0";  // passed to zx_NewRecord
  std::string NewRecordLine = "      Call zx_NewRecord(0)";
  bool IsExternal = true;  // false for an internal file
  bool MpiGuard = false;   // wrap the statement in a process-0 test
  bool IsConsole = false;  // console or handle-driven unit
  char UnitEnd = ' ';      // what ended the unit (or the format item)
  std::string FormatPart;
  std::string FormatSpec;   // a recognised format: '...', * or a label
  std::string ControlRest;  // the control list after the format item
};

// A format given as an apostrophe constant ('(1X,I5/1X)') that goes through
// the console buffer: each run of n "/" outside the format's own doubled
// apostrophes becomes nH and n bytes 250, as the FORMAT rule does for FORMAT
// statements. Other texts are returned unchanged.
std::string SeparateRecordsInQuotedFormat(const std::string& formatPart);

// Closes the block IFs that the I/O rules open.
inline constexpr std::string_view kEndifLine = "      endif";

class StatementConverter {
 public:
  StatementConverter(SourceReader& reader, OutputChannel& output,
                     const ConversionSettings& settings, CarryOver& carry, RunState& run);

  void ConvertStatement();

 private:
  enum class IoKind { None, Open, Close, Read, Print, Write };
  enum class ScanResult { Continue, Unmatched, Done };

  // The keyword scan.
  // rows: the rows whose keyword still begins with the candidate (a bit per
  // row of the scan table), narrowed by the candidate's last character.
  ScanResult TryRows(const std::string& candidate, unsigned& rows);
  bool Recognised(IoKind kind);

  // Control statements.
  void NoteDoLabelReferences();
  bool EndsDoLoopOnFreeLabel() const;
  std::string TakeLabelForContinue();
  void MoveEnddoLabel();
  void PushDoLabel();
  void ApplyPauseRule();
  bool ApplyStopRule();
  void ApplyTraceRule();

  // FORMAT statements used by console output.
  void ApplyFormatRule();
  void RewriteFixedFormFormat(std::vector<std::string>& lines);
  void RewriteFreeFormFormat(std::vector<std::string>& lines);

  // The steps every recognised I/O statement takes.
  void ConvertIoStatement(IoKind kind);
  void WriteErrorDescription(const std::string& continuationNote);
  void JoinControlList();

  // Console I/O.
  void AnalyseUnit();
  void ParseFormatPart();
  void RecordFormatLabel(IoDirection direction);
  std::string KeywordValue(std::string_view name) const;
  bool HasSpecifier(std::string_view name);
  std::string InputViewHead() const;
  std::string ConsoleIoHead(IoDirection direction);
  void ComposeIoStatement(std::string head);
  void WriteFixedFormPieces(std::string& line);
  void PassContinuationLines();
  void RewriteRead();
  void RewritePrint();
  void RewriteWrite();

  // File I/O.
  void RewriteOpen();
  void RewriteClose();

  bool Mpi() const { return settings_.conversionMode == ConversionMode::SingleForMpi; }
  // The end-of-file handler's label: "9" and the error label.
  std::string EndOfFileLabel() const { return "9" + settings_.errorLabel; }
  std::string LabelPrefix() const;
  Statement& stmt() { return reader_.statement(); }

  SourceReader& reader_;
  OutputChannel& output_;
  const ConversionSettings& settings_;
  CarryOver& carry_;
  RunState& run_;

  // Per call.
  std::size_t statementStart_ = 6;  // ScanPos where the statement field begins
  std::size_t keywordStart_ = 0;    // ScanPos before the keyword's first character
  bool inIf_ = false;               // action of a logical IF, or a continuation line
  std::size_t ifPrefixLength_ = 0;
  IoKind kind_ = IoKind::None;
  IoUnitData unit_;
};

}  // namespace kvq
