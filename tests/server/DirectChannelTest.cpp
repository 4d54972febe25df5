// The direct channel between a client and its run's worker: what the
// component shows its handler over it (the same events, in order, as over
// the bus), what the server allows (a channel only for the client that
// loaded, once, before the run starts), what a client that speaks the
// channel's frames itself sees, and the fall back to the bus where the
// channel cannot be had.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusUnixFileDescriptor>
#include <QTimer>
#include <optional>

#include "ComputationalServer.h"
#include "DirectChannel.h"
#include "OstrelIdentity.h"
#include "PrivateBus.h"
#include "ServerTestSupport.h"

namespace kvq::test {
namespace {

class DirectChannelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qunsetenv("OSTREL_DIRECT_CHANNEL");
    ASSERT_TRUE(bus_.Running());
    bus_.UseInThisProcess();
  }
  PrivateBus bus_;
};

// A client of its own on the bus that calls the server's methods by name.
class RawClient {
 public:
  RawClient(const QString& address, const QString& name) : name_(name) {
    connection_ = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(address, name));
  }
  ~RawClient() {
    connection_.reset();
    QDBusConnection::disconnectFromBus(name_);
  }
  QDBusMessage Call(const char* interface, const char* method, const QVariantList& arguments = {}) {
    QDBusMessage call = QDBusMessage::createMethodCall(ostrel::kServiceName, ostrel::kObjectPath,
                                                       interface, method);
    call.setArguments(arguments);
    return connection_->call(call, QDBus::Block, 10000);
  }
  QDBusMessage Server(const char* method, const QVariantList& arguments = {}) {
    return Call(ostrel::kInterfaceName, method, arguments);
  }
  QDBusMessage OpenChannel() { return Call(ostrel::kExtensionsInterfaceName, "OpenChannel"); }

 private:
  QString name_;
  std::unique_ptr<QDBusConnection> connection_;
};

// The next frame from a channel, waiting at most a few seconds.
std::optional<ostrel::Frame> NextFrame(int fd, ostrel::FrameReader& reader) {
  QDeadlineTimer deadline(10000);
  for (;;) {
    bool error = false;
    if (auto frame = reader.Next(error)) return frame;
    if (error || deadline.hasExpired()) return std::nullopt;
    char buffer[4096];
    ssize_t got = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (got == 0) return std::nullopt;
    if (got > 0)
      reader.Append(buffer, static_cast<std::size_t>(got));
    else
      QThread::msleep(1);
  }
}

TEST_F(DirectChannelTest, FloodComesOverTheChannelWholeAndInOrder) {
  constexpr int kLines = 20000;
  Client client;
  client.script = {QString::number(kLines)};
  ASSERT_EQ(client.Load(MODULE_FLOOD), "");
  EXPECT_TRUE(client.server->Direct());
  client.server->Continue();
  ASSERT_TRUE(WaitFor([&] { return client.Ended(); }, 60000));
  ASSERT_EQ(client.events.size(), kLines + 3);
  EXPECT_EQ(client.events.front(), "Give_Line: ");
  for (int i = 1; i <= kLines; ++i)
    ASSERT_EQ(client.events[i], QStringLiteral("Output: line%1").arg(i, 8)) << i;
  EXPECT_EQ(client.events[kLines + 1], "Output:  flood done");
  EXPECT_EQ(client.events.back(), "End_Of_Run: finished");
}

TEST_F(DirectChannelTest, ElapsedTimeInsideGiveLineAsksNobody) {
  Client client;
  ASSERT_EQ(client.Load(MODULE_ECHO), "");
  ASSERT_TRUE(client.server->Direct());
  const uint server = bus_.ServerPid();
  int seconds = -1;
  bool answeredWhileServerStopped = false;
  client.server->SetOnEvent([&](QObject*, const QVariant& name, const QVariant& value) {
    client.events.push_back(name.toString() + ": " + value.toString());
    if (name.toString() != ostrel::kGiveLineEvent) return;
    // A call to the stopped server would wait until the timer resumes it.
    bool resumed = false;
    kill(static_cast<pid_t>(server), SIGSTOP);
    QTimer resume;  // gone with the handler
    resume.setSingleShot(true);
    QObject::connect(&resume, &QTimer::timeout, [&] {
      resumed = true;
      kill(static_cast<pid_t>(server), SIGCONT);
    });
    resume.start(3000);
    seconds = client.server->ElapsedTime();
    answeredWhileServerStopped = !resumed;
    if (!resumed) kill(static_cast<pid_t>(server), SIGCONT);
    client.server->GiveLine("end");
  });
  client.server->Continue();
  ASSERT_TRUE(WaitFor([&] { return client.Ended(); }));
  EXPECT_TRUE(answeredWhileServerStopped);
  EXPECT_EQ(seconds, 0);
  EXPECT_EQ(client.events.back(), "End_Of_Run: finished");
}

TEST_F(DirectChannelTest, OnlyTheLoadingClientGetsAChannelOnceBeforeTheRun) {
  RawClient owner(bus_.Address(), "channel-owner"), stranger(bus_.Address(), "channel-stranger");
  EXPECT_EQ(owner.OpenChannel().errorMessage(), "no module is loaded: call LoadDll first");
  ASSERT_EQ(owner.Server("LoadDll", {MODULE_ECHO, "Possible ParameterLine"}).arguments().value(0),
            QString());
  // Another client has no run of its own to reach, and the owner's is not its.
  EXPECT_EQ(stranger.OpenChannel().errorMessage(), "no module is loaded: call LoadDll first");
  // Ours alone: the reply's copy goes with the reply.
  int fd = [&] {
    QDBusMessage opened = owner.OpenChannel();
    EXPECT_EQ(opened.type(), QDBusMessage::ReplyMessage) << opened.errorMessage().toStdString();
    return dup(qdbus_cast<QDBusUnixFileDescriptor>(opened.arguments().value(0)).fileDescriptor());
  }();
  ASSERT_GE(fd, 0);
  QDBusMessage second = owner.OpenChannel();
  EXPECT_EQ(second.errorName(), "org.kvq.Ostrel.Error.ChannelRefused");
  EXPECT_EQ(second.errorMessage(), "this run has its direct channel already");

  // The run speaks over the channel; the bus takes no lines for it.
  ASSERT_EQ(owner.Server("Continue").type(), QDBusMessage::ReplyMessage);
  EXPECT_EQ(owner.OpenChannel().errorMessage(),
            "the run has started: a direct channel opens between LoadDll and Continue");
  ostrel::FrameReader reader;
  auto parameter = NextFrame(fd, reader);
  ASSERT_TRUE(parameter);
  EXPECT_EQ(parameter->type, ostrel::FrameType::Output);
  EXPECT_EQ(parameter->payload, " parameter: Possible ParameterLine");
  auto need = NextFrame(fd, reader);
  ASSERT_TRUE(need);
  EXPECT_EQ(need->type, ostrel::FrameType::NeedLine);
  EXPECT_EQ(owner.Server("GiveLine", {"over the bus"}).errorMessage(),
            "this run takes its lines over its direct channel");
  std::string line = ostrel::EncodeFrame(ostrel::FrameType::Line, "over the channel");
  ASSERT_EQ(send(fd, line.data(), line.size(), MSG_NOSIGNAL), static_cast<ssize_t>(line.size()));
  auto echo = NextFrame(fd, reader);
  ASSERT_TRUE(echo);
  EXPECT_EQ(echo->payload, "echo: over the channel");
  auto count = NextFrame(fd, reader);
  ASSERT_TRUE(count);
  EXPECT_EQ(ostrel::EventOfFrame(*count)->name, "Count");

  // A client that closes its end ends its run; the server goes on.
  uint server = bus_.ServerPid();
  ASSERT_EQ(WorkersOf(server), 1);
  close(fd);
  EXPECT_TRUE(WaitFor([&] { return WorkersOf(server) == 0; }));
  EXPECT_EQ(bus_.ServerPid(), server);
}

TEST_F(DirectChannelTest, CrashAfterEventsEndsTheRunAfterThem) {
  Client client;
  ASSERT_EQ(client.Load(MODULE_CRASHER), "");
  ASSERT_TRUE(client.server->Direct());
  client.server->Continue();
  ASSERT_TRUE(WaitFor([&] { return client.Ended(); }));
  ASSERT_EQ(client.events.size(), 2);
  EXPECT_EQ(client.events[0], "Output:  before the crash");
  EXPECT_TRUE(client.events[1].startsWith("End_Of_Run: crashed with signal 11"))
      << client.events[1].toStdString();
}

TEST_F(DirectChannelTest, TwoClientsHaveChannelsOfTheirOwn) {
  Client first, second;
  first.script = {"1", "2", "end"};
  second.script = {"a", "end"};
  ASSERT_EQ(first.Load(MODULE_ECHO), "");
  ASSERT_EQ(second.Load(MODULE_ECHO), "");
  ASSERT_TRUE(first.server->Direct() && second.server->Direct());
  first.server->Continue();
  second.server->Continue();
  ASSERT_TRUE(WaitFor([&] { return first.Ended() && second.Ended(); }));
  EXPECT_EQ(first.events.filter("Output: echo").join('|'), "Output: echo: 1|Output: echo: 2");
  EXPECT_EQ(second.events.filter("Output: echo").join('|'), "Output: echo: a");
}

// Runs ECHO with one line and checks that the run stayed on the bus.
void ExpectEchoOverTheBus(Client& client, const QString& line) {
  client.script = {line, "end"};
  ASSERT_EQ(client.Load(MODULE_ECHO), "");
  EXPECT_FALSE(client.server->Direct());
  client.server->Continue();
  ASSERT_TRUE(WaitFor([&] { return client.Ended(); }));
  EXPECT_TRUE(client.Saw("Output: echo: " + line));
  EXPECT_EQ(client.events.back(), "End_Of_Run: finished");
}

TEST(DirectChannelFallbackTest, WithoutUnixFdsTheRunStaysOnTheBus) {
  PrivateBus bus(PrivateBus::Activation::ServiceFile, PrivateBus::Transport::Tcp);
  ASSERT_TRUE(bus.Running());
  bus.UseInThisProcess();
  Client client;
  ExpectEchoOverTheBus(client, "over the bus");

  // Asked all the same, the server says why it cannot.
  RawClient raw(bus.Address(), "raw-over-tcp");
  ASSERT_EQ(raw.Server("LoadDll", {MODULE_ECHO, ""}).arguments().value(0), QString());
  EXPECT_EQ(raw.OpenChannel().errorMessage(),
            "this bus cannot carry a direct channel (no unix fds)");
}

TEST_F(DirectChannelTest, ClientThatAsksForNoChannelStaysOnTheBus) {
  Client client;
  client.server->SetDirectChannel(false);
  ExpectEchoOverTheBus(client, "x");
}

}  // namespace
}  // namespace kvq::test
