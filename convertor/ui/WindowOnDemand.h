// The user interface of a run started with arguments: the console until the
// run must ask for a file name; then, when there is a display, the window
// is created and shown, and everything after goes to it. Without a display
// the run keeps its command-line behaviour. The status line always reaches
// the console as well, which prints it when the run ends.
#pragma once

#include <memory>

#include "CommandLine.h"
#include "ConsoleUserInterface.h"
#include "driver/ConversionOptions.h"

class QApplication;

namespace kvq {

class TForm1;

class WindowOnDemand : public BatchFrontEnd {
 public:
  // argc and argv are handed to the application object, which must outlive
  // nothing but this; an application that already exists is used instead.
  WindowOnDemand(ConsoleUserInterface& console, ProgramState& state, int& argc, char** argv);
  ~WindowOnDemand() override;

  bool WindowCreated() const { return form_ != nullptr; }

  void ShowMessage(const std::string& text) override;
  void SetStatusLine(const std::string& text) override;
  void SetCaption(const std::string& text) override;
  void Report(const Diagnostic& diagnostic) override;
  bool WantsLines() const override;
  void ClearLists() override;
  void AddInputLines(const std::vector<std::string>& lines) override;
  void AddOutputLines(const std::vector<std::string>& lines) override;
  void AddReportLine(const std::string& line) override;
  void ScrollListsToEnd() override;
  std::string InputQuery(const std::string& caption, const std::string& prompt,
                         const std::string& initial, const QueryFallback& fallback) override;
  bool CanShowDialogs() const override;
  std::optional<std::string> OpenFileDialog(const FileDialogRequest& request) override;
  std::optional<std::string> SaveFileDialog(const FileDialogRequest& request) override;
  void SetBusyCursor(bool busy) override;
  void ShowWindow() override;
  void CloseWindow() override;

 private:
  // The window's interface, creating the window the first time.
  UserInterface& Window();
  // The window's interface when it exists, else the console's.
  UserInterface& Current();
  RunObserver& CurrentObserver();

  ConsoleUserInterface& console_;
  ProgramState& state_;
  int& argc_;
  char** argv_;
  std::unique_ptr<QApplication> application_;
  std::unique_ptr<TForm1> form_;
};

}  // namespace kvq
