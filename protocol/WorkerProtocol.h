// The protocol between the server ostrel and one ostrel-worker process.
//
// The server starts the worker with one end of a stream socket pair as file
// descriptor 3 (kWorkerSocketFd) and its standard output and error on a pipe
// (whatever the module prints outside the run-time library). Both sides send
// frames: a 4-byte payload length (little endian), a 1-byte FrameType, then
// the payload. A frame's payload is at most kMaxPayload bytes (more is a
// protocol error: the receiver ends the connection); a longer value travels
// as Piece frames followed by a last frame of its own type, which the
// receiver joins. The receiver keeps at most its value bound of a joined
// value and marks what it cut (CutMark), so a module's output is never a
// reason to end its run.
//
// Conversation, in this order:
//   server: Load      module path '\0' parameter line '\0' working directory
//                     '\0' entry routine (the last two may be empty or
//                     missing: the module's directory, the recorded entry)
//   worker: Loaded    "" when the module is loaded, else the error text
//   server: Channel   (optional, DirectChannel.h) the value bound as 4 bytes;
//                     the first byte carries a descriptor: the run's frames
//                     go over it, each value cut to the bound with CutMark
//   server: Start     (nothing more when the load failed: the worker exits)
//   worker: any number of Output, Debug, Event and NeedLine frames; after
//           each NeedLine the worker sends nothing until the server answers
//           with Line or EndOfInput
//   worker: Ended     the zx_call_entry status as 4 bytes and the stop code
//                     (zx_stop_code) as 4 more, then it exits
//
// The worker runs one module once (zentrix_host.h: one run per process).
// The server suspends it with SIGSTOP/SIGCONT (Pause/Continue) and ends it
// with SIGKILL (Finish); a worker whose socket closes ends its run at the
// next read and exits. Frames are blocking writes on the worker's side, so a
// server that stops reading slows the module down instead of queueing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kvq::ostrel {

constexpr int kWorkerSocketFd = 3;
constexpr std::uint32_t kMaxPayload = 1u << 20;
// The server's frames stay this small: the server writes without blocking,
// and one frame of this size always fits the empty socket buffer (the
// worker has read everything before it asks for more).
constexpr std::uint32_t kMaxServerPayload = 1u << 16;
constexpr std::size_t kFrameHeaderSize = 5;
// What a receiver keeps of one value by default: what a bus message
// carries comfortably.
constexpr std::size_t kDefaultMaxValueBytes = 16u << 20;
// The worker's exit status when the client of its direct channel took
// nothing for the server's client time (the channel's send timeout): the
// run ends as that of a client that reads no events on the bus.
constexpr int kWorkerExitClientStalled = 72;

enum class FrameType : std::uint8_t {
  // server to worker
  Load = 1,
  Start = 2,
  Line = 3,
  EndOfInput = 4,
  Channel = 5,
  // worker to server
  Loaded = 10,
  Output = 11,
  Debug = 12,
  Event = 13,
  NeedLine = 14,
  Ended = 15,
  // either way: a part of the payload of the next frame that is no Piece
  Piece = 16,
};

struct Frame {
  FrameType type;
  std::string payload;
};

// Appends payload to out as one frame of type, or as Pieces and a last
// frame of type when it is longer than kMaxPayload.
void AppendFrame(std::string& out, FrameType type, std::string_view payload);
std::string EncodeFrame(FrameType type, std::string_view payload);

// What stands at the end of a value of which cutBytes were cut.
std::string CutMark(std::size_t cutBytes);

// Collects received bytes and hands out complete frames in order, the
// Pieces of a value joined; of a joined value it keeps maxValueBytes and
// then the CutMark.
class FrameReader {
 public:
  explicit FrameReader(std::size_t maxValueBytes = kDefaultMaxValueBytes)
      : maxValueBytes_(maxValueBytes) {}
  void Append(const char* data, std::size_t size);
  // The next complete frame, or nothing when none is complete yet. Sets
  // error when the frame is malformed (too long, unknown type): the
  // connection is then dead.
  std::optional<Frame> Next(bool& error);
  bool Empty() const { return start_ == buffer_.size() && value_.empty() && cutBytes_ == 0; }

 private:
  void Keep(std::string_view part);

  std::size_t maxValueBytes_;
  std::string buffer_;
  std::size_t start_ = 0;  // first byte not yet handed out
  std::string value_;      // the Pieces so far of the value being joined
  std::size_t cutBytes_ = 0;
};

// Payload pieces separated by '\0' (Load, Event).
std::vector<std::string> SplitPayload(const std::string& payload);
std::string EncodeStatus(std::int32_t status);
std::int32_t DecodeStatus(const std::string& payload);

// The Ended frame: how the run ended and the code of the STOP that ended it.
struct RunEnd {
  std::int32_t status = -1;
  std::int32_t stopCode = 0;
};
std::string EncodeEnd(const RunEnd& end);
// A 4-byte payload (a worker without stop codes) has stop code 0.
RunEnd DecodeEnd(const std::string& payload);

}  // namespace kvq::ostrel
