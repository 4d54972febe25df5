#include <gtest/gtest.h>

#include "ReaderHarness.h"
#include "engine/ProgramUnits.h"

namespace kvq {
namespace {

class ProgramUnitsTest : public ::testing::Test {
 protected:
  void Use(const std::string& line) {
    text = line;
    name = "PROGRAM";
  }
  // RecogniseUnitHead; true for a head, with the procedure's name in name.
  UnitHead Head() { return RecogniseUnitHead(text, h.run.freeForm, name); }
  bool End() { return IsUnitEnd(text, h.run.freeForm); }
  // The first statement of a source of these lines.
  const Statement& Read(std::initializer_list<std::string> lines) {
    h.Start(test::CrLf(lines));
    h.reader.ReadStatement();
    return h.stmt();
  }
  std::string text;
  std::string name;
  test::ReaderHarness h;
};

struct HeadCase {
  std::string text;
  bool head;
  std::string unitName;
};

class UnitHeadTest : public ProgramUnitsTest, public ::testing::WithParamInterface<HeadCase> {};

TEST_P(UnitHeadTest, RecognisesHeads) {
  const HeadCase& c = GetParam();
  Use(c.text);
  EXPECT_EQ(Head(), c.head ? UnitHead::Procedure : UnitHead::None) << c.text;
  EXPECT_EQ(name, c.unitName) << c.text;
  EXPECT_EQ(text, c.text);  // only a PROGRAM head is replaced
}

INSTANTIATE_TEST_SUITE_P(
    Heads, UnitHeadTest,
    ::testing::Values(HeadCase{"      SUBROUTINE SOLVE(A,B)", true, "SOLVE"},
                      HeadCase{"      SUBROUTINE SOLVE   ! solver", true, "SOLVE"},
                      HeadCase{"      subroutine my_sub2", true, "MY_SUB2"},
                      HeadCase{"      FUNCTION F(X)", true, "F"},
                      HeadCase{"      REAL*8 FUNCTION F(X)", true, "F"},
                      HeadCase{"      R E A L * 16 FUNC TION G2 (X)", true, "G2"},
                      HeadCase{"      DOUBLE PRECISION FUNCTION DF(X)", true, "DF"},
                      HeadCase{"      INTEGER FUNCTION IF1()", true, "IF1"},
                      HeadCase{"      LOGICAL*4 FUNCTION L(X)", true, "L"},
                      HeadCase{"      CHARACTER*8 FUNCTION C8(X)", true, "C8"},
                      HeadCase{"      COMPLEX FUNCTION Z(X)", true, "Z"},
                      HeadCase{"      SUBROUTINE S &", true, "S"},
                      HeadCase{"      CHARACTER*(*) FUNCTION CS(X)", true, "CS"},
                      HeadCase{"      INTEGER(4) FUNCTION I4(X)", true, "I4"},
                      HeadCase{"      RECURSIVE SUBROUTINE R", true, "R"},
                      HeadCase{"      PURE ELEMENTAL REAL(KIND=8) FUNCTION E(X)", true, "E"},
                      HeadCase{"      TYPE(POINT) RECURSIVE FUNCTION MID(A, B)", true, "MID"},
                      HeadCase{"      TYPE POINT", false, "PROGRAM"},
                      HeadCase{"      MODULE SUBROUTINE SET(X)", true, "SET"},
                      HeadCase{"      MODULE SUBROUTINES", false, "PROGRAM"},
                      HeadCase{"      INTEGER(4) I4(10)", false, "PROGRAM"},
                      HeadCase{"      RECURSIVE = 1", false, "PROGRAM"},
                      HeadCase{"      BLOCK DATA", false, "PROGRAM"},
                      HeadCase{"      MODULE M", false, "PROGRAM"},
                      HeadCase{"      REAL X", false, "PROGRAM"},
                      HeadCase{"      X = 1", false, "PROGRAM"}));

TEST_F(ProgramUnitsTest, FreeFormPrefixesAreWholeWords) {
  h.run.freeForm = true;
  for (auto [line, head, unitName] :
       {HeadCase{"recursive integer function fact(n) result(r)", true, "FACT"},
        HeadCase{"impure elemental subroutine nop(x) ! none", true, "NOP"},
        HeadCase{"module subroutine set(x)", true, "SET"},
        HeadCase{"character(len=*), parameter :: s = 'x'", false, "PROGRAM"},
        HeadCase{"module subroutines", false, "PROGRAM"},
        HeadCase{"pureness = 1", false, "PROGRAM"}}) {
    Use(line);
    EXPECT_EQ(Head(), head ? UnitHead::Procedure : UnitHead::None) << line;
    EXPECT_EQ(name, unitName) << line;
  }
}

TEST_F(ProgramUnitsTest, ProgramHeadBecomesTheDllMainHead) {
  Use("      PROGRAM TEST");
  EXPECT_EQ(Head(), UnitHead::MainProgram);
  EXPECT_EQ(text, "      SUBROUTINE DLL_MAIN                 !  KVQ : instead of PROGRAM");
  EXPECT_EQ(text.find('!'), 42u);  // the comment in column 43
  EXPECT_EQ(name, "PROGRAM");
}

TEST_F(ProgramUnitsTest, AnyStatementBeginningWithProgramIsAHead) {
  Use("      PROGRAMX=1");
  EXPECT_EQ(Head(), UnitHead::MainProgram);
}

TEST_F(ProgramUnitsTest, UnitEnds) {
  for (const char* text :
       {"      END", "      END FUNCTION F", "      END SUBROUTINE", "      ENDSUBROUTINE X",
        "      end   ! of unit", "   99 END", "99999 END"}) {
    Use(text);
    EXPECT_TRUE(End()) << text;
    EXPECT_EQ(text, text) << "a unit end keeps its line";
  }
  for (const char* text : {"      END IF", "      END DO", "      ENDFILE 10", "      END MODULE",
                           "      ENDX = 1", "     1END", "      X = 1"}) {
    Use(text);
    EXPECT_FALSE(End()) << text;
  }
}

TEST_F(ProgramUnitsTest, EndProgramEndsTheUnitAsAPlainEnd) {
  Use("      END PROGRAM TEST");
  EXPECT_TRUE(End());
  EXPECT_EQ(text, "      END");
  Use("   10 end program");
  EXPECT_TRUE(End());
  EXPECT_EQ(text, "   10 END");
}

TEST_F(ProgramUnitsTest, LabelledEndInFreeForm) {
  h.run.freeForm = true;
  Use("  100 END");
  EXPECT_TRUE(End());
  Use("end subroutine solve");
  EXPECT_TRUE(End());
}

TEST_F(ProgramUnitsTest, CharacterStatementOverThreeLines) {
  const Statement& s =
      Read({"      CHARACTER*8 A,", "     &  B(N),", "     &  A, C*(L)", "      X=1"});
  h.run.unit.characterNames.assign(1, "OUTSTR");
  ASSERT_EQ(CollectCharacterNames(s, 0, h.output, h.run.unit.characterNames), 3u);
  EXPECT_EQ(h.output.lines, (std::vector<std::string>{"      CHARACTER*8 A,", "     &  B(N),",
                                                      "     &  A, C*(L)"}));
  EXPECT_EQ(h.run.unit.characterNames,
            (std::vector<std::string>{"OUTSTR", "A", "B", "N", "C", "L"}));
  h.reader.ReadStatement();
  EXPECT_EQ(h.stmt().Text(), "      X=1");
}

TEST_F(ProgramUnitsTest, CharacterWithoutBlankAfterTheLengthRecordsNothing) {
  const Statement& s = Read({"      CHARACTER*8A,B"});
  h.run.unit.characterNames.clear();
  EXPECT_EQ(CollectCharacterNames(s, 0, h.output, h.run.unit.characterNames), 1u);
  EXPECT_TRUE(h.run.unit.characterNames.empty());
  EXPECT_EQ(h.output.lines, (std::vector<std::string>{"      CHARACTER*8A,B"}));
}

TEST_F(ProgramUnitsTest, OtherStatementsAreNotCharacterDeclarations) {
  const Statement& s = Read({"      INTEGER I"});
  EXPECT_EQ(CollectCharacterNames(s, 0, h.output, h.run.unit.characterNames), 0u);
  EXPECT_TRUE(h.output.lines.empty());
}

TEST(DeclaresAllocatableLocal, LocalsCountDummyArgumentsDoNot) {
  const std::string head = "SUBROUTINEKEEP(N,KEPT,W)";
  EXPECT_TRUE(DeclaresAllocatableLocal("REAL,ALLOCATABLE::A(:)", head));
  EXPECT_TRUE(DeclaresAllocatableLocal("REAL,DIMENSION(:),ALLOCATABLE::KEPT,VALUES", head));
  EXPECT_TRUE(DeclaresAllocatableLocal("ALLOCATABLE::MARKS(:)", head));
  EXPECT_TRUE(DeclaresAllocatableLocal("ALLOCATABLEMARKS(:,:)", head));
  EXPECT_FALSE(DeclaresAllocatableLocal("REAL,ALLOCATABLE,INTENT(INOUT)::KEPT(:)", head));
  EXPECT_FALSE(DeclaresAllocatableLocal("ALLOCATABLE::W(:)", head));
  EXPECT_FALSE(DeclaresAllocatableLocal("REALALLOCATABLES(10)", head)) << "no attribute";
  EXPECT_FALSE(DeclaresAllocatableLocal("X=1", head));
  EXPECT_TRUE(DeclaresAllocatableLocal("REAL,ALLOCATABLE::A(:)", "PROGRAMP"));
}

}  // namespace
}  // namespace kvq
