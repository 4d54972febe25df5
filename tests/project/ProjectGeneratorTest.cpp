// The console test program's marker: the 18-byte rule on one block.
#include <gtest/gtest.h>

#include "project/ProjectGenerator.h"

namespace kvq {
namespace {

std::string Bytes(const std::string& text) {
  return text;
}

TEST(PatchConsoleBlock, NameReplacesTheMarkerAndTheTextFollowsIt) {
  std::string block = Bytes("abc") + "ETALONETALONETALON" + ".DLL" + std::string(1, '\0') + "xyz";
  PatchConsoleBlock(block, "CALC");
  EXPECT_EQ(block, "abcCALC.DLL" + std::string(15, '\0') + "xyz");
  EXPECT_EQ(block.size(), 3u + 18 + 5 + 3);
}

TEST(PatchConsoleBlock, EighteenCharacterNameFillsTheMarkerExactly) {
  std::string block = "ETALONETALONETALON" + std::string("tail") + std::string(1, '\0');
  PatchConsoleBlock(block, "ABCDEFGHIJKLMNOPQR");
  EXPECT_EQ(block, "ABCDEFGHIJKLMNOPQRtail" + std::string(1, '\0'));
}

TEST(PatchConsoleBlock, MarkerIsMatchedInAnyCaseAndEveryOccurrenceIsPatched) {
  std::string block =
      "etalonEtalonETALON" + std::string(1, '\0') + "--ETALONETALONETALON" + std::string(1, '\0');
  PatchConsoleBlock(block, "P");
  EXPECT_EQ(block, "P" + std::string(18, '\0') + "--P" + std::string(18, '\0'));
}

TEST(PatchConsoleBlock, TextWithoutZeroByteMovesUpToTheBlockEnd) {
  std::string block = "ETALONETALONETALONabc";
  PatchConsoleBlock(block, "XY");
  EXPECT_EQ(block, "XYabc" + std::string(16, '\0'));
}

TEST(PatchConsoleBlock, PartialMarkerIsLeftAlone) {
  std::string block = "ETALONETALONETALO";
  PatchConsoleBlock(block, "XY");
  EXPECT_EQ(block, "ETALONETALONETALO");
}

}  // namespace
}  // namespace kvq
