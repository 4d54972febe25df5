// Every run ends with one true End_Of_Run, delivers everything its module
// wrote and leaves nothing behind, whatever the module starts or writes and
// whenever its client leaves: modules with large values, background
// children and children in sessions of their own, clients that read a
// property or load and leave at once.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>

#include "OwnServerTest.h"

namespace kvq::test {
namespace {

// The text a module fills its large values with: a to z over and over,
// from b.
QString Alphabet(int length) {
  QString text(length, QChar());
  for (int i = 0; i < length; ++i) text[i] = QChar(u'a' + (i + 1) % 26);
  return text;
}

// The state letters (/proc/PID/stat) of the processes of this machine
// that run "sleep SECONDS"; each test's modules sleep for a time of its own.
QString SleeperStates(const QString& seconds) {
  const QByteArray wanted = "sleep" + QByteArray(1, '\0') + seconds.toLatin1() + '\0';
  QString states;
  for (const QString& entry : QDir("/proc").entryList(QDir::Dirs)) {
    QFile command("/proc/" + entry + "/cmdline");
    if (!command.open(QIODevice::ReadOnly) || !command.readAll().endsWith(wanted)) continue;
    QFile stat("/proc/" + entry + "/stat");
    if (!stat.open(QIODevice::ReadOnly)) continue;
    QByteArray text = stat.readAll();
    int close = text.lastIndexOf(')');
    if (close >= 0 && close + 2 < text.size()) states += QChar(text[close + 2]);
  }
  return states;
}

QStringList DescriptorsOf(qint64 pid) {
  return QDir(QStringLiteral("/proc/%1/fd").arg(pid))
      .entryList(QDir::NoDotAndDotDot | QDir::System, QDir::Name);
}

// The modules' children sleep for times no other process chooses, of this
// test process's own: tests running side by side count only their own.
class RunEndTest : public OwnServerTest {
 protected:
  void SetUp() override {
    OwnServerTest::SetUp();
    environmentAdded_ = {{"BACKGROUND_SECONDS", background_}, {"FORKER_SECONDS", forker_}};
  }
  int Sleepers(const QString& seconds) const { return SleeperStates(seconds).size(); }

  const QString background_ = QString::number(2000000 + getpid());
  const QString forker_ = QString::number(3000000 + getpid());
};

TEST_F(RunEndTest, LargeValuesArriveWholeAndTheRunGoesOn) {
  StartServer({"--idle-seconds", "30"});
  Client client;
  ASSERT_EQ(client.Load(MODULE_HUGEVENT), "");
  client.server->Continue();
  ASSERT_TRUE(WaitFor([&] { return client.Ended(); }));
  EXPECT_EQ(client.events,
            (QStringList{"BIG: " + Alphabet(2000000), "Output:  after", "End_Of_Run: finished"}));

  client.events.clear();
  ASSERT_EQ(client.Load(MODULE_LONGLINE), "");
  client.server->Continue();
  ASSERT_TRUE(WaitFor([&] { return client.Ended(); }));
  EXPECT_EQ(client.events, (QStringList{"Output: " + Alphabet(1200000) + "TAIL", "Output:  after",
                                        "End_Of_Run: finished"}));
}

TEST_F(RunEndTest, ValueBeyondTheBoundIsCutWithAMarkAndTheRunGoesOn) {
  StartServer({"--idle-seconds", "30", "--max-value-bytes", "1000000"});
  Client client;
  ASSERT_EQ(client.Load(MODULE_HUGEVENT), "");
  client.server->Continue();
  ASSERT_TRUE(WaitFor([&] { return client.Ended(); }));
  ASSERT_EQ(client.events.size(), 3);
  const QString mark = "[... 1000004 bytes cut]";  // of "BIG", its separator and the value
  const QString& big = client.events[0];
  EXPECT_TRUE(big.endsWith(mark));
  EXPECT_EQ(big.chopped(mark.size()), "BIG: " + Alphabet(1000000 - 4));
  EXPECT_EQ(client.events.mid(1), (QStringList{"Output:  after", "End_Of_Run: finished"}));
}

TEST_F(RunEndTest, RunEndsWhenItsModuleIsDoneWhateverItsChildrenHold) {
  StartServer({"--idle-seconds", "30"});
  Client client;
  ASSERT_EQ(client.Load(MODULE_BACKGROUND), "");
  const int descriptors = DescriptorsOf(ServerPid()).size();
  client.server->Continue();
  // The background child sleeps 321 s with the module's output pipe.
  ASSERT_TRUE(WaitFor([&] { return client.Ended(); }));
  EXPECT_EQ(client.events, (QStringList{"Output:  started", "End_Of_Run: finished"}));
  EXPECT_TRUE(WaitFor([&] { return Sleepers(background_) == 0; })) << "the run's child outlived it";
  EXPECT_TRUE(WaitFor([&] { return WorkersOf(ServerPid()) == 0; }));
  EXPECT_LE(DescriptorsOf(ServerPid()).size(), descriptors);

  // A worker holds its input, output, error and socket, and its client's
  // direct channel when there is one; nothing else.
  client.events.clear();
  ASSERT_EQ(client.Load(MODULE_FORKER), "");
  std::vector<pid_t> workers = WorkerPids(ServerPid());
  ASSERT_EQ(workers.size(), 1u);
  QStringList held{"0", "1", "2", "3"};
  if (client.server->Direct()) held << "4";
  EXPECT_TRUE(WaitFor([&] { return DescriptorsOf(workers[0]) == held; }))
      << DescriptorsOf(workers[0]).join(' ').toStdString();
}

// A child in a session of its own without any descriptor of the run ends
// with the run however the run ends: the module's end, Finish, the client
// leaving, the server ended by SIGTERM or SIGHUP.
TEST_F(RunEndTest, ChildThatLeftTheSessionEndsWithTheRun) {
  StartServer({"--idle-seconds", "30"});
  auto forked = [this](Client& client) {
    client.events.clear();
    if (client.Load(MODULE_FORKER) != "") return false;
    client.server->Continue();
    return WaitFor([&] { return client.Saw("Output:  forked") && Sleepers(forker_) == 1; });
  };
  Client client;
  ASSERT_TRUE(forked(client));
  ASSERT_TRUE(WaitFor([&] { return client.Saw("Give_Line: "); }));
  client.server->GiveLine("go");
  ASSERT_TRUE(WaitFor([&] { return client.Ended(); }));
  EXPECT_EQ(client.events.back(), "End_Of_Run: finished");
  EXPECT_TRUE(WaitFor([&] { return Sleepers(forker_) == 0; })) << "left after the module's end";

  ASSERT_TRUE(forked(client));
  client.server->Finish();
  ASSERT_TRUE(WaitFor([&] { return client.Ended(); }));
  EXPECT_EQ(client.events.back(), "End_Of_Run: killed by Finish");
  EXPECT_TRUE(WaitFor([&] { return Sleepers(forker_) == 0; })) << "left after Finish";

  ASSERT_TRUE(forked(client));
  client.server.reset();
  EXPECT_TRUE(WaitFor([&] { return Sleepers(forker_) == 0; })) << "left after its client";
  EXPECT_TRUE(WaitFor([&] { return WorkersOf(ServerPid()) == 0; }));

  for (int signal : {SIGTERM, SIGHUP}) {
    if (server_.state() == QProcess::NotRunning) StartServer({"--idle-seconds", "30"});
    Client next;
    ASSERT_TRUE(forked(next));
    kill(static_cast<pid_t>(ServerPid()), signal);
    ASSERT_TRUE(server_.waitForFinished(10000));
    EXPECT_TRUE(WaitFor([&] { return Sleepers(forker_) == 0; })) << "left after signal " << signal;
  }
}

// Pause holds what the run started too, even a child in a session of its
// own, and Continue lets it go on.
TEST_F(RunEndTest, PauseHoldsTheChildrenOfTheRun) {
  StartServer({"--idle-seconds", "30"});
  Client client;
  ASSERT_EQ(client.Load(MODULE_FORKER), "");
  client.server->Continue();
  ASSERT_TRUE(WaitFor([&] { return SleeperStates(forker_) == "S"; })) << "the child did not start";
  client.server->Pause();
  EXPECT_TRUE(WaitFor([&] { return SleeperStates(forker_) == "T"; }))
      << SleeperStates(forker_).toStdString();
  client.server->Continue();
  EXPECT_TRUE(WaitFor([&] { return SleeperStates(forker_) == "S"; }))
      << SleeperStates(forker_).toStdString();
  client.server->Finish();
  ASSERT_TRUE(WaitFor([&] { return client.Ended(); }));
  EXPECT_TRUE(WaitFor([&] { return SleeperStates(forker_).isEmpty(); }));
}

// Each property read is answered for its own reader, and a client that
// leaves the bus at once, whatever it sent, leaves no session, worker or
// descriptor: the server with a short idle time still quits.
TEST_F(RunEndTest, ClientsThatLeaveAtOnceLeaveNothingAndTheIdleServerQuits) {
  StartServer({"--idle-seconds", "3"});
  Client running;
  ASSERT_EQ(running.Load(MODULE_LOOPER), "");
  running.server->Continue();
  ASSERT_TRUE(WaitFor([&] { return running.server->ElapsedTime() >= 1; }));
  const int descriptors = DescriptorsOf(ServerPid()).size();

  auto python = [&](const QStringList& arguments) {
    QProcess client;
    client.setProcessEnvironment(bus_.Environment());
    client.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    client.start(HOSTILE_PYTHON, QStringList{HOSTILE_CLIENT} + arguments);
    client.waitForFinished(60000);
    return QString::fromUtf8(client.readAllStandardOutput()).trimmed();
  };
  EXPECT_EQ(python({"property"}), "elapsed: 0 0") << "a reader without a run has no time";
  EXPECT_EQ(python({"leavers", "200", MODULE_LOOPER}), "left: 200");
  EXPECT_TRUE(WaitFor([&] { return WorkersOf(ServerPid()) == 1; })) << "runs of clients gone";
  EXPECT_TRUE(WaitFor([&] { return DescriptorsOf(ServerPid()).size() <= descriptors; }));
  EXPECT_GE(running.server->ElapsedTime(), 1);

  running.server.reset();
  EXPECT_TRUE(WaitFor([&] { return server_.state() == QProcess::NotRunning; }, 20000))
      << "sessions are left: the idle server does not quit";
}

}  // namespace
}  // namespace kvq::test
