// Kestrin's window driven through a scripted stand-in of the server: the
// command script, the answers, the chart, the memo, the buttons and the
// failures, with real widgets under the offscreen platform.
#include <QCoreApplication>
#include <QLabel>
#include <QTest>
#include <QValueAxis>
#include <memory>

#include "Form1.h"
#include "ScriptedServer.h"

using namespace kvq;

namespace {

const QString kEnd = QString(QChar(0));

QStringList ExpectedScript(int n) {
  QStringList lines{QStringLiteral("set title"),
                    QStringLiteral("Summa (X(i)-i)**2 has global minimum=0  if X(i)=i"),
                    QStringLiteral("parameters")};
  for (int i = 1; i <= n; ++i) lines << QStringLiteral("%1 'X%1'  0. 0.1").arg(i);
  lines << QString() << QStringLiteral("seek 20") << QStringLiteral("simplex")
        << QStringLiteral("minimize") << QStringLiteral("exit") << kEnd;
  return lines;
}

QList<qreal> Xs(const QLineSeries& series) {
  QList<qreal> xs;
  for (const QPointF& p : series.points()) xs << p.x();
  return xs;
}

}  // namespace

class Form1Test : public QObject {
  Q_OBJECT

  std::unique_ptr<TForm1> form_;
  ScriptedServer* server_ = nullptr;
  QStringList messages_;
  QStringList errors_;
  QStringList numberMessages_;

  void MakeForm(bool withServer = true) {
    server_ = nullptr;
    TServerFactory factory;
    if (withServer)
      factory = [this](QObject* owner) { return server_ = new ScriptedServer(owner); };
    form_ = std::make_unique<TForm1>(factory);
    form_->SetMessageSink([this](const QString& m) { messages_ << m; });
    form_->SetErrorSink([this](const QString& e) { errors_ << e; });
  }

  // Start, then answer Give_Line requests until the end-of-input line.
  QStringList RunWholeScript() {
    form_->btStartClick();
    for (int i = 0; i < 200 && (server_->lines.isEmpty() || server_->lines.last() != kEnd); ++i)
      server_->Raise(QStringLiteral("Give_Line"));
    return server_->lines;
  }

 private slots:
  void init() {
    messages_.clear();
    errors_.clear();
    numberMessages_.clear();
    SetBeepSink([] {});
    SetNumberMessageSink([this](const QString& m) { numberMessages_ << m; });
    MakeForm();
  }
  void cleanup() { form_.reset(); }

  void WindowIsBuiltAsDescribed() {
    TForm1& f = *form_;
    QCOMPARE(f.windowTitle(), QStringLiteral("Клиент программы MINUIT"));
    QCOMPARE(f.geometry(), QRect(192, 114, 696, 480));
    QCOMPARE(f.font().pixelSize(), 11);
    QCOMPARE(f.Panel1->height(), 41);
    QCOMPARE(f.NParams->geometry().topLeft(), QPoint(5, 9));
    QCOMPARE(f.NParams->width(), 24);
    QCOMPARE(f.NParams->Caption(), QStringLiteral("Число параметров"));
    QCOMPARE(f.NParams->CaptionPosition(), TCaptionPosition::cpRight);
    QCOMPARE(f.NParams->ValueMin(), 1.0);
    QCOMPARE(f.NParams->ValueMax(), 50.0);
    QCOMPARE(f.NParams->ValueCheck(), TValueCheck::vcBoth);
    QCOMPARE(f.NParams->Value(), 8);
    QVERIFY(f.NParams->Valid());
    QCOMPARE(f.NParams->toolTip(), QStringLiteral("1 <= Sensible value (integer) <= 50"));
    QCOMPARE(f.neTime->x(), 312);
    QCOMPARE(f.neTime->width(), 59);
    QCOMPARE(f.neTime->Caption(), QStringLiteral("Время (сек.) : "));
    QCOMPARE(f.neTime->CaptionPosition(), TCaptionPosition::cpLeft);
    QCOMPARE(f.neTime->ValueCheck(), TValueCheck::vcNone);
    QCOMPARE(f.neTime->Value(), 0);
    QCOMPARE(f.neTime->toolTip(), QStringLiteral("Sensible value (integer) - any."));
    QCOMPARE(f.btStart->text(), QStringLiteral("Старт"));
    QCOMPARE(f.btStart->x(), 139);
    QCOMPARE(f.btStart->width(), 71);
    QCOMPARE(f.btControl->text(), QStringLiteral("Приостановить"));
    QCOMPARE(f.btControl->x(), 397);
    QCOMPARE(f.btControl->width(), 90);
    QCOMPARE(f.Button2->text(), QStringLiteral("Продолжить"));
    QCOMPARE(f.Button2->x(), 494);
    QCOMPARE(f.Button3->text(), QStringLiteral("Закончить"));
    QCOMPARE(f.Button3->x(), 583);
    QCOMPARE(f.btControl->property("Tag").toInt(), 1);
    QCOMPARE(f.Button2->property("Tag").toInt(), 2);
    QCOMPARE(f.Button3->property("Tag").toInt(), 3);
    QCOMPARE(f.Memo1->toPlainText(), QStringLiteral("Сообщения  Minuit-сервера :"));
    QCOMPARE(f.Memo1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(f.Memo1->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(f.Splitter1->handleWidth(), 3);
    QChart* chart = f.Chart1->chart();
    QCOMPARE(chart->title(), QString());
    QVERIFY(!chart->legend()->isVisible());
    QCOMPARE(chart->axes(Qt::Horizontal).value(0)->titleText(), QStringLiteral("Итерация"));
    QCOMPARE(chart->axes(Qt::Vertical).value(0)->titleText(),
             QStringLiteral("Значение функции  FCN"));
    QCOMPARE(f.Series1->color(), QColor(Qt::red));
    QVERIFY(!f.Series1->pointsVisible());
    QVERIFY(!f.Series1->pointLabelsVisible());
    QCOMPARE(f.Series1->count(), 0);
    QCOMPARE(ServerComponent(), server_);
    // No connection at creation: nothing has been called.
    QVERIFY(server_->calls.isEmpty());
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    QCOMPARE(f.Panel2->width(), 329);
    QCOMPARE(f.NParams->CaptionLabel()->x(), 5 + 24 + 3);
    QVERIFY(f.NParams->CaptionLabel()->isVisible());
  }

  void StartLoadsTheModuleBesideTheProgram() {
    form_->btStartClick();
    QCOMPARE(server_->calls, (QStringList{"LoadDll", "Continue"}));
    QCOMPARE(server_->loadPath,
             QCoreApplication::applicationDirPath() + "/Converted_Minuit/Minuit.so");
    QCOMPARE(server_->loadParameter, QStringLiteral("Possible ParameterLine"));
    QCOMPARE(form_->Series1->points(), (QList<QPointF>{QPointF(1, 0)}));
    QCOMPARE(form_->ScriptStep(), 0);
  }

  void WholeScript_data() {
    QTest::addColumn<int>("n");
    QTest::newRow("one parameter") << 1;
    QTest::newRow("three parameters") << 3;
    QTest::newRow("sixty, though the edit marks it invalid") << 60;
  }
  void WholeScript() {
    QFETCH(int, n);
    form_->NParams->SetValue(n);
    QCOMPARE(form_->NParams->Valid(), n <= 50);
    QCOMPARE(RunWholeScript(), ExpectedScript(n));
    // Every request after "exit" gets the end-of-input line.
    for (int i = 0; i < 3; ++i) server_->Raise(QStringLiteral("Give_Line"));
    QCOMPARE(server_->lines.mid(server_->lines.size() - 4), QStringList(4, kEnd));
    QCOMPARE(form_->ParamIndex(), n + 1);
  }

  void ParameterCountIsReadAtEveryParameterLine() {
    form_->NParams->SetValue(5);
    form_->btStartClick();
    for (int i = 0; i < 4; ++i) server_->Raise(QStringLiteral("Give_Line"));
    form_->NParams->SetValue(2);
    server_->Raise(QStringLiteral("Give_Line"));
    server_->Raise(QStringLiteral("Give_Line"));
    QCOMPARE(server_->lines.mid(3), (QStringList{"1 'X1'  0. 0.1", "2 'X2'  0. 0.1", ""}));
  }

  void TimeShowsTheElapsedSeconds() {
    form_->btStartClick();
    server_->elapsed = 17;
    server_->Raise(QStringLiteral("Give_Line"));
    QCOMPARE(form_->neTime->Value(), 17);
    QCOMPARE(form_->neTime->text(), QStringLiteral("17"));
    QCOMPARE(server_->calls.mid(2), (QStringList{"ElapsedTime", "GiveLine"}));
  }

  void FunctionValueGoesWithTheNextRequest_data() {
    QTest::addColumn<QString>("values");
    QTest::addColumn<QString>("answer");
    QTest::newRow("5") << "2 0 0"
                       << "5";
    QTest::newRow("0.25") << "1 1.5"
                          << "0.25";
    QTest::newRow("0") << "3 1 2 3"
                       << "0";
    QTest::newRow("count 0") << "0"
                             << "0";
    QTest::newRow("scientific") << "1 1e10"
                                << "9.999999998E19";
  }
  void FunctionValueGoesWithTheNextRequest() {
    QFETCH(QString, values);
    QFETCH(QString, answer);
    form_->btStartClick();
    server_->Raise(QStringLiteral("Give_Line"));
    server_->Raise(QStringLiteral("FCN"), values);
    QCOMPARE(form_->PendingAnswer(), answer);
    server_->Raise(QStringLiteral("Give_Line"));
    server_->Raise(QStringLiteral("Give_Line"));
    QCOMPARE(server_->lines, (QStringList{"set title", answer,
                                          "Summa (X(i)-i)**2 has global minimum=0  if X(i)=i"}));
    QVERIFY(form_->PendingAnswer().isEmpty());
  }

  void SecondFcnOverwritesTheFirst() {
    form_->btStartClick();
    server_->Raise(QStringLiteral("FCN"), QStringLiteral("2 0 0"));
    server_->Raise(QStringLiteral("FCN"), QStringLiteral("1 1.5"));
    server_->Raise(QStringLiteral("Give_Line"));
    QCOMPARE(server_->lines, QStringList{QStringLiteral("0.25")});
  }

  // The server may raise the next "FCN" while the answer is still on its
  // way; that answer is not lost.
  void FcnInsideGiveLineKeepsItsAnswer() {
    form_->btStartClick();
    server_->Raise(QStringLiteral("FCN"), QStringLiteral("2 0 0"));
    server_->duringGiveLine = [this](const QString& line) {
      if (line == QStringLiteral("5")) server_->Raise(QStringLiteral("FCN"), QStringLiteral("1 3"));
    };
    server_->Raise(QStringLiteral("Give_Line"));
    server_->Raise(QStringLiteral("Give_Line"));
    QCOMPARE(server_->lines, (QStringList{"5", "4"}));
  }

  void OtherEventsAreMessages() {
    form_->btStartClick();
    server_->Raise(QStringLiteral("fcn"), QStringLiteral("2 0 0"));
    server_->Raise(QStringLiteral("Output"), QStringLiteral(" MINUIT RELEASE 1 "));
    const int lines = form_->Memo1->blockCount();
    server_->Raise(QStringLiteral("Output"), QString());
    server_->Raise(QStringLiteral("Paint"), QString());
    QCOMPARE(form_->Memo1->blockCount(), lines);
    QCOMPARE(form_->Memo1->toPlainText(),
             QStringLiteral("Сообщения  Minuit-сервера :\n2 0 0\n MINUIT RELEASE 1 "));
    QVERIFY(form_->PendingAnswer().isEmpty());
    QVERIFY(server_->lines.isEmpty());
  }

  void MemoKeepsABoundedNumberOfLines() {
    for (int i = 0; i < TForm1::kMemoLines + 50; ++i)
      server_->Raise(QStringLiteral("Output"), QString::number(i));
    QCOMPARE(form_->Memo1->blockCount(), TForm1::kMemoLines);
    QVERIFY(form_->Memo1->toPlainText().endsWith(QString::number(TForm1::kMemoLines + 49)));
  }

  void PaintKeepsAtMostFortyPoints() {
    form_->btStartClick();
    for (int k = 2; k <= 40; ++k)
      server_->Raise(QStringLiteral("PAINT"), QStringLiteral("%1 %2").arg(k).arg(100.0 / k));
    QCOMPARE(form_->Series1->count(), 40);
    server_->Raise(QStringLiteral("PAINT"), QStringLiteral("41 0.5"));
    QList<qreal> expected;
    for (int k = 21; k <= 41; ++k) expected << k;
    QCOMPARE(Xs(*form_->Series1), expected);
    QCOMPARE(form_->Series1->points().last(), QPointF(41, 0.5));
    // The axes show what is plotted.
    auto* bottom = qobject_cast<QValueAxis*>(form_->Chart1->chart()->axes(Qt::Horizontal)[0]);
    QVERIFY(bottom->min() <= 21 && bottom->min() > 10);
    QVERIFY(bottom->max() >= 41 && bottom->max() <= 60);
    // A point beyond what the axes show widens them.
    server_->Raise(QStringLiteral("PAINT"), QStringLiteral("80 1000"));
    auto* left = qobject_cast<QValueAxis*>(form_->Chart1->chart()->axes(Qt::Vertical)[0]);
    QVERIFY(bottom->max() >= 80);
    QVERIFY(left->max() >= 1000);
  }

  void PaintKeepsAscendingX() {
    form_->btStartClick();
    for (const char* value : {"5 1", "3 2", "0 3", "3 4", "7 5"})
      server_->Raise(QStringLiteral("PAINT"), QString::fromLatin1(value));
    QCOMPARE(Xs(*form_->Series1), (QList<qreal>{0, 1, 3, 3, 5, 7}));
    QCOMPARE(form_->Series1->points()[3], QPointF(3, 4));
  }

  void MalformedPaintValueCountsAsMinus999999() {
    form_->btStartClick();
    server_->Raise(QStringLiteral("PAINT"), QStringLiteral("2 1.5x"));
    QCOMPARE(numberMessages_, QStringList{QStringLiteral("... 1.5x  \r   ^  Illegal number !")});
    QCOMPARE(form_->Series1->points().last(), QPointF(2, -999999));
  }

  void FailingLoadLeavesEverythingAsItWas() {
    form_->btStartClick();
    for (int i = 0; i < 4; ++i) server_->Raise(QStringLiteral("Give_Line"));
    server_->Raise(QStringLiteral("PAINT"), QStringLiteral("2 7"));
    server_->Raise(QStringLiteral("FCN"), QStringLiteral("1 0"));
    const QList<QPointF> points = form_->Series1->points();
    server_->loadResult = QStringLiteral("cannot load /x/Minuit.so: no such file");
    form_->btStartClick();
    QCOMPARE(messages_, QStringList{server_->loadResult});
    QCOMPARE(form_->Series1->points(), points);
    QCOMPARE(server_->Count(QStringLiteral("Continue")), 1);
    QCOMPARE(form_->ScriptStep(), 3);
    QCOMPARE(form_->ParamIndex(), 1);
    QVERIFY(form_->PendingAnswer().isEmpty());  // emptied before the load
  }

  void FailingElapsedTimeSendsNoLine() {
    form_->btStartClick();
    server_->failing = QStringLiteral("ElapsedTime");
    server_->Raise(QStringLiteral("Give_Line"));
    QCOMPARE(errors_, QStringList{QStringLiteral("server: ElapsedTime failed")});
    QVERIFY(server_->lines.isEmpty());
    QCOMPARE(form_->ScriptStep(), 0);
    server_->failing.clear();
    server_->Raise(QStringLiteral("Give_Line"));
    QCOMPARE(server_->lines, QStringList{QStringLiteral("set title")});
  }

  void FailingGiveLineKeepsTheAnswerForTheNextRequest() {
    form_->btStartClick();
    server_->Raise(QStringLiteral("FCN"), QStringLiteral("2 0 0"));
    server_->failing = QStringLiteral("GiveLine");
    server_->Raise(QStringLiteral("Give_Line"));
    QCOMPARE(errors_, QStringList{QStringLiteral("server: GiveLine failed")});
    server_->failing.clear();
    server_->Raise(QStringLiteral("Give_Line"));
    QCOMPARE(server_->lines.last(), QStringLiteral("5"));
  }

  void FailingLoadCallAndContinueShowTheDescription() {
    server_->failing = QStringLiteral("LoadDll");
    form_->btStartClick();
    QCOMPARE(errors_, QStringList{QStringLiteral("server: LoadDll failed")});
    QCOMPARE(form_->Series1->count(), 0);
    server_->failing = QStringLiteral("Continue");
    form_->btStartClick();
    QCOMPARE(errors_.last(), QStringLiteral("server: Continue failed"));
    QCOMPARE(form_->Series1->count(), 1);  // reset before Continue
  }

  void ControlButtonsCallTheServer() {
    form_->btControl->click();
    form_->Button2->click();
    form_->Button3->click();
    QCOMPARE(server_->calls, (QStringList{"Pause", "Continue", "Finish"}));
    QPushButton other;
    form_->btControlClick(&other);
    QCOMPARE(server_->calls.size(), 3);
    server_->failing = QStringLiteral("Finish");
    form_->Button3->click();
    QCOMPARE(errors_, QStringList{QStringLiteral("server: Finish failed")});
    QVERIFY(messages_.isEmpty());
  }

  void WithoutAComponentTheButtonsSayNotRunning() {
    MakeForm(false);
    QVERIFY(ServerComponent() == nullptr);
    form_->btControl->click();
    form_->btStart->click();
    QCOMPARE(messages_, (QStringList{"Not running!", "Not running!"}));
  }

  void StartDuringARunRestartsTheScript() {
    form_->NParams->SetValue(2);
    form_->btStartClick();
    for (int i = 0; i < 6; ++i) server_->Raise(QStringLiteral("Give_Line"));
    server_->Raise(QStringLiteral("PAINT"), QStringLiteral("2 9"));
    server_->Raise(QStringLiteral("FCN"), QStringLiteral("1 0"));
    form_->btStartClick();
    QCOMPARE(form_->Series1->points(), (QList<QPointF>{QPointF(1, 0)}));
    server_->Raise(QStringLiteral("Give_Line"));
    QCOMPARE(server_->lines.last(), QStringLiteral("set title"));
    QCOMPARE(server_->Count(QStringLiteral("LoadDll")), 2);
  }

  // The events that arrive while a load or Finish ends the run are that
  // run's last: no answer goes out, no value or point is kept, messages
  // still show.
  void EventsOfAnEndingRunGetNoAnswer_data() {
    QTest::addColumn<QString>("operation");
    QTest::newRow("load") << "LoadDll";
    QTest::newRow("Finish") << "Finish";
  }
  void EventsOfAnEndingRunGetNoAnswer() {
    QFETCH(QString, operation);
    form_->btStartClick();
    for (int i = 0; i < 4; ++i) server_->Raise(QStringLiteral("Give_Line"));
    server_->duringCall = [this, operation](const QString& called) {
      if (called != operation) return;
      server_->Raise(QStringLiteral("PAINT"), QStringLiteral("9 9"));
      server_->Raise(QStringLiteral("FCN"), QStringLiteral("1 3"));
      server_->Raise(QStringLiteral("Give_Line"));
      server_->Raise(QStringLiteral("End_Of_Run"), QStringLiteral("killed"));
    };
    const QStringList linesBefore = server_->lines;
    if (operation == QLatin1String("Finish"))
      form_->Button3->click();
    else
      form_->btStartClick();
    QCOMPARE(server_->lines, linesBefore);
    QVERIFY(form_->PendingAnswer().isEmpty());
    QVERIFY(!Xs(*form_->Series1).contains(9));
    QVERIFY(form_->Memo1->toPlainText().endsWith(QStringLiteral("killed")));
    // Afterwards the events of the (new) run are answered again.
    server_->duringCall = nullptr;
    server_->Raise(QStringLiteral("Give_Line"));
    QCOMPARE(server_->lines.size(), linesBefore.size() + 1);
    if (operation == QLatin1String("LoadDll"))
      QCOMPARE(server_->lines.last(), QStringLiteral("set title"));
  }

  void DestroyingTheWindowReleasesTheComponent() {
    QPointer<ScriptedServer> server = server_;
    form_.reset();
    QVERIFY(server.isNull());
    QVERIFY(ServerComponent() == nullptr);
  }

  // A run as the module would drive it, for a reviewer's eye: during the
  // run and after it.
  void ScreenshotsOfAScriptedRun() {
    form_->show();
    QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    form_->NParams->SetValue(3);
    form_->btStartClick();
    server_->Raise(QStringLiteral("Output"), QStringLiteral(" MINUIT RELEASE (stand-in)"));
    double x = 0;
    for (int k = 2; k <= 30; ++k) {
      server_->elapsed = k / 10;
      server_->Raise(QStringLiteral("Give_Line"));
      x = 3.0 * (1 - 1.0 / k);
      server_->Raise(QStringLiteral("FCN"),
                     QStringLiteral("3 %1 %2 %3").arg(x / 3).arg(x * 2 / 3).arg(x));
      server_->Raise(QStringLiteral("PAINT"), QStringLiteral("%1 %2").arg(k).arg(14.0 / (k * k)));
      server_->Raise(QStringLiteral("Output"),
                     QStringLiteral(" FCN=%1 iteration %2").arg(14.0 / (k * k)).arg(k));
    }
    QVERIFY(form_->grab().save(QStringLiteral(SCREENSHOT_DIR "/kestrin-standin-during.png")));
    for (int k = 31; k <= 45; ++k)
      server_->Raise(QStringLiteral("PAINT"), QStringLiteral("%1 %2").arg(k).arg(14.0 / (k * k)));
    server_->Raise(QStringLiteral("End_Of_Run"), QStringLiteral("finished"));
    QVERIFY(form_->Series1->count() <= 40);
    QVERIFY(form_->grab().save(QStringLiteral(SCREENSHOT_DIR "/kestrin-standin-after.png")));
  }
};

QTEST_MAIN(Form1Test)
#include "Form1Test.moc"
