#include "QtUserInterface.h"

#include <QApplication>
#include <QCursor>
#include <QFile>
#include <QLabel>
#include <QListView>
#include <QProgressBar>
#include <QStringDecoder>

#include "LineListModel.h"
#include "WindowDialogs.h"
#include "Windows1251.h"

namespace kvq {

namespace {

// The window paints about ten times a second during a run; the clock is
// read once per this many lines.
constexpr qint64 kPaintIntervalMs = 100;
constexpr std::size_t kLinesPerClockCheck = 256;
// A run polls for a cancel between statements; the window's events (Esc,
// Stop) are taken once per this many polls.
constexpr std::size_t kPollsPerEventCheck = 256;

// Messages, captions and the status line carry file names, which the file
// system spells in the locale's encoding.
QString FromLocal(const std::string& text) {
  return QString::fromLocal8Bit(text);
}

// Messages name files in the local encoding (UTF-8), and may quote what the
// user typed into a question, which the run holds in Windows-1251: text that
// is no UTF-8 is read as Windows-1251.
QString MessageText(const std::string& text) {
  QStringDecoder utf8(QStringDecoder::Utf8);
  QString decoded = utf8(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
  return utf8.hasError() ? DecodeWindows1251(text) : decoded;
}

std::string ToLocal(const QString& name) {
  return QFile::encodeName(name).toStdString();
}

}  // namespace

QtUserInterface::QtUserInterface(WindowParts parts) : parts_(parts) {
  sinceFlush_.start();
}

QtUserInterface::~QtUserInterface() {
  if (busy_) QApplication::restoreOverrideCursor();
}

void QtUserInterface::ShowMessage(const std::string& text) {
  FlushLines();
  ShowMessageBox(parts_.form, MessageText(text));
}

bool QtUserInterface::AskYesNo(const std::string& question) {
  FlushLines();
  return AskYesNoBox(parts_.form, MessageText(question));
}

void QtUserInterface::SetStatusLine(const std::string& text) {
  FlushLines();
  parts_.statusText->setText(FromLocal(text));
  // A long path hides the end of the line; the whole line is a hover away.
  parts_.statusText->setToolTip(FromLocal(text));
}

void QtUserInterface::SetCaption(const std::string& text) {
  parts_.form->setWindowTitle(FromLocal(text));
}

void QtUserInterface::ClearLists() {
  parts_.inputLines->Clear();
  parts_.outputLines->Clear();
}

void QtUserInterface::AddInputLine(const std::string& line) {
  parts_.inputLines->Stage(line);
  NoteLine();
}

void QtUserInterface::AddOutputLine(const std::string& line) {
  parts_.outputLines->Stage(line);
  NoteLine();
}

void QtUserInterface::AddInputLines(const std::vector<std::string>& lines) {
  linesRead_ += lines.size();
  for (const std::string& line : lines) AddInputLine(line);
}

void QtUserInterface::AddOutputLines(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) AddOutputLine(line);
}

void QtUserInterface::NoteLine() {
  if (++linesSinceCheck_ < kLinesPerClockCheck) return;
  linesSinceCheck_ = 0;
  if (sinceFlush_.elapsed() < kPaintIntervalMs) return;
  if (running_) ShowProgress();
  FlushLines();
}

void QtUserInterface::FlushLines() {
  parts_.inputLines->Publish();
  parts_.outputLines->Publish();
  // Outside a run a dialog may be on its way: the user's input waits for it.
  QApplication::processEvents(running_ ? QEventLoop::AllEvents
                                       : QEventLoop::ExcludeUserInputEvents);
  sinceFlush_.restart();
}

void QtUserInterface::ShowProgress() {
  if (linesRead_ == 0) return;
  parts_.statusText->setText(QStringLiteral("%1 lines read   (Esc or Stop ends the run)")
                                 .arg(static_cast<qulonglong>(linesRead_)));
}

bool QtUserInterface::CancelRequested() const {
  if (running_ && !cancelRequested_ && ++pollsSinceEvents_ >= kPollsPerEventCheck) {
    pollsSinceEvents_ = 0;
    QApplication::processEvents(QEventLoop::AllEvents);
  }
  return cancelRequested_;
}

void QtUserInterface::BeginRun() {
  running_ = true;
  cancelRequested_ = false;
  linesRead_ = 0;
  pollsSinceEvents_ = 0;
}

void QtUserInterface::EndRun() {
  running_ = false;
  cancelRequested_ = false;
  if (parts_.progress) parts_.progress->hide();
}

void QtUserInterface::ScrollListsToEnd() {
  FlushLines();
  parts_.inputView->scrollToBottom();
  parts_.outputView->scrollToBottom();
}

// Settings are 8-bit text in the users' code page, as they are emitted. An
// empty question offers what the command line would (the main program's
// name for the DLL name); Cancel keeps the text offered.
std::string QtUserInterface::InputQuery(const std::string& caption, const std::string& prompt,
                                        const std::string& initial, const QueryFallback& fallback) {
  FlushLines();
  const std::string& offered = initial.empty() ? fallback.proposal : initial;
  QString answer = AskText(parts_.form, DecodeWindows1251(caption), DecodeWindows1251(prompt),
                           DecodeWindows1251(offered));
  return EncodeWindows1251(answer);
}

std::optional<std::string> QtUserInterface::OpenFileDialog(const FileDialogRequest& request) {
  FlushLines();
  std::optional<QString> chosen =
      AskOpenFileName(parts_.form, request, QStringLiteral("OpenDialog1"));
  if (!chosen) return {};
  return ToLocal(*chosen);
}

std::optional<std::string> QtUserInterface::SaveFileDialog(const FileDialogRequest& request) {
  FlushLines();
  std::optional<QString> chosen =
      AskSaveFileName(parts_.form, request, QStringLiteral("SaveDialog1"));
  if (!chosen) return {};
  return ToLocal(*chosen);
}

void QtUserInterface::SetBusyCursor(bool busy) {
  if (!busy) FlushLines();
  if (busy == busy_) return;
  busy_ = busy;
  // The busy bar goes with the hourglass, while a conversion of the
  // window's command goes (not while its dialogs ask).
  if (parts_.progress) parts_.progress->setVisible(busy && running_);
  if (busy)
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
  else
    QApplication::restoreOverrideCursor();
}

void QtUserInterface::ShowWindow() {
  parts_.form->show();
}

void QtUserInterface::CloseWindow() {
  FlushLines();
  parts_.form->close();
}

}  // namespace kvq
