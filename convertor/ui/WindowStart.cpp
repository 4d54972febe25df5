#include "WindowStart.h"

#include <QApplication>
#include <cstdlib>

#include "TForm1.h"
#include "driver/ConversionOptions.h"

namespace kvq {

namespace {

constexpr int kExitUsage = 2;

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value && *value;
}

}  // namespace

bool HasDisplay() {
  return IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY") || IsSet("QT_QPA_PLATFORM");
}

int RunWindow(int& argc, char** argv, std::FILE* err) {
  if (!HasDisplay()) {
    std::fputs(
        "convertor: no display to show the window on (DISPLAY, WAYLAND_DISPLAY and "
        "QT_QPA_PLATFORM are unset)\n"
        "To convert without the window: convertor [KEY=value ...] SOURCE DEST; "
        "see convertor --help\n",
        err);
    return kExitUsage;
  }
  QApplication application(argc, argv);
  ProgramState state;
  TForm1 form(state);
  return application.exec();
}

}  // namespace kvq
