#include "WindowStart.h"

#include <cstdlib>

#include "WindowPlugin.h"

namespace kvq {

namespace {

constexpr int kExitUsage = 2;
constexpr char kWithoutWindow[] =
    "To convert without the window: convertor [KEY=value ...] SOURCE DEST; see convertor --help\n";

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value && *value;
}

void SayWindowMissing(const WindowPlugin& plugin, std::FILE* err) {
  std::fprintf(err, "convertor: the window cannot be shown: %s\n%s", plugin.error.c_str(),
               kWithoutWindow);
}

}  // namespace

const char* WithoutWindowHint() {
  return kWithoutWindow;
}

bool HasDisplay() {
  return IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY") || IsSet("QT_QPA_PLATFORM");
}

int StartWindow(int& argc, char** argv, std::FILE* err) {
  if (!HasDisplay()) {
    std::fprintf(err,
                 "convertor: no display to show the window on (DISPLAY, WAYLAND_DISPLAY and "
                 "QT_QPA_PLATFORM are unset)\n%s",
                 kWithoutWindow);
    return kExitUsage;
  }
  WindowPlugin plugin = LoadWindowPlugin();
  if (!plugin.Loaded()) {
    SayWindowMissing(plugin, err);
    return kExitUsage;
  }
  return plugin.run(&argc, argv);
}

std::unique_ptr<BatchFrontEnd> OpenWindowFrontEnd(ProgramState& state, int& argc, char** argv,
                                                  std::FILE* err) {
  WindowPlugin plugin = LoadWindowPlugin();
  if (!plugin.Loaded()) {
    SayWindowMissing(plugin, err);
    return nullptr;
  }
  return std::unique_ptr<BatchFrontEnd>(plugin.open(&state, &argc, argv));
}

}  // namespace kvq
