// File I/O rewriting: OPEN becomes a call of Open_File followed by a test of
// the library's error code fo_Error, CLOSE a call of Close_File.
#include "engine/CharacterClass.h"
#include "engine/ControlList.h"
#include "engine/StatementConverter.h"

namespace kvq {

namespace {

constexpr std::string_view kDirectAccessForm = "zx_EBuf(201:207)";

// A unit written as a number or a name; anything else is an expression.
bool IsPlainUnit(const std::string& unit) {
  if (unit.empty()) return false;
  for (char c : unit)
    if (!IsNameChar(c)) return false;
  return true;
}

}  // namespace

void StatementConverter::RewriteOpen() {
  Statement& s = stmt();
  int label = s.Label;
  std::string labelField = s.LabelField;
  reader_.JoinContinuations();
  s.Label = label;  // the joined statement keeps the label of its first line
  s.LabelField = labelField;
  std::size_t openParen = s.ScanPos - 1;
  AnalyseUnit();
  reader_.LineContains("OPEN");  // LineKey of the joined statement

  std::string form = KeywordValue("FORM");
  if (form.empty()) form = "'formatted'";
  std::string recordLength = KeywordValue("RECL");
  std::string iostat = KeywordValue("IOSTAT");
  std::string position = KeywordValue("POSITION");
  if (position.empty()) position = KeywordValue("ACCESS");
  // File names keep their case and blanks: the file system tells them
  // apart.
  std::string file = SpecifierAsWritten(s.Text, openParen, "FILE");
  if (file.empty()) file = "''";
  std::string status = KeywordValue("STATUS");
  if (status.empty()) status = "'unknown'";
  std::string errorLabel = KeywordValue("ERR");
  if (errorLabel.empty()) {
    errorLabel = settings_.errorLabel;
    run_.unit.IoHandlersNeeded = true;
  }

  if (!recordLength.empty()) {
    // The library opens for direct access when the form is "D" followed by
    // the record length in 6 columns.
    form = kDirectAccessForm;
    output_.WriteOutputLine("      Write(" + std::string(kDirectAccessForm) +
                            ",'(1HD,i6)',err=" + settings_.errorLabel + ") " + recordLength);
    run_.unit.IoHandlersNeeded = true;
  }
  if (position == "'APPEND'") file = "'+'//" + file;
  // NEWUNIT=: the library picks a unit that no file is connected to.
  std::string unit = unit_.UnitText;
  if (std::string newUnit = KeywordValue("NEWUNIT"); !newUnit.empty()) {
    output_.WriteOutputLine("      CALL zx_NewUnit(" + newUnit + ")");
    unit = newUnit;
  }
  reader_.WriteSplitLine("      CALL Open_File(" + unit + "," + file + ",",
                         status + "," + form + ")");
  s.Text = iostat.empty() ? "      if(fo_Error.ne.0) goto " + errorLabel
                          : "      " + iostat + "=fo_Error";
}

void StatementConverter::RewriteClose() {
  Statement& s = stmt();
  JoinControlList();
  AnalyseUnit();
  std::string unit = unit_.UnitText;
  if (reader_.LineContains("STATUS='DELETE'"))
    unit = IsPlainUnit(unit) ? "-" + unit : "-(" + unit + ")";
  s.Text = s.LabelField + "CALL Close_File(" + unit + ")";
}

}  // namespace kvq
