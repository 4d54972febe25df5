#include <gtest/gtest.h>

#include "ReaderHarness.h"
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

TEST(FindSlash, SkipsSlashesInsideApostrophes) {
  EXPECT_EQ(FindSlash("  100 FORMAT(1X,'A'/1X)"), 20u);
  EXPECT_EQ(FindSlash("'A/B'"), 0u);
  EXPECT_EQ(FindSlash("'A/B'/"), 6u);
  EXPECT_EQ(FindSlash("'it''s'/"), 8u);
  EXPECT_EQ(FindSlash("no slash"), 0u);
}

class ScannerTest : public ::testing::Test {
 protected:
  void Use(const std::string& text) {
    h.stmt().Text = text;
    h.stmt().ScanPos = 0;
    h.stmt().RawScan = false;
  }
  test::ReaderHarness h;
};

TEST_F(ScannerTest, NextCharSkipsBlanksAndUpperCases) {
  Use("  a b");
  EXPECT_EQ(h.reader.NextChar(), 'A');
  EXPECT_EQ(h.stmt().ScanPos, 3u);
  EXPECT_EQ(h.reader.NextChar(), 'B');
  EXPECT_EQ(h.reader.NextChar(), '\r');
  EXPECT_EQ(h.reader.NextChar(), '\r');  // stays at the end marker
}

TEST_F(ScannerTest, RawScanKeepsBlanksAndCase) {
  Use("a b");
  h.stmt().RawScan = true;
  EXPECT_EQ(h.reader.NextChar(), 'a');
  EXPECT_EQ(h.reader.NextChar(), ' ');
  EXPECT_EQ(h.reader.NextChar(), 'b');
  EXPECT_EQ(h.reader.NextChar(), '\r');
}

TEST_F(ScannerTest, ScanNameStopsAtNonNameCharacter) {
  Use("      CALL my_sub2(X)");
  EXPECT_EQ(h.reader.ScanName(), "CALLMY_SUB2");  // blanks are skipped
  EXPECT_EQ(h.stmt().NameEnd, '(');
  EXPECT_EQ(h.reader.ScanName(), "X");
  EXPECT_EQ(h.stmt().NameEnd, ')');
  EXPECT_EQ(h.reader.ScanName(), "");
  EXPECT_EQ(h.stmt().NameEnd, '\r');
}

TEST_F(ScannerTest, AtWordEndLooksAtTheNextColumn) {
  Use("      READ *,X");
  h.stmt().ScanPos = 10;  // the D of READ
  EXPECT_TRUE(h.reader.AtWordEnd());
  Use("      READ*,X");
  h.stmt().ScanPos = 10;
  EXPECT_FALSE(h.reader.AtWordEnd());
  Use("      READ(5,*)");
  h.stmt().ScanPos = 10;
  EXPECT_TRUE(h.reader.AtWordEnd());
  Use("      READ");
  h.stmt().ScanPos = 10;
  EXPECT_TRUE(h.reader.AtWordEnd());
}

TEST_F(ScannerTest, LineStartsWithBuildsTheKeyFromColumn7) {
  Use("      end if");
  EXPECT_TRUE(h.reader.LineStartsWith("END"));
  EXPECT_EQ(h.stmt().LineKey, "ENDIF");
  Use("   10 X = 1                                                          00010");
  EXPECT_FALSE(h.reader.LineStartsWith("END"));
  EXPECT_EQ(h.stmt().LineKey, "X");  // stops at a differing first letter
  EXPECT_TRUE(h.reader.LineStartsWith("X=1"));
  EXPECT_EQ(h.stmt().LineKey, "X=100010");  // columns 73 on stay in the key
  Use("C     END");
  EXPECT_FALSE(h.reader.LineStartsWith("END"));
  EXPECT_EQ(h.stmt().LineKey, "");
  Use("      EN");
  EXPECT_FALSE(h.reader.LineStartsWith("END"));  // the key must be as long as the word
}

TEST_F(ScannerTest, LineStartsWithFromColumn1InFreeForm) {
  h.run.freeForm = true;
  Use("include 'a.inc'");
  EXPECT_TRUE(h.reader.LineStartsWith("INCLUDE'A.INC'"));
}

TEST_F(ScannerTest, LineContainsSearchesTheWholeKey) {
  Use("      OPEN(10, file = 'x.dat')");
  EXPECT_TRUE(h.reader.LineContains("FILE='X.DAT'"));
  EXPECT_FALSE(h.reader.LineContains("STATUS"));
  EXPECT_EQ(h.stmt().LineKey, "OPEN(10,FILE='X.DAT')");
}

TEST_F(ScannerTest, ContinuationTestsInFixedForm) {
  h.Start(test::CrLf({"      X = 1", "     0+ 2", "C    1 comment"}));
  h.reader.ReadStatement();
  EXPECT_EQ(h.stmt().Text, "      X = 1");
  EXPECT_TRUE(h.reader.NextIsContinuation());  // "0" in column 6 counts
  EXPECT_FALSE(h.reader.IsContinuation());
  h.reader.ReadStatement();
  EXPECT_TRUE(h.reader.IsContinuation());
  EXPECT_FALSE(h.reader.NextIsContinuation());  // column 1 is not blank
}

TEST_F(ScannerTest, ContinuationTestsInFreeForm) {
  h.run.freeForm = true;
  h.Start(test::CrLf({"x = 1 + &", "     2", "y = 3"}));
  h.reader.ReadStatement();
  EXPECT_TRUE(h.reader.NextIsContinuation());
  h.reader.ReadStatement();
  EXPECT_TRUE(h.reader.IsContinuation());
  EXPECT_FALSE(h.reader.NextIsContinuation());  // column 6 means nothing here
}

TEST_F(ScannerTest, JoinContinuationsFixedForm) {
  h.Start(test::CrLf({"      OPEN(10,", "     &FILE='A.DAT')", "      X=1"}));
  h.reader.ReadStatement();
  h.stmt().ScanPos = 4;
  h.reader.JoinContinuations();
  EXPECT_EQ(h.stmt().Text, "      OPEN(10,FILE='A.DAT')");
  EXPECT_EQ(h.stmt().ScanPos, 4u);
  EXPECT_EQ(h.reader.Lookahead(), "      X=1");
}

TEST_F(ScannerTest, JoinContinuationsFreeForm) {
  h.run.freeForm = true;
  h.Start(test::CrLf({"OPEN(10, &", "FILE='A', &", "STATUS='OLD')", "X=1"}));
  h.reader.ReadStatement();
  h.reader.JoinContinuations();
  EXPECT_EQ(h.stmt().Text, "OPEN(10, FILE='A', STATUS='OLD')");
  EXPECT_EQ(h.reader.Lookahead(), "X=1");
}

TEST_F(ScannerTest, JoinContinuationsStopsAtTheEndOfInput) {
  h.run.freeForm = true;
  h.Start(test::CrLf({"x = 1 + &"}));
  h.reader.ReadStatement();
  ASSERT_TRUE(h.reader.EndOfInput());
  h.reader.JoinContinuations();  // must not join the end marker or loop
  EXPECT_EQ(h.stmt().Text, "x = 1 + &");
}

TEST_F(ScannerTest, WriteSplitLineAt72Columns) {
  std::string head(60, 'H');
  h.reader.WriteSplitLine(head, std::string(13, 'T'));
  ASSERT_EQ(h.output.lines.size(), 2u);
  EXPECT_EQ(h.output.lines[0], head);
  EXPECT_EQ(h.output.lines[1], "     * " + std::string(13, 'T'));
  h.output.lines.clear();
  h.reader.WriteSplitLine(head, std::string(12, 'T'));
  ASSERT_EQ(h.output.lines.size(), 1u);
  EXPECT_EQ(h.output.lines[0], head + std::string(12, 'T'));
  h.output.lines.clear();
  h.run.freeForm = true;
  h.reader.WriteSplitLine(head, std::string(13, 'T'));
  EXPECT_EQ(h.output.lines.size(), 1u);
}

}  // namespace
}  // namespace kvq
