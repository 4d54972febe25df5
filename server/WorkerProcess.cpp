#include "WorkerProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "DirectChannel.h"
#include "ProcessTree.h"

extern char** environ;

namespace kvq::ostrel {

namespace {

// A line of the worker's own output longer than this is passed on in pieces.
constexpr std::size_t kMaxProcessLine = 4096;
// A worker that closed its socket or sent its end gets this long to exit
// before it is killed.
constexpr auto kExitGrace = std::chrono::seconds(2);
// What is taken from the socket and the pipe after the worker's exit: what
// the kernel buffered for them, unless the module's own children keep
// writing into descriptors they inherited.
constexpr std::size_t kDrainBound = 4u << 20;

// Moves fd above 3 so that dup2 onto fd 3 in the child always clears
// close-on-exec.
int HighDescriptor(int fd) {
  int high = fcntl(fd, F_DUPFD_CLOEXEC, 10);
  close(fd);
  return high;
}

void CloseDescriptor(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

bool WouldBlock(ssize_t result) {
  return result < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK);
}

WorkerExit ExitOf(int status) {
  if (WIFSIGNALED(status)) return {true, WTERMSIG(status)};
  return {false, WEXITSTATUS(status)};
}

}  // namespace

WorkerProcess::WorkerProcess(const QString& workerPath, std::size_t maxValueBytes, QObject* parent)
    : QObject(parent), frames_(maxValueBytes) {
  int sockets[2];
  int pipeFds[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets) != 0) {
    startError_ = QString::fromLocal8Bit(std::strerror(errno));
    return;
  }
  if (pipe2(pipeFds, O_CLOEXEC) != 0) {
    startError_ = QString::fromLocal8Bit(std::strerror(errno));
    close(sockets[0]);
    close(sockets[1]);
    return;
  }
  int child = HighDescriptor(sockets[1]);
  int childOutput = HighDescriptor(pipeFds[1]);
  socket_ = sockets[0];
  pipe_ = pipeFds[0];

  // The worker gets its input, output, error and socket, nothing else of
  // the server's, and the default handling of every signal.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, child, kWorkerSocketFd);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, childOutput, 1);
  posix_spawn_file_actions_adddup2(&actions, childOutput, 2);
  posix_spawn_file_actions_addclosefrom_np(&actions, kWorkerSocketFd + 1);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t signalSet;
  sigemptyset(&signalSet);
  posix_spawnattr_setsigmask(&attributes, &signalSet);
  sigfillset(&signalSet);
  posix_spawnattr_setsigdefault(&attributes, &signalSet);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  QByteArray path = workerPath.toLocal8Bit();
  char* argv[] = {path.data(), nullptr};
  pid_t pid = -1;
  int error = posix_spawn(&pid, path.constData(), &actions, &attributes, argv, environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  close(child);
  close(childOutput);
  if (error != 0) {
    startError_ = QString::fromLocal8Bit(std::strerror(error));
    CloseStreams();
    return;
  }
  pid_ = pid;
  if (!WatchExit()) return;
  fcntl(socket_, F_SETFL, fcntl(socket_, F_GETFL) | O_NONBLOCK);
  fcntl(pipe_, F_SETFL, fcntl(pipe_, F_GETFL) | O_NONBLOCK);
  socketNotifier_ = std::make_unique<QSocketNotifier>(socket_, QSocketNotifier::Read);
  connect(socketNotifier_.get(), &QSocketNotifier::activated, this, &WorkerProcess::ReadSocket);
  pipeNotifier_ = std::make_unique<QSocketNotifier>(pipe_, QSocketNotifier::Read);
  connect(pipeNotifier_.get(), &QSocketNotifier::activated, this, &WorkerProcess::ReadPipe);
  exitGrace_.setSingleShot(true);
  exitGrace_.setInterval(kExitGrace);
  connect(&exitGrace_, &QTimer::timeout, this, &WorkerProcess::Kill);
}

// A pidfd (Linux 5.3) becomes readable when the process exits: the event
// loop learns of the exit without SIGCHLD and without waiting. Called
// through syscall, as the C library's declaration is not C++-ready.
bool WorkerProcess::WatchExit() {
  pidfd_ = static_cast<int>(syscall(SYS_pidfd_open, pid_, 0));
  if (pidfd_ < 0) {
    startError_ = QStringLiteral("cannot watch the worker process: %1")
                      .arg(QString::fromLocal8Bit(std::strerror(errno)));
    // The process has only just started: it ends at once.
    kill(pid_, SIGKILL);
    while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    CloseStreams();
    return false;
  }
  exitNotifier_ = std::make_unique<QSocketNotifier>(pidfd_, QSocketNotifier::Read);
  connect(exitNotifier_.get(), &QSocketNotifier::activated, this, &WorkerProcess::Exited);
  return true;
}

WorkerProcess::~WorkerProcess() {
  socketNotifier_.reset();
  pipeNotifier_.reset();
  exitNotifier_.reset();
  if (pid_ > 0 && !ended_) KillTree(pid_);
  CloseStreams();
  CloseDescriptor(pidfd_);
}

bool WorkerProcess::Send(FrameType type, std::string_view payload) {
  if (ended_ || socket_ < 0) return false;
  std::string frame = EncodeFrame(type, payload);
  std::size_t done = 0;
  // Frames to the worker are small and the worker reads them when it asks
  // for them; a full socket means the worker is broken.
  while (done < frame.size()) {
    ssize_t sent = send(socket_, frame.data() + done, frame.size() - done, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    done += static_cast<std::size_t>(sent);
  }
  return true;
}

bool WorkerProcess::SendWithDescriptor(FrameType type, std::string_view payload, int fd) {
  if (ended_ || socket_ < 0) return false;
  return SendFrameWithDescriptor(socket_, EncodeFrame(type, payload), fd);
}

void WorkerProcess::SetReading(bool reading) {
  reading_ = reading;
  if (reading) {
    DeliverFrames();
    DeliverPipeLines(false);
  }
  UpdateNotifiers();
}

void WorkerProcess::UpdateNotifiers() {
  if (socketNotifier_) socketNotifier_->setEnabled(reading_);
  if (pipeNotifier_) pipeNotifier_->setEnabled(reading_ && !pipeAtEnd_);
}

void WorkerProcess::Suspend() {
  if (pid_ > 0 && !ended_) StopTree(pid_);
}

void WorkerProcess::Resume() {
  if (pid_ > 0 && !ended_) ContinueTree(pid_);
}

void WorkerProcess::Kill() {
  if (pid_ > 0 && !ended_) KillTree(pid_);
}

void WorkerProcess::ExpectExit() {
  if (!ended_ && !exitGrace_.isActive()) exitGrace_.start();
}

void WorkerProcess::Abandon() {
  Kill();
  socketNotifier_.reset();
  pipeNotifier_.reset();
  CloseStreams();
  frames_ = FrameReader(0);
  pipeBuffer_.clear();
}

// One buffer per turn of the event loop: a busy worker never keeps the
// server from serving everyone else.
void WorkerProcess::ReadSocket() {
  char buffer[65536];
  ssize_t got = recv(socket_, buffer, sizeof buffer, MSG_DONTWAIT);
  if (WouldBlock(got)) return;
  if (got <= 0) return SocketClosed();
  frames_.Append(buffer, static_cast<std::size_t>(got));
  DeliverFrames();
}

// The worker closed its end: it is exiting, or its module closed fd 3 and
// runs on, in which case it is killed after a grace time.
void WorkerProcess::SocketClosed() {
  socketNotifier_.reset();
  if (!ended_) exitGrace_.start();
}

void WorkerProcess::DeliverFrames() {
  while ((reading_ || exited_) && !ended_ && socket_ >= 0) {
    bool error = false;
    std::optional<Frame> frame = frames_.Next(error);
    if (error) {
      // A worker that breaks the protocol is not trusted further.
      Kill();
      socketNotifier_.reset();
      frames_ = FrameReader(0);
      return;
    }
    if (!frame) return;
    emit FrameReceived(*frame);
  }
}

void WorkerProcess::ReadPipe() {
  char buffer[4096];
  ssize_t got = read(pipe_, buffer, sizeof buffer);
  if (WouldBlock(got)) return;
  if (got <= 0) {
    pipeAtEnd_ = true;
  } else {
    pipeBuffer_.append(buffer, static_cast<std::size_t>(got));
    DeliverPipeLines(false);
  }
  UpdateNotifiers();
}

void WorkerProcess::DeliverPipeLines(bool flushAll) {
  while (reading_ || exited_) {
    std::size_t end = pipeBuffer_.find('\n');
    if (end == std::string::npos) {
      if (pipeBuffer_.size() >= kMaxProcessLine || (flushAll && !pipeBuffer_.empty())) {
        std::string line = pipeBuffer_.substr(0, kMaxProcessLine);
        pipeBuffer_.erase(0, line.size());
        emit ProcessOutput(line);
        continue;
      }
      return;
    }
    std::string line = pipeBuffer_.substr(0, std::min(end, kMaxProcessLine));
    pipeBuffer_.erase(0, line.size() == end ? end + 1 : line.size());
    emit ProcessOutput(line);
  }
}

// The process has exited: reap it (it is a zombie, so this does not wait),
// hand on what it left in the socket and the pipe, report.
void WorkerProcess::Exited() {
  exitGrace_.stop();
  exitNotifier_.reset();
  socketNotifier_.reset();
  pipeNotifier_.reset();
  int status = 0;
  while (waitpid(pid_, &status, WNOHANG) < 0 && errno == EINTR) {
  }
  CloseDescriptor(pidfd_);
  // What is left is handed on whole, flow control or not: it is bounded.
  exited_ = true;
  DrainSocket();
  DeliverFrames();
  DrainPipe();
  DeliverPipeLines(true);
  CloseStreams();
  ended_ = true;
  emit Ended(ExitOf(status));
}

void WorkerProcess::DrainSocket() {
  char buffer[65536];
  for (std::size_t taken = 0; socket_ >= 0 && taken < kDrainBound;) {
    ssize_t got = recv(socket_, buffer, sizeof buffer, MSG_DONTWAIT);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return;
    frames_.Append(buffer, static_cast<std::size_t>(got));
    taken += static_cast<std::size_t>(got);
  }
}

void WorkerProcess::DrainPipe() {
  char buffer[4096];
  for (std::size_t taken = 0; pipe_ >= 0 && taken < kDrainBound;) {
    ssize_t got = read(pipe_, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return;
    pipeBuffer_.append(buffer, static_cast<std::size_t>(got));
    taken += static_cast<std::size_t>(got);
    DeliverPipeLines(false);
  }
}

void WorkerProcess::CloseStreams() {
  CloseDescriptor(socket_);
  CloseDescriptor(pipe_);
}

}  // namespace kvq::ostrel
