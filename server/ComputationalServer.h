// The server object on the bus: one Session per client (D-Bus sender),
// created at the client's first call and ended when the client leaves the
// bus. Without sessions for a while the server quits (activation starts it
// again).
#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusServiceWatcher>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QTimer>
#include <deque>
#include <map>
#include <memory>

#include "ServerSettings.h"
#include "Session.h"
#include "WorkerPool.h"

namespace kvq::ostrel {

class ComputationalServer : public QObject, protected QDBusContext {
  Q_OBJECT
  Q_PROPERTY(int ElapsedTime READ ElapsedTime)

 public:
  ComputationalServer(const QDBusConnection& connection, const QString& workerPath,
                      const ServerSettings& settings, QObject* parent = nullptr);
  ~ComputationalServer() override;

  int ElapsedTime();
  std::size_t SessionCount() const { return sessions_.size(); }
  int WorkerCount() const { return workers_.Count(); }
  void NotePropertyCaller(const QString& client);

 public slots:
  void Pause();
  void Continue();
  void Finish();
  QString LoadDll(const QString& DllPath, const QString& ParameterLine);
  void GiveLine(const QString& Line);
  void GiveEndOfInput();
  // org.kvq.Ostrel.Extensions
  void SetWorkingDirectory(const QString& Directory);
  void SetEntryRoutine(const QString& Name);
  QDBusUnixFileDescriptor OpenChannel();

 signals:
  void Idle();

 private:
  Session& CallerSession();
  void Reply(const std::optional<RefusedCall>& refused);
  void ClientLeft(const QString& client);
  void UpdateIdleTimer();

  QDBusConnection connection_;
  ServerSettings settings_;
  // Before the sessions: they hand their workers back to it when they end.
  WorkerPool workers_;
  std::map<QString, std::unique_ptr<Session>> sessions_;
  QDBusServiceWatcher clients_;
  QTimer idleTimer_;
  std::deque<QString> propertyCallers_;
};

}  // namespace kvq::ostrel
