// The window's cost on a long run: the same 100 000-line conversion once
// as the command line does it (console interface, no list boxes) and once
// through the window's Single Source command with both list boxes filled
// and the window painted. Prints both times and their ratio (best of 5).
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QListView>
#include <QScrollBar>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "ConsoleUserInterface.h"
#include "FrontEndRuns.h"
#include "LineListModel.h"
#include "TForm1.h"

namespace {

constexpr int kRepeats = 5;

std::string GenerateSource(const std::string& dir, long lines) {
  std::string path = dir + "/GEN" + std::to_string(lines) + ".FOR";
  std::string command = std::string(GENERATOR_BINARY) + " " + std::to_string(lines) + " > " + path;
  if (std::system(command.c_str()) != 0) std::abort();
  return path;
}

double CommandLineRun(const std::string& source, const std::string& destination) {
  std::FILE* devnull = std::fopen("/dev/null", "w");
  kvq::ConsoleUserInterface ui(devnull, devnull, stdin, false);
  kvq::ProgramState state;
  state.batchMode = true;
  state.paramList.Assign({"NAME=GEN", source, destination});
  QElapsedTimer timer;
  timer.start();
  if (kvq::ConvertSingleSource(state, ui, ui, kvq::ConversionMode::SingleSource, nullptr).outcome !=
      kvq::RunOutcome::Converted)
    std::abort();
  double seconds = timer.nsecsElapsed() / 1e9;
  std::fclose(devnull);
  return seconds;
}

// The Single Source command with both names given, so no dialog waits;
// the time includes the lists and one full paint of the window. laidOut
// gets the time until the views have laid out every row as well, which
// they finish after the run, between events.
double WindowRun(const std::string& source, const std::string& destination, int* rows,
                 double* laidOut) {
  kvq::ProgramState state;
  kvq::TForm1 form(state);
  QApplication::processEvents();
  state.paramList.Assign({"NAME=GEN", source, destination});
  QElapsedTimer timer;
  timer.start();
  form.mnuSingleSource->trigger();
  form.repaint();
  QApplication::processEvents();
  double seconds = timer.nsecsElapsed() / 1e9;
  *rows = form.ListBox1->model()->rowCount() + form.ListBox2->model()->rowCount();
  QListView* output = form.ListBox2;
  QScrollBar* bar = output->verticalScrollBar();
  int last = output->model()->rowCount() - 1;
  while (bar->maximum() + output->viewport()->height() / output->sizeHintForRow(0) < last)
    QApplication::processEvents(QEventLoop::AllEvents, 5);
  *laidOut = timer.nsecsElapsed() / 1e9;
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication application(argc, argv);
  long lines = argc > 1 ? std::atol(argv[1]) : 100000;
  std::string dir = (std::filesystem::temp_directory_path() / "convertor-window-bench").string();
  std::filesystem::create_directories(dir);
  std::string source = GenerateSource(dir, lines);
  std::string destination = dir + "/OUT.FOR";

  double command = 1e9, window = 1e9, laidOut = 1e9;
  int rows = 0;
  for (int i = 0; i < kRepeats; ++i) {
    command = std::min(command, CommandLineRun(source, destination));
    double all = 0;
    window = std::min(window, WindowRun(source, destination, &rows, &all));
    laidOut = std::min(laidOut, all);
  }
  std::printf("source lines        %ld\n", lines);
  std::printf("list box rows       %d\n", rows);
  std::printf("command line run    %.4f s\n", command);
  std::printf("window run          %.4f s\n", window);
  std::printf("window / command    %.2f\n", window / command);
  std::printf("until laid out      %.4f s (%.2f)\n", laidOut, laidOut / command);
  std::filesystem::remove_all(dir);
  return 0;
}
