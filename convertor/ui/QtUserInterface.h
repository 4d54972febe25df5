// The user-interface seam as the window shows it: message boxes and input
// and file dialogs over the window, the status bar, the two list boxes, the
// caption and the hourglass. A run stays on the window thread; the lines it
// echoes are staged in the list boxes' models and shown in batches, and between
// batches the window paints and takes the user's input, so that Esc or Stop
// can end the run (the window keeps its other commands disabled meanwhile).
#pragma once

#include <QElapsedTimer>
#include <string>
#include <vector>

#include "RunObserver.h"
#include "UserInterface.h"

class QLabel;
class QListView;
class QProgressBar;
class QWidget;

namespace kvq {

class LineListModel;

// The parts of the window the seam shows things in.
struct WindowParts {
  QWidget* form = nullptr;
  QLabel* statusText = nullptr;
  LineListModel* inputLines = nullptr;
  LineListModel* outputLines = nullptr;
  QListView* inputView = nullptr;
  QListView* outputView = nullptr;
  QProgressBar* progress = nullptr;  // shown while a run goes
};

class QtUserInterface : public UserInterface, public RunObserver {
 public:
  explicit QtUserInterface(WindowParts parts);
  ~QtUserInterface() override;

  void ShowMessage(const std::string& text) override;
  void SetStatusLine(const std::string& text) override;
  void SetCaption(const std::string& text) override;
  bool AskYesNo(const std::string& question) override;
  std::string HowToAcceptLineFeeds() const override {
    return "Option > Accept LF Line Ends (checked)";
  }
  void ClearLists() override;
  void Report(const Diagnostic& diagnostic) override { diagnostics_.push_back(diagnostic); }
  bool WantsLines() const override { return true; }
  void AddInputLines(const std::vector<std::string>& lines) override;
  void AddOutputLines(const std::vector<std::string>& lines) override;
  void AddInputLine(const std::string& line);
  void AddOutputLine(const std::string& line);
  void AddReportLine(const std::string& line) override { AddOutputLine(line); }
  void ScrollListsToEnd() override;
  std::string InputQuery(const std::string& caption, const std::string& prompt,
                         const std::string& initial, const QueryFallback& fallback) override;
  bool CanShowDialogs() const override { return true; }
  std::optional<std::string> OpenFileDialog(const FileDialogRequest& request) override;
  std::optional<std::string> SaveFileDialog(const FileDialogRequest& request) override;
  void SetBusyCursor(bool busy) override;
  void ShowWindow() override;
  void CloseWindow() override;
  bool CancelRequested() const override;

  // A command of the window begins or ends: meanwhile the window's events
  // are taken during the run, a cancel may be requested, and the progress
  // shows while the conversion goes.
  void BeginRun();
  void EndRun();
  bool Running() const { return running_; }
  void RequestCancel() { cancelRequested_ = running_; }

  // Shows the staged lines in the list boxes.
  void FlushLines();
  // The diagnostics of the runs so far.
  const std::vector<Diagnostic>& Diagnostics() const { return diagnostics_; }

 private:
  void NoteLine();
  void ShowProgress();

  WindowParts parts_;
  std::size_t linesSinceCheck_ = 0;
  QElapsedTimer sinceFlush_;
  bool busy_ = false;
  bool running_ = false;
  bool cancelRequested_ = false;
  std::size_t linesRead_ = 0;
  mutable std::size_t pollsSinceEvents_ = 0;
  std::vector<Diagnostic> diagnostics_;
};

}  // namespace kvq
