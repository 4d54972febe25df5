// TComputationalServer: the client-side component of the computational
// server on the session bus. Created unconnected; the first operation
// connects (attach to the running server, else D-Bus activation, else start
// ostrel from beside this program or from PATH). Each component has a bus
// connection of its own, so it is a session of its own on the server, and
// destroying it ends that session's run.
//
// After a load the component opens a direct channel to the run's worker
// (DirectChannel.h) unless SetDirectChannel(false) or OSTREL_DIRECT_CHANNEL=0
// said not to; when the server cannot open one it stays on the bus. With a
// channel the run's events and the lines come and go over it, and
// ElapsedTime is the component's own clock of the run (started by the
// Continue that starts it, stopped by Pause and the run's end), which costs
// no call; the events and answers are the same either way.
#pragma once

#include <QDBusConnection>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QString>
#include <deque>
#include <memory>
#include <utility>

#include "ComputationalServerBase.h"
#include "RunChannel.h"

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
  // Whether later loads try a direct channel (the default: yes).
  void SetDirectChannel(bool use) { useChannel_ = use; }
  // Whether the current run's events come over a direct channel.
  bool Direct() const { return direct_; }

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
  QDBusMessage CallExtensionMethod(const QString& method, const QVariantList& arguments);
  void OpenChannel();
  void CloseChannel();
  void ReceiveChannelFrame(const ostrel::Frame& frame);
  void QueueEvent(QVariant name, QVariant value);
  void StopRunClock();

  QString connectionName_;
  std::unique_ptr<OrgKvqOstrelIComputationalServerInterface> proxy_;
  std::unique_ptr<QDBusServiceWatcher> serverWatcher_;
  // Events wait here while the client's handler runs, so a handler that
  // calls the server is never entered again from inside that call.
  std::deque<std::pair<QVariant, QVariant>> events_;
  bool dispatching_ = false;
  bool dispatchPosted_ = false;
  // The direct channel of the current run, and its state.
  bool useChannel_;
  bool direct_ = false;
  bool draining_ = false;  // frames read to the channel's end wait their turn
  bool awaitingLine_ = false;
  bool runEnded_ = false;
  std::unique_ptr<RunChannel> channel_;
  // The run's time without pauses, with a direct channel.
  qint64 elapsedMs_ = 0;
  QElapsedTimer stretch_;
};

}  // namespace kvq
