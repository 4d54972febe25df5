// A host drives a converted module through zentrix_host.h: input lines on
// request, output and debug lines, named events, and STOP that returns to
// the host instead of ending the process.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "HostedModule.h"
#include "zentrix_host.h"

namespace {

struct Session {
  std::deque<std::string> input;
  std::vector<std::string> output, debug, events;
};

int ReadLine(void* context, char* buffer, int capacity) {
  auto* session = static_cast<Session*>(context);
  if (session->input.empty()) return -1;
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

void Event(void* context, const char* name, const char* value) {
  static_cast<Session*>(context)->events.push_back(std::string(name) + "=" + value);
}

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(module_.Loaded()) << module_.Error();
    entry_ = module_.Entry("hosted_");
    ASSERT_NE(entry_, nullptr);
  }

  int Run(Session& session) {
    zx_host host{ZX_HOST_API_VERSION, sizeof(zx_host), &session, ReadLine,
                 WriteLine,           DebugLine,       Event};
    return module_.Run(entry_, host);
  }

  kvq::test::HostedModule module_{HOSTED_MODULE};
  zx_entry_routine entry_ = nullptr;
};

TEST_F(HostTest, HostFeedsInputAndReceivesOutputAndEvents) {
  Session session;
  session.input = {"3", "12"};
  EXPECT_EQ(Run(session), ZX_STATUS_OK);
  EXPECT_EQ(session.output, (std::vector<std::string>{" ready", " N=   3", " N*N=     9", " N=  12",
                                                      " N*N=   144", " end of input"}));
  EXPECT_EQ(session.events, (std::vector<std::string>{"SQUARE=     9", "SQUARE=   144"}));
}

TEST_F(HostTest, StopReturnsToTheHostWhichCanRunTheModuleAgain) {
  Session first;
  first.input = {"2", "-1", "5"};
  EXPECT_EQ(Run(first), ZX_STATUS_STOPPED);
  EXPECT_EQ(first.output, (std::vector<std::string>{" ready", " N=   2", " N*N=     4"}));
  EXPECT_EQ(first.debug, (std::vector<std::string>{" stopping at          -1"}));
  ASSERT_EQ(first.input.size(), 1u) << "nothing after STOP ran";

  Session second;
  second.input = {"4"};
  EXPECT_EQ(Run(second), ZX_STATUS_OK);
  EXPECT_EQ(second.output.back(), " end of input");
}

// A host that cancels a blocked read gets control back at once; nothing the
// module would do after the READ runs.
TEST_F(HostTest, CancelledReadEndsTheRun) {
  Session session;
  zx_host host{ZX_HOST_API_VERSION,
               sizeof(zx_host),
               &session,
               [](void*, char*, int) { return static_cast<int>(ZX_READ_CANCELLED); },
               WriteLine,
               DebugLine,
               Event};
  EXPECT_EQ(module_.Run(entry_, host), ZX_STATUS_CANCELLED);
  EXPECT_EQ(session.output, (std::vector<std::string>{" ready"}));
  EXPECT_TRUE(session.debug.empty());
}

TEST_F(HostTest, HostOfAnotherInterfaceVersionIsRefused) {
  Session session;
  zx_host host{
      ZX_HOST_API_VERSION + 1, sizeof(zx_host), &session, ReadLine, WriteLine, DebugLine, Event};
  EXPECT_EQ(module_.Attach(&host), -1);
  host.version = ZX_HOST_API_VERSION;
  host.size = sizeof(zx_host) - 8;
  EXPECT_EQ(module_.Attach(&host), -1);
  EXPECT_EQ(module_.Call(entry_), ZX_STATUS_NOT_STARTED) << "nothing was attached";
}

TEST_F(HostTest, HostedRegimeWithoutHostDoesNotStart) {
  EXPECT_EQ(module_.Call(entry_), ZX_STATUS_NOT_STARTED);
}

}  // namespace
