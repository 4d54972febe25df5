// The program's start as a shell starts it: without arguments the window
// (or, without a display, a message and exit status 2); with arguments a
// batch run that never creates the window while it has its file names.
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace kvq {

namespace {

struct Finished {
  int exitCode = -1;
  QByteArray out;
  QByteArray err;
};

// display: the value of QT_QPA_PLATFORM, or none at all; x11Display: the
// value of DISPLAY, or none.
QProcessEnvironment Environment(const QString& display, const QString& x11Display = {}) {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
    environment.remove(QString::fromLatin1(name));
  if (!display.isEmpty()) environment.insert(QStringLiteral("QT_QPA_PLATFORM"), display);
  if (!x11Display.isEmpty()) environment.insert(QStringLiteral("DISPLAY"), x11Display);
  return environment;
}

Finished Run(const QStringList& arguments, const QString& display, const QString& directory,
             const QString& x11Display = {}) {
  QProcess process;
  process.setProcessEnvironment(Environment(display, x11Display));
  process.setWorkingDirectory(directory);
  process.setStandardInputFile(QProcess::nullDevice());
  process.start(QStringLiteral(CONVERTOR_BINARY), arguments);
  Finished finished;
  if (!process.waitForFinished(30000)) {
    process.kill();
    process.waitForFinished();
    return finished;
  }
  finished.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  finished.out = process.readAllStandardOutput();
  finished.err = process.readAllStandardError();
  return finished;
}

}  // namespace

class ProgramStartTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    QVERIFY(dir_.isValid());
    QFile source(dir_.filePath(QStringLiteral("HELLO.FOR")));
    QVERIFY(source.open(QIODevice::WriteOnly));
    source.write("      PROGRAM HELLO\r\n      WRITE(*,*) 'HI'\r\n      END\r\n");
  }

  void noArgumentsWithoutDisplay() {
    for (const QStringList& arguments : {QStringList(), QStringList{QString()}}) {
      Finished finished = Run(arguments, {}, dir_.path());
      QCOMPARE(finished.exitCode, 2);
      QVERIFY2(finished.err.startsWith("convertor: no display to show the window on"),
               finished.err.constData());
      QCOMPARE(finished.out, QByteArray());
    }
  }

  void noArgumentsOpensWindowAndWaits() {
    QProcess process;
    process.setProcessEnvironment(Environment(QStringLiteral("offscreen")));
    process.setWorkingDirectory(dir_.path());
    process.start(QStringLiteral(CONVERTOR_BINARY), {});
    QVERIFY(process.waitForStarted());
    // The window's message loop runs until the window is closed.
    QVERIFY(!process.waitForFinished(1500));
    process.kill();
    process.waitForFinished();
  }

  // A platform that does not exist would end the program at the first
  // window: the batch run must not need one.
  void argumentsNeverCreateWindow() {
    Finished finished = Run({"NAME=HELLO", "HELLO.FOR", "HELLO.F"},
                            QStringLiteral("no-such-platform"), dir_.path());
    QCOMPARE(finished.exitCode, 0);
    QVERIFY(finished.out.contains("Input Lines:2     Output Lines:"));
    QVERIFY(QFile::exists(dir_.filePath(QStringLiteral("HELLO.F"))));
    QCOMPARE(finished.err, QByteArray());
  }

  // With a display the run that lacks its destination waits in the
  // window's file dialog instead of ending with a usage error.
  void missingFileNameWithDisplayAsksInWindow() {
    QProcess process;
    process.setProcessEnvironment(Environment(QStringLiteral("offscreen")));
    process.setWorkingDirectory(dir_.path());
    process.start(QStringLiteral(CONVERTOR_BINARY), {"NAME=HELLO", "BOGUS=1", "HELLO.FOR"});
    QVERIFY(process.waitForStarted());
    QVERIFY(!process.waitForFinished(1500));
    process.kill();
    process.waitForFinished();
    QByteArray err = process.readAllStandardError();
    QVERIFY(!err.contains("file name are needed"));
    // The run starts again in the window program, which does not warn again.
    QCOMPARE(err.count("unknown setting BOGUS"), 1);
  }

  // A command-line run never loads Qt: the window is a program of its own
  // that convertor starts only to show it. Linked statically, convertor
  // loads nothing at all.
  void commandLineRunLoadsNoQt() {
    QProcess process;
    QProcessEnvironment environment = Environment(QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("LD_DEBUG"), QStringLiteral("files"));
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(dir_.path());
    process.start(QStringLiteral(CONVERTOR_BINARY), {"NAME=HELLO", "HELLO.FOR", "HELLO.F"});
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), 0);
    QByteArray loaded = process.readAllStandardError();
    QVERIFY2(!loaded.contains("libQt6"), loaded.constData());
    QVERIFY(!loaded.contains("convertor-window"));
    if (!loaded.contains("file=libc.so")) {
      QProcess ldd;
      ldd.setProcessChannelMode(QProcess::MergedChannels);
      ldd.start(QStringLiteral("ldd"), {QStringLiteral(CONVERTOR_BINARY)});
      QVERIFY(ldd.waitForFinished(30000));
      QByteArray said = ldd.readAll();
      QVERIFY2(said.contains("not a dynamic executable"), said.constData());
    }
  }

  // A program whose window program is missing says so instead of crashing,
  // and its batch runs keep working.
  void windowProgramMissing() {
    QString lonely = dir_.filePath(QStringLiteral("convertor"));
    QVERIFY(QFile::copy(QStringLiteral(CONVERTOR_BINARY), lonely));
    QProcess process;
    process.setProcessEnvironment(Environment(QStringLiteral("offscreen")));
    process.setWorkingDirectory(dir_.path());
    process.start(lonely, {});
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), 2);
    QByteArray err = process.readAllStandardError();
    QVERIFY2(err.startsWith("convertor: the window cannot be shown: the window is not installed"),
             err.constData());
    process.start(lonely, {"NAME=HELLO", "HELLO.FOR"});
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), 2);
    err = process.readAllStandardError();
    QVERIFY2(err.contains("the window cannot be shown"), err.constData());
    QVERIFY(err.contains("a source and a destination file name are needed"));
  }

  // DISPLAY names a display nobody serves: the window's start and the
  // window a run opens for a file name both say so and end with status 2,
  // not with Qt's abort.
  void displayThatCannotBeOpened() {
    const QString nowhere = QStringLiteral(":97");
    QVERIFY(!QFile::exists(QStringLiteral("/tmp/.X11-unix/X97")));
    for (const QStringList& arguments : {QStringList(), QStringList{"NAME=HELLO", "HELLO.FOR"}}) {
      Finished finished = Run(arguments, {}, dir_.path(), nowhere);
      QCOMPARE(finished.exitCode, 2);
      QVERIFY2(finished.err.contains("convertor: the display cannot be opened: "),
               finished.err.constData());
      QVERIFY(finished.err.contains("To convert without the window: convertor"));
    }
  }

  void missingFileNameWithoutDisplay() {
    Finished finished = Run({"NAME=HELLO", "HELLO.FOR"}, {}, dir_.path());
    QCOMPARE(finished.exitCode, 2);
    QVERIFY(finished.err.contains("a source and a destination file name are needed"));
  }

 private:
  QTemporaryDir dir_;
};

}  // namespace kvq

QTEST_MAIN(kvq::ProgramStartTest)
#include "ProgramStartTest.moc"
