// The entry points of convertor-window.so, the plugin that holds the window.
#include <QApplication>
#include <optional>

#include "DisplayCheck.h"
#include "ProgramState.h"
#include "TForm1.h"
#include "WindowFrontEnd.h"
#include "WindowPlugin.h"

extern "C" {

__attribute__((visibility("default"))) const char* kvq_window_build_tag() {
  return kvq::WindowBuildTag();
}

// The window of a start without arguments, until it is closed.
__attribute__((visibility("default"))) int kvq_window_run(int* argc, char** argv) {
  std::optional<kvq::DisplayCheck> check(std::in_place);
  QApplication application(*argc, argv);
  check.reset();
  kvq::ProgramState state;
  kvq::TForm1 form(state);
  return application.exec();
}

__attribute__((visibility("default"))) kvq::BatchFrontEnd* kvq_window_open(kvq::ProgramState* state,
                                                                           int* argc, char** argv) {
  return new kvq::WindowFrontEnd(*state, *argc, argv);
}

}  // extern "C"
