// The convertor binary as a command-line user meets it: exit status,
// messages, and files that are or are not touched.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "ConvertorInDirectory.h"

namespace kvq {
namespace {

using test::CrLf;
using test::ReadBytes;
using test::WriteBytes;

class CommandLineTest : public test::ConvertorInDirectory {};

TEST_F(CommandLineTest, ConvertsAndPrintsTheStatusLine) {
  WriteBytes(dir.path() / "main.for", CrLf({"      X=1", "      Y=2"}));
  test::ProcessResult r = Run({"main.for", "main.out"});
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_EQ(r.out, "MAIN.FOR    Input Lines:1     Output Lines:23     - ready !\n");
  // Statements before any unit head begin a main program without PROGRAM
  // statement; the entry routine takes the source's name.
  EXPECT_EQ(r.err,
            "convertor: main.for:1: warning: no terminal to answer \"Enter DLL Name\": the main "
            "program's name MAIN is taken (give another value with NAME=)\n");
  std::string out = ReadBytes(dir.path() / "main.out");
  EXPECT_NE(out.find("      SUBROUTINE MAIN(job)"), std::string::npos);
  EXPECT_TRUE(out.ends_with(
      CrLf({"      SUBROUTINE DLL_MAIN                 !  KVQ : instead of "
            "PROGRAM",
            "      use Zentrix     ! KVQ", "      save            ! KVQ:strongly recommended!",
            "      X=1", "      Y=2"})))
      << out;
}

TEST_F(CommandLineTest, HelpAndVersion) {
  test::ProcessResult help = Run({"--help"});
  EXPECT_EQ(help.exitStatus, 0);
  EXPECT_NE(help.out.find("usage: convertor [OPTION ...] [KEY=value ...] SOURCE DEST"),
            std::string::npos);
  test::ProcessResult version = Run({"--version"});
  EXPECT_EQ(version.exitStatus, 0);
  EXPECT_NE(version.out.find("KVQ : Fortran to Fortran Convertor. Vers:25/12/2004."),
            std::string::npos);
  test::ProcessResult unknown = Run({"--frobnicate", "a", "b"});
  EXPECT_EQ(unknown.exitStatus, 2);
  EXPECT_NE(unknown.err.find("unknown option --frobnicate"), std::string::npos);
}

TEST_F(CommandLineTest, UsageErrorsExitWithTwo) {
  EXPECT_EQ(Run({}).exitStatus, 2);
  WriteBytes(dir.path() / "a.for", CrLf({"      X=1"}));
  test::ProcessResult oneFile = Run({"SAVE=N", "a.for"});
  EXPECT_EQ(oneFile.exitStatus, 2);
  EXPECT_NE(oneFile.err.find("usage:"), std::string::npos);
  std::vector<std::string> twenty(18, "SAVE=N");
  twenty.push_back("a.for");
  twenty.push_back("b.for");
  test::ProcessResult tooMany = Run(twenty);
  EXPECT_EQ(tooMany.exitStatus, 2);
  EXPECT_NE(tooMany.err.find("at most 19"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "b.for"));
  twenty.erase(twenty.begin());  // 19 arguments are taken
  EXPECT_EQ(Run(twenty).exitStatus, 0);
}

TEST_F(CommandLineTest, ProjectFormsEndOnTheirFailureMessages) {
  test::ProcessResult project = Run({"x.dsw"});
  EXPECT_EQ(project.exitStatus, 1);
  EXPECT_NE(project.err.find("Cannot find file " + dir.path().string() + "/x.dsw"),
            std::string::npos)
      << project.err;
  test::ProcessResult tarvik = Run({"tarvik", "NAME"});
  EXPECT_EQ(tarvik.exitStatus, 1);
  EXPECT_EQ(tarvik.err, "No template for Project!\n");
  test::ProcessResult usage = Run({"TARVIK", ""});
  EXPECT_EQ(usage.exitStatus, 1);
  EXPECT_EQ(usage.err, "Usage: Tarvik <Project Name> [<ext dll>]\n");
}

TEST_F(CommandLineTest, MissingSource) {
  test::ProcessResult r = Run({"nothere.for", "out.for"});
  EXPECT_EQ(r.exitStatus, 1);
  EXPECT_EQ(r.err, "Cannot find file NOTHERE.FOR\n");
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "out.for"));
}

TEST_F(CommandLineTest, SourceFoundWhenItsCaseDiffers) {
  WriteBytes(dir.path() / "Main.For", CrLf({"      X=1"}));
  test::ProcessResult r = Run({"MAIN.FOR", "out.for"});
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "out.for"));
}

TEST_F(CommandLineTest, SrtAndSrcVariantsAreConvertedInstead) {
  WriteBytes(dir.path() / "PROG.FOR", CrLf({"! X=1"}));
  WriteBytes(dir.path() / "PROG.SRC", CrLf({"! SRC=1"}));
  test::ProcessResult r = Run({"PROG.FOR", "A.OUT"});
  EXPECT_EQ(ReadBytes(dir.path() / "A.OUT"), CrLf({"!KVQ:NO_TOUCH!", "! SRC=1"}));
  EXPECT_EQ(r.out.substr(0, 12), "PROG.SRC    ");
  WriteBytes(dir.path() / "prog.srt", CrLf({"! SRT=1"}));
  Run({"PROG.FOR", "B.OUT"});
  EXPECT_EQ(ReadBytes(dir.path() / "B.OUT"), CrLf({"!KVQ:NO_TOUCH!", "! SRT=1"}));
}

TEST_F(CommandLineTest, UnwritableDestination) {
  WriteBytes(dir.path() / "a.for", CrLf({"      X=1"}));
  test::ProcessResult missingDir = Run({"a.for", "nodir/out.for"});
  EXPECT_EQ(missingDir.exitStatus, 1);
  EXPECT_EQ(missingDir.out,
            "A.FOR    Input Lines:0     Output Lines:0    *** No file: NODIR/OUT.FOR\n");
  if (::geteuid() != 0) {  // root writes anywhere
    std::filesystem::create_directory(dir.path() / "ro");
    ::chmod((dir.path() / "ro").c_str(), 0555);
    EXPECT_EQ(Run({"a.for", "ro/out.for"}).exitStatus, 1);
  }
}

TEST_F(CommandLineTest, DestinationEqualToSourceIsRefused) {
  std::string source = CrLf({"      X=1"});
  WriteBytes(dir.path() / "a.for", source);
  test::ProcessResult r = Run({"a.for", "./a.for"});
  EXPECT_EQ(r.exitStatus, 1);
  EXPECT_NE(r.err.find("the destination is the source itself"), std::string::npos);
  EXPECT_EQ(ReadBytes(dir.path() / "a.for"), source);
}

TEST_F(CommandLineTest, BareLineFeedSourceIsRefusedUnlessAccepted) {
  std::string source = "! X=1\n      END\n";
  WriteBytes(dir.path() / "unix.for", source);
  test::ProcessResult r = Run({"unix.for", "out.for"});
  EXPECT_EQ(r.exitStatus, 1);
  EXPECT_EQ(r.err,
            "Cannot convert UNIX-style text!\n"
            "convertor: unix.for:1: error: the source ends lines with bare line feeds (LF); "
            "convert it with --accept-lf (setting ACCEPTLF=Y)\n");
  EXPECT_EQ(ReadBytes(dir.path() / "unix.for"), source);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "out.for"));

  std::string converted = CrLf({"!KVQ:NO_TOUCH!", "! X=1", "      END"});
  EXPECT_EQ(Run({"unix.for", "--accept-lf", "out.for"}).exitStatus, 0);
  EXPECT_EQ(ReadBytes(dir.path() / "out.for"), converted);
  EXPECT_EQ(Run({"acceptlf=Y", "unix.for", "out2.for"}).exitStatus, 0);
  EXPECT_EQ(ReadBytes(dir.path() / "out2.for"), converted);
  EXPECT_EQ(Run({"ACCEPTLF=N", "unix.for", "out3.for"}).exitStatus, 1);
}

TEST_F(CommandLineTest, MissingDllNameWithoutTerminalTakesTheProgramName) {
  WriteBytes(dir.path() / "p.for",
             CrLf({"C     Comes first", "      program Calc_2", "      END"}));
  test::ProcessResult r = Run({"p.for", "p.out"});
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_EQ(
      r.err,
      "convertor: p.for:2: warning: no terminal to answer \"Enter DLL Name\": the main program's "
      "name CALC_2 is taken (give another value with NAME=)\n");
  EXPECT_NE(ReadBytes(dir.path() / "p.out")
                .find("      SUBROUTINE CALC_2(job)        !  main DLL routine"),
            std::string::npos);
  WriteBytes(dir.path() / "f.f90", "program   free\r\nend program free\r\n");
  EXPECT_EQ(Run({"f.f90", "f.out"}).exitStatus, 0);
  EXPECT_NE(ReadBytes(dir.path() / "f.out").find("SUBROUTINE FREE(job)"), std::string::npos);
}

// A procedure, COMMON block or EXTERNAL name that the run-time library
// declares too is named where the source declares it; other names are not.
TEST_F(CommandLineTest, NamesOfTheRunTimeLibraryAreReported) {
  WriteBytes(dir.path() / "n.for",
             CrLf({"      PROGRAM N", "      EXTERNAL MINE, Close_File", "      CALL MINE",
                   "      END", "      SUBROUTINE OPEN_FILE(U)", "      COMMON /ZX_DATA/ A,",
                   "     1  B /OWN/ C", "      END", "      SUBROUTINE OPEN_FILES", "      END"}));
  test::ProcessResult r = Run({"NAME=N", "n.for", "n.out"});
  EXPECT_EQ(r.exitStatus, 0);
  const std::string tail =
      " has a name of the run-time library Zentrix, which every converted unit uses: the "
      "converted program does not compile until it is renamed\n";
  EXPECT_EQ(r.err, "convertor: n.for:2: warning: the EXTERNAL name CLOSE_FILE" + tail +
                       "convertor: n.for:5: warning: the procedure OPEN_FILE" + tail +
                       "convertor: n.for:6: warning: the COMMON block ZX_DATA" + tail);
}

TEST_F(CommandLineTest, SourceIsNeverChanged) {
  std::string source =
      CrLf({"      PROGRAM P", "\tX = \"A\"", "      INCLUDE 'zentrix.h'", "      END   "});
  WriteBytes(dir.path() / "p.for", source);
  EXPECT_EQ(Run({"NAME=P", "p.for", "p.out"}).exitStatus, 0);
  EXPECT_EQ(ReadBytes(dir.path() / "p.for"), source);
}

// Removes what the reader normalises on a second pass: trailing blanks.
std::string WithoutTrailingBlanks(const std::string& text) {
  std::string out;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find("\r\n", start);
    std::string line = text.substr(start, end - start);
    line.erase(line.find_last_not_of(' ') + 1);
    out += line + "\r\n";
    start = end + 2;
  }
  return out;
}

// A source name goes into emitted character constants: its apostrophes are
// doubled, also where the description is cut.
TEST_F(CommandLineTest, ApostrophesOfTheSourceNameKeepTheConstantClosed) {
  std::string body = CrLf({"      SUBROUTINE S", "      WRITE(*,*) X", "      END"});
  WriteBytes(dir.path() / "IT'S.FOR", body);
  ASSERT_EQ(Run({"IT'S.FOR", "its.f"}).exitStatus, 0);
  EXPECT_NE(ReadBytes(dir.path() / "its.f").find("      zx_Ebuf='IT''S.FOR(2) S: WRITE(*,*)X'\r\n"),
            std::string::npos)
      << ReadBytes(dir.path() / "its.f");
  // 54 letters, then the apostrophe at the cut.
  std::string longName = std::string(54, 'A') + "'B.FOR";
  WriteBytes(dir.path() / longName, body);
  ASSERT_EQ(Run({longName, "long.f"}).exitStatus, 0);
  EXPECT_NE(
      ReadBytes(dir.path() / "long.f").find("      zx_Ebuf='" + std::string(54, 'A') + "'\r\n"),
      std::string::npos)
      << ReadBytes(dir.path() / "long.f");
}

TEST_F(CommandLineTest, ConvertingConvertedOutputConvertsNothing) {
  WriteBytes(dir.path() / "CALC.FOR",
             CrLf({"C     A program with every kind of statement the converter rewrites",
                   "      PROGRAM CALC",
                   "      CHARACTER*16 NAME",
                   "      INTEGER N, I",
                   "      REAL A(10)",
                   "      OPEN(10,FILE='calc.dat',STATUS='OLD',ERR=90)",
                   "      READ(10,*,END=20) N",
                   "   20 CLOSE(10)",
                   "      READ(5,*) N",
                   "      DO 30 I=1,N",
                   "         A(I) = I * 0.5",
                   "   30 CONTINUE",
                   "      WRITE(6,100) N, A(1)",
                   "  100 FORMAT(1X,'N=',I5/1X,'A=',F8.3)",
                   "      WRITE(NAME,'(A)') 'done'",
                   "      PRINT *, NAME",
                   "      IF(N.GT.5) STOP",
                   "      PAUSE",
                   "      STOP 'ok'",
                   "   90 WRITE(*,*) 'no file'",
                   "      END",
                   "      SUBROUTINE S",
                   "      RETURN",
                   "      END"}));
  ASSERT_EQ(Run({"NAME=CALC", "TRACE=Y", "CALC.FOR", "ONCE.FOR"}).exitStatus, 0);
  ASSERT_EQ(Run({"NAME=CALC", "TRACE=Y", "ONCE.FOR", "TWICE.FOR"}).exitStatus, 0);
  std::string once = ReadBytes(dir.path() / "ONCE.FOR");
  EXPECT_NE(once.find("Interface_IO"), std::string::npos);  // the first pass converted
  EXPECT_EQ(ReadBytes(dir.path() / "TWICE.FOR"),
            "!KVQ:NO_TOUCH!\r\n" + WithoutTrailingBlanks(once));
}

}  // namespace
}  // namespace kvq
