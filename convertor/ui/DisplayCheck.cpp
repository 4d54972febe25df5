#include "DisplayCheck.h"

#include <unistd.h>

#include <QString>
#include <cstdio>
#include <string>

#include "WindowStart.h"

namespace kvq {

namespace {

// Qt's message handler is one per process and takes no context: the first
// complaint of the platform plugin is kept here for the message at its
// fatal end.
std::string& FirstComplaint() {
  static std::string complaint;
  return complaint;
}

std::string FirstLine(const QString& text) {
  std::string line = text.toLocal8Bit().toStdString();
  if (std::size_t end = line.find('\n'); end != std::string::npos) line.resize(end);
  return line;
}

void HandleStartMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type != QtFatalMsg) {
    if (FirstComplaint().empty()) FirstComplaint() = FirstLine(message);
    return;
  }
  std::string reason = FirstComplaint().empty() ? FirstLine(message) : FirstComplaint();
  std::fprintf(stderr, "convertor: the display cannot be opened: %s\n%s", reason.c_str(),
               WithoutWindowHint());
  std::fflush(stderr);
  ::_exit(kExitNoDisplay);
}

}  // namespace

DisplayCheck::DisplayCheck() : previous_(qInstallMessageHandler(HandleStartMessage)) {
  FirstComplaint().clear();
}

DisplayCheck::~DisplayCheck() {
  qInstallMessageHandler(previous_);
}

}  // namespace kvq
