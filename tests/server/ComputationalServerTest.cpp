// TComputationalServer against the real server on a private bus: the calls
// of a desktop client, from inside its event handler too, every state a run
// can be in, two clients at once, a client that leaves, and the three ways
// of reaching a server.
#include <gtest/gtest.h>
#include <signal.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "ComputationalServer.h"
#include "OstrelIdentity.h"
#include "PrivateBus.h"
#include "ServerTestSupport.h"

namespace kvq::test {
namespace {

class ComputationalServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(bus_.Running());
    bus_.UseInThisProcess();
  }
  PrivateBus bus_;
};

TEST_F(ComputationalServerTest, HandlerAnswersFromInsideTheEventAsKestrinDoes) {
  Client client;
  QString pending;
  client.server->SetOnEvent([&](QObject*, const QVariant& name, const QVariant& value) {
    client.events.push_back(name.toString() + ": " + value.toString());
    if (name.toString() == "FCN") pending = value.toString().split(' ', Qt::SkipEmptyParts)[1];
    if (name.toString() != "Give_Line") return;
    EXPECT_GE(client.server->ElapsedTime(), 0);
    client.server->GiveLine(pending.isEmpty() ? QString("2") : pending);
    pending.clear();
  });
  ASSERT_EQ(client.Load(MODULE_FCNLOOP), "");
  client.server->Continue();
  ASSERT_TRUE(WaitFor([&] { return client.Ended(); }));
  EXPECT_EQ(client.events, (QStringList{"Give_Line: ", "FCN:   2    1.00    0.50",
                                        "Give_Line: ", "FCN:   2    2.00    0.50", "Give_Line: ",
                                        "Output: total       3.000", "End_Of_Run: finished"}));
}

TEST_F(ComputationalServerTest, LineOfCodeZeroIsTheEndOfInput) {
  Client client;
  client.script = {"one", QString(QChar(u'\0'))};
  ASSERT_EQ(client.Load(MODULE_ECHO), "");
  client.server->Continue();
  ASSERT_TRUE(WaitFor([&] { return client.Ended(); }));
  EXPECT_TRUE(client.Saw("Output: echo: one"));
  EXPECT_TRUE(client.Saw("Output:  no more input"));
  EXPECT_EQ(client.events.back(), "End_Of_Run: stopped");
}

TEST_F(ComputationalServerTest, PauseHoldsTheClockAndTheModule) {
  Client client;
  ASSERT_EQ(client.Load(MODULE_LOOPER), "");
  EXPECT_EQ(client.server->ElapsedTime(), 0);
  client.server->Continue();
  ASSERT_TRUE(WaitFor([&] { return client.Saw("Output:  looping"); }));
  ASSERT_TRUE(WaitFor([&] { return client.server->ElapsedTime() >= 1; }, 5000));
  client.server->Pause();
  client.server->Pause();  // pausing a paused run changes nothing
  int paused = client.server->ElapsedTime();
  Pass(1300);
  EXPECT_EQ(client.server->ElapsedTime(), paused);
  client.server->Continue();
  ASSERT_TRUE(WaitFor([&] { return client.server->ElapsedTime() > paused; }, 5000));
  client.server->Finish();
  ASSERT_TRUE(WaitFor([&] { return client.Ended(); }));
  EXPECT_EQ(client.events.back(), "End_Of_Run: killed by Finish");
}

TEST_F(ComputationalServerTest, FinishEndsTheRunInEveryState) {
  Client client;
  EXPECT_EQ(ErrorOf([&] { client.server->Finish(); }), "no module is loaded: call LoadDll first");

  ASSERT_EQ(client.Load(MODULE_ECHO), "");  // loaded, not begun
  client.server->Finish();
  ASSERT_TRUE(WaitFor([&] { return client.Ended(); }));
  EXPECT_EQ(client.events, (QStringList{"End_Of_Run: killed by Finish"}));
  client.server->Finish();  // after the end: nothing left to end

  client.events.clear();
  ASSERT_EQ(client.Load(MODULE_ECHO), "");  // waiting for a line
  client.server->Continue();
  ASSERT_TRUE(WaitFor([&] { return client.Saw("Give_Line: "); }));
  client.server->Finish();
  ASSERT_TRUE(WaitFor([&] { return client.Ended(); }));
  EXPECT_EQ(client.events.back(), "End_Of_Run: killed by Finish");

  client.events.clear();
  ASSERT_EQ(client.Load(MODULE_LOOPER), "");  // paused while computing
  client.server->Continue();
  ASSERT_TRUE(WaitFor([&] { return client.Saw("Output:  looping"); }));
  client.server->Pause();
  client.server->Finish();
  ASSERT_TRUE(WaitFor([&] { return client.Ended(); }));
  EXPECT_EQ(client.events, (QStringList{"Output:  looping", "End_Of_Run: killed by Finish"}));
}

TEST_F(ComputationalServerTest, CallsOutOfTurnAreRefusedAndChangeNothing) {
  Client client;
  EXPECT_EQ(ErrorOf([&] { client.server->Continue(); }), "no module is loaded: call LoadDll first");
  EXPECT_EQ(ErrorOf([&] { client.server->Pause(); }), "no module is loaded: call LoadDll first");
  EXPECT_EQ(ErrorOf([&] { client.server->GiveLine("x"); }),
            "no line is awaited: the module has not asked for one");
  EXPECT_EQ(client.server->LoadDll("", "Possible ParameterLine"),
            "no module given: LoadDll needs the path of a module");
  EXPECT_EQ(client.server->LoadDll("relative/Minuit.so", ""),
            "cannot load relative/Minuit.so: give the module's absolute path");
  EXPECT_EQ(client.server->LoadDll("/" + QString(2000000, 'x'), ""),
            "cannot load /" + QString(199, 'x') +
                "[... 1999801 characters cut]: the path and parameter line are too long");

  ASSERT_EQ(client.Load(MODULE_ECHO), "");
  EXPECT_EQ(ErrorOf([&] { client.server->GiveLine("early"); }),
            "no line is awaited: the module has not asked for one");
  client.script = {"kept", QString(3000000, 'y'), "end"};
  client.server->Continue();
  ASSERT_TRUE(WaitFor([&] { return client.Ended(); }));
  EXPECT_TRUE(client.Saw("Output: echo: kept"));
  EXPECT_EQ(ErrorOf([&] { client.server->Continue(); }),
            "the run has ended: call LoadDll to run the module again");
  EXPECT_EQ(ErrorOf([&] { client.server->GiveLine(QString(QChar(u'\0'))); }),
            "no line is awaited: the module has not asked for one");
}

TEST_F(ComputationalServerTest, LoadDuringARunEndsItAndStartsAfresh) {
  Client client;
  ASSERT_EQ(client.Load(MODULE_LOOPER), "");
  client.server->Continue();
  ASSERT_TRUE(WaitFor([&] { return client.Saw("Output:  looping"); }));
  uint server = bus_.ServerPid();
  ASSERT_EQ(WorkersOf(server), 1);
  client.events.clear();
  client.script = {"end"};
  ASSERT_EQ(client.Load(MODULE_ECHO), "");
  client.server->Continue();
  ASSERT_TRUE(WaitFor([&] { return client.events.size() > 1 && client.Ended(); }));
  EXPECT_EQ(client.events.front(), "End_Of_Run: replaced by LoadDll") << "the first run's end";
  EXPECT_EQ(client.events.back(), "End_Of_Run: finished");
  EXPECT_FALSE(client.Saw("Output:  looping")) << "nothing of the first run after the load";
  EXPECT_TRUE(WaitFor([&] { return WorkersOf(server) == 0; }));
}

TEST_F(ComputationalServerTest, TwoClientsHaveRunsAndEventsOfTheirOwn) {
  Client first, second;
  first.script = {"from the first", "end"};
  second.script = {"from the second", "end"};
  ASSERT_EQ(first.Load(MODULE_ECHO), "");
  ASSERT_EQ(second.Load(MODULE_ECHO), "");
  first.server->Continue();
  second.server->Continue();
  ASSERT_TRUE(WaitFor([&] { return first.Ended() && second.Ended(); }));
  EXPECT_TRUE(first.Saw("Output: echo: from the first"));
  EXPECT_FALSE(first.Saw("Output: echo: from the second"));
  EXPECT_TRUE(second.Saw("Output: echo: from the second"));
  EXPECT_FALSE(second.Saw("Output: echo: from the first"));
  EXPECT_EQ(first.events.count("Give_Line: "), 2);
  EXPECT_EQ(second.events.count("Give_Line: "), 2);
}

TEST_F(ComputationalServerTest, ClientThatLeavesEndsItsRunAndTheIdleServerQuits) {
  Client staying, leaving;
  ASSERT_EQ(staying.Load(MODULE_LOOPER), "");
  ASSERT_EQ(leaving.Load(MODULE_LOOPER), "");
  staying.server->Continue();
  leaving.server->Continue();
  ASSERT_TRUE(
      WaitFor([&] { return staying.Saw("Output:  looping") && leaving.Saw("Output:  looping"); }));
  uint server = bus_.ServerPid();
  ASSERT_EQ(WorkersOf(server), 2);
  leaving.server.reset();
  EXPECT_TRUE(WaitFor([&] { return WorkersOf(server) == 1; }));
  EXPECT_EQ(staying.server->ElapsedTime() >= 0, true) << "the other session goes on";
  staying.server.reset();
  EXPECT_TRUE(WaitFor([&] { return WorkersOf(server) == 0; }));
  EXPECT_TRUE(WaitFor([&] { return bus_.ServerPid() == 0; }, 8000)) << "idle server quits";
}

TEST_F(ComputationalServerTest, AttachesToARunningServer) {
  QProcess running;
  running.setProcessEnvironment(bus_.Environment());
  running.start(OSTREL_SERVER, {"--idle-seconds", "30"});
  ASSERT_TRUE(WaitFor([&] { return bus_.ServerPid() != 0; }));
  Client client;
  client.script = {"end"};
  ASSERT_EQ(client.Load(MODULE_ECHO), "");
  EXPECT_EQ(bus_.ServerPid(), static_cast<uint>(running.processId()));
  client.server->Continue();
  ASSERT_TRUE(WaitFor([&] { return client.Ended(); }));
  running.terminate();
  running.waitForFinished(5000);
}

TEST_F(ComputationalServerTest, SecondServerOnTheSameBusRefusesToStart) {
  Client client;
  ASSERT_EQ(client.Load(MODULE_ECHO), "");  // activation starts the first
  QProcess second;
  second.setProcessEnvironment(bus_.Environment());
  second.start(OSTREL_SERVER);
  ASSERT_TRUE(second.waitForFinished(10000));
  EXPECT_EQ(second.exitCode(), 1);
  EXPECT_TRUE(second.readAllStandardError().contains("owned by another process"));
}

TEST_F(ComputationalServerTest, ServerThatDiesTakesItsWorkersAndTheClientIsTold) {
  Client client;
  ASSERT_EQ(client.Load(MODULE_LOOPER), "");
  client.server->Continue();
  ASSERT_TRUE(WaitFor([&] { return client.Saw("Output:  looping"); }));
  uint server = bus_.ServerPid();
  std::vector<pid_t> workers = WorkerPids(server);
  ASSERT_EQ(workers.size(), 1u);
  pid_t worker = workers[0];
  kill(static_cast<pid_t>(server), SIGKILL);
  ASSERT_TRUE(WaitFor([&] {
    return client.Saw(
        "Server_Lost: the computational server left the "
        "session bus; a run it was doing is lost");
  }));
  EXPECT_FALSE(client.server->Connected());
  EXPECT_TRUE(WaitFor([&] { return kill(worker, 0) != 0; })) << "the worker outlived its server";

  client.events.clear();  // the next call reaches a new server
  client.script = {"end"};
  ASSERT_EQ(client.Load(MODULE_ECHO), "");
  client.server->Continue();
  ASSERT_TRUE(WaitFor([&] { return client.Ended(); }));
  EXPECT_EQ(client.events.back(), "End_Of_Run: finished");
}

// A run works in its module's directory unless its client chose another;
// a choice that is no absolute directory is refused and changes nothing.
TEST_F(ComputationalServerTest, RunsWorkInTheModulesDirectoryOrTheChosenOne) {
  QTemporaryDir modules, chosen;
  QString module = modules.filePath("FILER.so");
  ASSERT_TRUE(QFile::copy(MODULE_FILER, module));
  auto runOnce = [](Client& client, const QString& path) {
    client.events.clear();
    ASSERT_EQ(client.server->LoadDll(path, ""), "");
    client.server->Continue();
    ASSERT_TRUE(WaitFor([&] { return client.Ended(); }));
    EXPECT_EQ(client.events.back(), "End_Of_Run: stopped with code 3");
  };
  Client client;
  runOnce(client, module);
  EXPECT_TRUE(QFile::exists(modules.filePath("grid_data.txt")));

  EXPECT_TRUE(ErrorOf([&] {
                client.server->SetWorkingDirectory("relative/dir");
              }).startsWith("relative/dir is no absolute path of a directory"));
  client.server->SetWorkingDirectory(chosen.path());
  runOnce(client, module);
  EXPECT_TRUE(QFile::exists(chosen.filePath("grid_data.txt")));
}

class FallbackStartTest : public ::testing::Test {
 protected:
  PrivateBus bus_{PrivateBus::Activation::None};
};

TEST_F(FallbackStartTest, WithoutActivationTheServerIsStartedFromPath) {
  ASSERT_TRUE(bus_.Running());
  bus_.UseInThisProcess();
  QByteArray path = qgetenv("PATH");
  qputenv("PATH", QByteArray(OSTREL_BIN_DIR) + ":" + path);
  Client client;
  client.script = {"end"};
  QString loaded = client.Load(MODULE_ECHO);
  qputenv("PATH", path);
  ASSERT_EQ(loaded, "");
  EXPECT_NE(bus_.ServerPid(), 0u);
  client.server->Continue();
  ASSERT_TRUE(WaitFor([&] { return client.Ended(); }));
}

// A server that takes its time to appear: the caller's event loop keeps
// running (the window paints) and the component says what it waits for.
TEST_F(FallbackStartTest, StartingServerKeepsTheEventLoopRunning) {
  ASSERT_TRUE(bus_.Running());
  bus_.UseInThisProcess();
  QTemporaryDir slow;
  QFile script(slow.filePath("ostrel"));
  ASSERT_TRUE(script.open(QIODevice::WriteOnly));
  script.write("#!/bin/sh\nsleep 1\nexec " OSTREL_BIN_DIR "/ostrel \"$@\"\n");
  script.close();
  script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  QByteArray path = qgetenv("PATH");
  qputenv("PATH", slow.path().toLocal8Bit() + ":" + path);
  Client client;
  QStringList statuses;
  client.server->SetOnStatus([&](const QString& status) { statuses << status; });
  int ticks = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
  ticker.start(50);
  QString loaded = client.Load(MODULE_ECHO);
  qputenv("PATH", path);
  ASSERT_EQ(loaded, "");
  EXPECT_GE(ticks, 10) << "the event loop stood still while the server started";
  EXPECT_EQ(statuses, QStringList({"starting the computational server...", ""}));
}

// A server the client started keeps none of the client's streams: a shell
// reading the client's output is not held until the server idles out.
TEST_F(FallbackStartTest, StartedServerHoldsNoneOfTheClientsStreams) {
  ASSERT_TRUE(bus_.Running());
  QProcessEnvironment environment = bus_.Environment();
  environment.insert("PATH", QString(OSTREL_BIN_DIR) + ":" + environment.value("PATH"));
  environment.insert("OSTREL_IDLE_SECONDS", "300");
  QProcess shell;
  shell.setProcessEnvironment(environment);
  shell.start("sh",
              {"-c", "out=$(echo end | \"$0\" \"$1\"); echo \"[$out]\"", OSTREL_RUN, MODULE_ECHO});
  ASSERT_TRUE(shell.waitForFinished(20000)) << "the shell waits for the server's end";
  EXPECT_EQ(shell.readAllStandardOutput(), "[ parameter:\n bye]\n");
  EXPECT_NE(bus_.ServerPid(), 0u);
}

TEST_F(FallbackStartTest, NoServerAnywhereIsAClearError) {
  ASSERT_TRUE(bus_.Running());
  bus_.UseInThisProcess();
  QByteArray path = qgetenv("PATH");
  qputenv("PATH", "/nonexistent");
  Client client;
  QString error = ErrorOf([&] { client.Load(MODULE_ECHO); });
  qputenv("PATH", path);
  EXPECT_TRUE(
      error.startsWith("cannot start the computational server: the bus cannot activate "
                       "org.kvq.Ostrel"))
      << error.toStdString();
}

TEST(NoSessionBusTest, ErrorNamesTheBusAddressVariable) {
  QByteArray previous = qgetenv("DBUS_SESSION_BUS_ADDRESS");
  qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
  TComputationalServer server;
  QString error = ErrorOf([&] { server.Pause(); });
  qputenv("DBUS_SESSION_BUS_ADDRESS", previous);
  EXPECT_TRUE(error.startsWith("no session bus")) << error.toStdString();
  EXPECT_TRUE(error.contains("DBUS_SESSION_BUS_ADDRESS"));
  EXPECT_FALSE(server.Connected());
}

}  // namespace
}  // namespace kvq::test
