#include "WindowFrontEnd.h"

#include <QApplication>

#include "DisplayCheck.h"
#include "TForm1.h"

namespace kvq {

WindowFrontEnd::WindowFrontEnd(ProgramState& state, int& argc, char** argv) {
  if (!QApplication::instance()) {
    DisplayCheck check;
    application_ = std::make_unique<QApplication>(argc, argv);
  }
  form_ = std::make_unique<TForm1>(state);
}

// The window goes before the application object it lives in.
WindowFrontEnd::~WindowFrontEnd() {
  form_.reset();
  application_.reset();
}

void WindowFrontEnd::ShowMessage(const std::string& text) {
  form_->Interface().ShowMessage(text);
}

void WindowFrontEnd::SetStatusLine(const std::string& text) {
  form_->Observer().SetStatusLine(text);
}

void WindowFrontEnd::SetCaption(const std::string& text) {
  form_->Interface().SetCaption(text);
}

bool WindowFrontEnd::AskYesNo(const std::string& question) {
  return form_->Interface().AskYesNo(question);
}

std::string WindowFrontEnd::HowToAcceptLineFeeds() const {
  return form_->Interface().HowToAcceptLineFeeds();
}

void WindowFrontEnd::Report(const Diagnostic& diagnostic) {
  form_->Observer().Report(diagnostic);
}

void WindowFrontEnd::ClearLists() {
  form_->Observer().ClearLists();
}

void WindowFrontEnd::AddInputLines(const std::vector<std::string>& lines) {
  form_->Observer().AddInputLines(lines);
}

void WindowFrontEnd::AddOutputLines(const std::vector<std::string>& lines) {
  form_->Observer().AddOutputLines(lines);
}

void WindowFrontEnd::AddReportLine(const std::string& line) {
  form_->Observer().AddReportLine(line);
}

void WindowFrontEnd::ScrollListsToEnd() {
  form_->Observer().ScrollListsToEnd();
}

bool WindowFrontEnd::CancelRequested() const {
  return form_->Observer().CancelRequested();
}

std::string WindowFrontEnd::InputQuery(const std::string& caption, const std::string& prompt,
                                       const std::string& initial, const QueryFallback& fallback) {
  return form_->Interface().InputQuery(caption, prompt, initial, fallback);
}

std::optional<std::string> WindowFrontEnd::OpenFileDialog(const FileDialogRequest& request) {
  return form_->Interface().OpenFileDialog(request);
}

std::optional<std::string> WindowFrontEnd::SaveFileDialog(const FileDialogRequest& request) {
  return form_->Interface().SaveFileDialog(request);
}

void WindowFrontEnd::SetBusyCursor(bool busy) {
  form_->Interface().SetBusyCursor(busy);
}

void WindowFrontEnd::ShowWindow() {
  form_->Interface().ShowWindow();
}

void WindowFrontEnd::CloseWindow() {
  form_->Interface().CloseWindow();
}

}  // namespace kvq
