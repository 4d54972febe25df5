// The console buffer of the run-time library, driven by hand-written entry
// routines (BufferModule.f90) through the host interface: several records
// from one WRITE, trace lines, one-line READs and the end of input, NEWUNIT,
// the buffer written by handle, file names found whatever their case, and a
// program's own ICHAR.
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "HostedModule.h"
#include "TempDirectory.h"
#include "zentrix_host.h"

namespace {

struct Session {
  std::deque<std::string> input;
  std::vector<std::string> output, debug;
};

int ReadLine(void* context, char* buffer, int capacity) {
  auto* session = static_cast<Session*>(context);
  if (session->input.empty()) return ZX_READ_END_OF_INPUT;
  std::string line = session->input.front();
  session->input.pop_front();
  int length = std::min<int>(capacity, static_cast<int>(line.size()));
  line.copy(buffer, static_cast<std::size_t>(length));
  return length;
}

void WriteLine(void* context, const char* text, int length) {
  static_cast<Session*>(context)->output.emplace_back(text, static_cast<std::size_t>(length));
}

void DebugLine(void* context, const char* text, int length) {
  static_cast<Session*>(context)->debug.emplace_back(text, static_cast<std::size_t>(length));
}

void Event(void*, const char*, const char*) {}

class BufferTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(module_.Loaded()) << module_.Error(); }

  int Run(const char* entryName, Session& session) {
    zx_entry_routine entry = module_.Entry(entryName);
    EXPECT_NE(entry, nullptr) << entryName;
    if (!entry) return -1;
    zx_host host{ZX_HOST_API_VERSION, sizeof(zx_host), &session, ReadLine,
                 WriteLine,           DebugLine,       Event};
    return module_.Run(entry, host);
  }

  kvq::test::HostedModule module_{BUFFER_MODULE};
};

TEST_F(BufferTest, OneWritePrintsEveryRecordAndNoneOfAnEarlierWrite) {
  Session session;
  EXPECT_EQ(Run("records_", session), ZX_STATUS_OK) << testing::PrintToString(session.debug);
  EXPECT_EQ(session.output, (std::vector<std::string>{"   1  2  3", "   4  5  6", "   7", "slash",
                                                      "next", " alone", "left", "right",
                                                      "ob\xfa"
                                                      "ekt",
                                                      "two"}));
  EXPECT_EQ(session.debug, (std::vector<std::string>{"debug\xfa"}));
}

// The host sees whole lines: pieces join the next line, a prompt comes as a
// line of its own before the READ, the last piece at the end of the run.
TEST_F(BufferTest, NonAdvancingPiecesBecomeWholeLines) {
  Session session;
  session.input = {"12"};
  EXPECT_EQ(Run("pieces_", session), ZX_STATUS_OK) << testing::PrintToString(session.debug);
  EXPECT_EQ(session.output,
            (std::vector<std::string>{"count: 7 done", "n? ", "got 12", "ta\xfail  "}));
}

TEST_F(BufferTest, TraceTextAssignedBeforeNewRecordIsPrinted) {
  Session session;
  EXPECT_EQ(Run("trace_", session), ZX_STATUS_OK);
  EXPECT_EQ(session.output, (std::vector<std::string>{"Trace> MAIN: CALL WORK"}));
  EXPECT_EQ(session.debug, (std::vector<std::string>{"after"}));
}

TEST_F(BufferTest, ReadTakesOneLineAndMeetsTheEndOfInput) {
  Session session;
  session.input = {"1 2", "3"};
  EXPECT_EQ(Run("reading_", session), ZX_STATUS_END_OF_INPUT);
  ASSERT_EQ(session.output.size(), 2u) << testing::PrintToString(session.debug);
  EXPECT_EQ(session.output[0], "one line: a=  3 ios<0:  1");
  EXPECT_EQ(session.output[1], "end: records  0 ios<0:  1 code  0 list ios<0:  1 length    0");
}

TEST_F(BufferTest, TooFewValuesOnTheLineIsNoEndOfInput) {
  Session session;
  session.input = {"1", "2"};
  EXPECT_EQ(Run("short_line_", session), ZX_STATUS_IO_ERROR);
  EXPECT_EQ(session.debug,
            (std::vector<std::string>{
                "Zentrix: too few values on the input line in SHORT.FOR(3) PROGRAM: READ(*,*)A,B"}));
}

TEST_F(BufferTest, NewUnitHandleOutputAndFileNamesOfAnyCase) {
  kvq::test::TempDirectory dir;
  std::filesystem::create_directory(dir.path() / "Sub");
  kvq::test::WriteBytes(dir.path() / "Sub" / "data.txt", "found in Sub\n");
  std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  Session session;
  int status = Run("files_", session);
  std::filesystem::current_path(previous);
  EXPECT_EQ(status, ZX_STATUS_OK) << testing::PrintToString(session.debug);
  EXPECT_EQ(session.output,
            (std::vector<std::string>{"units apart: T open error: 0", "found in Sub",
                                      "handle: first", "handle: second as written"}));
}

TEST_F(BufferTest, ProgramsOwnIcharKeepsItsMeaning) {
  Session session;
  EXPECT_EQ(Run("codes_", session), ZX_STATUS_OK);
  EXPECT_EQ(session.output, (std::vector<std::string>{"  97  98  99  98"}));
}

}  // namespace
