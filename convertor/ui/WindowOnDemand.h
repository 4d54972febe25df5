// The user interface of a run started with arguments: the console until the
// run must ask for a file name; then, when there is a display, the window
// is opened (its plugin is loaded only then) and everything after goes to
// it. Without a display, or when the window cannot be opened, the run keeps
// its command-line behaviour. The status line always reaches the console as
// well, which prints it when the run ends.
#pragma once

#include <functional>
#include <memory>

#include "CommandLine.h"
#include "ConsoleUserInterface.h"
#include "ProgramState.h"

namespace kvq {

// Opens the window for the run's program state; null when it cannot.
using WindowOpener = std::function<std::unique_ptr<BatchFrontEnd>(ProgramState&)>;

class WindowOnDemand : public BatchFrontEnd {
 public:
  WindowOnDemand(ConsoleUserInterface& console, ProgramState& state, WindowOpener openWindow);
  ~WindowOnDemand() override;

  bool WindowCreated() const { return window_ != nullptr; }

  void ShowMessage(const std::string& text) override;
  void SetStatusLine(const std::string& text) override;
  void SetCaption(const std::string& text) override;
  bool AskYesNo(const std::string& question) override { return Current().AskYesNo(question); }
  void Report(const Diagnostic& diagnostic) override;
  bool WantsLines() const override;
  void ClearLists() override;
  void AddInputLines(const std::vector<std::string>& lines) override;
  void AddOutputLines(const std::vector<std::string>& lines) override;
  void AddReportLine(const std::string& line) override;
  void ScrollListsToEnd() override;
  bool CancelRequested() const override { return window_ && window_->CancelRequested(); }
  std::string InputQuery(const std::string& caption, const std::string& prompt,
                         const std::string& initial, const QueryFallback& fallback) override;
  bool CanShowDialogs() const override;
  std::optional<std::string> OpenFileDialog(const FileDialogRequest& request) override;
  std::optional<std::string> SaveFileDialog(const FileDialogRequest& request) override;
  void SetBusyCursor(bool busy) override;
  void ShowWindow() override;
  void CloseWindow() override;

 private:
  // The window, opened the first time; null when it cannot be opened. The
  // question whether dialogs can be shown opens it: one is shown next.
  BatchFrontEnd* Window() const;
  // The window's interface when it exists, else the console's.
  UserInterface& Current();
  RunObserver& CurrentObserver();

  ConsoleUserInterface& console_;
  ProgramState& state_;
  WindowOpener openWindow_;
  mutable bool openFailed_ = false;
  mutable std::unique_ptr<BatchFrontEnd> window_;
};

}  // namespace kvq
