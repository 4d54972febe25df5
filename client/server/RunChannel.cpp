#include "RunChannel.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <algorithm>
#include <cerrno>

#include "Text8Bit.h"

namespace kvq {

namespace {

// What is taken once the worker has exited: the socket buffer's content,
// unless a child of the module still writes into a copy it inherited.
constexpr std::size_t kReadToEndBound = 4u << 20;

}  // namespace

RunChannel::RunChannel(int fd, QObject* parent) : QObject(parent), fd_(fd) {
  notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, &RunChannel::ReadSome);
}

RunChannel::~RunChannel() {
  Close();
}

void RunChannel::Close() {
  notifier_.reset();
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

bool RunChannel::SendLine(const std::optional<QString>& line) {
  if (fd_ < 0) return false;
  std::string frame;
  if (line) {
    // The module reads at most a console buffer of it, as over the bus.
    std::string bytes = ostrel::EncodeModuleText(*line);
    bytes.resize(std::min<std::size_t>(bytes.size(), ostrel::kMaxServerPayload));
    frame = ostrel::EncodeFrame(ostrel::FrameType::Line, bytes);
  } else {
    frame = ostrel::EncodeFrame(ostrel::FrameType::EndOfInput, {});
  }
  // The worker reads the answer it asked for: the write does not wait long.
  for (std::size_t done = 0; done < frame.size();) {
    ssize_t sent = send(fd_, frame.data() + done, frame.size() - done, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    done += static_cast<std::size_t>(sent);
  }
  return true;
}

void RunChannel::SetReading(bool reading) {
  if (notifier_) notifier_->setEnabled(reading);
}

// One buffer per turn of the event loop, as the server reads its workers.
void RunChannel::ReadSome() {
  char buffer[65536];
  ssize_t got = recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
  if (got < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) return;
  if (!Take(buffer, got)) Close();
}

// False at the channel's end or on a broken frame.
bool RunChannel::Take(const char* data, long size) {
  if (size <= 0) return false;
  frames_.Append(data, static_cast<std::size_t>(size));
  for (;;) {
    bool error = false;
    std::optional<ostrel::Frame> frame = frames_.Next(error);
    if (error) return false;
    if (!frame) return true;
    emit FrameReceived(*frame);
  }
}

void RunChannel::ReadToEnd(int timeoutMs) {
  notifier_.reset();
  QDeadlineTimer deadline(timeoutMs);
  char buffer[65536];
  for (std::size_t taken = 0; fd_ >= 0 && taken < kReadToEndBound;) {
    pollfd ready{fd_, POLLIN, 0};
    int left = static_cast<int>(std::max<qint64>(deadline.remainingTime(), 0));
    if (poll(&ready, 1, left) <= 0) break;
    ssize_t got = recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (!Take(buffer, got)) break;
    taken += static_cast<std::size_t>(got);
  }
  Close();
}

}  // namespace kvq
