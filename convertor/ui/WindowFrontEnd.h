// The window as the front end of a batch run: the application object (when
// none exists yet) and the main window, created together when a run first
// needs them. Everything the run asks or reports goes to the window.
#pragma once

#include <memory>

#include "CommandLine.h"

class QApplication;

namespace kvq {

struct ProgramState;
class TForm1;

class WindowFrontEnd : public BatchFrontEnd {
 public:
  // argc and argv are handed to the application object.
  WindowFrontEnd(ProgramState& state, int& argc, char** argv);
  ~WindowFrontEnd() override;

  void ShowMessage(const std::string& text) override;
  void SetStatusLine(const std::string& text) override;
  void SetCaption(const std::string& text) override;
  bool AskYesNo(const std::string& question) override;
  std::string HowToAcceptLineFeeds() const override;
  void Report(const Diagnostic& diagnostic) override;
  bool WantsLines() const override { return true; }
  void ClearLists() override;
  void AddInputLines(const std::vector<std::string>& lines) override;
  void AddOutputLines(const std::vector<std::string>& lines) override;
  void AddReportLine(const std::string& line) override;
  void ScrollListsToEnd() override;
  bool CancelRequested() const override;
  std::string InputQuery(const std::string& caption, const std::string& prompt,
                         const std::string& initial, const QueryFallback& fallback) override;
  bool CanShowDialogs() const override { return true; }
  std::optional<std::string> OpenFileDialog(const FileDialogRequest& request) override;
  std::optional<std::string> SaveFileDialog(const FileDialogRequest& request) override;
  void SetBusyCursor(bool busy) override;
  void ShowWindow() override;
  void CloseWindow() override;

 private:
  std::unique_ptr<QApplication> application_;
  std::unique_ptr<TForm1> form_;
};

}  // namespace kvq
