#include <gtest/gtest.h>

#include "ReaderHarness.h"
#include "engine/Scanner.h"
#include "engine/StatementConverter.h"
#include "engine/TextUtilities.h"

namespace kvq {
namespace {

TEST(IsCommentLine, FixedFormCommentLetters) {
  EXPECT_TRUE(IsCommentLine("", false));
  EXPECT_TRUE(IsCommentLine("C comment", false));
  EXPECT_TRUE(IsCommentLine("c comment", false));
  EXPECT_TRUE(IsCommentLine("* comment", false));
  EXPECT_TRUE(IsCommentLine("*", false));
  EXPECT_FALSE(IsCommentLine("*$IFDEF X", false));
  EXPECT_TRUE(IsCommentLine("! comment", false));
  EXPECT_TRUE(IsCommentLine("!KVQ:CONSOLE IN", false));
  EXPECT_FALSE(IsCommentLine("!DEC$ ENDIF", false));
  EXPECT_TRUE(IsCommentLine("!dEC$", false));  // only an upper-case D
  EXPECT_TRUE(IsCommentLine("      ! indented comment", false));
  EXPECT_TRUE(IsCommentLine("X", false));  // nothing from column 2 on
  EXPECT_FALSE(IsCommentLine("      X=1", false));
}

TEST(IsCommentLine, FreeFormStatementsMayStartWithCommentLetters) {
  EXPECT_FALSE(IsCommentLine("CALL SUB(X)", true));
  EXPECT_FALSE(IsCommentLine("character*8 name", true));
  EXPECT_FALSE(IsCommentLine("COMMON /B/ X", true));
  EXPECT_TRUE(IsCommentLine("! comment", true));
  EXPECT_TRUE(IsCommentLine("   ! comment", true));
  EXPECT_TRUE(IsCommentLine("", true));
}

TEST(DigitsValue, ReadsAtMostItsLimitOfDigits) {
  EXPECT_EQ(DigitsValue("00042"), 42u);
  EXPECT_EQ(DigitsValue("18446744073709551590"), 184467440u);
  EXPECT_EQ(DigitsValue("12345", 3), 123u);
}

TEST(Scanner, NextCharSkipsBlanksAndUpperCases) {
  std::string text = "  a b";
  Scanner scan(text);
  EXPECT_EQ(scan.NextChar(), 'A');
  EXPECT_EQ(scan.Pos(), 3u);
  EXPECT_EQ(scan.NextChar(), 'B');
  EXPECT_EQ(scan.NextChar(), '\r');
  EXPECT_EQ(scan.NextChar(), '\r');  // stays at the end marker
}

TEST(Scanner, RawScanKeepsBlanksAndCase) {
  std::string text = "a b";
  Scanner scan(text);
  scan.SetRaw(true);
  EXPECT_EQ(scan.NextChar(), 'a');
  EXPECT_EQ(scan.NextChar(), ' ');
  EXPECT_EQ(scan.NextChar(), 'b');
  EXPECT_EQ(scan.NextChar(), '\r');
}

TEST(Scanner, ScanNameStopsAtNonNameCharacter) {
  std::string text = "      CALL my_sub2(X)";
  Scanner scan(text);
  EXPECT_EQ(scan.ScanName(), "CALLMY_SUB2");  // blanks are skipped
  EXPECT_EQ(scan.NameEnd(), '(');
  EXPECT_EQ(scan.ScanName(), "X");
  EXPECT_EQ(scan.NameEnd(), ')');
  EXPECT_EQ(scan.ScanName(), "");
  EXPECT_EQ(scan.NameEnd(), '\r');
}

TEST(Scanner, ReadsTheTextAsItStandsNow) {
  std::string text = "      A";
  Scanner scan(text, 6);
  text += "BC";  // a rule joined a continuation line
  EXPECT_EQ(scan.NextChar(), 'A');
  EXPECT_EQ(scan.NextChar(), 'B');
}

TEST(Scanner, AtWordEndLooksAtTheNextColumn) {
  for (const char* text : {"      READ *,X", "      READ(5,*)", "      READ"}) {
    std::string line = text;
    EXPECT_TRUE(Scanner(line, 10).AtWordEnd()) << text;  // the D of READ
  }
  std::string glued = "      READ*,X";
  EXPECT_FALSE(Scanner(glued, 10).AtWordEnd());
}

TEST(StatementKey, ColumnsSevenToSeventyTwoInFixedForm) {
  EXPECT_EQ(StatementKey("      end if", false), "ENDIF");
  EXPECT_TRUE(KeyStartsWith("      end if", "END", false));
  std::string numbered = "   10 X = 1" + std::string(61, ' ') + "00010";  // 00010 from column 73
  EXPECT_FALSE(KeyStartsWith(numbered, "END", false));
  EXPECT_TRUE(KeyStartsWith(numbered, "X=1", false));
  EXPECT_EQ(StatementKey(numbered, false), "X=1");  // columns 73 on are no part of it
  EXPECT_EQ(StatementKey(numbered, true), "10X=100010");
  EXPECT_EQ(StatementKey("C     END", false), "");
  EXPECT_FALSE(KeyStartsWith("C     END", "END", false));
  EXPECT_FALSE(KeyStartsWith("      EN", "END", false));  // the key must be as long as the word
}

TEST(StatementKey, FromColumn1InFreeForm) {
  EXPECT_TRUE(KeyStartsWith("include 'a.inc'", "INCLUDE'A.INC'", true));
  EXPECT_EQ(StatementKey("  open(10, file = 'x.dat')", true), "OPEN(10,FILE='X.DAT')");
}

TEST(WriteSplitLine, SplitsAt72ColumnsInFixedForm) {
  test::CollectedOutput output;
  std::string head(60, 'H');
  WriteSplitLine(output, false, head, std::string(13, 'T'));
  ASSERT_EQ(output.lines.size(), 2u);
  EXPECT_EQ(output.lines[0], head);
  EXPECT_EQ(output.lines[1], "     * " + std::string(13, 'T'));
  output.lines.clear();
  WriteSplitLine(output, false, head, std::string(12, 'T'));
  ASSERT_EQ(output.lines.size(), 1u);
  EXPECT_EQ(output.lines[0], head + std::string(12, 'T'));
  output.lines.clear();
  WriteSplitLine(output, true, head, std::string(13, 'T'));
  EXPECT_EQ(output.lines.size(), 1u);
}

}  // namespace
}  // namespace kvq
