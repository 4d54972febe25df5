#include "AutoRun.h"

#include <iostream>

#include "Form1.h"

namespace kvq {

TAutoRun::TAutoRun(TForm1& form, QStringList endEvents, QString screenshotPath, int timeoutSeconds)
    : form_(form), endEvents_(std::move(endEvents)), screenshotPath_(std::move(screenshotPath)) {
  timeout_.setSingleShot(true);
  timeout_.setInterval(timeoutSeconds * 1000);
  connect(&timeout_, &QTimer::timeout, this,
          [this] { End(1, QStringLiteral("the run did not end in time")); });
  connect(&form_, &TForm1::EventProcessed, this, [this](const QString& name, const QString& value) {
    if (endEvents_.contains(name)) End(0, name + QStringLiteral(": ") + value);
  });
  auto fail = [this](const QString& text) { End(1, text); };
  form_.SetMessageSink(fail);
  form_.SetErrorSink(fail);
}

void TAutoRun::Start() {
  timeout_.start();
  QTimer::singleShot(0, form_.btStart, &QPushButton::click);
}

void TAutoRun::End(int exitCode, const QString& why) {
  if (ended_) return;
  ended_ = true;
  timeout_.stop();
  std::cerr << "kestrin: " << why.toStdString() << '\n';
  if (!screenshotPath_.isEmpty() && !form_.grab().save(screenshotPath_)) {
    std::cerr << "kestrin: cannot write the screenshot " << screenshotPath_.toStdString() << '\n';
    exitCode = 1;
  }
  emit Finished(exitCode);
}

}  // namespace kvq
