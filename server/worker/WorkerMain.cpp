// ostrel-worker: runs one converted module once for the server ostrel, in
// the hosted regime of zentrix_host.h, talking over the socket the server
// handed it (WorkerProtocol.h). The server never loads a module itself, so
// whatever the module does (crash, exit, endless loop) ends at most this
// process, and whatever it starts ends with its run.
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "DirectChannel.h"
#include "EchoedArgument.h"
#include "ModuleLoader.h"
#include "ProcessTree.h"
#include "WorkerProtocol.h"

using namespace kvq::ostrel;

// The state of a module whose run was cut short is abandoned on purpose
// (one run per process): a leak report at exit would only be noise.
// A module's crash is the module's: the server reports its signal, so the
// sanitizer does not turn it into a report and an exit of its own.
#if defined(__SANITIZE_ADDRESS__)
extern "C" int __lsan_is_turned_off() {
  return 1;
}
extern "C" const char* __asan_default_options() {
  return "handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_sigill=0:handle_abort=0";
}
#endif

namespace {

// The server is gone: nobody is left to report to.
constexpr int kExitServerGone = 70;
// The client closed its direct channel: its run is over.
constexpr int kExitClientGone = 71;

class Channel {
 public:
  Channel(int fd, int exitWhenGone) : fd_(fd), exitWhenGone_(exitWhenGone) {}

  void Send(FrameType type, std::string_view payload) {
    std::string frame;
    if (payload.size() > maxValueBytes_) {
      std::string cut(payload.substr(0, maxValueBytes_));
      cut += CutMark(payload.size() - maxValueBytes_);
      frame = EncodeFrame(type, cut);
    } else {
      frame = EncodeFrame(type, payload);
    }
    const char* data = frame.data();
    std::size_t left = frame.size();
    while (left > 0) {
      ssize_t sent = send(fd_, data, left, MSG_NOSIGNAL);
      if (sent < 0 && errno == EINTR) continue;
      // The send timeout the server set on a direct channel ran out.
      if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) _exit(kWorkerExitClientStalled);
      if (sent <= 0) _exit(exitWhenGone_);
      data += sent;
      left -= static_cast<std::size_t>(sent);
    }
  }

  // The next frame; nothing when the server closed the socket or broke the
  // protocol.
  std::optional<Frame> Receive() {
    for (;;) {
      bool error = false;
      if (auto frame = reader_.Next(error)) return frame;
      if (error) return std::nullopt;
      char buffer[4096];
      ssize_t got = ReceiveWithDescriptor(fd_, buffer, sizeof buffer, passed_, 0);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return std::nullopt;
      reader_.Append(buffer, static_cast<std::size_t>(got));
    }
  }

  // A value longer than this is cut and marked here: where the receiver
  // is a client, no server cuts it.
  void SetMaxValueBytes(std::size_t bytes) { maxValueBytes_ = bytes; }

  // The descriptor that came with the frames read so far (-1: none); the
  // caller owns it.
  int TakeDescriptor() { return std::exchange(passed_, -1); }

 private:
  int fd_;
  int exitWhenGone_;
  int passed_ = -1;
  std::size_t maxValueBytes_ = SIZE_MAX;
  FrameReader reader_;
};

Channel& ServerChannel() {
  static Channel channel(kWorkerSocketFd, kExitServerGone);
  return channel;
}

// Where the run's frames go: the client's direct channel when it opened
// one, else the server.
Channel* runChannel = nullptr;

Channel& RunChannel() {
  return runChannel ? *runChannel : ServerChannel();
}

int ReadLine(void*, char* buffer, int capacity) {
  Channel& channel = RunChannel();
  channel.Send(FrameType::NeedLine, "");
  std::optional<Frame> answer = channel.Receive();
  if (!answer) return ZX_READ_CANCELLED;
  if (answer->type == FrameType::EndOfInput) return ZX_READ_END_OF_INPUT;
  if (answer->type != FrameType::Line) return ZX_READ_CANCELLED;
  int length = static_cast<int>(std::min<std::size_t>(answer->payload.size(), capacity));
  std::memcpy(buffer, answer->payload.data(), static_cast<std::size_t>(length));
  return length;
}

void WriteLine(void*, const char* text, int length) {
  RunChannel().Send(FrameType::Output, std::string_view(text, static_cast<std::size_t>(length)));
}

void DebugLine(void*, const char* text, int length) {
  RunChannel().Send(FrameType::Debug, std::string_view(text, static_cast<std::size_t>(length)));
}

void Event(void*, const char* name, const char* value) {
  std::string payload = name;
  payload.push_back('\0');
  payload += value;
  RunChannel().Send(FrameType::Event, payload);
}

// The processes the run started end with it. The worker adopts every
// orphan of its run (PR_SET_CHILD_SUBREAPER), so a child that left its
// session or whose parent is gone is still below it: kill the children,
// reap them, and do it again for the orphans they leave, until none is left.
void EndDescendants() {
  for (int round = 0; round < 1000; ++round) {
    std::vector<pid_t> children = LivingChildrenOf(getpid());
    for (pid_t child : children) kill(child, SIGKILL);
    for (pid_t child : children)
      while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
      }
    while (waitpid(-1, nullptr, WNOHANG) > 0) {
    }
    if (children.empty()) return;
  }
}

// The end of the worker: nothing of the run outlives it, and no exit
// handlers of the module's libraries run.
[[noreturn]] void EndWorker(int status) {
  EndDescendants();
  std::fflush(nullptr);
  _exit(status);
}

// The parameter line reaches the module as a console main program's first
// argument does: in job(4) onwards as CHARACTER*256, and as GETARG(1).
void HandOverParameterLine(const LoadedModule& module, const std::string& path,
                           const std::string& parameterLine, std::vector<int>& job) {
  std::string padded = parameterLine.substr(0, ZX_PARAMETER_LENGTH);
  padded.resize(ZX_PARAMETER_LENGTH, ' ');
  std::memcpy(&job[ZX_JOB_PARAMETER_INDEX], padded.data(), ZX_PARAMETER_LENGTH);
  if (!module.set_fortran_args) return;
  static std::string program, argument;
  static char* argv[3];
  program = path;
  argument = parameterLine;
  argv[0] = program.data();
  argv[1] = argument.data();
  argv[2] = nullptr;
  module.set_fortran_args(parameterLine.empty() ? 1 : 2, argv);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 1) {
    std::fprintf(stderr, "%s: started by the server ostrel only (socket on fd %d)\n", argv[0],
                 kWorkerSocketFd);
    return 2;
  }
  signal(SIGPIPE, SIG_IGN);
  // A worker outlives no server: a module computing without I/O would
  // otherwise never notice that its server is gone.
  pid_t server = getppid();
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != server) return kExitServerGone;
  prctl(PR_SET_CHILD_SUBREAPER, 1);
  // What the module starts does not get the server's socket: the run's
  // end is the worker's, not that of whoever inherited it.
  fcntl(kWorkerSocketFd, F_SETFD, FD_CLOEXEC);
  Channel& channel = ServerChannel();
  std::optional<Frame> load = channel.Receive();
  if (!load || load->type != FrameType::Load) return kExitServerGone;
  std::vector<std::string> pieces = SplitPayload(load->payload);
  const std::string path = pieces[0];
  const std::string parameterLine = pieces.size() > 1 ? pieces[1] : "";
  const std::string directory = pieces.size() > 2 ? pieces[2] : "";
  const std::string entry = pieces.size() > 3 ? pieces[3] : "";
  // The run's files go where its client said, else beside the module.
  const std::string workingDirectory =
      directory.empty() ? path.substr(0, path.find_last_of('/') + 1) : directory;
  if (!workingDirectory.empty() && chdir(workingDirectory.c_str()) != 0) {
    channel.Send(FrameType::Loaded, "cannot load " + EchoedArgument(path) + ": cannot work in " +
                                        EchoedArgument(workingDirectory) + ": " +
                                        std::strerror(errno));
    return 0;
  }

  LoadedModule module;
  std::string error = LoadModule(path, entry, module);
  static const zx_host host{ZX_HOST_API_VERSION, sizeof(zx_host), nullptr, ReadLine,
                            WriteLine,           DebugLine,       Event};
  if (error.empty() && module.attach_host(&host) != 0)
    error = "cannot load " + path +
            ": built with another version of the run-time library Zentrix; rebuild the module";
  channel.Send(FrameType::Loaded, error);
  if (!error.empty()) EndWorker(0);

  std::optional<Frame> start = channel.Receive();
  if (start && start->type == FrameType::Channel) {
    int direct = channel.TakeDescriptor();
    if (direct < 0) EndWorker(kExitServerGone);
    static Channel client(direct, kExitClientGone);
    const std::int32_t bound = DecodeStatus(start->payload);
    if (bound > 0) client.SetMaxValueBytes(static_cast<std::size_t>(bound));
    runChannel = &client;
    start = channel.Receive();
  }
  if (!start || start->type != FrameType::Start) EndWorker(kExitServerGone);
  std::vector<int> job(ZX_JOB_SIZE, 0);
  job[0] = ZX_REGIME_HOSTED;
  HandOverParameterLine(module, path, parameterLine, job);
  RunEnd end;
  end.status = module.call_entry(module.entry, job.data());
  if (end.status == ZX_STATUS_STOPPED && module.stop_code) end.stopCode = module.stop_code();
  EndDescendants();
  channel.Send(FrameType::Ended, EncodeEnd(end));
  EndWorker(0);
}
