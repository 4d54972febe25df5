// Answers the modal dialogs a window command opens, in the order they
// appear: a timer watches for the active modal widget and hands each new
// one to the next step of the script. A dialog nobody expected is rejected
// and recorded, so a test fails instead of hanging.
#pragma once

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <deque>
#include <functional>

namespace kvq::test {

// Saves a picture of the widget under the build tree's screenshots folder.
inline void SaveScreenshot(QWidget* widget, const QString& name) {
  QDir().mkpath(QStringLiteral(WINDOW_SCREENSHOT_DIR));
  widget->grab().save(QStringLiteral(WINDOW_SCREENSHOT_DIR "/") + name + QStringLiteral(".png"));
}

class DialogScript {
 public:
  using Step = std::function<void(QWidget* dialog)>;

  DialogScript() {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start();
  }

  void Then(Step step) { steps_.push_back(std::move(step)); }

  // Steps not used, and dialogs that came without a step.
  std::size_t StepsLeft() const { return steps_.size(); }
  const QStringList& Unexpected() const { return unexpected_; }
  // Titles of the dialogs handled, in order.
  const QStringList& Titles() const { return titles_; }

 private:
  void Poll() {
    QWidget* dialog = QApplication::activeModalWidget();
    if (!dialog || !dialog->isVisible() || dialog->property("scripted").toBool()) return;
    dialog->setProperty("scripted", true);
    titles_ << dialog->windowTitle();
    if (steps_.empty()) {
      unexpected_ << dialog->windowTitle();
      if (auto* box = qobject_cast<QDialog*>(dialog)) box->reject();
      return;
    }
    Step step = std::move(steps_.front());
    steps_.pop_front();
    step(dialog);
  }

  QTimer timer_;
  std::deque<Step> steps_;
  QStringList unexpected_;
  QStringList titles_;
};

// Steps.

inline DialogScript::Step EnterText(const QString& text, QString* seenInitial = nullptr,
                                    QString* seenPrompt = nullptr, const QString& shot = {}) {
  return [=](QWidget* dialog) {
    auto* input = qobject_cast<QInputDialog*>(dialog);
    if (!input) return static_cast<QDialog*>(dialog)->reject();
    if (seenInitial) *seenInitial = input->textValue();
    if (seenPrompt) *seenPrompt = input->labelText();
    if (!shot.isEmpty()) SaveScreenshot(input, shot);
    input->setTextValue(text);
    input->accept();
  };
}

inline DialogScript::Step Cancel(const QString& shot = {}) {
  return [=](QWidget* dialog) {
    if (!shot.isEmpty()) SaveScreenshot(dialog, shot);
    static_cast<QDialog*>(dialog)->reject();
  };
}

// Chooses the file in a file dialog; objectName and selection as found are
// handed back for the test to look at.
inline DialogScript::Step ChooseFile(const QString& path, QString* objectName = nullptr,
                                     QStringList* filters = nullptr, QString* proposed = nullptr,
                                     const QString& shot = {}) {
  return [=](QWidget* dialog) {
    auto* files = qobject_cast<QFileDialog*>(dialog);
    if (!files) return static_cast<QDialog*>(dialog)->reject();
    if (objectName) *objectName = files->objectName();
    if (filters) *filters = files->nameFilters();
    if (proposed && !files->selectedFiles().isEmpty()) *proposed = files->selectedFiles().first();
    if (!shot.isEmpty()) SaveScreenshot(files, shot);
    files->selectFile(path);
    static_cast<QDialog*>(files)->accept();  // QFileDialog::accept checks the name
  };
}

// Presses OK in a message box; its text and its number of buttons are
// handed back.
inline DialogScript::Step PressOk(QString* text, int* buttons = nullptr, const QString& shot = {}) {
  return [=](QWidget* dialog) {
    auto* box = qobject_cast<QMessageBox*>(dialog);
    if (!box) return static_cast<QDialog*>(dialog)->reject();
    if (text) *text = box->text();
    if (buttons) *buttons = static_cast<int>(box->buttons().size());
    if (!shot.isEmpty()) SaveScreenshot(box, shot);
    box->accept();
  };
}

}  // namespace kvq::test
