// ostrel-run drives real converted modules through a real server on a
// private bus: console lines through "Give_Line", events, how runs end, and
// every reason a load fails.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include "PrivateBus.h"

namespace kvq::test {
namespace {

struct RunResult {
  int exitCode = -1;
  QString out;
  QString err;
};

class CommandLineTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(bus_.Running()) << "dbus-daemon did not start"; }

  RunResult Run(const QStringList& arguments, const QByteArray& input = {}) {
    QProcess run;
    run.setProcessEnvironment(bus_.Environment());
    run.start(OSTREL_RUN, arguments);
    EXPECT_TRUE(run.waitForStarted(5000));
    run.write(input);
    run.closeWriteChannel();
    EXPECT_TRUE(run.waitForFinished(30000)) << "ostrel-run hangs";
    return {run.exitStatus() == QProcess::NormalExit ? run.exitCode() : -1,
            QString::fromUtf8(run.readAllStandardOutput()),
            QString::fromUtf8(run.readAllStandardError())};
  }

  PrivateBus bus_;
};

TEST_F(CommandLineTest, ConsoleLinesEventsAndTheParameterLine) {
  RunResult result =
      Run({MODULE_ECHO, "Possible ParameterLine"}, "first\nsecond line\nend\nlost\n");
  EXPECT_EQ(result.out,
            " parameter: Possible ParameterLine\necho: first\necho: second line\n bye\n");
  EXPECT_EQ(result.err, "Count: 1\nCount: 2\nEnd_Of_Run: finished\n");
  EXPECT_EQ(result.exitCode, 0);
}

TEST_F(CommandLineTest, EndOfStandardInputIsTheEndOfTheModulesInput) {
  RunResult result = Run({MODULE_ECHO}, "only\n");
  EXPECT_EQ(result.out, " parameter:\necho: only\n no more input\n");
  EXPECT_TRUE(result.err.endsWith("End_Of_Run: stopped\n")) << result.err.toStdString();
  EXPECT_EQ(result.exitCode, 0);
}

TEST_F(CommandLineTest, FcnEventsAreAnsweredAsConsoleLines) {
  RunResult result = Run({MODULE_FCNLOOP}, "3\n1.5\n2.25\n4\n");
  EXPECT_EQ(result.err,
            "FCN:   2    1.00    0.50\nFCN:   2    2.00    0.50\n"
            "FCN:   2    3.00    0.50\nEnd_Of_Run: finished\n");
  EXPECT_EQ(result.out, "total       7.750\n");
}

TEST_F(CommandLineTest, ModuleThatCrashesIsReportedWithItsSignal) {
  RunResult result = Run({MODULE_CRASHER});
  EXPECT_EQ(result.out, " before the crash\n");
  EXPECT_EQ(result.err, "End_Of_Run: crashed with signal 11 (Segmentation fault)\n");
  EXPECT_EQ(result.exitCode, 8);
}

TEST_F(CommandLineTest, ModuleThatCallsExitIsReportedWithItsCode) {
  RunResult result = Run({MODULE_EXITER});
  EXPECT_EQ(result.out, " before exit\n");
  EXPECT_EQ(result.err, "End_Of_Run: exited with code 3\n");
  EXPECT_EQ(result.exitCode, 9);
}

TEST_F(CommandLineTest, FortranRunTimeErrorReachesTheClient) {
  RunResult result = Run({MODULE_RTERROR});
  EXPECT_EQ(result.out, " before the error\n");
  EXPECT_TRUE(result.err.contains("Process_Output: Fortran runtime error"))
      << result.err.toStdString();
  EXPECT_TRUE(result.err.endsWith("End_Of_Run: exited with code 2\n")) << result.err.toStdString();
  EXPECT_EQ(result.exitCode, 9);
}

TEST_F(CommandLineTest, FloodArrivesCompleteAndInOrder) {
  constexpr int kLines = 20000;
  RunResult result = Run({MODULE_FLOOD}, QByteArray::number(kLines) + "\n");
  QStringList lines = result.out.split('\n');
  ASSERT_EQ(lines.size(), kLines + 2) << result.err.toStdString();
  for (int i = 0; i < kLines; i += 997)
    ASSERT_EQ(lines[i], QStringLiteral("line%1").arg(i + 1, 8)) << i;
  EXPECT_EQ(lines[kLines - 1], QStringLiteral("line%1").arg(kLines, 8));
  EXPECT_EQ(lines[kLines], " flood done");
  EXPECT_EQ(result.exitCode, 0);
}

TEST_F(CommandLineTest, LoadFailuresSayWhyAndRunNothing) {
  struct Case {
    QString module;
    QString message;
  };
  // A module built for aarch64 (its ELF header says so), one whose file
  // name gives no entry routine, and a path too long to repeat whole.
  QTemporaryDir directory;
  const QString foreign = directory.filePath("Foreign.so");
  const QString hidden = directory.filePath(".ECHO.so");
  ASSERT_TRUE(QFile::copy(MODULE_ECHO, foreign));
  ASSERT_TRUE(QFile::copy(MODULE_UNRECORDED_ECHO, hidden));
  QFile header(foreign);
  ASSERT_TRUE(header.open(QIODevice::ReadWrite) && header.seek(18));
  ASSERT_EQ(header.write("\xb7\x00", 2), 2);  // e_machine: EM_AARCH64
  header.close();
  const QString longPath = "/" + QString(59999, 'x');
  const Case cases[] = {
      {foreign, QStringLiteral("cannot load %1: built for another machine (aarch64), not for ")
                    .arg(foreign)},
      {hidden, QStringLiteral("cannot load %1: no entry routine: the module's build recorded none "
                              "and its file name gives none")
                   .arg(hidden)},
      {longPath,
       "cannot load /" + QString(199, 'x') + "[... 59800 characters cut]: file name too long"},
      {"/nonexistent/Minuit.so", "cannot load /nonexistent/Minuit.so: no such file or directory"},
      {OSTREL_BIN_DIR,
       QStringLiteral("cannot load %1: is a directory, not a module").arg(OSTREL_BIN_DIR)},
      {OSTREL_RUN, QStringLiteral("cannot load %1: %1: cannot dynamically load").arg(OSTREL_RUN)},
      {MODULE_PLAIN, QStringLiteral("cannot load %1: not a converted module").arg(MODULE_PLAIN)},
      {MODULE_UNRECORDED_OTHER,
       QStringLiteral("cannot load %1: no entry routine OTHER").arg(MODULE_UNRECORDED_OTHER)},
  };
  for (const Case& c : cases) {
    RunResult result = Run({c.module}, "never read\n");
    EXPECT_EQ(result.exitCode, 6) << c.module.toStdString();
    EXPECT_TRUE(result.err.startsWith("ostrel-run: " + c.message)) << result.err.toStdString();
    EXPECT_EQ(result.out, "");
  }
}

TEST_F(CommandLineTest, WithoutARecordedEntryTheFilesBaseNameIsTheEntry) {
  RunResult result = Run({MODULE_UNRECORDED_ECHO}, "end\n");
  EXPECT_EQ(result.out, " parameter:\n bye\n");
  EXPECT_EQ(result.exitCode, 0);
}

// ostrel-run runs the module in the caller's directory; a STOP code ends
// it with status 10 and is named in the end of the run.
TEST_F(CommandLineTest, RunsInTheCallersDirectoryAndReportsTheStopCode) {
  QTemporaryDir here;
  QProcess run;
  run.setProcessEnvironment(bus_.Environment());
  run.setWorkingDirectory(here.path());
  run.start(OSTREL_RUN, {MODULE_FILER});
  run.closeWriteChannel();
  ASSERT_TRUE(run.waitForFinished(30000));
  QString err = QString::fromUtf8(run.readAllStandardError());
  EXPECT_EQ(run.exitCode(), 10) << err.toStdString();
  EXPECT_TRUE(err.contains("Process_Output: STOP 3\n")) << err.toStdString();
  EXPECT_TRUE(err.endsWith("End_Of_Run: stopped with code 3\n")) << err.toStdString();
  EXPECT_TRUE(QFile::exists(here.filePath("grid_data.txt")));
}

// A module whose file name is not its entry routine's runs with --entry.
TEST_F(CommandLineTest, EntryRoutineNamedOnTheCommandLine) {
  EXPECT_EQ(Run({MODULE_UNRECORDED_OTHER}, "end\n").exitCode, 6);
  RunResult named = Run({"--entry", "echo", MODULE_UNRECORDED_OTHER}, "end\n");
  EXPECT_EQ(named.exitCode, 0) << named.err.toStdString();
  EXPECT_EQ(named.out, " parameter:\n bye\n");
  RunResult bad = Run({"--entry=no-such", MODULE_UNRECORDED_OTHER}, "end\n");
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_TRUE(bad.err.contains("no-such is no Fortran name")) << bad.err.toStdString();
}

TEST_F(CommandLineTest, OptionsHelpVersionAndUsageErrors) {
  for (const QStringList& arguments : {QStringList{}, {"a", "b", "c"}, {"--frobnicate", "a"}}) {
    RunResult result = Run(arguments);
    EXPECT_EQ(result.exitCode, 2) << arguments.join(' ').toStdString();
    EXPECT_TRUE(result.err.contains("usage: ostrel-run")) << result.err.toStdString();
    EXPECT_EQ(result.out, "");
  }
  for (const char* help : {"-h", "--help"}) {
    RunResult result = Run({help});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(result.out.startsWith("usage: ostrel-run [OPTION ...] MODULE"))
        << result.out.toStdString();
    EXPECT_EQ(result.err, "");
  }
  for (const char* version : {"-V", "--version"})
    EXPECT_TRUE(Run({version}).out.startsWith("ostrel-run 0.")) << version;
  // After -- a module may begin with "-"; an option after the module is the
  // module's parameter line.
  QTemporaryDir dir;
  ASSERT_TRUE(QFile::copy(MODULE_ECHO, dir.filePath("-echo.so")));
  QProcess run;
  run.setProcessEnvironment(bus_.Environment());
  run.setWorkingDirectory(dir.path());
  run.start(OSTREL_RUN, {"--", "-echo.so", "-v"});
  run.write("end\n");
  run.closeWriteChannel();
  ASSERT_TRUE(run.waitForFinished(30000));
  EXPECT_EQ(run.exitCode(), 0) << run.readAllStandardError().toStdString();
  EXPECT_TRUE(run.readAllStandardOutput().startsWith(" parameter: -v"));
}

}  // namespace
}  // namespace kvq::test
