// The user interface of a batch run on the console: message boxes and
// diagnostics ("convertor: FILE:LINE: warning: TEXT") go to standard error (a carriage
// return inside a message starts a new line), the status line is kept and
// printed on standard output when the run ends, the list boxes are not
// echoed but report lines are printed, and no file dialog can be shown.
#pragma once

#include <cstdio>

#include "RunObserver.h"
#include "UserInterface.h"

namespace kvq {

class ConsoleUserInterface : public UserInterface, public RunObserver {
 public:
  // interactive: standard input is a terminal, so input dialogs are asked
  // there, offering the initial text (or the fallback's proposal) as the
  // default. Without one that value is taken, with a warning.
  ConsoleUserInterface(std::FILE* out, std::FILE* err, std::FILE* in, bool interactive);

  void ShowMessage(const std::string& text) override;
  void SetCaption(const std::string&) override {}
  // Report lines are the generator's account of its work: printed at once.
  void AddReportLine(const std::string& line) override;
  void SetStatusLine(const std::string& text) override { statusLine_ = text; }
  void Report(const Diagnostic& diagnostic) override;
  std::string InputQuery(const std::string& caption, const std::string& prompt,
                         const std::string& initial, const QueryFallback& fallback) override;
  bool CanShowDialogs() const override { return false; }
  std::optional<std::string> OpenFileDialog(const FileDialogRequest&) override { return {}; }
  std::optional<std::string> SaveFileDialog(const FileDialogRequest&) override { return {}; }
  void SetBusyCursor(bool) override {}
  void ShowWindow() override {}
  void CloseWindow() override {}

  // Quiet (-q): report lines are left out, like the status line.
  void SetQuiet(bool quiet) { quiet_ = quiet; }
  // Prints the status line as it stands, when there is one.
  void PrintStatusLine();
  const std::string& StatusLine() const { return statusLine_; }

 private:
  std::FILE* out_;
  std::FILE* err_;
  std::FILE* in_;
  bool interactive_;
  std::string statusLine_;
  bool quiet_ = false;
};

}  // namespace kvq
