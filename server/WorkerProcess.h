// One ostrel-worker process, owned by one session: started, read, paused,
// killed and reaped here, so every exit is seen and reported with its cause.
#pragma once

#include <sys/types.h>

#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <memory>
#include <string>

#include "WorkerProtocol.h"

namespace kvq::ostrel {

// How the worker process ended, as waitpid saw it.
struct WorkerExit {
  bool signalled = false;
  int code = 0;  // the exit code, or the signal number when signalled
};

class WorkerProcess : public QObject {
  Q_OBJECT

 public:
  // Starts workerPath with the socket on fd 3; check Started() after.
  explicit WorkerProcess(const QString& workerPath, QObject* parent = nullptr);
  // Kills and reaps a worker still running.
  ~WorkerProcess() override;

  bool Started() const { return pid_ > 0; }
  const QString& StartError() const { return startError_; }

  // False when the worker is gone (its end is reported through Ended).
  bool Send(FrameType type, std::string_view payload);
  // Flow control: while false nothing is read from the worker, whose next
  // write then blocks.
  void SetReading(bool reading);
  void Suspend();
  void Resume();
  // Kills the worker, delivers what it wrote before, reaps it and emits
  // Ended; returns at once when it has ended already.
  void Kill();

 signals:
  void FrameReceived(const kvq::ostrel::Frame& frame);
  // A line the process wrote on its standard output or error.
  void ProcessOutput(const std::string& line);
  // Emitted once, after every frame and line.
  void Ended(const kvq::ostrel::WorkerExit& exit);

 private:
  void ReadSocket();
  void ReadPipe();
  void DeliverFrames();
  void DeliverPipeLines(bool flushAll);
  void Finish();
  WorkerExit Reap();

  pid_t pid_ = -1;
  int socket_ = -1;
  int pipe_ = -1;
  QString startError_;
  std::unique_ptr<QSocketNotifier> socketNotifier_, pipeNotifier_;
  FrameReader frames_;
  std::string pipeBuffer_;
  bool reading_ = true;
  bool finishing_ = false;
  bool ended_ = false;
};

}  // namespace kvq::ostrel

Q_DECLARE_METATYPE(kvq::ostrel::Frame)
Q_DECLARE_METATYPE(kvq::ostrel::WorkerExit)
