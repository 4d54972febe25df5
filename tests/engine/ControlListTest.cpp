#include <gtest/gtest.h>

#include "engine/ControlList.h"

namespace kvq {
namespace {

// The column of the "(" after the keyword.
std::size_t OpenParen(const std::string& text) {
  return text.find('(');
}

std::string UnitFirst(std::string text) {
  PutUnitFirst(text, OpenParen(text));
  return text;
}

TEST(PutUnitFirst, UnitAndFormatMoveToTheFrontWithoutKeywords) {
  EXPECT_EQ(UnitFirst("      WRITE(FMT=100, UNIT=6) I"), "      WRITE(6,100) I");
  EXPECT_EQ(UnitFirst("      READ (FMT=*, IOSTAT=IOS, UNIT = 22) X"),
            "      READ (22,*, IOSTAT=IOS) X");
  EXPECT_EQ(UnitFirst("      OPEN (FILE=NAME, UNIT=10, STATUS='UNKNOWN')"),
            "      OPEN (10,FILE=NAME, STATUS='UNKNOWN')");
  EXPECT_EQ(UnitFirst("      CLOSE (STATUS='DELETE', UNIT=11)"),
            "      CLOSE (11,STATUS='DELETE')");
  // A format constant keeps its commas, blanks and case.
  EXPECT_EQ(UnitFirst("write(fmt='(a, i3)', unit=iu(k,2)) s"), "write(iu(k,2),'(a, i3)') s");
}

TEST(PutUnitFirst, ListsThatAlreadyStartWithTheUnitStay) {
  for (std::string text : {"      WRITE(6,FMT=100) X", "      WRITE(UNIT=6,FMT=100) X",
                           "      OPEN(NEWUNIT=U, FILE='A.TXT')", "      READ(5,*) N",
                           "      WRITE(FMT=100, UNIT=6",  // not closed on this line
                           "      WRITE(FMT=100) X ! UNIT=6)"}) {
    std::string before = text;
    EXPECT_FALSE(PutUnitFirst(text, OpenParen(text))) << before;
    EXPECT_EQ(text, before);
  }
}

TEST(PutUnitFirst, CommasAndParenthesesInsideConstantsDoNotSplit) {
  EXPECT_EQ(UnitFirst("WRITE(FMT='(1H),A)', UNIT=6) X"), "WRITE(6,'(1H),A)') X");
  EXPECT_EQ(UnitFirst("WRITE(FMT=\"(A,')')\", UNIT=6) X"), "WRITE(6,\"(A,')')\") X");
}

TEST(SpecifierAsWritten, ConstantsKeepCaseAndBlanks) {
  std::string text = "      OPEN(10, FILE = 'My Data/Run 1.dat', STATUS='old')";
  EXPECT_EQ(SpecifierAsWritten(text, OpenParen(text), "FILE"), "'My Data/Run 1.dat'");
  EXPECT_EQ(SpecifierAsWritten(text, OpenParen(text), "STATUS"), "'old'");
  EXPECT_EQ(SpecifierAsWritten(text, OpenParen(text), "FORM"), "");
}

TEST(SpecifierAsWritten, ExpressionsLoseBlanksOutsideConstants) {
  std::string text = "open(u, file = dir // 'a b.txt', newunit=k)";
  EXPECT_EQ(SpecifierAsWritten(text, OpenParen(text), "FILE"), "dir//'a b.txt'");
  std::string subscripts = "OPEN(60,FILE=NAMES(I, J),STATUS='OLD')";
  EXPECT_EQ(SpecifierAsWritten(subscripts, OpenParen(subscripts), "FILE"), "NAMES(I,J)");
  // UNIT= is no part of NEWUNIT=.
  EXPECT_EQ(SpecifierAsWritten(text, OpenParen(text), "UNIT"), "");
}

}  // namespace
}  // namespace kvq
