// What a run does to the destination: written only when the run succeeds,
// never a partial file, and a file that is no converter output (a source
// given in the wrong place) is kept unless --force says otherwise.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "ConvertorInDirectory.h"

namespace kvq {
namespace {

namespace fs = std::filesystem;
using test::CrLf;
using test::ReadBytes;
using test::WriteBytes;

class DestinationSafetyTest : public test::ConvertorInDirectory {
 protected:
  // The names in the working directory, temporary files included.
  std::vector<std::string> Entries() {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir.path()))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  const std::string previous = CrLf({"!KVQ:NO_TOUCH!", "      PREVIOUS=1"});
};

TEST_F(DestinationSafetyTest, FailedRunLeavesTheDestinationAsItWas) {
  WriteBytes(dir.path() / "keep.f", previous);
  WriteBytes(dir.path() / "unix.for", "      X=1\n");
  EXPECT_EQ(Run({"unix.for", "keep.f"}).exitStatus, 1);
  EXPECT_EQ(ReadBytes(dir.path() / "keep.f"), previous);
  EXPECT_EQ(Entries(), (std::vector<std::string>{"keep.f", "unix.for"}));

  // An INCLUDE file with LF ends fails the run midway, after lines were
  // written.
  WriteBytes(dir.path() / "main.for",
             CrLf({"      SUBROUTINE S", "      X=1", "      INCLUDE 'lf.inc'", "      END"}));
  WriteBytes(dir.path() / "lf.inc", "      Y=2\n");
  EXPECT_EQ(Run({"main.for", "keep.f"}).exitStatus, 1);
  EXPECT_EQ(ReadBytes(dir.path() / "keep.f"), previous);
  EXPECT_EQ(Entries(), (std::vector<std::string>{"keep.f", "lf.inc", "main.for", "unix.for"}));

  // No destination before a failed run: none after it.
  EXPECT_EQ(Run({"main.for", "new.f"}).exitStatus, 1);
  EXPECT_FALSE(fs::exists(dir.path() / "new.f"));
}

TEST_F(DestinationSafetyTest, SuccessReplacesAConverterOutputAndKeepsItsMode) {
  WriteBytes(dir.path() / "a.for", CrLf({"! X=1"}));
  WriteBytes(dir.path() / "a.f", previous);
  ::chmod((dir.path() / "a.f").c_str(), 0640);
  test::ProcessResult r = Run({"a.for", "a.f"});
  EXPECT_EQ(r.exitStatus, 0) << r.err;
  EXPECT_EQ(ReadBytes(dir.path() / "a.f"), CrLf({"!KVQ:NO_TOUCH!", "! X=1"}));
  struct stat info;
  ASSERT_EQ(::stat((dir.path() / "a.f").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  EXPECT_EQ(Entries(), (std::vector<std::string>{"a.f", "a.for"}));

  // A link to an output stays a link; its target gets the new text.
  fs::create_directory(dir.path() / "out");
  WriteBytes(dir.path() / "out" / "real.f", previous);
  fs::create_symlink("out/real.f", dir.path() / "link.f");
  EXPECT_EQ(Run({"a.for", "link.f"}).exitStatus, 0);
  EXPECT_TRUE(fs::is_symlink(dir.path() / "link.f"));
  EXPECT_EQ(ReadBytes(dir.path() / "out" / "real.f"), CrLf({"!KVQ:NO_TOUCH!", "! X=1"}));
}

TEST_F(DestinationSafetyTest, SwappedArgumentsDoNotDestroyTheSource) {
  std::string source = CrLf({"      PROGRAM HELLO", "      PRINT *, 'hi'", "      END"});
  WriteBytes(dir.path() / "HELLO.FOR", source);
  ASSERT_EQ(Run({"NAME=HELLO", "HELLO.FOR", "hello.f"}).exitStatus, 0);
  std::string converted = ReadBytes(dir.path() / "hello.f");

  test::ProcessResult swapped = Run({"NAME=HELLO", "hello.f", "HELLO.FOR"});
  EXPECT_EQ(swapped.exitStatus, 2);
  EXPECT_EQ(swapped.err,
            "convertor: HELLO.FOR: exists and is no output of the converter (its first line is "
            "not !KVQ:NO_TOUCH!); it is not overwritten without --force\n");
  EXPECT_EQ(swapped.out, "");
  EXPECT_EQ(ReadBytes(dir.path() / "HELLO.FOR"), source);
  EXPECT_EQ(Entries(), (std::vector<std::string>{"HELLO.FOR", "hello.f"}));

  // With --force the user means it.
  EXPECT_EQ(Run({"--force", "NAME=HELLO", "hello.f", "HELLO.FOR"}).exitStatus, 0);
  EXPECT_EQ(ReadBytes(dir.path() / "HELLO.FOR"), "!KVQ:NO_TOUCH!\r\n" + converted);
}

TEST_F(DestinationSafetyTest, WhatCountsAsAConverterOutput) {
  WriteBytes(dir.path() / "a.for", CrLf({"      X=1"}));
  struct Case {
    std::string destination;
    int exitStatus;
  } cases[] = {
      {"", 0},                                           // empty: nothing to lose
      {"!KVQ:NO_TOUCH!", 0},                             // the line without a line end
      {"!KVQ:NO_TOUCH!\n      X=1\n", 0},                // converted, then saved with LF
      {"!KVQ:NO_TOUCH! \r\n", 2},                        // another first line
      {"!kvq:no_touch!\r\n", 2},                         // the mark is upper case
      {"!KVQ:NO_TOUCH", 2},                              // cut short
      {CrLf({"C     A comment", "!KVQ:NO_TOUCH!"}), 2},  // the mark not first
  };
  for (const Case& c : cases) {
    WriteBytes(dir.path() / "d.f", c.destination);
    test::ProcessResult r = Run({"a.for", "d.f"});
    EXPECT_EQ(r.exitStatus, c.exitStatus) << "destination: " << c.destination << "\n" << r.err;
    if (c.exitStatus != 0) {
      EXPECT_EQ(ReadBytes(dir.path() / "d.f"), c.destination);
    }
  }
}

TEST_F(DestinationSafetyTest, MissingDirectoryIsReportedOnStandardError) {
  WriteBytes(dir.path() / "a.for", CrLf({"      X=1"}));
  test::ProcessResult r = Run({"a.for", "Out/a.f"});
  EXPECT_EQ(r.exitStatus, 1);
  EXPECT_EQ(r.out, "A.FOR    Input Lines:0     Output Lines:0    *** No file: OUT/A.F\n");
  EXPECT_EQ(r.err,
            "convertor: Out/a.f: error: cannot be created: the directory Out does not exist\n");
  test::ProcessResult quiet = Run({"-q", "a.for", "Out/a.f"});
  EXPECT_EQ(quiet.out, "");
  EXPECT_EQ(quiet.err, r.err);
  if (::geteuid() != 0) {  // root writes anywhere
    fs::create_directory(dir.path() / "ro");
    ::chmod((dir.path() / "ro").c_str(), 0555);
    test::ProcessResult denied = Run({"a.for", "ro/a.f"});
    EXPECT_EQ(denied.exitStatus, 1);
    EXPECT_EQ(denied.err, "convertor: ro/a.f: error: cannot be created: Permission denied\n");
  }
  fs::create_directory(dir.path() / "adir");
  EXPECT_EQ(Run({"a.for", "adir"}).exitStatus, 1);
  EXPECT_TRUE(fs::is_directory(dir.path() / "adir"));
}

// Devices, FIFOs and links to them are no files to replace: the run says
// so at once instead of waiting for a reader or replacing the node.
TEST_F(DestinationSafetyTest, DestinationThatIsNoRegularFileIsRefused) {
  WriteBytes(dir.path() / "a.for", CrLf({"      X=1"}));
  ASSERT_EQ(::mkfifo((dir.path() / "fifo").c_str(), 0644), 0);
  fs::create_symlink("fifo", dir.path() / "to-fifo");
  fs::create_symlink("/dev/null", dir.path() / "to-null");
  fs::create_symlink("elsewhere/none.f", dir.path() / "dangling");
  for (std::string name : {"fifo", "to-fifo", "to-null", "/dev/null", "dangling"}) {
    for (bool force : {false, true}) {
      std::vector<std::string> arguments{"a.for", name};
      if (force) arguments.insert(arguments.begin(), "--force");
      test::ProcessResult r = Run(arguments);
      EXPECT_EQ(r.exitStatus, 1) << name;
      EXPECT_NE(r.err.find(name + ": is no regular file"), std::string::npos) << r.err;
    }
  }
  EXPECT_TRUE(fs::is_fifo(dir.path() / "fifo"));
  EXPECT_TRUE(fs::is_symlink(dir.path() / "to-fifo"));
  EXPECT_EQ(fs::read_symlink(dir.path() / "to-null"), "/dev/null");
  EXPECT_TRUE(fs::is_symlink(dir.path() / "dangling"));
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

// A signal that can be caught ends the run without its hidden temporary;
// the old destination stays whole.
TEST_F(DestinationSafetyTest, SignalsLeaveNoTemporaryBehind) {
  std::string big;
  for (int unit = 0; unit < 4000; ++unit) {
    big += "      SUBROUTINE S" + std::to_string(unit) + "\r\n";
    for (int i = 0; i < 50; ++i) big += "      WRITE(*,*) X\r\n";
    big += "      END\r\n";
  }
  WriteBytes(dir.path() / "BIG.FOR", big);
  auto temporaryExists = [&] {
    for (const std::string& name : Entries())
      if (name.starts_with(".big.f.")) return true;
    return false;
  };
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    WriteBytes(dir.path() / "big.f", previous);
    pid_t child = ::fork();
    if (child == 0) {
      if (::chdir(dir.path().c_str()) != 0) ::_exit(127);
      ::freopen("/dev/null", "w", stdout);
      ::execl(CONVERTOR_BINARY, CONVERTOR_BINARY, "BIG.FOR", "big.f", nullptr);
      ::_exit(127);
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!temporaryExists() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    ::kill(child, signal);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the run ended before signal " << signal;
    EXPECT_EQ(WTERMSIG(status), signal);
    EXPECT_EQ(Entries(), (std::vector<std::string>{"BIG.FOR", "big.f"})) << "signal " << signal;
    EXPECT_EQ(ReadBytes(dir.path() / "big.f"), previous);
  }
}

}  // namespace
}  // namespace kvq
