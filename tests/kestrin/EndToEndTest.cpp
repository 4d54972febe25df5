// Kestrin with the real computational server on a private session bus and
// the real converted minimiser module beside the test program: whole runs,
// Pause, Continue, Finish and a restart, with screenshots.
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
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

  void MakeForm() {
    form_ =
        std::make_unique<TForm1>([](QObject* owner) { return new TComputationalServer(owner); });
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
  }

  // Pause holds the run: no events, no seconds; Continue resumes it;
  // Finish ends it.
  void PauseContinueFinish() {
    form_->NParams->SetValue(50);
    form_->btStart->click();
    QTRY_VERIFY_WITH_TIMEOUT(fcnEvents_ >= 200, 30000);
    QVERIFY(form_->grab().save(QStringLiteral(SCREENSHOT_DIR "/kestrin-during-run.png")));
    form_->btControl->click();
    QTest::qWait(300);  // events already on their way still arrive
    const int paused = int(events_.size());
    TComputationalServerBase* server = ServerComponent();
    const int secondsAtPause = server->ElapsedTime();
    QTest::qWait(1500);
    QCOMPARE(int(events_.size()), paused);
    QCOMPARE(server->ElapsedTime(), secondsAtPause);
    form_->Button2->click();
    QTRY_VERIFY_WITH_TIMEOUT(fcnEvents_ >= 400, 30000);
    form_->Button3->click();
    QTRY_VERIFY_WITH_TIMEOUT(!endsOfRun_.isEmpty(), 10000);
    QVERIFY2(endsOfRun_.first().startsWith(QLatin1String(ostrel::kEndKilled)),
             qPrintable(endsOfRun_.first()));
    const int ended = int(events_.size());
    QTest::qWait(500);
    QCOMPARE(int(events_.size()), ended);
    QVERIFY2(boxes_.isEmpty(), qPrintable(boxes_.join(QStringLiteral(" | "))));
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
