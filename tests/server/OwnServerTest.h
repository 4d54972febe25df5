// A test with a server of its own on a private bus, started with the
// options the test chooses instead of the one the bus would activate.
#pragma once

#include <gtest/gtest.h>

#include <QProcess>
#include <utility>
#include <vector>

#include "PrivateBus.h"
#include "ServerTestSupport.h"

namespace kvq::test {

class OwnServerTest : public ::testing::Test {
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
    QProcessEnvironment environment = bus_.Environment();
    // AddressSanitizer holds freed memory back (256 MB by default), which
    // would read as growth in a sanitizer build.
    environment.insert("ASAN_OPTIONS", environment.value("ASAN_OPTIONS") + ":quarantine_size_mb=4");
    for (const auto& [name, value] : environmentAdded_) environment.insert(name, value);
    server_.setProcessEnvironment(environment);
    server_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server_.start(OSTREL_SERVER, options);
    ASSERT_TRUE(WaitFor([&] { return bus_.ServerPid() != 0; }));
  }
  qint64 ServerPid() const { return server_.processId(); }

  PrivateBus bus_;
  QProcess server_;
  // Variables the server and its workers get besides the bus's.
  std::vector<std::pair<QString, QString>> environmentAdded_;
};

}  // namespace kvq::test
