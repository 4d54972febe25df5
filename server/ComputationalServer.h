// The server object on the bus: one Session per client (D-Bus sender),
// created at the client's first call and ended, with its worker, when the
// client leaves the bus. Without sessions for a while the server quits
// (activation starts it again).
//
// The object sees every message to its path whole (a QDBusVirtualObject),
// so each call and each property read is answered for its own sender: a
// read of ElapsedTime answers from the reader's session and never creates
// one.
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QDBusVirtualObject>
#include <QObject>
#include <QTimer>
#include <map>
#include <memory>

#include "ServerSettings.h"
#include "Session.h"
#include "WorkerPool.h"

namespace kvq::ostrel {

class ComputationalServer : public QDBusVirtualObject {
  Q_OBJECT

 public:
  ComputationalServer(const QDBusConnection& connection, const QString& workerPath,
                      const ServerSettings& settings, QObject* parent = nullptr);
  ~ComputationalServer() override;

  // Registers the object at kObjectPath; false when the path is taken.
  bool Register();
  std::size_t SessionCount() const { return sessions_.size(); }
  int WorkerCount() const { return workers_.Count(); }

  QString introspect(const QString& path) const override;
  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

 signals:
  void Idle();

 private:
  using Handler = void (ComputationalServer::*)(const QDBusMessage&);
  struct Method {
    const char* interface;
    const char* name;
    const char* signature;
    Handler handler;
  };
  static const Method kMethods[];

  void Dispatch(const QDBusMessage& call);
  void AnswerProperties(const QDBusMessage& call);
  void Pause(const QDBusMessage& call);
  void Continue(const QDBusMessage& call);
  void Finish(const QDBusMessage& call);
  void LoadDll(const QDBusMessage& call);
  void GiveLine(const QDBusMessage& call);
  void GiveEndOfInput(const QDBusMessage& call);
  void SetWorkingDirectory(const QDBusMessage& call);
  void SetEntryRoutine(const QDBusMessage& call);
  void OpenChannel(const QDBusMessage& call);

  Session* SessionOf(const QDBusMessage& call);
  int ElapsedSecondsOf(const QString& client) const;
  void Reply(const QDBusMessage& call, const std::optional<RefusedCall>& refused);
  void ReplyError(const QDBusMessage& call, const QString& name, const QString& text);
  void ClientLeft(const QString& client);
  void UpdateIdleTimer();

  QDBusConnection connection_;
  ServerSettings settings_;
  // Before the sessions: they hand their workers back to it when they end.
  WorkerPool workers_;
  std::map<QString, std::unique_ptr<Session>> sessions_;
  QDBusServiceWatcher clients_;
  QTimer idleTimer_;
};

}  // namespace kvq::ostrel
