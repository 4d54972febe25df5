#include "ServerProcess.h"

#include <linux/close_range.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <climits>

namespace kvq::ostrel {

namespace {

sigset_t StopSignals() {
  sigset_t signalSet;
  sigemptyset(&signalSet);
  sigaddset(&signalSet, SIGTERM);
  sigaddset(&signalSet, SIGHUP);
  sigaddset(&signalSet, SIGINT);
  return signalSet;
}

}  // namespace

void PrepareServerProcess() {
  sigset_t signalSet = StopSignals();
  pthread_sigmask(SIG_BLOCK, &signalSet, nullptr);
  close_range(3, UINT_MAX, CLOSE_RANGE_CLOEXEC);
  prctl(PR_SET_CHILD_SUBREAPER, 1);
}

bool QuitOnStopSignals(QCoreApplication& app) {
  sigset_t signalSet = StopSignals();
  int fd = signalfd(-1, &signalSet, SFD_CLOEXEC | SFD_NONBLOCK);
  if (fd < 0) return false;
  auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, &app);
  QObject::connect(notifier, &QSocketNotifier::activated, &app, [fd, &app] {
    signalfd_siginfo info;
    while (read(fd, &info, sizeof info) == sizeof info) {
    }
    app.quit();
  });
  return true;
}

}  // namespace kvq::ostrel
