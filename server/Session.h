// One client's session on the server: its module's worker, the run's state
// and time, and the events that go to this client only.
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <optional>
#include <variant>

#include "ServerSettings.h"
#include "WorkerPool.h"

namespace kvq::ostrel {

// A refused operation: the error name's last part and the description.
struct RefusedCall {
  QString name;
  QString description;
};

class Session : public QObject {
  Q_OBJECT

 public:
  Session(const QDBusConnection& connection, const QString& client, WorkerPool& workers,
          const ServerSettings& settings, QObject* parent = nullptr);
  ~Session() override;

  // Replies to request (LoadDll) once the worker has loaded the module,
  // failed to, or the load time is up.
  void LoadDll(const QString& path, const QString& parameterLine, const QDBusMessage& request);
  std::optional<RefusedCall> Continue();
  std::optional<RefusedCall> Pause();
  // Ends a run, or a load in progress.
  std::optional<RefusedCall> Finish();
  // line empty: the end of input.
  std::optional<RefusedCall> GiveLine(const std::optional<QString>& line);
  int ElapsedSeconds() const;
  // Choices for this client's later loads: the run's working directory
  // (empty: the module's directory) and its entry routine (empty: the one
  // the module's build recorded, else the file's base name).
  std::optional<RefusedCall> SetWorkingDirectory(const QString& directory);
  std::optional<RefusedCall> SetEntryRoutine(const QString& name);
  // The client's end of a direct channel to the loaded module's run, which
  // the caller owns, or why there is none.
  std::variant<int, RefusedCall> OpenChannel();

 private:
  enum class State { NoModule, Loading, Loaded, Running, Ended };

  void EndRunForNewLoad();
  void StartLoad(const std::string& payload, const QDBusMessage& request);
  void AnswerLoad(const QString& text);
  void LoadTimedOut();
  void ReceiveFrame(const Frame& frame);
  void WorkerEnded(const WorkerExit& exit);
  void EmitEvent(const QString& name, const QString& value);
  void SendEvent(const QString& name, const QString& value);
  void PingClient();
  void PingFinished(bool answered);
  void EndRunOfSilentClient();
  void DropWorker();
  void StopClock();
  QString EndOfRunText(const WorkerExit& exit) const;
  std::optional<RefusedCall> RefuseWithoutRun() const;

  QDBusConnection connection_;
  QString client_;
  WorkerPool& workers_;
  ServerSettings settings_;
  QString modulePath_;
  QString shownPath_;                // the path as texts repeat it
  WorkerProcess* worker_ = nullptr;  // owned by workers_
  State state_ = State::NoModule;
  QDBusMessage pendingLoad_;
  QTimer loadTimer_;
  bool paused_ = false;
  bool awaitingLine_ = false;
  bool killedByFinish_ = false;
  bool channelOpen_ = false;   // the run's events and lines go over it
  std::optional<RunEnd> end_;  // the worker's Ended frame
  QString workingDirectory_;
  QString entryRoutine_;
  // Run time without pauses: the finished stretches plus the current one.
  qint64 elapsedMs_ = 0;
  QElapsedTimer stretch_;
  // Flow control: a Ping to the client after every kEventsPerPing events or
  // kBytesPerPing bytes; with kMaxPingsInFlight unanswered, the worker is
  // not read. A Ping unanswered for clientSeconds ends the run.
  int eventsSincePing_ = 0;
  qsizetype bytesSincePing_ = 0;
  int pingsInFlight_ = 0;
};

}  // namespace kvq::ostrel
