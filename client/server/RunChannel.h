// The client's end of a direct channel to its run's worker (DirectChannel.h):
// reads the run's frames as the event loop finds them and writes the
// client's lines. Reading pauses while the component holds enough events
// that its handler has not taken, so a flood waits in the worker, whose
// writes block, instead of in this process.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <memory>
#include <optional>

#include "DirectChannel.h"

namespace kvq {

class RunChannel : public QObject {
  Q_OBJECT

 public:
  // Takes fd, a connected stream socket.
  explicit RunChannel(int fd, QObject* parent = nullptr);
  ~RunChannel() override;

  // Writes the answer to NeedLine: a line, or the end of input (nothing).
  // False when the worker is gone.
  bool SendLine(const std::optional<QString>& line);
  void SetReading(bool reading);
  // Reads what the channel still holds up to its end (the worker has
  // exited), waiting at most timeoutMs in all; the frames come out through
  // FrameReceived before this returns.
  void ReadToEnd(int timeoutMs);
  bool AtEnd() const { return fd_ < 0; }

 signals:
  void FrameReceived(const kvq::ostrel::Frame& frame);

 private:
  void ReadSome();
  bool Take(const char* data, long size);
  void Close();

  int fd_;
  std::unique_ptr<QSocketNotifier> notifier_;
  ostrel::FrameReader frames_;
};

}  // namespace kvq
