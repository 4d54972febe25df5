#include <gtest/gtest.h>

#include <filesystem>

#include "ReaderHarness.h"
#include "engine/SourceReader.h"

namespace kvq {
namespace {

using test::CrLf;
using Lines = std::vector<std::string>;

class SourceReaderTest : public ::testing::Test {
 protected:
  Lines Read(const std::string& bytes) {
    h.Start(bytes);
    return h.RemainingLines();
  }
  test::ReaderHarness h;
};

TEST_F(SourceReaderTest, TheLastLineEndsTheInput) {
  h.Start(CrLf({"      X=1"}));
  EXPECT_FALSE(h.reader.EndOfInput());
  h.reader.ReadStatement();
  EXPECT_EQ(h.stmt().Text(), "      X=1");
  EXPECT_EQ(h.stmt().Kind(), StatementKind::Code);
  EXPECT_EQ(h.stmt().Key(), "X=1");
  EXPECT_TRUE(h.reader.EndOfInput());
}

TEST_F(SourceReaderTest, AStatementHoldsItsContinuationLines) {
  h.Start(CrLf({"   10 CALL S(A,", "C     a comment", "     &B,", "     &  C)", "      X=1"}));
  h.reader.ReadStatement();
  EXPECT_EQ(h.stmt().size(), 1u) << "a comment line ends the statement";
  EXPECT_EQ(h.stmt().Label(), 10);
  EXPECT_EQ(h.stmt().Key(), "CALLS(A,");
  h.reader.ReadStatement();
  EXPECT_EQ(h.stmt().Kind(), StatementKind::Comment);
  EXPECT_EQ(h.stmt().Key(), "");
  h.reader.ReadStatement();
  ASSERT_EQ(h.stmt().size(), 2u);
  EXPECT_TRUE(h.stmt().first().continues) << "a continuation line after a comment says so";
  EXPECT_EQ(h.stmt().Joined(), "     &B,  C)");
  EXPECT_EQ(h.stmt().line(1).place.line, 4);
  EXPECT_EQ(h.stmt().line(1).inputLines, 4);
  h.reader.ReadStatement();
  EXPECT_FALSE(h.stmt().first().continues);
  EXPECT_EQ(h.stmt().size(), 1u);
}

TEST_F(SourceReaderTest, FreeFormStatementsJoinAtTheLastMarkOutsideConstants) {
  h.run.freeForm = true;
  h.Start(CrLf({"open(10, file='a&b.dat', &  ! the file", "   & status='old')", "x = 1"}));
  h.reader.ReadStatement();
  ASSERT_EQ(h.stmt().size(), 2u);
  EXPECT_EQ(h.stmt().Joined(), "open(10, file='a&b.dat',  status='old')");
  EXPECT_EQ(h.stmt().Key(), "OPEN(10,FILE='A&B.DAT',&!THEFILE");
}

TEST_F(SourceReaderTest, BlankLinesAndTrailingBlanksDisappear) {
  EXPECT_EQ(Read(CrLf({"      A=1   ", "", "    ", "\t \t", "      B=2"})),
            (Lines{"      A=1", "      B=2"}));
}

TEST_F(SourceReaderTest, TabsFillToColumn7AndAlwaysGiveOneBlank) {
  EXPECT_EQ(Read(CrLf({"\tX=1", "ABCDEFGH\tX", "10\tY=2"})),
            (Lines{"       X=1", "ABCDEFGH X", "10     Y=2"}));
}

TEST_F(SourceReaderTest, DoubleQuotesBecomeApostrophesOutsideConstantsAndComments) {
  EXPECT_EQ(
      Read(CrLf(
          {"      A=\"X\"", "      B='say \"hi\"'", "      C=1 ! \"q\"", "C     \"comment\""})),
      (Lines{"      A='X'", "      B='say \"hi\"'", "      C=1 ! \"q\"", "C     \"comment\""}));
}

TEST_F(SourceReaderTest, SemicolonsSplitOnlyFreeFormStatements) {
  EXPECT_EQ(Read(CrLf({"      A=1; B=2"})), (Lines{"      A=1; B=2"}));
  h.run.freeForm = true;
  EXPECT_EQ(Read(CrLf({"A=1;  B=2 ;C=3", "S='a;b'", "D=4;", "E=5 ! x;y"})),
            (Lines{"A=1", "B=2", "C=3", "S='a;b'", "D=4", "E=5 ! x;y"}));
}

TEST_F(SourceReaderTest, RestAfterSemicolonComesBeforeTheEndMarkerOfItsFile) {
  h.run.freeForm = true;
  test::WriteBytes(h.dir.path() / "SUB.INC", CrLf({"X=1; Y=2"}));
  EXPECT_EQ(Read(CrLf({"include 'SUB.INC'", "Z=3"})),
            (Lines{"!<<<<<<      INCLUDE SUB.INC", "X=1", "Y=2", "!>>>>>>      end of   SUB.INC",
                   "Z=3"}));
}

TEST_F(SourceReaderTest, LineEndsCarriageReturnAloneOrWithLineFeed) {
  EXPECT_EQ(Read("      A=1\r      B=2\r\n      C=3"),
            (Lines{"      A=1", "      B=2", "      C=3"}));
}

TEST_F(SourceReaderTest, CtrlZEndsTheData) {
  EXPECT_EQ(Read("      A=1\r\n      B=2\x1a      C=3\r\n"), (Lines{"      A=1", "      B=2"}));
}

TEST_F(SourceReaderTest, BareLineFeedIsRefused) {
  h.Start("      A=1\n      B=2\n");
  EXPECT_THROW(h.reader.ReadStatement(), UnixTextRefused);
}

TEST_F(SourceReaderTest, LineFeedLaterInTheFileIsRefusedThere) {
  h.Start(CrLf({"      A=1", "      B=2"}) + "      C=3\n");
  EXPECT_NO_THROW(h.reader.ReadStatement());
  EXPECT_THROW(h.reader.ReadStatement(), UnixTextRefused);
}

TEST_F(SourceReaderTest, LinesAreNeverCut) {
  std::string longLine = "      X = " + std::string(100000, '1');
  EXPECT_EQ(Read(CrLf({longLine})), (Lines{longLine}));
}

TEST_F(SourceReaderTest, InputLinesCountsMainFileLinesFromMinusOne) {
  std::string source;
  for (int i = 0; i < 10; ++i) source += "      X=1\r\n";
  Read(source);
  EXPECT_EQ(h.reader.inputLines(), 9);
}

TEST_F(SourceReaderTest, InputLinesIsTheCurrentLineNumber) {
  h.Start(CrLf({"      A=1", "      B=2", "      C=3"}));
  h.reader.ReadStatement();
  EXPECT_EQ(h.reader.inputLines(), 1);
  h.reader.ReadStatement();
  EXPECT_EQ(h.reader.inputLines(), 2);
}

struct LabelCase {
  std::string text;
  int label;
  std::string field;
};

class LabelTest : public SourceReaderTest, public ::testing::WithParamInterface<LabelCase> {};

TEST_P(LabelTest, ReadsDigitsOfColumns1To5) {
  const LabelCase& c = GetParam();
  h.Start(CrLf({c.text}));
  h.reader.ReadStatement();
  EXPECT_EQ(h.stmt().Label(), c.label);
  EXPECT_EQ(h.stmt().first().labelField, c.field);
}

INSTANTIATE_TEST_SUITE_P(
    Labels, LabelTest,
    ::testing::Values(LabelCase{"  100 CONTINUE", 100, " 100  "},
                      LabelCase{"12345 CONTINUE", 12345, "12345 "},  // column 6 stays blank
                      LabelCase{"     1X=1", 0, "      "},   // column 6 is the continuation mark
                      LabelCase{"1 2   X=1", 12, " 12   "},  // blanks between digits drop
                      LabelCase{"      X=1", 0, "      "}, LabelCase{"C 123 comment", 0, "      "},
                      LabelCase{"123456X=1", 12345, "12345 "}));

TEST_F(SourceReaderTest, LineEndingInAmpersandSwitchesToFreeForm) {
  h.Start(CrLf({"! comment &", "x = 1 + &", "    2", "a = 1; b = 2"}));
  h.reader.ReadStatement();
  EXPECT_FALSE(h.run.freeForm);  // a comment line does not switch
  h.reader.ReadStatement();
  EXPECT_TRUE(h.run.freeForm);
  EXPECT_EQ(h.stmt().size(), 2u);
  EXPECT_EQ(h.RemainingLines(), (Lines{"a = 1", "b = 2"}));
}

TEST_F(SourceReaderTest, IncludeExpandsBetweenMarkerLines) {
  test::WriteBytes(h.dir.path() / "SUB.INC", CrLf({"      B=2", "      INCLUDE 'DEEP.INC'"}));
  test::WriteBytes(h.dir.path() / "DEEP.INC", CrLf({"      C=3"}));
  EXPECT_EQ(Read(CrLf({"      A=1", "      INCLUDE 'SUB.INC'", "      D=4"})),
            (Lines{"      A=1", "!<<<<<<      INCLUDE SUB.INC", "      B=2",
                   "!<<<<<<      INCLUDE DEEP.INC", "      C=3", "!>>>>>>      end of   DEEP.INC",
                   "!>>>>>>      end of   SUB.INC", "      D=4"}));
}

TEST_F(SourceReaderTest, IncludeGetsTheDirectoryOfTheIncludingFile) {
  std::filesystem::create_directory(h.dir.path() / "w");
  test::WriteBytes(h.dir.path() / "w" / "MAIN.FOR", CrLf({"      include \"sub.inc\""}));
  test::WriteBytes(h.dir.path() / "w" / "SUB.INC", CrLf({"      B=2"}));
  h.reader.Open(h.dir.File("w/MAIN.FOR"), "D:\\W\\MAIN.FOR");
  EXPECT_EQ(h.RemainingLines(), (Lines{"!<<<<<<      INCLUDE D:\\W/sub.inc", "      B=2",
                                       "!>>>>>>      end of   D:\\W/sub.inc"}));
}

TEST_F(SourceReaderTest, IncludesThatCannotBeExpandedPassUnchanged) {
  EXPECT_EQ(Read(CrLf({"      INCLUDE 'MISSING.INC'", "      INCLUDE NOQUOTE", "      INCLUDE ''",
                       "      INCLUDE 'OPEN", "C     INCLUDE 'X.INC'"})),
            (Lines{"      INCLUDE 'MISSING.INC'", "      INCLUDE NOQUOTE", "      INCLUDE ''",
                   "      INCLUDE 'OPEN", "C     INCLUDE 'X.INC'"}));
}

TEST_F(SourceReaderTest, IncludeOfTheRuntimeHeaderBecomesABareComment) {
  EXPECT_EQ(Read(CrLf({"      include 'zentrix.h'", "      I N C L U D E  'Zentrix.H'"})),
            (Lines{"!", "!"}));
}

TEST_F(SourceReaderTest, IncludeNestingStopsAtTenLevels) {
  // A file that includes itself: ten levels open, the eleventh passes on.
  test::WriteBytes(h.dir.path() / "SELF.INC", CrLf({"      INCLUDE 'SELF.INC'"}));
  Lines lines = Read(CrLf({"      INCLUDE 'SELF.INC'"}));
  int opened = 0, ended = 0;
  for (const std::string& line : lines) {
    opened += line.starts_with("!<<<<<<");
    ended += line.starts_with("!>>>>>>");
  }
  EXPECT_EQ(opened, 10);
  EXPECT_EQ(ended, 10);
  EXPECT_EQ(lines[10], "      INCLUDE 'SELF.INC'");
}

TEST_F(SourceReaderTest, IncludeOfADirectoryPassesUnchanged) {
  std::filesystem::create_directory(h.dir.path() / "DIR.INC");
  EXPECT_EQ(Read(CrLf({"      INCLUDE 'DIR.INC'"})), (Lines{"      INCLUDE 'DIR.INC'"}));
}

TEST_F(SourceReaderTest, IncludedLinesDoNotCountAsInputLines) {
  test::WriteBytes(h.dir.path() / "SUB.INC", CrLf({"      B=2", "      C=3", "      D=4"}));
  Read(CrLf({"      A=1", "      INCLUDE 'SUB.INC'"}));
  EXPECT_EQ(h.reader.inputLines(), 1);
}

TEST_F(SourceReaderTest, CompanionFileHoldsTheMainFileLinesInAProjectRun) {
  h.run.projectRun = true;
  test::WriteBytes(h.dir.path() / "SUB.INC", CrLf({"      B=2"}));
  std::string companion = h.dir.File("MAIN.WatCom");
  test::WriteBytes(
      h.dir.path() / "MAIN.FOR",
      CrLf({"*$IFDEF X", "      A=\"1\"", "", "      INCLUDE 'SUB.INC'", "*$ENDIF", "      END"}));
  h.reader.Open(h.dir.File("MAIN.FOR"), "MAIN.FOR");
  ASSERT_TRUE(h.reader.OpenCompanion(companion));
  h.RemainingLines();
  // The source as prepared: conditional lines translated, the INCLUDE line in
  // its source form, no included lines, no marker lines, no blank lines.
  EXPECT_EQ(test::ReadBytes(companion),
            CrLf({"!DEC$ IF DEFINED (__X__)", "      A='1'", "      INCLUDE 'SUB.INC'",
                  "!DEC$ ENDIF", "      END"}));
}

TEST_F(SourceReaderTest, CompanionFileWithoutConditionalsIsDeleted) {
  h.run.projectRun = true;
  std::string companion = h.dir.File("MAIN.WatCom");
  test::WriteBytes(h.dir.path() / "MAIN.FOR", CrLf({"      A=1", "      END"}));
  h.reader.Open(h.dir.File("MAIN.FOR"), "MAIN.FOR");
  ASSERT_TRUE(h.reader.OpenCompanion(companion));
  h.RemainingLines();
  EXPECT_FALSE(std::filesystem::exists(companion));
}

TEST_F(SourceReaderTest, SourceThatShrinksWhileBeingReadEndsCleanly) {
  std::string source;
  for (int i = 0; i < 100000; ++i) source += "      X = " + std::to_string(i) + "\r\n";
  h.StartFile(source);
  for (int i = 0; i < 10; ++i) h.reader.ReadStatement();
  std::filesystem::resize_file(h.dir.path() / "MAIN.FOR", 0);  // another program empties it
  int lines = 0;
  while (!h.reader.EndOfInput() && lines < 200000) {
    h.reader.ReadStatement();
    ++lines;
  }
  EXPECT_TRUE(h.reader.EndOfInput());
  EXPECT_LT(lines, 10000) << "only the buffered part is delivered";
}

TEST_F(SourceReaderTest, EmptySourceEndsAtPriming) {
  h.Start("");
  h.reader.Prime();
  EXPECT_TRUE(h.reader.EndOfInput());
}

TEST_F(SourceReaderTest, DoubleQuotedConstantsKeepTheirValue) {
  EXPECT_EQ(Read(CrLf({"      A=\"5 O'CLOCK\"", "      B=\"SAY \"\"HI\"\"\"",
                       "      C=\"A!B;C\" ! \"n\"", "      D='IT''S \"Q\"'"})),
            (Lines{"      A='5 O''CLOCK'", "      B='SAY \"HI\"'", "      C='A!B;C' ! \"n\"",
                   "      D='IT''S \"Q\"'"}));
}

TEST_F(SourceReaderTest, ContinuedConstantKeepsItsQuoteStateOnTheNextLine) {
  // Fixed form: a double quote inside an apostrophe constant begun on the
  // line before stays; one inside a double-quoted constant closes it.
  EXPECT_EQ(
      Read(CrLf({"      A='SAY", "     1 \"HI\"'", "      B=\"IT", "     1S\"", "      C=\"D\""})),
      (Lines{"      A='SAY", "     1 \"HI\"'", "      B='IT", "     1S'", "      C='D'"}));
  h.run.freeForm = true;
  EXPECT_EQ(Read(CrLf({"a = 'say &", "&\"hi\"'", "b = \"x\""})),
            (Lines{"a = 'say &", "&\"hi\"'", "b = 'x'"}));
}

TEST_F(SourceReaderTest, AContinuedConstantStillEndsInColumn72WhenItsQuotesChange) {
  // Its value on the line runs to column 72, so the blanks before it give way
  // for each apostrophe doubled and come back for each "" made one.
  EXPECT_EQ(Read(CrLf({"      A = \"IT'S", "     &X\"", "      B  =  \"SAY \"\"HI", "     &\"",
                       "      C=1", "      D=9HA B C D E,'N''T", "     &'"})),
            (Lines{"      A ='IT''S", "     &X'", "      B  =   'SAY \"HI", "     &'", "      C=1",
                   "      D=9HA B C D E,'N''T", "     &'"}));
  EXPECT_TRUE(h.output.warnings.empty());
  // No blank to give: the line starts inside the constant, or a possible
  // Hollerith constant holds the only blanks.
  Read(CrLf({"      A=\"X", "     &IT'S", "     &\"", "      D=9HA B C D E,\"N'T", "     &\""}));
  ASSERT_EQ(h.output.warnings.size(), 2u);
  // A Hollerith count too large for any integer neither wraps nor loops.
  EXPECT_EQ(Read(CrLf({"      D=18446744073709551590HX, \"N'T", "     &\""})).size(), 2u);
  EXPECT_TRUE(h.output.warnings[0].starts_with("MAIN.FOR:2: a character constant continued"));
  EXPECT_TRUE(h.output.warnings[1].starts_with("MAIN.FOR:4: a character constant continued"));
}

TEST_F(SourceReaderTest, AFormatConstantWithNoBlankToGiveKeepsItsDoubleQuotes) {
  // The FORMAT is copied as written, so its constant keeps its quotes and
  // its end; the constant after it is changed as usual.
  EXPECT_EQ(Read(CrLf({"  300 FORMAT(15X,\"  FORMAT( 'SKIP'", "     1  /)\" /,\"A'B\")",
                       "      A=\"X", "     &IT'S", "     &\""})),
            (Lines{"  300 FORMAT(15X,\"  FORMAT( 'SKIP'", "     1  /)\" /,'A''B')", "      A='X",
                   "     &IT''S", "     &'"}));
  ASSERT_EQ(h.output.warnings.size(), 1u) << "only the assignment's constant changes";
  EXPECT_TRUE(h.output.warnings[0].starts_with("MAIN.FOR:4: a character constant continued"));
  // A constant opened on an earlier line was changed there: it is warned of.
  EXPECT_EQ(Read(CrLf({"  300 FORMAT(\"AB", "     1IT'S", "     1\")"})),
            (Lines{"  300 FORMAT('AB", "     1IT''S", "     1')"}));
  ASSERT_EQ(h.output.warnings.size(), 2u);
  EXPECT_TRUE(h.output.warnings[1].starts_with("MAIN.FOR:2: a character constant continued"));
}

TEST_F(SourceReaderTest, ATrailingCommentDoesNotHideTheContinuationMark) {
  h.run.freeForm = true;
  h.Start(CrLf({"write(*,*) 'a&b', &   ! running sum", "  n", "x = '&' ! &", "y = 1"}));
  h.reader.ReadStatement();
  ASSERT_EQ(h.stmt().size(), 2u);
  EXPECT_TRUE(h.stmt().line(1).continues);
  h.reader.ReadStatement();
  EXPECT_EQ(h.stmt().size(), 1u) << "the & stands in a constant and a comment";
}

TEST_F(SourceReaderTest, SequenceFieldsGoWithTheSettingAndAreNotedOnceWithout) {
  std::string numbered = "      X = 1" + std::string(61, ' ') + "SEQ00010";
  std::string tabbed = "\tY = 2" + std::string(62, ' ') + "SEQ00020";  // the tab reaches column 7
  std::string comment = "C     NOTE" + std::string(62, ' ') + "SEQ00030";
  EXPECT_EQ(Read(CrLf({numbered, tabbed, comment})),
            (Lines{numbered, "       Y = 2" + std::string(62, ' ') + "SEQ00020", comment}));
  ASSERT_EQ(h.output.warnings.size(), 1u) << "once per source";
  EXPECT_TRUE(h.output.warnings[0].starts_with("MAIN.FOR:1: statement lines carry text beyond"));

  test::ReaderHarness cards;
  cards.settings.sequenceField = true;
  cards.Start(CrLf({numbered, tabbed, comment, "     &" + std::string(66, 'Z') + "TAIL"}));
  EXPECT_EQ(cards.RemainingLines(),
            (Lines{"      X = 1", "       Y = 2", comment, "     &" + std::string(66, 'Z')}));
  EXPECT_TRUE(cards.output.warnings.empty());
}

TEST_F(SourceReaderTest, AJoinedFixedFormStatementTakesColumnsSevenToSeventyTwo) {
  h.Start(CrLf({"      OPEN(10," + std::string(58, ' ') + "SEQ00010",
                "     &  STATUS='OLD')" + std::string(51, ' ') + "SEQ00020"}));
  h.reader.ReadStatement();
  EXPECT_EQ(h.stmt().Joined(), "      OPEN(10,  STATUS='OLD')");
  EXPECT_EQ(h.stmt().Key(), "OPEN(10,");
}

}  // namespace
}  // namespace kvq
