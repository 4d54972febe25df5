// Kestrin's window: drives one minimisation inside the computational
// server. Start has the server load the minimiser module and begins the
// run; every "Give_Line" of the server gets the next line of the command
// script or the function value waiting to be sent, "FCN" gets the test
// function computed, "PAINT" a point on the chart, any other event's text
// goes to the memo. The three control buttons pause, resume and end.
//
// An event costs the window no painting: the memo's new lines and the
// chart's points are noted (ChartPoints) and shown at most once per frame
// (UpdateView), and at once when a run ends, so the run never waits on the
// screen while the final memo and chart are what each event would have
// shown. A paused run shows in the caption.
#pragma once

#include <QChart>
#include <QChartView>
#include <QFrame>
#include <QLineSeries>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

#include "ChartPoints.h"
#include "ComputationalServerBase.h"
#include "NumEdit.h"
#include "RunScript.h"

namespace kvq {

// Makes the window's server component, owned by `owner`. The program makes
// a TComputationalServer; tests hand in scripted stand-ins.
using TServerFactory = std::function<TComputationalServerBase*(QObject* owner)>;

// The server component of the window, for the button handlers; nullptr
// when there is none.
TComputationalServerBase* ServerComponent();

class TForm1 : public QWidget {
  Q_OBJECT

 public:
  explicit TForm1(TServerFactory serverFactory, QWidget* parent = nullptr);
  ~TForm1() override;

  void btStartClick();
  void btControlClick(QObject* Sender);
  void EventProcessing(QObject* Sender, const QVariant& evName, const QVariant& evValue);

  std::int32_t ScriptStep() const { return script_.ScriptStep(); }
  std::int32_t ParamIndex() const { return script_.ParamIndex(); }
  const QString& PendingAnswer() const { return pendingAnswer_; }

  // Where the load's error text and "Not running!" go, and where the text
  // of a failing server operation goes. Message boxes unless replaced.
  void SetMessageSink(std::function<void(const QString&)> sink) { messageSink_ = std::move(sink); }
  void SetErrorSink(std::function<void(const QString&)> sink) { errorSink_ = std::move(sink); }

  // The memo keeps at most this many lines; older ones scroll away.
  static constexpr int kMemoLines = 10000;
  // The longest the memo and the chart lag behind the events.
  static constexpr int kFrameMs = 16;

  // Shows the memo lines and chart points noted since the last time.
  void UpdateView();
  bool Paused() const { return paused_; }

  QFrame* Panel1;
  TINumEdit* NParams;
  QPushButton* btStart;
  TINumEdit* neTime;
  QPushButton* btControl;
  QPushButton* Button2;
  QPushButton* Button3;
  QSplitter* Splitter1;
  QFrame* Panel2;
  QPlainTextEdit* Memo1;
  QFrame* Panel3;
  QChartView* Chart1;
  QLineSeries* Series1;

 signals:
  // After EventProcessing has handled an event, for observers such as the
  // non-interactive run.
  void EventProcessed(const QString& evName, const QString& evValue);

 private:
  void FormCreate(const TServerFactory& serverFactory);
  void BuildPanel1();
  void BuildPanel2();
  void BuildPanel3();

  void GiveLine();
  void AddChartPoint(QString values);
  void AppendMemo(const QString& line);
  void ScheduleView();
  void SetPaused(bool paused);
  void ShowServerStatus(const QString& status);
  void ShowMessage(const QString& text);
  void ShowError(const QString& text);
  // Runs a server operation; a failure shows the server's error description.
  template <class Operation>
  bool CallServer(Operation operation);

  // Whether the run's events (Give_Line, FCN, PAINT) belong to this run.
  bool AcceptsRunEvents() const { return endingRun_ == 0; }

  TComputationalServerBase* server_ = nullptr;
  // Above 0 while a load or Finish ends the current run: events that arrive
  // meanwhile are that run's last ones and get no answer.
  int endingRun_ = 0;
  TRunScript script_;
  QString pendingAnswer_;
  std::function<void(const QString&)> messageSink_;
  std::function<void(const QString&)> errorSink_;
  // What the memo and the chart are to show, ahead of the screen.
  std::unique_ptr<ChartPoints> chartPoints_;
  QStringList pendingMemo_;
  QTimer viewTimer_;
  bool paused_ = false;
};

// The minimiser module beside the running program, else the installed one.
QString ModulePath();

}  // namespace kvq
