// Modules and clients that try to hold up everyone else: output past the
// run-time library, a module that closes its socket, loads that never
// return, large events for a client that never reads, an oversized call, a
// burst of loads, and more workers than allowed. In each a bystander
// client is served within kBystanderMs, memory and descriptors stay
// bounded, the faulty run ends as it should, and a new client is served
// afterwards.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusPendingCall>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include "OwnServerTest.h"

namespace kvq::test {
namespace {

// Generous: a bystander waits for nothing but its own call.
constexpr qint64 kBystanderMs = 5000;

qint64 ResidentKb(qint64 pid) {
  QFile status(QStringLiteral("/proc/%1/status").arg(pid));
  if (!status.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ')[0].toLongLong();
  return -1;
}

int Descriptors(qint64 pid) {
  return static_cast<int>(QDir(QStringLiteral("/proc/%1/fd").arg(pid))
                              .entryList(QDir::NoDotAndDotDot | QDir::System)
                              .size());
}

// The milliseconds a whole run of ECHO takes the bystander; -1 when it does
// not end as it should.
qint64 BystanderRunMs(Client& bystander) {
  QElapsedTimer clock;
  clock.start();
  bystander.events.clear();
  bystander.script = {"end"};
  if (bystander.Load(MODULE_ECHO) != "") return -1;
  bystander.server->Continue();
  if (!WaitFor([&] { return bystander.Ended(); }, kBystanderMs)) return -1;
  if (bystander.events.back() != "End_Of_Run: finished") return -1;
  return clock.elapsed();
}

// OnEvent signals to any client, seen by eavesdropping on the private bus.
class EventSpy : public QObject {
  Q_OBJECT

 public:
  explicit EventSpy(const QString& address)
      : bus_(QDBusConnection::connectToBus(address, "kvq-test-spy")) {
    qRegisterMetaType<QDBusVariant>();
    bus_.interface()->call("AddMatch", QStringLiteral("type='signal',member='OnEvent',"
                                                      "eavesdrop='true'"));
    connected_ = bus_.connect({}, ostrel::kObjectPath, ostrel::kInterfaceName, "OnEvent", this,
                              SLOT(Receive(QDBusVariant, QDBusVariant)));
  }
  ~EventSpy() override { QDBusConnection::disconnectFromBus("kvq-test-spy"); }
  bool Saw(const QString& event) const { return events_.contains(event); }
  bool Connected() const { return connected_; }

 public slots:
  void Receive(const QDBusVariant& name, const QDBusVariant& value) {
    if (name.variant().toString() == ostrel::kEndOfRunEvent)
      events_.push_back(name.variant().toString() + ": " + value.variant().toString());
  }

 private:
  QDBusConnection bus_;
  bool connected_ = false;
  QStringList events_;
};

class HostileRunTest : public OwnServerTest {
 protected:
  // A python-dbus client; the test is skipped without python3-dbus.
  void StartHostileClient(QProcess& client, const QStringList& arguments) {
    client.setProcessEnvironment(bus_.Environment());
    client.start(HOSTILE_PYTHON, QStringList{HOSTILE_CLIENT} + arguments);
  }

  Client bystander_;
};

TEST_F(HostileRunTest, UnitZeroFloodIsHeldBackAndEndsWithItsClient) {
  StartServer({"--idle-seconds", "30"});
  auto flooder = std::make_unique<TComputationalServer>();
  int lines = 0;
  flooder->SetOnEvent([&](QObject*, const QVariant& name, const QVariant& value) {
    if (name.toString() == ostrel::kProcessOutputEvent && value.toString().startsWith("LINE"))
      ++lines;
  });
  ASSERT_EQ(flooder->LoadDll(MODULE_FLOODERR, ""), "");
  flooder->Continue();
  ASSERT_TRUE(WaitFor([&] { return lines > 1000; }));
  qint64 serverKb = ResidentKb(ServerPid()), busKb = ResidentKb(bus_.DaemonPid());
  for (int i = 0; i < 3; ++i) {
    qint64 ms = BystanderRunMs(bystander_);
    EXPECT_GE(ms, 0) << "the bystander's run was not served";
  }
  Pass(2000);
  EXPECT_LT(ResidentKb(ServerPid()) - serverKb, 32 * 1024);
  EXPECT_LT(ResidentKb(bus_.DaemonPid()) - busKb, 32 * 1024);
  EXPECT_GT(lines, 1000);
  ASSERT_EQ(WorkersOf(ServerPid()), 1);
  flooder.reset();  // the client leaves: its worker ends
  EXPECT_TRUE(WaitFor([&] { return WorkersOf(ServerPid()) == 0; }));
  EXPECT_GE(BystanderRunMs(bystander_), 0);
}

TEST_F(HostileRunTest, ModuleThatClosesItsSocketIsEndedWithoutHoldingAnyoneUp) {
  StartServer({"--idle-seconds", "30"});
  Client closer;
  ASSERT_EQ(closer.Load(MODULE_CLOSER), "");
  closer.server->Continue();
  ASSERT_TRUE(WaitFor([&] { return closer.Ended(); }));
  EXPECT_EQ(closer.events,
            (QStringList{"Output:  closing", "End_Of_Run: crashed with signal 9 (Killed)"}));

  closer.events.clear();  // Finish while the socket is closed
  ASSERT_EQ(closer.Load(MODULE_CLOSER), "");
  closer.server->Continue();
  ASSERT_TRUE(WaitFor([&] { return closer.Saw("Output:  closing"); }));
  closer.server->Finish();
  EXPECT_GE(BystanderRunMs(bystander_), 0);
  ASSERT_TRUE(WaitFor([&] { return closer.Ended(); }));
  EXPECT_EQ(closer.events.back(), "End_Of_Run: killed by Finish");
  EXPECT_TRUE(WaitFor([&] { return WorkersOf(ServerPid()) == 0; }));
}

TEST_F(HostileRunTest, LoadsThatDoNotReturnFailInTimeOrEndWithFinish) {
  StartServer({"--idle-seconds", "30", "--load-seconds", "2"});
  Client hanging;
  qint64 bystanderMs = -1;
  QTimer::singleShot(300, [&] { bystanderMs = BystanderRunMs(bystander_); });
  EXPECT_EQ(hanging.Load(MODULE_HANGLOAD),
            QStringLiteral("cannot load %1: the module did not load within 2 s (--load-seconds); "
                           "its initialisation blocks or the file does not open")
                .arg(MODULE_HANGLOAD));
  EXPECT_GE(bystanderMs, 0) << "the bystander was held up by the load";
  EXPECT_TRUE(WaitFor([&] { return WorkersOf(ServerPid()) == 0; }));

  QString pausedWhileLoading;
  QTimer::singleShot(300, [&] {
    pausedWhileLoading = ErrorOf([&] { hanging.server->Pause(); });
    hanging.server->Finish();
  });
  EXPECT_EQ(hanging.Load(MODULE_HANGLOAD),
            QStringLiteral("cannot load %1: the load was ended by Finish").arg(MODULE_HANGLOAD));
  EXPECT_EQ(pausedWhileLoading, "the module is still loading: wait for the answer of LoadDll");
  EXPECT_EQ(ErrorOf([&] { hanging.server->Continue(); }),
            "no module is loaded: call LoadDll first");

  QTemporaryDir directory;
  QString fifo = directory.filePath("Fifo.so");
  ASSERT_EQ(mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
  EXPECT_EQ(hanging.Load(fifo.toLocal8Bit().constData()),
            QStringLiteral("cannot load %1: is not a regular file, not a module").arg(fifo));
  EXPECT_GE(BystanderRunMs(bystander_), 0);
}

// On the bus, and over a direct channel the client never reads either.
TEST_F(HostileRunTest, ClientThatNeverReadsHoldsItsModuleBackAndLosesItsRun) {
  StartServer({"--idle-seconds", "30", "--client-seconds", "3"});
  for (const char* mode : {"silent", "silent-channel"}) {
    SCOPED_TRACE(mode);
    EventSpy spy(bus_.Address());
    ASSERT_TRUE(spy.Connected());
    qint64 busKb = ResidentKb(bus_.DaemonPid());
    QProcess silent;
    StartHostileClient(silent, {mode, MODULE_BIGEVENT});
    ASSERT_TRUE(silent.waitForReadyRead(10000));
    ASSERT_TRUE(WaitFor([&] { return silent.readAll().contains("continue: ok"); }));
    Pass(1000);
    EXPECT_GE(BystanderRunMs(bystander_), 0);
    EXPECT_LT(ResidentKb(bus_.DaemonPid()) - busKb, 24 * 1024) << "events in flight unbounded";
    EXPECT_TRUE(WaitFor([&] { return WorkersOf(ServerPid()) == 0; }))
        << "the run of a client that does not read goes on";
    EXPECT_TRUE(
        WaitFor([&] { return spy.Saw("End_Of_Run: ended: the client took no events for 3 s"); }));
    EXPECT_EQ(silent.state(), QProcess::Running);
    silent.kill();
    silent.waitForFinished(5000);
    EXPECT_GE(BystanderRunMs(bystander_), 0);
  }
}

TEST_F(HostileRunTest, OversizedCallIsRefusedAndTheServerListensOn) {
  StartServer({"--idle-seconds", "30"});
  QProcess oversized;
  StartHostileClient(oversized, {"oversized", "70000000"});
  ASSERT_TRUE(oversized.waitForFinished(60000));
  QStringList answers = QString::fromUtf8(oversized.readAllStandardOutput()).split('\n');
  ASSERT_EQ(answers.size(), 4) << answers.join('\n').toStdString();
  EXPECT_TRUE(answers[0].startsWith("member: error org.freedesktop.DBus.Error.UnknownMethod"));
  EXPECT_EQ(answers[1],
            "load: ok cannot load /xxx[... 69999800 characters cut]: the call carries 70000000 "
            "bytes, more than the 16777216 bytes a call to this server may carry "
            "(--max-call-bytes)");
  EXPECT_EQ(answers[2], "ping: ok None");
  EXPECT_GE(BystanderRunMs(bystander_), 0);
}

TEST_F(HostileRunTest, BurstOfLoadsKeepsWithinTheClientsShare) {
  StartServer({"--idle-seconds", "30", "--max-workers-per-client", "4"});
  bystander_.server->ElapsedTime();  // connected before the burst
  QDBusConnection burst = QDBusConnection::connectToBus(bus_.Address(), "kvq-test-burst");
  std::vector<QDBusPendingCall> calls;
  for (int i = 0; i < 2000; ++i) {
    QDBusMessage load = QDBusMessage::createMethodCall(ostrel::kServiceName, ostrel::kObjectPath,
                                                       ostrel::kInterfaceName, "LoadDll");
    load << QString(MODULE_LOOPER) << QString();
    calls.push_back(burst.asyncCall(load));
  }
  int mostWorkers = 0;
  qint64 bystanderMs = BystanderRunMs(bystander_);
  ASSERT_TRUE(WaitFor(
      [&] {
        mostWorkers = std::max(mostWorkers, WorkersOf(ServerPid()));
        return std::all_of(calls.begin(), calls.end(), [](auto& c) { return c.isFinished(); });
      },
      60000));
  EXPECT_GE(bystanderMs, 0);
  EXPECT_LE(mostWorkers, 4 + 1) << "the burst's client and the bystander";
  EXPECT_LT(Descriptors(ServerPid()), 64);
  // The connection closes, and the client leaves the bus, with its last
  // reference.
  burst = QDBusConnection(QStringLiteral("kvq-test-none"));
  QDBusConnection::disconnectFromBus("kvq-test-burst");
  EXPECT_TRUE(WaitFor([&] { return WorkersOf(ServerPid()) == 0; }));
  EXPECT_GE(BystanderRunMs(bystander_), 0);
}

TEST_F(HostileRunTest, WorkersBeyondTheLimitAreRefusedWithTheLimitNamed) {
  StartServer({"--idle-seconds", "30", "--max-workers", "2"});
  Client first, second, third;
  ASSERT_EQ(first.Load(MODULE_LOOPER), "");
  ASSERT_EQ(second.Load(MODULE_LOOPER), "");
  EXPECT_EQ(third.Load(MODULE_ECHO),
            QStringLiteral("cannot load %1: the server runs 2 worker processes, the most it may "
                           "run (--max-workers); try again when a run has ended")
                .arg(MODULE_ECHO));
  first.server->Finish();
  ASSERT_TRUE(WaitFor([&] { return first.Ended(); }));
  third.script = {"end"};
  ASSERT_EQ(third.Load(MODULE_ECHO), "");
  third.server->Continue();
  ASSERT_TRUE(WaitFor([&] { return third.Ended(); }));
  EXPECT_EQ(third.events.back(), "End_Of_Run: finished");
}

}  // namespace
}  // namespace kvq::test

#include "HostileRunTest.moc"
