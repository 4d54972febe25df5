// What the server tests share: waiting in the event loop, a recording
// client, and looks at the server's processes from outside.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "ComputationalServer.h"
#include "OstrelIdentity.h"

namespace kvq::test {

// Serves the event loop until done() holds or the time is up.
inline bool WaitFor(const std::function<bool()>& done, int ms = 10000) {
  QDeadlineTimer deadline(ms);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(1);
  }
  return true;
}

inline void Pass(int ms) {
  WaitFor([] { return false; }, ms);
}

// A client that records every event and answers "Give_Line" from a script.
struct Client {
  Client() {
    server->SetOnEvent([this](QObject* sender, const QVariant& name, const QVariant& value) {
      EXPECT_EQ(sender, server.get());
      events.push_back(name.toString() + ": " + value.toString());
      if (name.toString() == ostrel::kGiveLineEvent && !script.empty()) {
        QString line = script.front();
        script.pop_front();
        server->GiveLine(line);
      }
    });
  }
  bool Ended() const { return !events.isEmpty() && events.back().startsWith("End_Of_Run: "); }
  bool Saw(const QString& event) const { return events.contains(event); }
  QString Load(const char* module) { return server->LoadDll(module, "Possible ParameterLine"); }

  std::unique_ptr<TComputationalServer> server = std::make_unique<TComputationalServer>();
  std::deque<QString> script;
  QStringList events;
};

// The ostrel-worker processes of the server process pid.
inline std::vector<pid_t> WorkerPids(uint pid) {
  std::vector<pid_t> workers;
  for (const QString& entry : QDir("/proc").entryList(QDir::Dirs)) {
    QFile stat("/proc/" + entry + "/stat");
    if (!stat.open(QIODevice::ReadOnly)) continue;
    QString text = QString::fromLatin1(stat.readAll());
    int close = text.lastIndexOf(')');
    QStringList fields = text.mid(close + 2).split(' ');
    if (text.contains("(ostrel-worker)") && fields.value(1).toUInt() == pid)
      workers.push_back(entry.toInt());
  }
  return workers;
}

inline int WorkersOf(uint pid) {
  return static_cast<int>(WorkerPids(pid).size());
}

inline QString ErrorOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const EServerError& error) {
    return error.Description();
  }
  return "no error";
}

}  // namespace kvq::test
