// File I/O rewriting: OPEN becomes a call of Open_File followed by a test of
// the library's error code fo_Error, CLOSE a call of Close_File.
#include "engine/CharacterClass.h"
#include "engine/Continuation.h"
#include "engine/ControlList.h"
#include "engine/StatementConverter.h"
#include "engine/TextUtilities.h"

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

// The text of a constant specifier value, upper case as the key holds it;
// empty for a variable or an expression.
std::string_view ConstantText(std::string_view value) {
  if (value.size() < 2 || (value.front() != '\'' && value.front() != '"') ||
      value.back() != value.front())
    return {};
  return value.substr(1, value.size() - 2);
}

// With RECL= the form argument is a letter and the record length in 6
// columns: "D" direct unformatted, "F" direct formatted (the library once
// looked for FORM='FORMATTED' in the statement's description, which holds
// only its first line), "S" and "U" sequential formatted and unformatted,
// so that a sequential file keeps its access and its record length. An
// ACCESS= that is no constant opens for direct access, as it always did.
std::string_view RecordLengthForm(const std::string& key) {
  std::string access = KeywordValue(key, "ACCESS");
  std::string formValue = KeywordValue(key, "FORM");
  std::string_view form = ConstantText(formValue);
  bool sequential =
      access.empty() || (!ConstantText(access).empty() && ConstantText(access) != "DIRECT");
  if (sequential) return form == "UNFORMATTED" ? "'(1HU,i6)'" : "'(1HS,i6)'";
  return form == "FORMATTED" ? "'(1HF,i6)'" : "'(1HD,i6)'";
}

}  // namespace

void WriteSplitLine(OutputChannel& output, bool freeForm, std::string_view head,
                    std::string_view tail) {
  if (!freeForm && head.size() + tail.size() > kFixedFormLastColumn) {
    output.WriteOutputLine(head);
    std::string second = "     * ";
    second.append(tail);
    output.WriteOutputLine(second);
    return;
  }
  std::string line(head);
  line.append(tail);
  output.WriteOutputLine(line);
}

void StatementConverter::RewriteOpen(Scanner& scan) {
  std::string& text = *call_.text;
  // The whole statement is joined: its specifiers may stand on any line.
  if (LinesFollow()) {
    text.resize(StatementField(text, call_.freeForm).size());
    call_.joined = true;
  }
  for (; LinesFollow(); ++call_.next) AppendContinuation(text, NextLine(), call_.freeForm);
  std::size_t openParen = scan.Pos() - 1;
  unit_ = AnalyseUnit(scan);
  const std::string key = TextKey();  // of the list as AnalyseUnit left it

  std::string form = KeywordValue(key, "FORM");
  if (form.empty()) form = "'formatted'";
  std::string recordLength = KeywordValue(key, "RECL");
  std::string iostat = KeywordValue(key, "IOSTAT");
  std::string position = KeywordValue(key, "POSITION");
  if (position.empty()) position = KeywordValue(key, "ACCESS");
  // File names keep their case and blanks: the file system tells them
  // apart.
  std::string file = SpecifierAsWritten(text, openParen, "FILE");
  if (file.empty()) file = "''";
  std::string status = KeywordValue(key, "STATUS");
  if (status.empty()) status = "'unknown'";
  std::string errorLabel = KeywordValue(key, "ERR");
  if (errorLabel.empty()) {
    errorLabel = ErrorLabel();
    run_.unit.ioHandlersNeeded = true;
  }

  if (!recordLength.empty()) {
    form = kDirectAccessForm;
    output_.WriteOutputLine("      Write(" + std::string(kDirectAccessForm) + "," +
                            std::string(RecordLengthForm(key)) + ",err=" + ErrorLabel() + ") " +
                            recordLength);
    run_.unit.ioHandlersNeeded = true;
  }
  if (position == "'APPEND'") file = "'+'//" + file;
  // NEWUNIT=: the library picks a unit that no file is connected to.
  std::string unit = unit_.unitText;
  if (std::string newUnit = KeywordValue(key, "NEWUNIT"); !newUnit.empty()) {
    output_.WriteOutputLine("      CALL zx_NewUnit(" + newUnit + ")");
    unit = newUnit;
  }
  WriteSplitLine(output_, call_.freeForm, "      CALL Open_File(" + unit + "," + file + ",",
                 status + "," + form + ")");
  WriteChangeableSpecifiers(key, unit);
  text = iostat.empty() ? "      if(fo_Error.ne.0) goto " + errorLabel
                        : "      " + iostat + "=fo_Error";
}

// Open_File takes no BLANK=, PAD= or DELIM=; an OPEN of the connected unit
// may change them, so the file reads (and INQUIRE answers) as the
// original's. Its error goes where Open_File's would.
void StatementConverter::WriteChangeableSpecifiers(const std::string& key,
                                                   const std::string& unit) {
  std::string specifiers;
  for (std::string_view name : {"BLANK", "PAD", "DELIM"}) {
    std::string value = KeywordValue(key, name);
    if (!value.empty()) specifiers.append(",").append(name).append("=").append(value);
  }
  if (specifiers.empty()) return;
  WriteSplitLine(output_, call_.freeForm, "      if(fo_Error.eq.0) OPEN(" + unit,
                 specifiers + ",IOSTAT=fo_Error)");
}

void StatementConverter::RewriteClose(Scanner& scan) {
  std::string& text = *call_.text;
  JoinControlList(scan);
  unit_ = AnalyseUnit(scan);
  std::string unit = unit_.unitText;
  if (Contains(TextKey(), "STATUS='DELETE'"))
    unit = IsPlainUnit(unit) ? "-" + unit : "-(" + unit + ")";
  text = call_.labelField + "CALL Close_File(" + unit + ")";
}

}  // namespace kvq
