// A run started with arguments opens the window only when it must ask for a
// file name and a display is there; otherwise it stays on the console.
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTest>
#include <cstdlib>

#include "DialogScript.h"
#include "FrontEndRuns.h"
#include "WindowFrontEnd.h"
#include "WindowOnDemand.h"
#include "WindowStart.h"

namespace kvq {

namespace {

std::unique_ptr<BatchFrontEnd> OpenWindow(ProgramState& state) {
  static int argc = 0;
  return std::make_unique<WindowFrontEnd>(state, argc, nullptr);
}

}  // namespace

class WindowOnDemandTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    QVERIFY(dir_.isValid());
    source_ = dir_.filePath(QStringLiteral("HELLO.FOR")).toStdString();
    QFile file(QString::fromStdString(source_));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("      PROGRAM HELLO\r\n      END\r\n");
  }

  void missingDestinationAskedInWindow() {
    ProgramState state;
    state.batchMode = true;
    QVERIFY(state.paramList.Assign({"NAME=HELLO", source_}));
    std::FILE* devnull = std::fopen("/dev/null", "w");
    ConsoleUserInterface console(devnull, devnull, stdin, false);
    WindowOnDemand ui(console, state, OpenWindow);
    QString destination = dir_.filePath(QStringLiteral("HELLO.F"));
    QString title;
    test::DialogScript script;
    script.Then([&](QWidget* dialog) {
      title = dialog->windowTitle();
      test::ChooseFile(destination)(dialog);
    });
    QCOMPARE(ConvertSingleSource(state, ui, ui, ConversionMode::SingleSource, nullptr).outcome,
             RunOutcome::Converted);
    std::fclose(devnull);
    QVERIFY(ui.WindowCreated());
    QCOMPARE(title, QStringLiteral("KVQ :  Specify Destination file"));
    QVERIFY(QFile::exists(destination));
    // The status line reaches the console, which prints it at the end.
    QVERIFY(console.StatusLine().ends_with("     - ready !"));
    QVERIFY(!state.batchMode);
  }

  void withoutDisplayKeepsCommandLineBehaviour() {
    QByteArray saved = qgetenv("QT_QPA_PLATFORM");
    qunsetenv("QT_QPA_PLATFORM");
    qunsetenv("DISPLAY");
    qunsetenv("WAYLAND_DISPLAY");
    ProgramState state;
    state.batchMode = true;
    QVERIFY(state.paramList.Assign({"NAME=HELLO", source_}));
    std::FILE* devnull = std::fopen("/dev/null", "w");
    ConsoleUserInterface console(devnull, devnull, stdin, false);
    WindowOnDemand ui(console, state, OpenWindow);
    bool hasDisplay = HasDisplay();
    RunOutcome outcome =
        ConvertSingleSource(state, ui, ui, ConversionMode::SingleSource, nullptr).outcome;
    qputenv("QT_QPA_PLATFORM", saved);
    std::fclose(devnull);
    QVERIFY(!hasDisplay);
    QCOMPARE(outcome, RunOutcome::NeedsFileNames);
    QVERIFY(!ui.WindowCreated());
  }

 private:
  QTemporaryDir dir_;
  std::string source_;
};

}  // namespace kvq

QTEST_MAIN(kvq::WindowOnDemandTest)
#include "WindowOnDemandTest.moc"
