// What a conversion asks of the person at the program: message boxes, the
// one-line input dialog, file dialogs, the window caption, the hourglass,
// and showing or closing the window. What a run reports while it goes
// (status line, diagnostics, list lines) goes to a RunObserver instead. The
// console implementation serves batch runs; the window implementation
// serves the desktop program.
#pragma once

#include <optional>
#include <string>

namespace kvq {

struct FileDialogRequest {
  std::string title;
  std::string filter;  // "Description|*.a;*.b|..." pairs
  std::string initialDirectory;
  std::string fileName;  // proposed name, may be empty
};

// For front ends without the dialog: the command-line setting that gives
// the same value, and the value proposed when the initial text is empty (a
// terminal offers it as the default; without a terminal it is taken).
struct QueryFallback {
  std::string setting;   // "NAME="
  std::string proposal;  // "HELLO"
  std::string what;      // what the proposal is: "the main program's name"
  std::string where;     // the line concerned, "FILE:LINE"; may be empty
};

class UserInterface {
 public:
  virtual ~UserInterface() = default;

  // Modal message box with one OK button.
  virtual void ShowMessage(const std::string& text) = 0;
  virtual void SetCaption(const std::string& text) = 0;
  // Modal question with Yes and No, No the default; where nobody can be
  // asked the answer is No.
  virtual bool AskYesNo(const std::string& /*question*/) { return false; }
  // How the user accepts bare line feeds (LF) here, for the hint after a
  // source with them was refused.
  virtual std::string HowToAcceptLineFeeds() const { return "--accept-lf (setting ACCEPTLF=Y)"; }

  // Modal one-line input dialog; Cancel returns the initial text.
  virtual std::string InputQuery(const std::string& caption, const std::string& prompt,
                                 const std::string& initial, const QueryFallback& fallback) = 0;

  // True when file dialogs can be shown (a window exists).
  virtual bool CanShowDialogs() const = 0;
  // The chosen file name, or nothing when the dialog was cancelled.
  virtual std::optional<std::string> OpenFileDialog(const FileDialogRequest& request) = 0;
  virtual std::optional<std::string> SaveFileDialog(const FileDialogRequest& request) = 0;

  virtual void SetBusyCursor(bool busy) = 0;
  // Shows the window, which a batch run does when it must ask for a file.
  virtual void ShowWindow() = 0;
  virtual void CloseWindow() = 0;
};

}  // namespace kvq
