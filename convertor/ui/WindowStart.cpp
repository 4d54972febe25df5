#include "WindowStart.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace kvq {

namespace {

constexpr int kExitUsage = 2;
constexpr char kHandedOver[] = "KVQ_CONVERTOR_HANDED_OVER";
constexpr char kWithoutWindow[] =
    "To convert without the window: convertor [KEY=value ...] SOURCE DEST; see convertor --help\n";

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value && *value;
}

// The folder of the running program, empty when the system does not say.
std::string ProgramFolder() {
  std::string self(4096, '\0');
  ssize_t length = ::readlink("/proc/self/exe", self.data(), self.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= self.size()) return {};
  self.resize(static_cast<std::size_t>(length));
  std::size_t slash = self.rfind('/');
  return slash == std::string::npos ? std::string() : self.substr(0, slash);
}

// The path of relative, a path from folder that may begin with "../".
std::string FromFolder(std::string folder, std::string_view relative) {
  while (relative.starts_with("../") && !folder.empty()) {
    std::size_t slash = folder.rfind('/');
    folder.resize(slash == std::string::npos ? 0 : slash);
    relative.remove_prefix(3);
  }
  return folder + "/" + std::string(relative);
}

// Beside the program (a build tree), then where an installation puts it.
std::vector<std::string> WindowProgramCandidates() {
  std::string folder = ProgramFolder();
  if (folder.empty()) return {};
  return {FromFolder(folder, CONVERTOR_WINDOW_PROGRAM_NAME),
          FromFolder(folder, CONVERTOR_WINDOW_PROGRAM_RELATIVE)};
}

}  // namespace

const char* WithoutWindowHint() {
  return kWithoutWindow;
}

bool HasDisplay() {
  return IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY") || IsSet("QT_QPA_PLATFORM");
}

void SayNoDisplay(std::FILE* err) {
  std::fprintf(err,
               "convertor: no display to show the window on (DISPLAY, WAYLAND_DISPLAY and "
               "QT_QPA_PLATFORM are unset)\n%s",
               kWithoutWindow);
}

void HandOverToWindow(char** argv, std::FILE* err) {
  std::vector<std::string> candidates = WindowProgramCandidates();
  std::string reason;
  for (const std::string& program : candidates) {
    if (::access(program.c_str(), F_OK) != 0) continue;
    // What is buffered would be lost with the process image.
    std::fflush(nullptr);
    ::setenv(kHandedOver, "1", 1);
    ::execv(program.c_str(), argv);
    int error = errno;
    ::unsetenv(kHandedOver);
    reason = program + ": " + std::strerror(error);
    break;
  }
  if (reason.empty())
    reason = "the window is not installed (looked for " +
             (candidates.empty() ? std::string(CONVERTOR_WINDOW_PROGRAM_NAME) : candidates.back()) +
             ")";
  std::fprintf(err, "convertor: the window cannot be shown: %s\n%s", reason.c_str(),
               kWithoutWindow);
}

bool TakeHandedOverMark() {
  bool handedOver = IsSet(kHandedOver);
  ::unsetenv(kHandedOver);  // not for the programs it starts
  return handedOver;
}

int StartWindow(char** argv, std::FILE* err) {
  if (!HasDisplay())
    SayNoDisplay(err);
  else
    HandOverToWindow(argv, err);
  return kExitUsage;
}

}  // namespace kvq
