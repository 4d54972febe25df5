#include "WorkerProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

extern char** environ;

namespace kvq::ostrel {

namespace {

// A line of the worker's own output longer than this is passed on in pieces.
constexpr std::size_t kMaxProcessLine = 4096;
// A worker that closed its socket gets this long to exit before SIGKILL.
constexpr auto kExitGrace = std::chrono::seconds(2);

// Moves fd above 3 so that dup2 onto fd 3 in the child always clears
// close-on-exec.
int HighDescriptor(int fd) {
  int high = fcntl(fd, F_DUPFD_CLOEXEC, 10);
  close(fd);
  return high;
}

}  // namespace

WorkerProcess::WorkerProcess(const QString& workerPath, QObject* parent) : QObject(parent) {
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

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, child, kWorkerSocketFd);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, childOutput, 1);
  posix_spawn_file_actions_adddup2(&actions, childOutput, 2);
  QByteArray path = workerPath.toLocal8Bit();
  char* argv[] = {path.data(), nullptr};
  pid_t pid = -1;
  int error = posix_spawn(&pid, path.constData(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(child);
  close(childOutput);
  if (error != 0) {
    startError_ = QString::fromLocal8Bit(std::strerror(error));
    close(socket_);
    close(pipe_);
    socket_ = pipe_ = -1;
    return;
  }
  pid_ = pid;
  fcntl(socket_, F_SETFL, fcntl(socket_, F_GETFL) | O_NONBLOCK);
  fcntl(pipe_, F_SETFL, fcntl(pipe_, F_GETFL) | O_NONBLOCK);
  socketNotifier_ = std::make_unique<QSocketNotifier>(socket_, QSocketNotifier::Read);
  connect(socketNotifier_.get(), &QSocketNotifier::activated, this, &WorkerProcess::ReadSocket);
  pipeNotifier_ = std::make_unique<QSocketNotifier>(pipe_, QSocketNotifier::Read);
  connect(pipeNotifier_.get(), &QSocketNotifier::activated, this, &WorkerProcess::ReadPipe);
}

WorkerProcess::~WorkerProcess() {
  socketNotifier_.reset();
  pipeNotifier_.reset();
  if (pid_ > 0 && !ended_) {
    kill(pid_, SIGKILL);
    int status;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
  }
  if (socket_ >= 0) close(socket_);
  if (pipe_ >= 0) close(pipe_);
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

void WorkerProcess::SetReading(bool reading) {
  reading_ = reading;
  if (socketNotifier_) socketNotifier_->setEnabled(reading);
  if (reading) DeliverFrames();
}

void WorkerProcess::Suspend() {
  if (pid_ > 0 && !ended_) kill(pid_, SIGSTOP);
}

void WorkerProcess::Resume() {
  if (pid_ > 0 && !ended_) kill(pid_, SIGCONT);
}

void WorkerProcess::Kill() {
  if (pid_ <= 0 || ended_) return;
  kill(pid_, SIGKILL);
  Finish();
}

void WorkerProcess::ReadSocket() {
  char buffer[65536];
  for (;;) {
    ssize_t got = recv(socket_, buffer, sizeof buffer, 0);
    if (got > 0) {
      frames_.Append(buffer, static_cast<std::size_t>(got));
      // One buffer at a time, so that flow control can stop us in between.
      DeliverFrames();
      if (!reading_ || ended_) return;
      continue;
    }
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    Finish();  // the worker closed its end: it has exited or is exiting
    return;
  }
}

void WorkerProcess::DeliverFrames() {
  while (reading_ && !ended_) {
    bool error = false;
    std::optional<Frame> frame = frames_.Next(error);
    if (error) {
      kill(pid_, SIGKILL);  // a worker that breaks the protocol is not trusted further
      if (!finishing_) Finish();
      return;
    }
    if (!frame) return;
    emit FrameReceived(*frame);
  }
}

void WorkerProcess::ReadPipe() {
  char buffer[4096];
  for (;;) {
    ssize_t got = read(pipe_, buffer, sizeof buffer);
    if (got > 0) {
      pipeBuffer_.append(buffer, static_cast<std::size_t>(got));
      DeliverPipeLines(false);
      continue;
    }
    if (got < 0 && errno == EINTR) continue;
    if (got == 0 && pipeNotifier_) pipeNotifier_->setEnabled(false);
    return;
  }
}

void WorkerProcess::DeliverPipeLines(bool flushAll) {
  for (;;) {
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

// The worker is gone or going: hand on what it left behind, reap it, report.
void WorkerProcess::Finish() {
  if (ended_ || finishing_) return;
  finishing_ = true;
  socketNotifier_.reset();
  pipeNotifier_.reset();
  WorkerExit exit = Reap();
  // Everything the worker wrote before it ended is in the socket and the pipe.
  char buffer[65536];
  for (;;) {
    ssize_t got = recv(socket_, buffer, sizeof buffer, MSG_DONTWAIT);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    frames_.Append(buffer, static_cast<std::size_t>(got));
  }
  reading_ = true;
  DeliverFrames();
  ReadPipe();
  DeliverPipeLines(true);
  ended_ = true;
  emit Ended(exit);
}

WorkerExit WorkerProcess::Reap() {
  int status = 0;
  auto deadline = std::chrono::steady_clock::now() + kExitGrace;
  for (;;) {
    pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) break;
    if (done < 0 && errno != EINTR) return {};
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid_, SIGKILL);
      while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
      }
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  if (WIFSIGNALED(status)) return {true, WTERMSIG(status)};
  return {false, WEXITSTATUS(status)};
}

}  // namespace kvq::ostrel
