// The entry points of convertor-window.so, the plugin that holds the window.
#include <QApplication>

#include "TForm1.h"
#include "WindowFrontEnd.h"
#include "WindowPlugin.h"
#include "driver/ConversionOptions.h"

extern "C" {

__attribute__((visibility("default"))) const char* kvq_window_build_tag() {
  return kvq::WindowBuildTag();
}

// The window of a start without arguments, until it is closed.
__attribute__((visibility("default"))) int kvq_window_run(int* argc, char** argv) {
  QApplication application(*argc, argv);
  kvq::ProgramState state;
  kvq::TForm1 form(state);
  return application.exec();
}

__attribute__((visibility("default"))) kvq::BatchFrontEnd* kvq_window_open(kvq::ProgramState* state,
                                                                           int* argc, char** argv) {
  return new kvq::WindowFrontEnd(*state, *argc, argv);
}

}  // extern "C"
