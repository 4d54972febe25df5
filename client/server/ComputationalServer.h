// TComputationalServer: the client-side component of the computational
// server on the session bus. Created unconnected; the first operation
// connects (attach to the running server, else D-Bus activation, else start
// ostrel from beside this program or from PATH). Each component has a bus
// connection of its own, so it is a session of its own on the server, and
// destroying it ends that session's run.
#pragma once

#include <QDBusConnection>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QString>
#include <deque>
#include <memory>
#include <utility>

#include "ComputationalServerBase.h"

class OrgKvqOstrelIComputationalServerInterface;
class QDBusServiceWatcher;

namespace kvq {

class TComputationalServer : public TComputationalServerBase {
  Q_OBJECT

 public:
  explicit TComputationalServer(QObject* parent = nullptr);
  ~TComputationalServer() override;

  int ElapsedTime() override;
  void Pause() override;
  void Continue() override;
  void Finish() override;
  QString LoadDll(const QString& DllPath, const QString& ParameterLine) override;
  // The one-character line of code 0 travels as GiveEndOfInput.
  void GiveLine(const QString& Line) override;
  // Our extensions beside the interface, for this client's later loads:
  // the run's working directory ("" for the module's directory, the
  // default) and its entry routine ("" for the recorded one).
  void SetWorkingDirectory(const QString& Directory);
  void SetEntryRoutine(const QString& Name);

  bool Connected() const { return proxy_ != nullptr; }

 private slots:
  void ReceiveEvent(const QDBusVariant& evName, const QDBusVariant& evValue);

 private:
  OrgKvqOstrelIComputationalServerInterface& Server();
  void Connect();
  void StartServer(QDBusConnection& bus);
  // Serves the event loop until the server's name is on the bus; false
  // when it did not come within timeoutMs.
  bool AwaitServerName(QDBusConnection& bus, int timeoutMs);
  void Disconnect();
  void ServerLeft();
  void DispatchEvent();
  QVariant Call(const QString& method, const QVariantList& arguments = {});
  void CallExtension(const QString& method, const QString& argument);
  static QDBusMessage AwaitReply(const QDBusPendingCall& call);

  QString connectionName_;
  std::unique_ptr<OrgKvqOstrelIComputationalServerInterface> proxy_;
  std::unique_ptr<QDBusServiceWatcher> serverWatcher_;
  // Events wait here while the client's handler runs, so a handler that
  // calls the server is never entered again from inside that call.
  std::deque<std::pair<QVariant, QVariant>> events_;
  bool dispatching_ = false;
  bool dispatchPosted_ = false;
};

}  // namespace kvq
