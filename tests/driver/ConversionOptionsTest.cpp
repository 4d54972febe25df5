#include <gtest/gtest.h>

#include "driver/ConversionOptions.h"

namespace kvq {
namespace {

TEST(ApplySettingArgument, KeysMayBeAnyNonEmptyPrefix) {
  for (const char* argument : {"S=N", "SA=N", "SAVE=N"}) {
    ConversionSettings options;
    ApplySettingArgument(options, argument);
    EXPECT_FALSE(options.insertSave) << argument;
  }
  ConversionSettings options;
  ApplySettingArgument(options, "SAVES=N");
  ApplySettingArgument(options, "=N");
  ApplySettingArgument(options, "FORTRAN77=W");
  EXPECT_TRUE(options.insertSave);
  EXPECT_EQ(options.dialect, Dialect::Compaq);
}

TEST(ApplySettingArgument, OnlyExactlyYSwitchesOn) {
  ConversionSettings options;
  ApplySettingArgument(options, "SAVE=YES");
  EXPECT_FALSE(options.insertSave);
  ApplySettingArgument(options, "SAVE=Y   ");  // trailing blanks of a value drop
  EXPECT_TRUE(options.insertSave);
  ApplySettingArgument(options, "T=Y");
  EXPECT_TRUE(options.insertTrace);
}

TEST(ApplySettingArgument, Dialects) {
  ConversionSettings options;
  ApplySettingArgument(options, "F=W");
  EXPECT_EQ(options.dialect, Dialect::WatCom);
  ApplySettingArgument(options, "FORTRAN=GNU");
  EXPECT_EQ(options.dialect, Dialect::WatCom);
  ApplySettingArgument(options, "FORTRAN=");
  EXPECT_EQ(options.dialect, Dialect::WatCom);
  ApplySettingArgument(options, "FORTRAN=DEC");
  EXPECT_EQ(options.dialect, Dialect::Compaq);
}

TEST(ApplySettingArgument, ListsAreFramedByCommasAndReplaceTheDefault) {
  ConversionSettings options;
  ApplySettingArgument(options, "UNITS=*,5,6,IN");
  EXPECT_EQ(options.consoleUnits, ",*,5,6,IN,");
  ApplySettingArgument(options, "UNITS=IN");
  EXPECT_EQ(options.consoleUnits, ",IN,");
  ApplySettingArgument(options, "H=7,LOG");
  EXPECT_EQ(options.handleDrivenUnits, ",7,LOG,");
}

TEST(ApplySettingArgument, ValuesAfterTheFirstEquals) {
  ConversionSettings options;
  ApplySettingArgument(options, "NAME=A=B");
  EXPECT_EQ(options.dllName, "A=B");
  ApplySettingArgument(options, "E=100");
  EXPECT_EQ(options.errorLabel, "100");
}

TEST(SetRedirection, EmptyOrZeroSwitchesOffAndTheUnitKeepsFourCharacters) {
  ConversionSettings options;
  EXPECT_FALSE(options.writeGiven);
  ApplySettingArgument(options, "WRITE=12345");
  EXPECT_TRUE(options.writeGiven);
  EXPECT_TRUE(options.write.redirected);
  EXPECT_EQ(options.write.unit, "1234");
  ApplySettingArgument(options, "READ=0");
  EXPECT_FALSE(options.read.redirected);
  EXPECT_EQ(options.read.unit, "0");
  ApplySettingArgument(options, "R=");
  EXPECT_FALSE(options.read.redirected);
  EXPECT_EQ(options.read.unit, "");
  CarryOver carry;
  SetRedirection(carry, IoDirection::Read, "IN");
  EXPECT_TRUE(carry.read.redirected);
  EXPECT_EQ(carry.read.unit, "IN");
  EXPECT_EQ(carry.write.unit, "92");
}

TEST(ResetForRun, RestoresTheListsAndTakesTheMenuChecks) {
  ConversionSettings options;
  ApplySettingArgument(options, "UNITS=IN");
  ApplySettingArgument(options, "HANDLEDRIVEN=7");
  ApplySettingArgument(options, "NAME=KEEP");
  OptionChecks checks;
  checks.insertSave = false;
  checks.insertTrace = true;
  ResetForRun(options, checks);
  EXPECT_EQ(options.consoleUnits, ",*,5,6,DEBUG,");
  EXPECT_EQ(options.handleDrivenUnits, "");
  EXPECT_FALSE(options.insertSave);
  EXPECT_TRUE(options.insertTrace);
  EXPECT_EQ(options.dllName, "KEEP");  // not reset
}

TEST(ParamList, UpperCasesAndEndsAtTheFirstEmptyArgument) {
  ParamList list;
  ASSERT_TRUE(list.Assign({"name=x", "src/Main.for", "", "ignored"}));
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0], "NAME=X");
  EXPECT_EQ(list[1], "SRC/MAIN.FOR");
  EXPECT_EQ(list.Original(1), "src/Main.for");
}

TEST(ParamList, TakesAtMostNineteenArguments) {
  ParamList list;
  EXPECT_TRUE(list.Assign(std::vector<std::string>(19, "A")));
  EXPECT_EQ(list.size(), 19u);
  EXPECT_FALSE(list.Assign(std::vector<std::string>(20, "A")));
  EXPECT_TRUE(list.empty());
}

}  // namespace
}  // namespace kvq
