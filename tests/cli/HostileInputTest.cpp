// Whatever a source holds, a run ends, says what it could not do, never
// crashes and never changes its input.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "ProcessRunner.h"
#include "TempDirectory.h"

namespace kvq {
namespace {

using test::CrLf;
using test::ReadBytes;
using test::WriteBytes;

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

class HostileInputTest : public ::testing::Test {
 protected:
  // Converts MAIN.FOR (written from bytes) into OUT.FOR; checks that the
  // source is untouched and returns the output.
  std::string Convert(const std::string& source, std::vector<std::string> settings = {},
                      int expectedStatus = 0) {
    WriteBytes(dir.path() / "MAIN.FOR", source);
    settings.push_back("MAIN.FOR");
    settings.push_back("OUT.FOR");
    last = test::RunProgram(CONVERTOR_BINARY, settings, dir.path().string());
    EXPECT_EQ(last.exitStatus, expectedStatus) << last.err;
    EXPECT_EQ(ReadBytes(dir.path() / "MAIN.FOR"), source) << "the source was changed";
    return ReadBytes(dir.path() / "OUT.FOR");
  }
  test::TempDirectory dir;
  test::ProcessResult last;
};

TEST_F(HostileInputTest, VeryLongLinesPassWhole) {
  std::string comment = "C" + std::string(150000, 'x');
  std::string statement = "      X = " + std::string(120000, '1');
  std::string out = Convert(CrLf({comment, "      SUBROUTINE S", statement, "      END"}));
  EXPECT_NE(out.find("!" + comment.substr(1) + "\r\n"), std::string::npos);
  EXPECT_NE(out.find(statement + "\r\n"), std::string::npos);
}

// A line of 2 MB (a file of NULs, a binary) ends the run with a message
// before it takes the memory of its conversion; the same in an INCLUDE.
TEST_F(HostileInputTest, LinesBeyondTheBoundAreRefused) {
  WriteBytes(dir.path() / "OUT.FOR", "");
  std::string nuls(2 << 20, '\0');
  Convert(CrLf({"      SUBROUTINE S", nuls, "      END"}), {}, 1);
  EXPECT_NE(last.err.find("MAIN.FOR: a line is longer than 1048576 bytes"), std::string::npos)
      << last.err.substr(0, 200);
  WriteBytes(dir.path() / "ZERO.INC", nuls);
  Convert(CrLf({"      SUBROUTINE S", "      INCLUDE 'ZERO.INC'", "      END"}), {}, 1);
  EXPECT_NE(last.err.find("ZERO.INC: a line is longer than"), std::string::npos)
      << last.err.substr(0, 200);
  EXPECT_EQ(ReadBytes(dir.path() / "OUT.FOR"), "");
}

TEST_F(HostileInputTest, LongConsoleWriteIsConvertedWhole) {
  std::string list = std::string(100000, 'A');
  std::string out = Convert(CrLf({"      SUBROUTINE S", "      WRITE(*,*) " + list, "      END"}));
  // The line passes column 72: the list keeps the column it stood in.
  EXPECT_NE(out.find("     -" + std::string(11, ' ') + list + "\r\n"), std::string::npos);
}

TEST_F(HostileInputTest, SourceWithoutLineEnd) {
  EXPECT_EQ(Convert("      SUBROUTINE S\r\n      X=1"),
            CrLf({"!KVQ:NO_TOUCH!", "      SUBROUTINE S", "      use Zentrix     ! KVQ",
                  "      save            ! KVQ:strongly recommended!", "      X=1"}));
}

TEST_F(HostileInputTest, NulBytesAndHighBytesPassThrough) {
  std::string line = std::string("      S = '") + '\0' + "\xe9\xfa\xff" + "'";
  std::string out = Convert(CrLf({"C \x80\x81\xfe comment", "      SUBROUTINE S", line}) +
                            "      T=1\x1a      U=2\r\n");
  EXPECT_EQ(out, CrLf({"!KVQ:NO_TOUCH!", "! \x80\x81\xfe comment", "      SUBROUTINE S",
                       "      use Zentrix     ! KVQ",
                       "      save            ! KVQ:strongly recommended!", line, "      T=1"}));
}

// Control bytes in a constant of a rewritten I/O statement are text, not
// the places where the handlers' labels go.
TEST_F(HostileInputTest, ControlBytesInARewrittenStatementStayText) {
  std::string out =
      Convert(CrLf({"      SUBROUTINE S", "      WRITE(*,*) 'A\x1e\x1f\x1e\x1e" "B'", "      END"}));
  EXPECT_NE(out.find("Write(zx_BufIO,*,ERR=9470) 'A\x1e\x1f\x1e\x1e" "B'"), std::string::npos) << out;
  EXPECT_EQ(out.find("'A9"), std::string::npos) << out;
}

TEST_F(HostileInputTest, TenThousandDoLabels) {
  std::vector<std::string> lines = {"      SUBROUTINE S"};
  for (int i = 1; i <= 10000; ++i) lines.push_back("      DO " + std::to_string(i) + " I=1,2");
  for (int i = 10000; i >= 1; --i) {
    std::string label = std::to_string(i);
    lines.push_back(std::string(5 - label.size(), ' ') + label + " WRITE(*,*) I");
  }
  lines.push_back("      END");
  std::string source = CrLf(lines);
  std::string out = Convert(source);
  // Only the first 100 loops are tracked, so only their ends hand their
  // labels over to a CONTINUE.
  EXPECT_EQ(Count(out, " CONTINUE\r\n"), 100u);
  EXPECT_EQ(Count(out, " WARNING !!! "), 0u);
}

TEST_F(HostileInputTest, FormatOfAThousandContinuationLines) {
  std::vector<std::string> lines = {"      SUBROUTINE S", "      WRITE(*,100) X",
                                    "  100 FORMAT(1X"};
  for (int i = 0; i < 1000; ++i) lines.push_back("     &,'A'/");
  lines.push_back("     &)");
  lines.push_back("      END");
  std::string source = CrLf(lines);
  std::string out = Convert(source);
  EXPECT_EQ(Count(out, "     &,'A'/\r\n"), 1000u);
}

TEST_F(HostileInputTest, MoreThanAThousandConsoleFormatLabels) {
  std::vector<std::string> lines = {"      SUBROUTINE S"};
  for (int i = 1; i <= 1200; ++i) lines.push_back("      WRITE(*," + std::to_string(i) + ") X");
  lines.push_back("      END");
  std::string source = CrLf(lines);
  std::string out = Convert(source);
  std::size_t at = out.find(" ! *** see Formats: 1 2 3 ");
  ASSERT_NE(at, std::string::npos);
  std::string formats = out.substr(at, out.find("\r\n", at) - at);
  EXPECT_NE(formats.find(" 998 999 1200"), std::string::npos);  // the last entry takes the newest
  EXPECT_EQ(formats.find(" 1000 "), std::string::npos);
}

TEST_F(HostileInputTest, IncludeCyclesStopAtTenLevels) {
  WriteBytes(dir.path() / "A.INC", CrLf({"      INCLUDE 'B.INC'"}));
  WriteBytes(dir.path() / "B.INC", CrLf({"      INCLUDE 'A.INC'"}));
  std::string out = Convert(CrLf({"      INCLUDE 'A.INC'", "      X=1"}));
  EXPECT_EQ(Count(out, "!<<<<<<"), 10u);
  EXPECT_NE(out.find("      X=1\r\n"), std::string::npos);
}

TEST_F(HostileInputTest, IncludesOfDirectoriesDevicesAndUnreadableFilesPassUnchanged) {
  std::filesystem::create_directory(dir.path() / "DIR.INC");
  // Opening a FIFO would wait for a writer for ever.
  ::mkfifo((dir.path() / "P.INC").c_str(), 0644);
  WriteBytes(dir.path() / "SECRET.INC", "      X=1\r\n");
  ::chmod((dir.path() / "SECRET.INC").c_str(), 0);
  bool canReadAnyway = ::access((dir.path() / "SECRET.INC").c_str(), R_OK) == 0;  // root
  std::string out = Convert(
      CrLf({"      INCLUDE 'DIR.INC'", "      INCLUDE '/dev/zero'", "      INCLUDE '/dev/null'",
            "      INCLUDE 'SECRET.INC'", "      INCLUDE 'P.INC'"}));
  EXPECT_NE(out.find("      INCLUDE 'DIR.INC'\r\n"), std::string::npos);
  EXPECT_NE(out.find("      INCLUDE 'P.INC'\r\n"), std::string::npos);
  EXPECT_NE(out.find("      INCLUDE '/dev/zero'\r\n"), std::string::npos);
  EXPECT_NE(out.find("      INCLUDE '/dev/null'\r\n"), std::string::npos);
  if (!canReadAnyway) {
    EXPECT_NE(out.find("      INCLUDE 'SECRET.INC'\r\n"), std::string::npos);
  }
}

TEST_F(HostileInputTest, UnterminatedApostropheConstants) {
  std::string out = Convert(CrLf({"      SUBROUTINE S", "      WRITE(*,'(A) X",
                                  "      PRINT *, 'open", "      OPEN(10,FILE='A", "      END"}));
  EXPECT_NE(out.find("      END\r\n"), std::string::npos);
}

TEST_F(HostileInputTest, TablesFilledPastTheirSize) {
  // Nine recorded IF DEFINED levels, a tenth and eleventh; 300-character
  // directive arguments; 19 settings arguments.
  std::vector<std::string> lines;
  for (int i = 0; i < 11; ++i) lines.push_back("!DEC$ IF DEFINED (S" + std::to_string(i) + ")");
  lines.push_back("!KVQ:CONSOLE " + std::string(300, 'U'));
  for (int i = 0; i < 11; ++i) lines.push_back("!DEC$ ENDIF");
  lines.push_back("!DEC$ ENDIF");
  lines.push_back("      SUBROUTINE S");
  lines.push_back("      WRITE(*,*) 1");
  lines.push_back("      END");
  std::string source = CrLf(lines);
  std::vector<std::string> settings(17, "SAVE=N");
  std::string out = Convert(source, settings);
  EXPECT_NE(out.find("      CALL Interface_IO(5)    ! Write\r\n"), std::string::npos);
}

TEST_F(HostileInputTest, SourceThatIsNoRegularFile) {
  ::mkfifo((dir.path() / "PIPE.FOR").c_str(), 0600);
  test::ProcessResult r =
      test::RunProgram(CONVERTOR_BINARY, {"PIPE.FOR", "OUT.FOR"}, dir.path().string());
  EXPECT_EQ(r.exitStatus, 1);
  EXPECT_EQ(r.err, "Cannot find file PIPE.FOR\n");
  std::filesystem::create_directory(dir.path() / "D.FOR");
  r = test::RunProgram(CONVERTOR_BINARY, {"D.FOR", "OUT.FOR"}, dir.path().string());
  EXPECT_EQ(r.exitStatus, 1);
}

}  // namespace
}  // namespace kvq
