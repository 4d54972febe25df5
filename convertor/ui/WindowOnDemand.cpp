#include "WindowOnDemand.h"

#include "WindowStart.h"

namespace kvq {

WindowOnDemand::WindowOnDemand(ConsoleUserInterface& console, ProgramState& state,
                               WindowOpener openWindow)
    : console_(console), state_(state), openWindow_(std::move(openWindow)) {}

WindowOnDemand::~WindowOnDemand() = default;

BatchFrontEnd* WindowOnDemand::Window() const {
  if (!window_ && !openFailed_) {
    if (openWindow_) window_ = openWindow_(state_);
    openFailed_ = window_ == nullptr;
  }
  return window_.get();
}

UserInterface& WindowOnDemand::Current() {
  if (window_) return *window_;
  return console_;
}

RunObserver& WindowOnDemand::CurrentObserver() {
  if (window_) return *window_;
  return console_;
}

void WindowOnDemand::ShowMessage(const std::string& text) {
  Current().ShowMessage(text);
}

void WindowOnDemand::SetStatusLine(const std::string& text) {
  console_.SetStatusLine(text);
  if (window_) window_->SetStatusLine(text);
}

void WindowOnDemand::SetCaption(const std::string& text) {
  Current().SetCaption(text);
}

// Diagnostics always reach the console, as the status line does.
void WindowOnDemand::Report(const Diagnostic& diagnostic) {
  console_.Report(diagnostic);
  if (window_) window_->Report(diagnostic);
}

bool WindowOnDemand::WantsLines() const {
  return window_ != nullptr;
}

void WindowOnDemand::ClearLists() {
  CurrentObserver().ClearLists();
}

void WindowOnDemand::AddInputLines(const std::vector<std::string>& lines) {
  CurrentObserver().AddInputLines(lines);
}

void WindowOnDemand::AddOutputLines(const std::vector<std::string>& lines) {
  CurrentObserver().AddOutputLines(lines);
}

void WindowOnDemand::AddReportLine(const std::string& line) {
  CurrentObserver().AddReportLine(line);
}

void WindowOnDemand::ScrollListsToEnd() {
  CurrentObserver().ScrollListsToEnd();
}

std::string WindowOnDemand::InputQuery(const std::string& caption, const std::string& prompt,
                                       const std::string& initial, const QueryFallback& fallback) {
  return Current().InputQuery(caption, prompt, initial, fallback);
}

bool WindowOnDemand::CanShowDialogs() const {
  return window_ || (HasDisplay() && Window());
}

std::optional<std::string> WindowOnDemand::OpenFileDialog(const FileDialogRequest& request) {
  if (!CanShowDialogs()) return {};
  return window_->OpenFileDialog(request);
}

std::optional<std::string> WindowOnDemand::SaveFileDialog(const FileDialogRequest& request) {
  if (!CanShowDialogs()) return {};
  return window_->SaveFileDialog(request);
}

void WindowOnDemand::SetBusyCursor(bool busy) {
  Current().SetBusyCursor(busy);
}

void WindowOnDemand::ShowWindow() {
  if (CanShowDialogs()) window_->ShowWindow();
}

void WindowOnDemand::CloseWindow() {
  if (window_) window_->CloseWindow();
}

}  // namespace kvq
