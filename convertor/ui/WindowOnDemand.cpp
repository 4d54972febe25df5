#include "WindowOnDemand.h"

#include <QApplication>

#include "TForm1.h"
#include "WindowStart.h"

namespace kvq {

WindowOnDemand::WindowOnDemand(ConsoleUserInterface& console, ProgramState& state, int& argc,
                               char** argv)
    : console_(console), state_(state), argc_(argc), argv_(argv) {}

WindowOnDemand::~WindowOnDemand() {
  form_.reset();
  application_.reset();
}

UserInterface& WindowOnDemand::Window() {
  if (!form_) {
    if (!QApplication::instance()) application_ = std::make_unique<QApplication>(argc_, argv_);
    form_ = std::make_unique<TForm1>(state_);
  }
  return form_->Interface();
}

UserInterface& WindowOnDemand::Current() {
  if (form_) return form_->Interface();
  return console_;
}

RunObserver& WindowOnDemand::CurrentObserver() {
  if (form_) return form_->Observer();
  return console_;
}

void WindowOnDemand::ShowMessage(const std::string& text) {
  Current().ShowMessage(text);
}

void WindowOnDemand::SetStatusLine(const std::string& text) {
  console_.SetStatusLine(text);
  if (form_) form_->Observer().SetStatusLine(text);
}

void WindowOnDemand::SetCaption(const std::string& text) {
  Current().SetCaption(text);
}

// Diagnostics always reach the console, as the status line does.
void WindowOnDemand::Report(const Diagnostic& diagnostic) {
  console_.Report(diagnostic);
  if (form_) form_->Observer().Report(diagnostic);
}

bool WindowOnDemand::WantsLines() const {
  return form_ != nullptr;
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
  return form_ || HasDisplay();
}

std::optional<std::string> WindowOnDemand::OpenFileDialog(const FileDialogRequest& request) {
  if (!CanShowDialogs()) return {};
  return Window().OpenFileDialog(request);
}

std::optional<std::string> WindowOnDemand::SaveFileDialog(const FileDialogRequest& request) {
  if (!CanShowDialogs()) return {};
  return Window().SaveFileDialog(request);
}

void WindowOnDemand::SetBusyCursor(bool busy) {
  Current().SetBusyCursor(busy);
}

void WindowOnDemand::ShowWindow() {
  if (CanShowDialogs()) Window().ShowWindow();
}

void WindowOnDemand::CloseWindow() {
  if (form_) form_->Interface().CloseWindow();
}

}  // namespace kvq
