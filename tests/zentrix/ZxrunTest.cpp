// zxrun as a user meets it: help and version on standard output, usage
// errors and modules it cannot use with statuses of its own, and a run's
// status passed on, gfortran's run-time error status included, which none
// of zxrun's own statuses may be mistaken for.
#include <gtest/gtest.h>

#include <filesystem>

#include "ProcessRunner.h"
#include "TempDirectory.h"

namespace kvq {
namespace {

namespace fs = std::filesystem;

constexpr int kUsage = 64;
constexpr int kLoadFailed = 66;
constexpr int kGfortranRuntimeError = 2;

class ZxrunTest : public ::testing::Test {
 protected:
  test::ProcessResult Run(const std::vector<std::string>& arguments,
                          const std::string& input = "") {
    std::string inputFile;
    if (!input.empty()) {
      inputFile = (dir.path() / "input").string();
      test::WriteBytes(inputFile, input);
    }
    return test::RunProgram(ZXRUN_BINARY, arguments, dir.path().string(), inputFile);
  }
  test::TempDirectory dir;
};

TEST_F(ZxrunTest, HelpAndVersionGoToStandardOutput) {
  test::ProcessResult help = Run({"--help"});
  EXPECT_EQ(help.exitStatus, 0);
  EXPECT_EQ(help.err, "");
  EXPECT_EQ(help.out.substr(0, 56), "usage: zxrun [OPTION ...] MODULE [ENTRY] [ARGUMENT ...]\n");
  for (const char* status : {"  2   a gfortran run-time error", "  64  usage error", "  66  "})
    EXPECT_NE(help.out.find(status), std::string::npos) << status;
  EXPECT_EQ(Run({"-h"}).out, help.out);
  test::ProcessResult version = Run({"--version"});
  EXPECT_EQ(version.exitStatus, 0);
  EXPECT_EQ(version.out.substr(0, 12), "zxrun 0.1.0 ");
  EXPECT_EQ(Run({"-V"}).out, version.out);
}

TEST_F(ZxrunTest, UsageErrorsAndUnusableModulesHaveStatusesOfTheirOwn) {
  for (std::vector<std::string> arguments : {std::vector<std::string>{},
                                             {"--entry"},
                                             {"--entry=", HOSTED_MODULE},
                                             {"--frobnicate", HOSTED_MODULE, "HOSTED"},
                                             {"-x"}}) {
    test::ProcessResult r = Run(arguments);
    EXPECT_EQ(r.exitStatus, kUsage) << r.err;
    EXPECT_NE(r.err.find("usage: zxrun"), std::string::npos);
    EXPECT_EQ(r.out, "");
  }
  test::ProcessResult missing = Run({"nothere.so", "HOSTED"});
  EXPECT_EQ(missing.exitStatus, kLoadFailed);
  EXPECT_EQ(missing.err.substr(0, 19), "zxrun: nothere.so: ");
  test::ProcessResult noEntry = Run({HOSTED_MODULE, "NOSUCH"});
  EXPECT_EQ(noEntry.exitStatus, kLoadFailed);
  EXPECT_NE(noEntry.err.find("no entry routine NOSUCH"), std::string::npos);
  // Names the C library or the Fortran run-time library define are no
  // routines of the module: calling them would exit, abort or print garbage.
  for (const char* foreign : {"STAT", "EXIT", "ABORT", "PUTS", "_gfortran_stop_string"}) {
    test::ProcessResult r = Run({HOSTED_MODULE, foreign});
    EXPECT_EQ(r.exitStatus, kLoadFailed) << foreign << ": " << r.err;
    EXPECT_NE(r.err.find(std::string("no entry routine ") + foreign), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
  }
}

// The entry routine the build recorded is the default; everything after it
// (or, with --entry, after the module) is the module's command line.
TEST_F(ZxrunTest, RecordedEntryAndTheModulesArguments) {
  test::ProcessResult recorded = Run({HOSTED_MODULE}, "3\n");
  EXPECT_EQ(recorded.exitStatus, 0) << recorded.err;
  EXPECT_NE(recorded.out.find("N*N=     9"), std::string::npos) << recorded.out;

  auto argumentsPrinted = [](const std::string& out) {
    std::string squeezed;  // runs of blanks as one
    for (char c : out)
      if (c != ' ' || squeezed.empty() || squeezed.back() != ' ') squeezed.push_back(c);
    return squeezed;
  };
  test::ProcessResult named = Run({ARGS_MODULE, "ARGS", "grid.txt", "-v"});
  EXPECT_EQ(named.exitStatus, 0) << named.err;
  EXPECT_EQ(argumentsPrinted(named.out), " ARG 1 grid.txt\n ARG 2 -v\n");
  test::ProcessResult option = Run({"--entry", "args", ARGS_MODULE, "ARGS"});
  EXPECT_EQ(argumentsPrinted(option.out), " ARG 1 ARGS\n");
  EXPECT_EQ(argumentsPrinted(Run({ARGS_MODULE}).out), "");
}

TEST_F(ZxrunTest, RunStatusesArePassedOn) {
  test::ProcessResult finished = Run({HOSTED_MODULE, "HOSTED"}, "3\n");
  EXPECT_EQ(finished.exitStatus, 0) << finished.err;
  EXPECT_NE(finished.out.find("N*N=     9"), std::string::npos) << finished.out;
  // A module name after -- may begin with "-".
  fs::copy_file(HOSTED_MODULE, dir.path() / "-hosted.so");
  EXPECT_EQ(Run({"--", "-hosted.so", "hosted"}, "2\n").exitStatus, 0);

  test::ProcessResult crashed = Run({CRASH_MODULE, "CRASH"});
  EXPECT_EQ(crashed.exitStatus, kGfortranRuntimeError) << crashed.err;
  EXPECT_NE(crashed.out.find("allocated"), std::string::npos);
  EXPECT_EQ(crashed.out.find("not reached"), std::string::npos);
  EXPECT_NE(crashed.err.find("Fortran runtime error"), std::string::npos) << crashed.err;
}

}  // namespace
}  // namespace kvq
