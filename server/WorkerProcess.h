// One ostrel-worker process: started, read, paused and killed here. Its
// exit is watched through a pidfd, so nothing ever waits for it: the end is
// reported when the process has exited and been reaped, with its cause.
#pragma once

#include <sys/types.h>

#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>
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
  // Starts workerPath with the socket on fd 3; check Started() after. Of a
  // value in pieces, maxValueBytes are delivered and the rest marked cut.
  WorkerProcess(const QString& workerPath, std::size_t maxValueBytes, QObject* parent = nullptr);
  // Kills a worker still running and closes its descriptors; does not wait
  // for it (a process that is not reaped before the server ends is init's).
  ~WorkerProcess() override;

  bool Started() const { return pid_ > 0; }
  pid_t Pid() const { return pid_; }
  const QString& StartError() const { return startError_; }
  bool Reaped() const { return ended_; }

  // False when the worker is gone (its end is reported through Ended).
  bool Send(FrameType type, std::string_view payload);
  // Sends a frame with descriptor fd attached (the direct channel); false
  // when the worker is gone. The worker's copy is its own: fd stays open.
  bool SendWithDescriptor(FrameType type, std::string_view payload, int fd);
  // Flow control: while false nothing is read from the worker (socket and
  // pipe), whose next write then blocks.
  void SetReading(bool reading);
  // Pause and Continue: the worker and every process its run started.
  void Suspend();
  void Resume();
  // Kills the worker and every process its run started; Ended follows
  // once it has exited, after what it wrote before.
  void Kill();
  // The worker said that its run is over: it exits now, or is killed
  // after a grace time.
  void ExpectExit();
  // Kills the worker and closes its socket and pipe at once: nothing more
  // is delivered but Ended, once the process is reaped.
  void Abandon();

 signals:
  void FrameReceived(const kvq::ostrel::Frame& frame);
  // A line the process wrote on its standard output or error.
  void ProcessOutput(const std::string& line);
  // Emitted once, after every frame and line, when the process is reaped.
  void Ended(const kvq::ostrel::WorkerExit& exit);

 private:
  bool WatchExit();
  void ReadSocket();
  void ReadPipe();
  void DeliverFrames();
  void DeliverPipeLines(bool flushAll);
  void SocketClosed();
  void Exited();
  void DrainSocket();
  void DrainPipe();
  void CloseStreams();
  void UpdateNotifiers();

  pid_t pid_ = -1;
  int socket_ = -1;
  int pipe_ = -1;
  int pidfd_ = -1;
  QString startError_;
  std::unique_ptr<QSocketNotifier> socketNotifier_, pipeNotifier_, exitNotifier_;
  // A worker that closed its socket gets this long to exit before SIGKILL.
  QTimer exitGrace_;
  FrameReader frames_;
  std::string pipeBuffer_;
  bool reading_ = true;
  bool pipeAtEnd_ = false;
  bool exited_ = false;  // the process has exited: what it left is delivered
  bool ended_ = false;
};

}  // namespace kvq::ostrel

Q_DECLARE_METATYPE(kvq::ostrel::Frame)
Q_DECLARE_METATYPE(kvq::ostrel::WorkerExit)
