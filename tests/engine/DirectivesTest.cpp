// Directives the reader applies, conditional compilation and INTERFACE
// blocks, seen through the reader as the run sees it.
#include <gtest/gtest.h>

#include "ReaderHarness.h"

namespace kvq {
namespace {

using test::CrLf;
using Lines = std::vector<std::string>;

class DirectivesTest : public ::testing::Test {
 protected:
  Lines Read(const std::string& bytes) {
    h.Start(bytes);
    return h.RemainingLines();
  }
  test::ReaderHarness h;
};

TEST_F(DirectivesTest, ConsoleDirectiveExtendsTheDefaultList) {
  struct Case {
    std::string line, units;
  };
  for (const Case& c :
       {Case{"!KVQ:CONSOLE=IN", ",*,5,6,DEBUG,IN,"},
        Case{"!KVQ:CONSOLE in, inout ", ",*,5,6,DEBUG,IN, INOUT,"},
        Case{"!KVQ:CONSOLEIN", ",*,5,6,DEBUG,N,"}, Case{"!KVQ:CONSOLE", ",*,5,6,DEBUG,,"},
        Case{" !KVQ:CONSOLE IN", ",X,"},  // ordinary comments
        Case{"!kvq:console IN", ",X,"}}) {
    h.run.consoleUnits = ",X,";
    Read(CrLf({c.line}));
    EXPECT_EQ(h.run.consoleUnits, c.units) << c.line;
  }
}

TEST_F(DirectivesTest, HandleDrivenAndOwnMacroReplaceTheirValues) {
  h.run.handleDrivenUnits = ",7,";
  Read(CrLf({"!KVQ:HANDLEDRIVEN log,out", "!KVQ:OWNMACRO  my_macro "}));
  EXPECT_EQ(h.run.handleDrivenUnits, ",LOG,OUT,");
  EXPECT_EQ(h.carry.ownMacros, " MY_MACRO ");
}

TEST_F(DirectivesTest, DirectiveArgumentIsCutAt255Characters) {
  Read(CrLf({"!KVQ:CONSOLE " + std::string(300, 'A')}));
  EXPECT_EQ(h.run.consoleUnits, ",*,5,6,DEBUG," + std::string(255, 'A') + ",");
}

TEST_F(DirectivesTest, DirectivesActFromTheirLineOn) {
  h.Start(CrLf({"      X=1", "!KVQ:CONSOLE IN", "      Y=2"}));
  h.reader.ReadStatement();
  EXPECT_EQ(h.run.consoleUnits, ",*,5,6,DEBUG,");
  h.reader.ReadStatement();
  h.reader.ReadStatement();
  EXPECT_EQ(h.run.consoleUnits, ",*,5,6,DEBUG,IN,");
}

TEST_F(DirectivesTest, CompaqDialectTranslatesWatComDirectives) {
  EXPECT_EQ(Read(CrLf({"*$IFDEF _DEBUG_", "*$ELSE", "*$ENDIF", "*$ifdef debug", "*$endif"})),
            (Lines{"!DEC$ IF DEFINED (__DEBUG__)", "!DEC$ ELSE", "!DEC$ ENDIF",
                   "!DEC$ IF DEFINED (__debug__)", "!DEC$ ENDIF"}));
  EXPECT_TRUE(h.reader.conditions().ConditionalSeen);
  EXPECT_EQ(h.reader.conditions().ConditionDepth, 0);
}

TEST_F(DirectivesTest, IfndefYieldsAnEmptyIfBranchAndElse) {
  Lines lines = Read(CrLf({"*$IFNDEF X", "      A=1", "*$ENDIF"}));
  EXPECT_EQ(h.output.lines, (Lines{"!DEC$ IF DEFINED (__X__)"}));  // written at once
  EXPECT_EQ(lines, (Lines{"!DEC$ ELSE", "      A=1", "!DEC$ ENDIF"}));
}

TEST_F(DirectivesTest, WatComDialectOnlyFramesTheSymbol) {
  h.settings.dialect = Dialect::WatCom;
  EXPECT_EQ(Read(CrLf({"*$IFDEF X", "*$IFNDEF __Y_", "*$IFDEF ___", "*$ENDIF"})),
            (Lines{"*$IFDEF __X__", "*$IFNDEF __Y__", "*$IFDEF ____", "*$ENDIF"}));
  EXPECT_TRUE(h.output.lines.empty());
}

TEST_F(DirectivesTest, InactiveBranchesFollowTheDefinedSymbols) {
  h.settings.definedSymbols = "__X__ __Z__";
  h.Start(CrLf({"!DEC$ IF DEFINED (__X__)", "      A=1", "!DEC$ ELSE", "      B=1",
                "!DEC$ ELSE IF DEFINED (Q)", "      C=1", "!DEC$ ENDIF ! not a plain ENDIF",
                "      D=1", "!DEC$ ENDIF", "      E=1"}));
  std::vector<bool> inactive;
  while (!h.reader.EndOfInput()) {
    h.reader.ReadStatement();
    inactive.push_back(h.reader.InInactiveBranch());
  }
  EXPECT_EQ(inactive, (std::vector<bool>{false, false, true, true, false, false, false, false,
                                         false, false}));
}

TEST_F(DirectivesTest, EmptyDefinedSymbolsSwitchOffEveryIfPart) {
  h.Start(CrLf({"!DEC$ IF DEFINED (X)", "      A=1", "!DEC$ ELSE", "      B=1", "!DEC$ ENDIF"}));
  std::vector<bool> inactive;
  while (!h.reader.EndOfInput()) {
    h.reader.ReadStatement();
    inactive.push_back(h.reader.InInactiveBranch());
  }
  EXPECT_EQ(inactive, (std::vector<bool>{true, true, false, false, false}));
}

TEST_F(DirectivesTest, NestingBeyondNineLevelsAndStrayEndifsKeepTheRecordSound) {
  std::vector<std::string> source;
  for (int i = 1; i <= 10; ++i) source.push_back("!DEC$ IF DEFINED (S" + std::to_string(i) + ")");
  source.push_back("      A=1");
  source.push_back("!DEC$ ENDIF");
  std::string bytes = test::CrLf(source);
  h.settings.definedSymbols = "S1 S2 S3 S4 S5 S6 S7 S8 S9";
  h.Start(bytes);
  for (int i = 0; i < 11; ++i) h.reader.ReadStatement();
  EXPECT_EQ(h.reader.conditions().ConditionDepth, 10);
  EXPECT_FALSE(h.reader.InInactiveBranch()) << "the unrecorded level counts as switched on";
  h.reader.ReadStatement();
  EXPECT_EQ(h.reader.conditions().ConditionDepth, 9);
  EXPECT_EQ(h.reader.conditions().ConditionStack[9], "S9");

  test::ReaderHarness fresh;
  fresh.Start(CrLf({"!DEC$ ENDIF", "!DEC$ ELSE", "      A=1"}));
  fresh.RemainingLines();
  EXPECT_EQ(fresh.reader.conditions().ConditionDepth, 0);
}

TEST_F(DirectivesTest, InterfaceBlocksAreCopiedAndTheLineAfterIsDelivered) {
  Lines lines = Read(CrLf({"      INTERFACE", "        SUBROUTINE A(X)", "        END SUBROUTINE",
                           "      END INTERFACE", "      INTERFACE B", "      END", "      X=1"}));
  EXPECT_EQ(h.output.lines,
            (Lines{"      INTERFACE", "        SUBROUTINE A(X)", "        END SUBROUTINE",
                   "      END INTERFACE", "      INTERFACE B", "      END"}));
  EXPECT_EQ(lines, (Lines{"      X=1"}));
}

TEST_F(DirectivesTest, InterfaceOpenAtTheEndOfInputWritesEveryLine) {
  Lines lines = Read(CrLf({"      INTERFACE", "        SUBROUTINE A(X)"}));
  EXPECT_EQ(h.output.lines, (Lines{"      INTERFACE", "        SUBROUTINE A(X)"}));
  EXPECT_EQ(h.stmt().Kind(), StatementKind::Written);
  EXPECT_TRUE(h.reader.EndOfInput());
  EXPECT_TRUE(lines.empty());
}

TEST_F(DirectivesTest, NoDirectiveStepInsideInterfaceBlocks) {
  Read(CrLf({"      INTERFACE", "!KVQ:CONSOLE IN", "      END INTERFACE"}));
  EXPECT_EQ(h.run.consoleUnits, ",*,5,6,DEBUG,");
}

}  // namespace
}  // namespace kvq
