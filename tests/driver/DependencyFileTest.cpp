// The Make rule of --depfile: escapes, repeated INCLUDE files, empty rules.
#include <gtest/gtest.h>

#include "TempDirectory.h"
#include "driver/DependencyFile.h"

namespace kvq {
namespace {

TEST(DependencyFileTest, RuleNamesSourceAndEachIncludeOnce) {
  EXPECT_EQ(DependencyRule("out/a.f", "src/A.FOR", {}), "out/a.f: src/A.FOR\n");
  EXPECT_EQ(DependencyRule("a.f", "A.FOR", {"B.INC", "C.INC", "B.INC", "A.FOR"}),
            "a.f: A.FOR \\\n  B.INC \\\n  C.INC\n\nB.INC:\n\nC.INC:\n");
}

TEST(DependencyFileTest, NamesAreEscapedForMake) {
  EXPECT_EQ(DependencyRule("my out/a$.f", "x#1.for", {"dir with blank/B.INC"}),
            "my\\ out/a$$.f: x\\#1.for \\\n  dir\\ with\\ blank/B.INC\n\n"
            "dir\\ with\\ blank/B.INC:\n");
}

TEST(DependencyFileTest, WritesOrSaysWhyNot) {
  test::TempDirectory dir;
  std::string message;
  ASSERT_TRUE(WriteDependencyFile(dir.File("a.d"), "a.f", "A.FOR", {"B.INC"}, message));
  EXPECT_EQ(test::ReadBytes(dir.path() / "a.d"), "a.f: A.FOR \\\n  B.INC\n\nB.INC:\n");
  std::string missing = dir.File("no/such/dir/a.d");
  EXPECT_FALSE(WriteDependencyFile(missing, "a.f", "A.FOR", {}, message));
  EXPECT_EQ(message, "convertor: " + missing + ": the dependency file could not be written");
}

}  // namespace
}  // namespace kvq
