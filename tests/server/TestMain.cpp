// The server tests need an application object for the bus and event loops.
#include <gtest/gtest.h>

#include <QCoreApplication>

int main(int argc, char** argv) {
  // Servers the tests start quit soon after their last client.
  qputenv("OSTREL_IDLE_SECONDS", "2");
  qputenv("OSTREL_START_TIMEOUT_MS", "10000");
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
