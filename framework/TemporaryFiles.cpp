#include "TemporaryFiles.h"

#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace kvq {

namespace {

// A run holds few temporaries at once: the destination, the dependency
// file, the companion file, the files of a project generation (one per
// template section). Each slot holds a name allocated when the temporary is
// noted and freed when it is forgotten; the handler only reads them.
constexpr int kSlots = 1024;

std::atomic<char*> slots[kSlots];

constexpr int kCaughtSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

extern "C" void RemoveAndRaise(int signal) {
  for (std::atomic<char*>& slot : slots)
    if (const char* path = slot.load()) ::unlink(path);
  // The default action ends the process with the signal's own status.
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

}  // namespace

void RemoveTemporariesOnSignals() {
  ::signal(SIGXFSZ, SIG_IGN);
  for (int signal : kCaughtSignals) {
    struct sigaction current;
    if (::sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = RemoveAndRaise;
    ::sigemptyset(&action.sa_mask);
    for (int other : kCaughtSignals) ::sigaddset(&action.sa_mask, other);
    ::sigaction(signal, &action, nullptr);
  }
}

bool NoteTemporary(const std::string& path) {
  if (path.size() >= PATH_MAX) return false;
  char* copy = ::strdup(path.c_str());
  if (!copy) return false;
  for (std::atomic<char*>& slot : slots) {
    char* empty = nullptr;
    if (slot.compare_exchange_strong(empty, copy)) return true;
  }
  std::free(copy);
  return false;
}

void ForgetTemporary(const std::string& path) {
  for (std::atomic<char*>& slot : slots) {
    char* noted = slot.load();
    if (noted && path == noted && slot.compare_exchange_strong(noted, nullptr)) {
      std::free(noted);
      return;
    }
  }
}

}  // namespace kvq
