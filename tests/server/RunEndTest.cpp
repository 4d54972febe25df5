// Every run ends with one true End_Of_Run, delivers everything its module
// wrote and leaves nothing behind, whatever the module starts or writes and
// whenever its client leaves: modules with large values, background
// children and children in sessions of their own, clients that read a
// property or load and leave at once.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>

#include "PrivateBus.h"
#include "ServerTestSupport.h"

namespace kvq::test {
namespace {

// The text a module fills its large values with: a to z over and over,
// from b.
QString Alphabet(int length) {
  QString text(length, QChar());
  for (int i = 0; i < length; ++i) text[i] = QChar(u'a' + (i + 1) % 26);
  return text;
}

class RunEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(bus_.Running());
    bus_.UseInThisProcess();
  }
  void TearDown() override {
    if (server_.state() != QProcess::NotRunning) {
      server_.terminate();
      server_.waitForFinished(5000);
    }
  }
  void StartServer(const QStringList& options) {
    server_.setProcessEnvironment(bus_.Environment());
    server_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server_.start(OSTREL_SERVER, options);
    ASSERT_TRUE(WaitFor([&] { return bus_.ServerPid() != 0; }));
  }
  qint64 ServerPid() const { return server_.processId(); }

  PrivateBus bus_;
  QProcess server_;
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

}  // namespace
}  // namespace kvq::test
