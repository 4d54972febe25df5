// --depfile on the real binary: the rule names what the run really read.
#include <gtest/gtest.h>

#include <filesystem>

#include "ConvertorInDirectory.h"

namespace kvq {
namespace {

using test::CrLf;
using test::ReadBytes;
using test::WriteBytes;

class DependencyFileOptionTest : public test::ConvertorInDirectory {};

TEST_F(DependencyFileOptionTest, NamesTheExpandedIncludesOnly) {
  std::filesystem::create_directory(dir.path() / "inc");
  WriteBytes(dir.path() / "main.for",
             CrLf({"      INCLUDE 'inc/a.inc'", "      INCLUDE 'missing.inc'", "      X=1",
                   "      INCLUDE 'inc/a.inc'"}));
  // A nested INCLUDE without a directory is looked for beside its parent.
  WriteBytes(dir.path() / "inc" / "a.inc", CrLf({"      INCLUDE 'b.inc'"}));
  WriteBytes(dir.path() / "inc" / "b.inc", CrLf({"      Y=2"}));
  test::ProcessResult r = Run({"--depfile", "main.d", "main.for", "main.f"});
  EXPECT_EQ(r.exitStatus, 0) << r.err;
  EXPECT_EQ(ReadBytes(dir.path() / "main.d"),
            "main.f: main.for \\\n  inc/a.inc \\\n  inc/b.inc\n\ninc/a.inc:\n\ninc/b.inc:\n");

  test::ProcessResult equals = Run({"--depfile=other.d", "main.for", "main.f"});
  EXPECT_EQ(equals.exitStatus, 0) << equals.err;
  EXPECT_EQ(ReadBytes(dir.path() / "other.d"), ReadBytes(dir.path() / "main.d"));
}

TEST_F(DependencyFileOptionTest, NoRuleForARunThatFails) {
  WriteBytes(dir.path() / "unix.for", "      X=1\n");
  test::ProcessResult refused = Run({"--depfile", "unix.d", "unix.for", "unix.f"});
  EXPECT_EQ(refused.exitStatus, 1);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "unix.d"));

  // The destination is replaced only together with the rule.
  WriteBytes(dir.path() / "ok.for", CrLf({"      X=1"}));
  const std::string previous = CrLf({"!KVQ:NO_TOUCH!", "      OLD=1"});
  WriteBytes(dir.path() / "ok.f", previous);
  test::ProcessResult unwritable = Run({"--depfile", "no/dir/ok.d", "ok.for", "ok.f"});
  EXPECT_EQ(unwritable.exitStatus, 1);
  EXPECT_NE(unwritable.err.find("no/dir/ok.d: the dependency file could not be written"),
            std::string::npos)
      << unwritable.err;
  EXPECT_EQ(ReadBytes(dir.path() / "ok.f"), previous);
}

// Names that make and Ninja would read differently are refused rather
// than written into a rule that names another file.
TEST_F(DependencyFileOptionTest, NamesNoRuleCanHoldAreRefused) {
  WriteBytes(dir.path() / "ok.for", CrLf({"      X=1"}));
  for (std::string destination : {"a;b.f", "100%.f"}) {
    test::ProcessResult r = Run({"--depfile", "ok.d", "ok.for", destination});
    EXPECT_EQ(r.exitStatus, 1) << destination;
    EXPECT_NE(r.err.find(destination + ": a Make rule cannot name this file"), std::string::npos)
        << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.path() / destination));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "ok.d"));
  }
  ASSERT_EQ(Run({"--depfile", "ok.d", "ok.for", "a$b.f"}).exitStatus, 0);
  EXPECT_EQ(ReadBytes(dir.path() / "ok.d"), "a$$b.f: ok.for\n");
}

// The rule never replaces a file the run reads or the destination, under
// any spelling; neither does the destination with --force.
TEST_F(DependencyFileOptionTest, NeverReplacesAFileOfTheRun) {
  const std::string source = CrLf({"      PROGRAM S", "      INCLUDE 'P.INC'", "      END"});
  const std::string include = CrLf({"      X=1"});
  WriteBytes(dir.path() / "S.FOR", source);
  WriteBytes(dir.path() / "P.INC", include);
  std::filesystem::create_symlink("P.INC", dir.path() / "link.inc");
  struct Case {
    std::vector<std::string> arguments;
    std::string named;
  };
  for (const Case& c : std::vector<Case>{
           {{"NAME=X", "--depfile", "S.FOR", "S.FOR", "out.f"}, "S.FOR: is the source"},
           {{"NAME=X", "--depfile", "./S.FOR", "S.FOR", "out.f"}, "./S.FOR: is the source"},
           {{"NAME=X", "--depfile", "link.inc", "S.FOR", "out.f"}, "link.inc: is an INCLUDE file"},
           {{"NAME=X", "--depfile", "out.f", "S.FOR", "out.f"}, "out.f: is the destination"},
           {{"NAME=X", "--force", "S.FOR", "P.INC"}, "P.INC: is an INCLUDE file"},
           {{"NAME=X", "--force", "S.FOR", "link.inc"}, "link.inc: is an INCLUDE file"}}) {
    test::ProcessResult r = Run(c.arguments);
    EXPECT_EQ(r.exitStatus, 1) << c.named;
    EXPECT_NE(r.err.find(c.named), std::string::npos) << r.err;
    EXPECT_EQ(ReadBytes(dir.path() / "S.FOR"), source);
    EXPECT_EQ(ReadBytes(dir.path() / "P.INC"), include);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.path() / "link.inc"));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "out.f")) << c.named;
  }
}

TEST_F(DependencyFileOptionTest, UsageErrors) {
  WriteBytes(dir.path() / "ok.for", CrLf({"      X=1"}));
  test::ProcessResult noName = Run({"ok.for", "ok.f", "--depfile"});
  EXPECT_EQ(noName.exitStatus, 2);
  EXPECT_NE(noName.err.find("--depfile needs a file name"), std::string::npos) << noName.err;
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "ok.f"));
  test::ProcessResult project = Run({"--depfile", "p.d", "p.dsw"});
  EXPECT_EQ(project.exitStatus, 2);
  EXPECT_NE(project.err.find("--depfile is for the conversion of a single source"),
            std::string::npos)
      << project.err;
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "p.d"));
}

}  // namespace
}  // namespace kvq
