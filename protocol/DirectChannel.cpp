#include "DirectChannel.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "OstrelIdentity.h"

namespace kvq::ostrel {

bool SendFrameWithDescriptor(int socket, const std::string& frame, int fd) {
  iovec data{const_cast<char*>(frame.data()), frame.size()};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
  msghdr message{};
  message.msg_iov = &data;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  cmsghdr* header = CMSG_FIRSTHDR(&message);
  header->cmsg_level = SOL_SOCKET;
  header->cmsg_type = SCM_RIGHTS;
  header->cmsg_len = CMSG_LEN(sizeof(int));
  std::memcpy(CMSG_DATA(header), &fd, sizeof(int));
  ssize_t sent;
  do {
    sent = sendmsg(socket, &message, MSG_NOSIGNAL | MSG_DONTWAIT);
  } while (sent < 0 && errno == EINTR);
  // The frame is a few bytes: an empty socket buffer takes it whole, and
  // a partial write would leave the worker's protocol broken anyway.
  return sent == static_cast<ssize_t>(frame.size());
}

long ReceiveWithDescriptor(int socket, char* buffer, std::size_t size, int& fd, int flags) {
  iovec data{buffer, size};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * 4)];
  msghdr message{};
  message.msg_iov = &data;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  ssize_t got = recvmsg(socket, &message, flags | MSG_CMSG_CLOEXEC);
  if (got < 0) return got;
  for (cmsghdr* header = CMSG_FIRSTHDR(&message); header; header = CMSG_NXTHDR(&message, header)) {
    if (header->cmsg_level != SOL_SOCKET || header->cmsg_type != SCM_RIGHTS) continue;
    std::size_t count = (header->cmsg_len - CMSG_LEN(0)) / sizeof(int);
    for (std::size_t i = 0; i < count; ++i) {
      int received;
      std::memcpy(&received, CMSG_DATA(header) + i * sizeof(int), sizeof(int));
      // Only the first descriptor is the channel; more are not ours to keep.
      if (fd < 0)
        fd = received;
      else
        close(received);
    }
  }
  return got;
}

std::optional<RunEvent> EventOfFrame(const Frame& frame) {
  switch (frame.type) {
    case FrameType::Output:
      return RunEvent{kOutputEvent, frame.payload};
    case FrameType::Debug:
      return RunEvent{kDebugEvent, frame.payload};
    case FrameType::NeedLine:
      return RunEvent{kGiveLineEvent, {}};
    case FrameType::Event: {
      std::vector<std::string> pieces = SplitPayload(frame.payload);
      RunEvent event{pieces[0], pieces.size() > 1 ? pieces[1] : std::string()};
      if (event.name == kGiveLineEvent || event.name == kEndOfRunEvent ||
          event.name == kServerLostEvent)
        event.name = "Module_" + event.name;
      return event;
    }
    case FrameType::Load:
    case FrameType::Start:
    case FrameType::Line:
    case FrameType::EndOfInput:
    case FrameType::Channel:
    case FrameType::Piece:
    case FrameType::Loaded:
    case FrameType::Ended:
      return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace kvq::ostrel
