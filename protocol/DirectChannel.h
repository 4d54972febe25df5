// The direct channel between a client and the worker that runs its module.
//
// Contract:
// - After LoadDll has loaded the module and before the run starts, a client
//   may call OpenChannel (interface org.kvq.Ostrel.Extensions). The server
//   makes a stream socket pair, hands one end to the run's worker with a
//   Channel frame (the descriptor travels as SCM_RIGHTS with the frame's
//   first byte) and returns the other end to the caller as a unix fd. The
//   server keeps no copy of either end; nobody but the caller holds the
//   client's end, so the channel needs no check of who is on the other side.
//   OpenChannel is refused (an error reply org.kvq.Ostrel.Error.*) without a
//   loaded module, once the run has started, a second time for one load,
//   and when the bus cannot carry unix fds.
// - Over the channel travel, in the run's order, the frames of
//   WorkerProtocol.h: from the worker Output, Debug, Event and NeedLine;
//   from the client Line or EndOfInput, one after each NeedLine. The worker
//   reads nothing else from the client.
// - The server still starts, pauses, continues and ends the run (Continue,
//   Pause, Finish on the bus), and still sends Process_Output and
//   End_Of_Run as OnEvent signals. End_Of_Run is sent only after the worker
//   has exited; the client takes what the channel still holds, up to its
//   end, before it hands End_Of_Run on, so the run's events keep their order.
// - GiveLine and GiveEndOfInput on the bus are refused for a run with a
//   channel: its lines travel there.
// - A client that closes its end ends its run: the worker's next write or
//   read fails and it exits.
#pragma once

#include <optional>
#include <string>

#include "WorkerProtocol.h"

namespace kvq::ostrel {

// Sends frame with descriptor fd attached (SCM_RIGHTS) over the stream
// socket; false when the socket would block or is gone.
bool SendFrameWithDescriptor(int socket, const std::string& frame, int fd);

// Reads what socket holds, up to size bytes, into buffer; a descriptor that
// came with the bytes is stored in fd (close-on-exec), else fd is left as it
// is. The result of recvmsg.
long ReceiveWithDescriptor(int socket, char* buffer, std::size_t size, int& fd, int flags);

// A run's event as the client sees it: name and value in module bytes.
struct RunEvent {
  std::string name;
  std::string value;
};

// The event that a worker frame stands for: Output, Debug, a module's
// event (whose names of the client's own events get "Module_" before them:
// a module cannot raise those) and "Give_Line" for NeedLine. Nothing for
// the other frames.
std::optional<RunEvent> EventOfFrame(const Frame& frame);

}  // namespace kvq::ostrel
