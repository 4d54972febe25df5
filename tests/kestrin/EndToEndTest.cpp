// Kestrin with the real computational server on a private session bus and
// the real converted minimiser module beside the test program: whole runs,
// Pause, Continue, Finish and a restart, with screenshots.
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QValueAxis>
#include <cmath>
#include <memory>

#include "ComputationalServer.h"
#include "Form1.h"
#include "OstrelIdentity.h"
#include "PrivateBus.h"

using namespace kvq;

namespace {

const QString kEndOfRun = QString::fromLatin1(ostrel::kEndOfRunEvent);
constexpr int kRunTimeoutMs = 120000;

// The final parameter values the module prints after "EXIT: FINAL VALUES":
// lines "  1  X1   1.000000000000000E+00   1.0000E+00".
QList<double> FinalParameters(const QString& memo) {
  const qsizetype exit = memo.lastIndexOf(QStringLiteral("EXIT: FINAL VALUES"));
  if (exit < 0) return {};
  static const QRegularExpression line(QStringLiteral("^\\s*(\\d+)\\s+X\\1\\s+(\\S+)"),
                                       QRegularExpression::MultilineOption);
  QList<double> values;
  for (auto it = line.globalMatch(memo.mid(exit)); it.hasNext();)
    values << it.next().captured(2).toDouble();
  return values;
}

}  // namespace

class EndToEndTest : public QObject {
  Q_OBJECT

  std::unique_ptr<test::PrivateBus> bus_;
  std::unique_ptr<TForm1> form_;
  QStringList boxes_;  // message and error boxes that would have appeared
  QStringList events_;
  QStringList endsOfRun_;
  QList<double> paintValues_;
  int fcnEvents_ = 0;
  int mostPoints_ = 0;

  void MakeForm(bool direct = true) {
    form_ = std::make_unique<TForm1>([direct](QObject* owner) {
      auto* server = new TComputationalServer(owner);
      server->SetDirectChannel(direct);
      return server;
    });
    form_->SetMessageSink([this](const QString& m) { boxes_ << m; });
    form_->SetErrorSink([this](const QString& e) { boxes_ << e; });
    connect(
        form_.get(), &TForm1::EventProcessed, this,
        [this](const QString& name, const QString& value) {
          events_ << name;
          if (name == QLatin1String("FCN")) ++fcnEvents_;
          if (name == QLatin1String("PAINT"))
            paintValues_ << value.section(QChar(' '), -1, -1, QString::SectionSkipEmpty).toDouble();
          if (name == kEndOfRun) endsOfRun_ << value;
          mostPoints_ = std::max(mostPoints_, int(form_->Series1->count()));
        });
    form_->show();
    QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
  }

  int Events(const QString& name) const { return int(events_.count(name)); }

 private slots:
  void initTestCase() {
    qputenv("OSTREL_IDLE_SECONDS", "2");
    qputenv("OSTREL_START_TIMEOUT_MS", "10000");
    bus_ = std::make_unique<test::PrivateBus>();
    QVERIFY(bus_->Running());
    bus_->UseInThisProcess();
    SetBeepSink([] {});
    SetNumberMessageSink([this](const QString& m) { boxes_ << m; });
  }
  void init() {
    boxes_.clear();
    events_.clear();
    endsOfRun_.clear();
    paintValues_.clear();
    fcnEvents_ = 0;
    mostPoints_ = 0;
    MakeForm();
  }
  void cleanup() { form_.reset(); }
  void cleanupTestCase() { bus_.reset(); }

  void RunReachesTheMinimum_data() {
    QTest::addColumn<int>("n");
    QTest::newRow("3 parameters") << 3;
    QTest::newRow("8 parameters") << 8;
  }
  void RunReachesTheMinimum() {
    QFETCH(int, n);
    form_->NParams->SetValue(n);
    form_->btStart->click();
    QTRY_VERIFY_WITH_TIMEOUT(!endsOfRun_.isEmpty() || !boxes_.isEmpty(), kRunTimeoutMs);
    QVERIFY2(boxes_.isEmpty(), qPrintable(boxes_.join(QStringLiteral(" | "))));
    QVERIFY2(endsOfRun_.first().startsWith(QLatin1String(ostrel::kEndFinished)),
             qPrintable(endsOfRun_.first()));
    QCOMPARE(form_->ScriptStep(), 8);  // "exit" was the last line asked for
    QVERIFY(!paintValues_.isEmpty());
    QVERIFY2(paintValues_.last() < 1e-6, qPrintable(QString::number(paintValues_.last())));
    const QList<double> parameters = FinalParameters(form_->Memo1->toPlainText());
    QCOMPARE(parameters.size(), n);
    for (int i = 1; i <= n; ++i)
      QVERIFY2(std::fabs(parameters[i - 1] - i) < 1e-3,
               qPrintable(QString::number(parameters[i - 1])));
    QVERIFY(mostPoints_ <= 40);
    QVERIFY(form_->Series1->count() <= 40);
    qInfo("n=%d: %d function values, last %g, %d s by the server", n, fcnEvents_,
          paintValues_.last(), form_->neTime->Value());
    QVERIFY(form_->grab().save(QStringLiteral(SCREENSHOT_DIR "/kestrin-after-run-%1.png").arg(n)));
    // What the user reads on the axes: each tick's own value at the axis'
    // scale, a tick at 0 as a plain 0.
    for (Qt::Orientation orientation : {Qt::Horizontal, Qt::Vertical}) {
      auto* axis = qobject_cast<QValueAxis*>(form_->Chart1->chart()->axes(orientation)[0]);
      const double step = (axis->max() - axis->min()) / (axis->tickCount() - 1);
      for (int i = 0; i < axis->tickCount(); ++i) {
        const double tick = axis->min() + i * step;
        const QString label = QString::asprintf(qPrintable(axis->labelFormat()), tick);
        QVERIFY2(std::fabs(label.toDouble() - tick) < step * 1e-6, qPrintable(label));
        if (std::fabs(tick) < step * 1e-6)
          QVERIFY2(label.toDouble() == 0 && !label.contains(QChar(u'e')), qPrintable(label));
      }
    }
  }

  // The window shows the same memo and chart whether the run's events come
  // over the bus or over the direct channel.
  void SameMemoAndChartOnBothPaths() {
    auto run = [this](bool direct) {
      endsOfRun_.clear();
      MakeForm(direct);
      form_->NParams->SetValue(5);
      form_->btStart->click();
      QTRY_VERIFY_WITH_TIMEOUT(!endsOfRun_.isEmpty(), kRunTimeoutMs);
      QVERIFY(form_->grab().save(QStringLiteral(SCREENSHOT_DIR "/kestrin-after-run-%1.png")
                                     .arg(direct ? "direct" : "bus")));
    };
    run(false);
    const QString busMemo = form_->Memo1->toPlainText();
    const QList<QPointF> busPoints = form_->Series1->points();
    const QImage busChart = form_->Chart1->grab().toImage();
    run(true);
    QVERIFY(qobject_cast<TComputationalServer*>(ServerComponent())->Direct());
    QCOMPARE(form_->Memo1->toPlainText(), busMemo);
    QCOMPARE(form_->Series1->points(), busPoints);
    QCOMPARE(form_->Chart1->grab().toImage(), busChart);
    QVERIFY2(boxes_.isEmpty(), qPrintable(boxes_.join(QStringLiteral(" | "))));
  }

  // Pause holds the run: no events, no seconds; Continue resumes it;
  // Finish ends it.
  void PauseContinueFinish() {
    form_->NParams->SetValue(50);
    form_->btStart->click();
    QTRY_VERIFY_WITH_TIMEOUT(fcnEvents_ >= 200, 30000);
    QVERIFY(form_->grab().save(QStringLiteral(SCREENSHOT_DIR "/kestrin-during-run.png")));
    form_->btControl->click();
    QVERIFY(form_->windowTitle().endsWith(QStringLiteral("приостановлено")));
    QTest::qWait(300);  // events already on their way still arrive
    const int paused = int(events_.size());
    TComputationalServerBase* server = ServerComponent();
    const int secondsAtPause = server->ElapsedTime();
    QTest::qWait(1500);
    QCOMPARE(int(events_.size()), paused);
    QCOMPARE(server->ElapsedTime(), secondsAtPause);
    form_->Button2->click();
    QCOMPARE(form_->windowTitle(), QStringLiteral("Клиент программы MINUIT"));
    QTRY_VERIFY_WITH_TIMEOUT(fcnEvents_ >= 400, 30000);
    form_->btControl->click();
    form_->Button3->click();  // a paused run ends too, and shows no pause after
    QTRY_VERIFY_WITH_TIMEOUT(!endsOfRun_.isEmpty(), 10000);
    QVERIFY2(endsOfRun_.first().startsWith(QLatin1String(ostrel::kEndKilled)),
             qPrintable(endsOfRun_.first()));
    QCOMPARE(form_->windowTitle(), QStringLiteral("Клиент программы MINUIT"));
    const int ended = int(events_.size());
    QTest::qWait(500);
    QCOMPARE(int(events_.size()), ended);
    QVERIFY2(boxes_.isEmpty(), qPrintable(boxes_.join(QStringLiteral(" | "))));
    // After the run the buttons say so in the window's language.
    form_->btControl->click();
    form_->Button2->click();
    QCOMPARE(boxes_, QStringList(2, QStringLiteral("Расчёт уже закончен. Чтобы начать новый, "
                                                   "нажмите «Старт».")));
    QVERIFY(form_->grab().save(QStringLiteral(SCREENSHOT_DIR "/kestrin-after-finish.png")));
  }

  // A second Start during a run loads the module again and runs the script
  // from its first line to the end.
  void StartDuringARunRestarts() {
    // Long enough to be still running at the second Start.
    form_->NParams->SetValue(50);
    form_->btStart->click();
    QTRY_VERIFY_WITH_TIMEOUT(fcnEvents_ >= 100, 30000);
    QVERIFY(endsOfRun_.isEmpty());
    const int firstRunFcn = fcnEvents_;
    form_->NParams->SetValue(8);
    form_->btStart->click();
    QCOMPARE(form_->Series1->count(), 1);
    QVERIFY(form_->ScriptStep() < 4);
    QTRY_VERIFY_WITH_TIMEOUT(std::any_of(endsOfRun_.begin(), endsOfRun_.end(),
                                         [](const QString& e) {
                                           return e.startsWith(QLatin1String(ostrel::kEndFinished));
                                         }),
                             kRunTimeoutMs);
    QVERIFY2(boxes_.isEmpty(), qPrintable(boxes_.join(QStringLiteral(" | "))));
    QVERIFY(fcnEvents_ > firstRunFcn);
    QCOMPARE(FinalParameters(form_->Memo1->toPlainText()).size(), 8);
    QVERIFY(paintValues_.last() < 1e-6);
  }

  // The program itself, without a user: Start, the run, the screenshot,
  // exit status 0.
  void ProgramRunsWithoutAUser() {
    form_.reset();
    const QString screenshot = QStringLiteral(SCREENSHOT_DIR "/kestrin-run-option.png");
    QFile::remove(screenshot);
    QProcess kestrin;
    QProcessEnvironment environment = bus_->Environment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    kestrin.setProcessEnvironment(environment);
    kestrin.start(QStringLiteral(KESTRIN_BINARY),
                  {"--run", "--nparams", "3", "--screenshot", screenshot, "--timeout", "60"});
    QVERIFY(kestrin.waitForFinished(90000));
    const QString errors = QString::fromLocal8Bit(kestrin.readAllStandardError());
    QVERIFY2(kestrin.exitStatus() == QProcess::NormalExit && kestrin.exitCode() == 0,
             qPrintable(errors));
    QVERIFY2(errors.contains(QStringLiteral("End_Of_Run: finished")), qPrintable(errors));
    QVERIFY(!QImage(screenshot).isNull());
  }

  void ProgramRefusesABadOption() {
    form_.reset();
    QProcess kestrin;
    QProcessEnvironment environment = bus_->Environment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    kestrin.setProcessEnvironment(environment);
    kestrin.start(QStringLiteral(KESTRIN_BINARY), {"--run", "--nparams", "many"});
    QVERIFY(kestrin.waitForFinished(30000));
    QCOMPARE(kestrin.exitCode(), 2);
    QVERIFY(kestrin.readAllStandardError().contains("--nparams"));
  }

  // Help, version and usage errors need no display; without one the window
  // is refused with a message, not a core dump.
  void ProgramAnswersWithoutADisplay() {
    form_.reset();
    struct Case {
      QStringList arguments;
      int status;
      QByteArray out;
      QByteArray err;
    };
    const Case cases[] = {{{"--help"}, 0, "Usage: kestrin [options]", ""},
                          {{"-V"}, 0, "kestrin 0.", ""},
                          {{"--frobnicate"}, 2, "", "kestrin: Unknown option 'frobnicate'."},
                          {{}, 2, "", "kestrin: no display to show the window on"}};
    for (const Case& c : cases) {
      QProcess kestrin;
      QProcessEnvironment environment = bus_->Environment();
      for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
      kestrin.setProcessEnvironment(environment);
      kestrin.start(QStringLiteral(KESTRIN_BINARY), c.arguments);
      QVERIFY(kestrin.waitForFinished(30000));
      QCOMPARE(kestrin.exitStatus(), QProcess::NormalExit);
      QCOMPARE(kestrin.exitCode(), c.status);
      QVERIFY(kestrin.readAllStandardOutput().startsWith(c.out));
      QByteArray err = kestrin.readAllStandardError();
      QVERIFY2(c.err.isEmpty() ? err.isEmpty() : err.startsWith(c.err), err.constData());
    }
  }
};

QTEST_MAIN(EndToEndTest)
#include "EndToEndTest.moc"
