// Project conversion from the command line never writes outside the
// directory it converts into.
#include <gtest/gtest.h>

#include <filesystem>

#include "ProcessRunner.h"
#include "TempDirectory.h"

namespace kvq {
namespace {

using test::CrLf;
using test::WriteBytes;

TEST(ProjectCommand, SourcesOutsideTheProjectDirectoryAreNotConverted) {
  test::TempDirectory dir;
  std::filesystem::create_directories(dir.path() / "proj");
  WriteBytes(dir.path() / "ESCAPE.FOR", CrLf({"      X=1"}));
  WriteBytes(dir.path() / "proj" / "P.dsw", CrLf({"Project: \"P\"=.\\P.dsp"}));
  WriteBytes(dir.path() / "proj" / "P.dsp",
             CrLf({"# Microsoft Developer Studio Project File", "# Begin Source File",
                   "SOURCE=.\\..\\ESCAPE.FOR", "# End Source File", "# Begin Source File",
                   "SOURCE=.\\A.FOR", "# End Source File"}));
  WriteBytes(dir.path() / "proj" / "A.FOR", CrLf({"      Y=1"}));
  test::ProcessResult r =
      test::RunProgram(CONVERTOR_BINARY, {"P.dsp"}, (dir.path() / "proj").string());
  // A source left unconverted makes the project conversion fail.
  EXPECT_EQ(r.exitStatus, 1) << r.err;
  EXPECT_NE(r.err.find(": ..\\ESCAPE.FOR: a source outside the project directory is not converted"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("P: 1 of 2 Fortran sources not converted (..\\ESCAPE.FOR)"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(r.err.find("The converted project"), std::string::npos) << r.err;
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "proj" / "Converted_P" / "A.FOR"));
  // The converted copy would have replaced the original one level up.
  EXPECT_EQ(test::ReadBytes(dir.path() / "ESCAPE.FOR"), CrLf({"      X=1"}));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "proj" / "ESCAPE.FOR"));
}

}  // namespace
}  // namespace kvq
