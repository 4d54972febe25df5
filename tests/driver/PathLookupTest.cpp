#include <gtest/gtest.h>

#include <filesystem>

#include "PathLookup.h"
#include "TempDirectory.h"

namespace kvq {
namespace {

TEST(PathNames, BothSeparatorsCount) {
  EXPECT_TRUE(HasDirectoryPart("a\\b.inc"));
  EXPECT_TRUE(HasDirectoryPart("a/b.inc"));
  EXPECT_FALSE(HasDirectoryPart("b.inc"));
  EXPECT_EQ(DirectoryPart("D:\\W\\MAIN.FOR"), "D:\\W");
  EXPECT_EQ(DirectoryPart("MAIN.FOR"), "");
  EXPECT_EQ(FileNamePart("src/x\\MAIN.FOR"), "MAIN.FOR");
  EXPECT_EQ(JoinPath("", "a.inc"), "a.inc");
  EXPECT_EQ(JoinPath("src", "a.inc"), "src/a.inc");
}

TEST(PathNames, ReplaceExtensionOnlyInTheLastComponent) {
  EXPECT_EQ(ReplaceExtension("PROG.FOR", ".SRT"), "PROG.SRT");
  EXPECT_EQ(ReplaceExtension("PROG", ".SRT"), "PROG.SRT");
  EXPECT_EQ(ReplaceExtension("a.b/PROG", ".F"), "a.b/PROG.F");
  EXPECT_EQ(ReplaceExtension("x/P.A.FOR", ".WatCom"), "x/P.A.WatCom");
}

TEST(ResolvePath, FindsFilesAndDirectoriesWhoseCaseDiffers) {
  test::TempDirectory dir;
  std::filesystem::create_directories(dir.path() / "Src" / "Inc");
  test::WriteBytes(dir.path() / "Src" / "Inc" / "Sub.inc", "x");
  std::string root = dir.path().string();
  EXPECT_EQ(ResolvePath(root + "/SRC/INC/SUB.INC"), root + "/Src/Inc/Sub.inc");
  EXPECT_EQ(ResolvePath(root + "\\src\\inc\\sub.INC"), root + "/Src/Inc/Sub.inc");
  EXPECT_EQ(ResolvePath(root + "/SRC/NONE.INC"), root + "/SRC/NONE.INC");  // unchanged
  EXPECT_TRUE(IsExistingFile(ResolvePath(root + "/src/inc/sub.inc")));
  EXPECT_FALSE(IsExistingFile(root + "/Src"));
}

}  // namespace
}  // namespace kvq
