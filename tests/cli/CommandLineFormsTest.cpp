// The command line as users of compilers and formatters expect it:
// options, usage errors that create nothing, warnings about settings, the
// DLL name asked on a terminal, and messages that name files as given.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "ConvertorInDirectory.h"

namespace kvq {
namespace {

namespace fs = std::filesystem;
using test::CrLf;
using test::ReadBytes;
using test::WriteBytes;

constexpr const char* kUsageHead = "usage: convertor [OPTION ...] [KEY=value ...] SOURCE DEST\n";

class CommandLineFormsTest : public test::ConvertorInDirectory {
 protected:
  std::size_t EntryCount() {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()));
  }
  // Runs the converter with a terminal as its standard input, output and
  // error, typing answer; returns what the terminal showed.
  std::string RunOnTerminal(const std::vector<std::string>& arguments, const std::string& answer) {
    int master = -1;
    pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
    if (pid == 0) {
      if (::chdir(dir.path().c_str()) != 0) ::_exit(126);
      std::vector<char*> argv{const_cast<char*>(CONVERTOR_BINARY)};
      for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      ::execv(CONVERTOR_BINARY, argv.data());
      ::_exit(127);
    }
    EXPECT_GT(pid, 0);
    std::string shown;
    bool answered = false;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (;;) {
      pollfd p{master, POLLIN, 0};
      if (std::chrono::steady_clock::now() > deadline) {
        ADD_FAILURE() << "no end on the terminal; shown: " << shown;
        ::kill(pid, SIGKILL);
        break;
      }
      if (::poll(&p, 1, 200) <= 0) continue;
      char buffer[512];
      ssize_t n = ::read(master, buffer, sizeof buffer);
      if (n <= 0) break;  // EIO: the program closed the terminal
      shown.append(buffer, static_cast<std::size_t>(n));
      if (!answered && shown.find("]: ") != std::string::npos) {
        std::string typed = answer + "\n";
        EXPECT_EQ(::write(master, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
        answered = true;
      }
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::close(master);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << shown;
    return shown;
  }
};

TEST_F(CommandLineFormsTest, ShortOptionsAndTheEndOfOptions) {
  test::ProcessResult help = Run({"-h"});
  EXPECT_EQ(help.exitStatus, 0);
  EXPECT_EQ(help.out.substr(0, std::string(kUsageHead).size()), kUsageHead);
  EXPECT_EQ(help.out, Run({"--help"}).out);
  test::ProcessResult version = Run({"-V"});
  EXPECT_EQ(version.exitStatus, 0);
  EXPECT_EQ(version.out, Run({"--version"}).out);

  // After -- a name that begins with "-" is a file name.
  WriteBytes(dir.path() / "-x.for", CrLf({"      X=1"}));
  test::ProcessResult dashed = Run({"--", "-x.for", "-x.f"});
  EXPECT_EQ(dashed.exitStatus, 0) << dashed.err;
  EXPECT_TRUE(fs::exists(dir.path() / "-x.f"));
  // ... and so is one that holds "=", as absolute names under a folder
  // named like x=y do; settings stand before it.
  fs::create_directory(dir.path() / "a=b");
  WriteBytes(dir.path() / "a=b" / "S.FOR", CrLf({"      PROGRAM S", "      END"}));
  std::string source = (dir.path() / "a=b" / "S.FOR").string();
  test::ProcessResult equals = Run({"NAME=X", "--", source, "a=b/out.f"});
  EXPECT_EQ(equals.exitStatus, 0) << equals.err;
  EXPECT_NE(ReadBytes(dir.path() / "a=b" / "out.f").find("SUBROUTINE X(job)"), std::string::npos);
  // Without it, an unknown option is a usage error and no file name.
  for (std::string option : {"-x.for", "-o", "--frobnicate", "-hq"}) {
    test::ProcessResult r = Run({option, "-x.for", "-y.f"});
    EXPECT_EQ(r.exitStatus, 2) << option;
    EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1), "convertor: unknown option " + option + "\n");
    EXPECT_NE(r.err.find(kUsageHead), std::string::npos);
  }
  EXPECT_FALSE(fs::exists(dir.path() / "-y.f"));
}

TEST_F(CommandLineFormsTest, QuietLeavesOutTheStatusLine) {
  WriteBytes(dir.path() / "a.for", CrLf({"! only a comment"}));
  test::ProcessResult r = Run({"a.for", "-q", "a.f"});
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(ReadBytes(dir.path() / "a.f"), CrLf({"!KVQ:NO_TOUCH!", "! only a comment"}));
  EXPECT_EQ(Run({"--quiet", "a.for", "a.f"}).out, "");
}

TEST_F(CommandLineFormsTest, OneFileThatIsNoProjectIsAUsageErrorThatCreatesNothing) {
  WriteBytes(dir.path() / "Hello.for", CrLf({"      PROGRAM HELLO", "      END"}));
  for (std::vector<std::string> arguments :
       {std::vector<std::string>{"Hello.for"}, {"NAME=X"}, {"--accept-lf", "Hello.for"}}) {
    test::ProcessResult r = Run(arguments);
    EXPECT_EQ(r.exitStatus, 2) << arguments[0];
    EXPECT_NE(r.err.find("did you forget the destination?"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(Run({"Hello.for"}).err.substr(0, 98),
            "convertor: one argument is taken as a project file (.dsp or .dsw), and Hello.for is "
            "none; did you ");
  // Settings and one file name: the destination is missing too.
  test::ProcessResult oneFile = Run({"SAVE=N", "Hello.for"});
  EXPECT_EQ(oneFile.exitStatus, 2);
  EXPECT_NE(oneFile.err.find("did you forget the destination?"), std::string::npos);
  EXPECT_EQ(EntryCount(), 1u) << "nothing may be created";

  // A project file alone is the project form (lower case too).
  test::ProcessResult project = Run({"none.dsw"});
  EXPECT_EQ(project.exitStatus, 1);
  EXPECT_NE(project.err.find("Cannot find file "), std::string::npos);
}

TEST_F(CommandLineFormsTest, MoreThanTwoFileNamesIsAUsageError) {
  WriteBytes(dir.path() / "a.for", CrLf({"      X=1"}));
  test::ProcessResult r = Run({"a.for", "SAVE=N", "b.f", "c.f"});
  EXPECT_EQ(r.exitStatus, 2);
  EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1),
            "convertor: too many file names: a.for, b.f, c.f (a source and a destination are "
            "taken)\n");
  EXPECT_EQ(EntryCount(), 1u);
  // The project generator's extras are no file names.
  test::ProcessResult tarvik = Run({"TARVIK", "NAME", "-", "lib1", "lib2"});
  EXPECT_EQ(tarvik.exitStatus, 1);
  EXPECT_EQ(tarvik.err, "No template for Project!\n");
}

// The DLL name becomes a subroutine's name: anything else would give an
// entry routine that does not compile.
TEST_F(CommandLineFormsTest, ANameThatIsNoFortranNameIsAUsageError) {
  WriteBytes(dir.path() / "p.for", CrLf({"      PROGRAM P", "      END"}));
  for (const std::string& name :
       std::vector<std::string>{"my-prog", "1ST", "A B", std::string(64, 'A')}) {
    test::ProcessResult r = Run({"NAME=" + name, "p.for", "p.f"});
    EXPECT_EQ(r.exitStatus, 2) << name;
    EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1),
              "convertor: NAME=" + name + ": \"" + name +
                  "\" is no Fortran name: the DLL name begins with a letter and holds only "
                  "letters, digits and _ (at most 63)\n");
    EXPECT_EQ(EntryCount(), 1u) << "nothing is written";
  }
  EXPECT_EQ(Run({"NAME=my_Prog2", "p.for", "p.f"}).exitStatus, 0);
}

TEST_F(CommandLineFormsTest, SettingsThatCannotBeAppliedWarnAndTheRunGoesOn) {
  WriteBytes(dir.path() / "a.for", CrLf({"! only a comment"}));
  struct Case {
    std::string setting;
    std::string warning;  // empty: none
  } cases[] = {
      {"Colour=red", "convertor: warning: unknown setting Colour is ignored\n"},
      {"FORTRAN77=W", "convertor: warning: unknown setting FORTRAN77 is ignored\n"},
      {"=Y", "convertor: warning: unknown setting  is ignored\n"},
      {"ERRLAB=L1", "convertor: warning: ERRLAB=L1 is no statement label of 1 to 5 digits\n"},
      {"errlab=", "convertor: warning: errlab= is no statement label of 1 to 5 digits\n"},
      {"E=000", "convertor: warning: E=000 is no statement label of 1 to 5 digits\n"},
      {"ERRLAB=123456",
       "convertor: warning: ERRLAB=123456 is no statement label of 1 to 5 digits\n"},
      {"ERRLAB=12345",
       "convertor: warning: ERRLAB=12345: the end-of-file handler's label 912345 has more than 5 "
       "digits\n"},
      {"MODE=FAST",
       "convertor: warning: MODE=FAST names no mode (MPI, SINGLE, CONSOLE, DLL) and changes "
       "nothing\n"},
      {"FORTRAN=GNU",
       "convertor: warning: FORTRAN=GNU names no dialect (C, D or W) and changes nothing\n"},
      {"NAME=Calc_2", ""},
      {"ERRLAB=1", ""},
      {"ERRLAB=9999", ""},
      {"mode=console", ""},
      {"M=MPI", ""},
      {"FORTRAN=dec", ""},
      {"SAVE=YES", ""},
      {"A=Y", ""},
  };
  for (const Case& c : cases) {
    test::ProcessResult r = Run({c.setting, "a.for", "a.f"});
    EXPECT_EQ(r.exitStatus, 0) << c.setting;
    EXPECT_EQ(r.err, c.warning) << c.setting;
    EXPECT_NE(r.out.find(" - ready !"), std::string::npos) << c.setting;
  }
}

TEST_F(CommandLineFormsTest, TerminalPromptOffersTheProgramName) {
  WriteBytes(dir.path() / "p.for", CrLf({"      PROGRAM Calc", "      END"}));
  std::string shown = RunOnTerminal({"p.for", "p.f"}, "");
  EXPECT_NE(shown.find("Enter DLL Name"), std::string::npos) << shown;
  EXPECT_NE(shown.find("Needed only for main file [CALC]: "), std::string::npos) << shown;
  EXPECT_NE(ReadBytes(dir.path() / "p.f").find("      SUBROUTINE CALC(job)"), std::string::npos);

  RunOnTerminal({"p.for", "q.f"}, "mine");
  EXPECT_NE(ReadBytes(dir.path() / "q.f").find("      SUBROUTINE MINE(job)"), std::string::npos);
}

TEST_F(CommandLineFormsTest, WarningsNameTheSourceAsGivenWithItsLine) {
  fs::create_directory(dir.path() / "Src");
  WriteBytes(dir.path() / "Src" / "Main.for",
             CrLf({"      SUBROUTINE S", "      X=1", "      INCLUDE 'none.inc'",
                   "      INCLUDE 'deeper.inc'", "      END"}));
  WriteBytes(dir.path() / "Src" / "deeper.inc", CrLf({"      Y=2", "      INCLUDE 'gone.inc'"}));
  test::ProcessResult r = Run({"Src/Main.for", "out.f"});
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_EQ(r.err,
            "convertor: Src/Main.for:3: warning: INCLUDE 'none.inc' cannot be opened; the line is "
            "kept as it is\n"
            "convertor: Src/deeper.inc:2: warning: INCLUDE 'gone.inc' cannot be opened; the line "
            "is kept as it is\n");
  // The status line keeps its upper-case name.
  EXPECT_EQ(r.out.substr(0, 16), "SRC/MAIN.FOR    ");
}

}  // namespace
}  // namespace kvq
