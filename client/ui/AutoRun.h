// Runs Kestrin without a user, for tests and demonstrations: presses Start,
// waits for the end of the run, saves a screenshot of the window and quits
// with 0, or with 1 when a message box would have appeared or the run did
// not end in time.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

namespace kvq {

class TForm1;

class TAutoRun : public QObject {
  Q_OBJECT

 public:
  // `endEvents`: the names of the events that end a run.
  TAutoRun(TForm1& form, QStringList endEvents, QString screenshotPath, int timeoutSeconds);

  void Start();

 signals:
  void Finished(int exitCode);

 private:
  void End(int exitCode, const QString& why);

  TForm1& form_;
  QStringList endEvents_;
  QString screenshotPath_;
  QTimer timeout_;
  bool ended_ = false;
};

}  // namespace kvq
