// ostrel-run [OPTION ...] MODULE [PARAMETER-LINE]: runs a converted module through the
// computational server. Each "Give_Line" is answered with the next line of
// standard input (at its end: the end of input), the module's output lines
// go to standard output, every other event to standard error as
// "NAME: VALUE", and the exit status tells how the run ended.
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <iostream>
#include <string>

#include "ComputationalServer.h"
#include "OstrelIdentity.h"
#include "Text8Bit.h"
#include "Version.h"

using namespace kvq;

namespace {

enum ExitStatus {
  kFinished = 0,
  kServerFailed = 1,
  kUsage = 2,
  kIoError = 3,
  kEndOfInput = 4,
  kNotStarted = 5,
  kLoadFailed = 6,
  kKilled = 7,
  kCrashed = 8,
  kExited = 9,
  kStoppedWithCode = 10,
};

constexpr char kUsageLine[] = "usage: ostrel-run [OPTION ...] MODULE [PARAMETER-LINE]\n";

constexpr char kHelp[] =
    "Runs the converted module MODULE (a shared library) in the computational server\n"
    "ostrel, which the session bus starts when none runs. Input lines come from\n"
    "standard input, output lines go to standard output, other events to standard\n"
    "error as NAME: VALUE. PARAMETER-LINE is the module's command line (GETARG(1)).\n"
    "The module runs in the current directory.\n"
    "\n"
    "Options:\n"
    "  -e, --entry NAME  the entry routine (default: the one the build recorded,\n"
    "                  else the file's base name in capitals)\n"
    "  -h, --help      show this text\n"
    "  -V, --version   show the version\n"
    "  --              end of options\n"
    "\n"
    "Exit status: 0 finished or stopped, 1 no server, 2 usage, 3 I/O error, 4 end of\n"
    "input, 5 not started, 6 not loaded, 7 killed by Finish, 8 crashed, 9 the module\n"
    "called exit, 10 the module executed STOP with a code other than 0.\n";

int UsageError(const QString& problem) {
  std::fprintf(stderr, "ostrel-run: %s\n%sTry 'ostrel-run --help' for more information.\n",
               qPrintable(problem), kUsageLine);
  return kUsage;
}

struct Invocation {
  QString module;
  QString parameterLine;
  QString entry;
};

// Options come before the module; -1 when the run goes on, else the exit
// status of an answered option or a usage error.
int ParseArguments(const QStringList& arguments, Invocation& invocation) {
  QStringList operands;
  bool optionsEnded = false;
  bool entryFollows = false;
  for (const QString& argument : arguments.mid(1)) {
    if (entryFollows) {
      invocation.entry = argument;
      entryFollows = false;
      continue;
    }
    if (!optionsEnded && operands.isEmpty() && argument.startsWith('-') && argument != "-") {
      if (argument == "-e" || argument == "--entry") {
        entryFollows = true;
      } else if (argument.startsWith("--entry=")) {
        invocation.entry = argument.mid(8);
      } else if (argument == "--") {
        optionsEnded = true;
      } else if (argument == "-h" || argument == "--help") {
        std::fputs(kUsageLine, stdout);
        std::fputs(kHelp, stdout);
        return kFinished;
      } else if (argument == "-V" || argument == "--version") {
        std::printf("ostrel-run %s\n", ZENTRIX_VERSION);
        return kFinished;
      } else {
        return UsageError("unknown option " + argument);
      }
      continue;
    }
    operands << argument;
  }
  if (entryFollows) return UsageError("--entry needs the name of a routine");
  if (operands.isEmpty()) return UsageError("a module is needed");
  if (operands.size() > 2)
    return UsageError("too many arguments: the parameter line is one argument (quote it)");
  invocation.module = QFileInfo(operands[0]).absoluteFilePath();
  invocation.parameterLine = operands.value(1);
  return -1;
}

int StatusOfEnd(const QString& end) {
  if (end.startsWith(QStringLiteral("%1 with code ").arg(ostrel::kEndStopped)))
    return kStoppedWithCode;
  const std::pair<const char*, int> ends[] = {
      {ostrel::kEndFinished, kFinished},     {ostrel::kEndStopped, kFinished},
      {ostrel::kEndIoError, kIoError},       {ostrel::kEndEndOfInput, kEndOfInput},
      {ostrel::kEndNotStarted, kNotStarted}, {ostrel::kEndKilled, kKilled},
      {ostrel::kEndCrashed, kCrashed},       {ostrel::kEndExited, kExited}};
  for (const auto& [text, status] : ends)
    if (end.startsWith(text)) return status;
  return kServerFailed;
}

// The next line of standard input as a module line; the line of code 0 at
// the end of input.
QString NextInputLine() {
  std::string line;
  if (!std::getline(std::cin, line)) return QString(QChar(u'\0'));
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return ostrel::DecodeModuleText(line);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  Invocation invocation;
  if (int answered = ParseArguments(app.arguments(), invocation); answered >= 0) return answered;
  const QString& module = invocation.module;
  const QString& parameterLine = invocation.parameterLine;

  TComputationalServer server;
  bool ended = false;
  int status = kServerFailed;
  auto end = [&](int code) {
    ended = true;
    status = code;
    app.exit(code);
  };
  server.SetOnEvent([&](QObject*, const QVariant& evName, const QVariant& evValue) {
    const QString name = evName.toString();
    const QString value = evValue.toString();
    if (name == ostrel::kGiveLineEvent) {
      std::fflush(stdout);
      try {
        server.GiveLine(NextInputLine());
      } catch (const EServerError& error) {
        std::fprintf(stderr, "ostrel-run: %s\n", qPrintable(error.Description()));
        end(kServerFailed);
      }
      return;
    }
    if (name == ostrel::kOutputEvent) {
      QByteArray line = value.toUtf8();
      line.append('\n');
      std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stdout);
      return;
    }
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %s\n", name.toUtf8().constData(), value.toUtf8().constData());
    if (name == ostrel::kEndOfRunEvent) end(StatusOfEnd(value));
    if (name == ostrel::kServerLostEvent) end(kServerFailed);
  });

  try {
    // The module's relative file names are the caller's.
    server.SetWorkingDirectory(QDir::currentPath());
    if (!invocation.entry.isEmpty()) server.SetEntryRoutine(invocation.entry);
    QString error = server.LoadDll(module, parameterLine);
    if (!error.isEmpty()) {
      std::fprintf(stderr, "ostrel-run: %s\n", qPrintable(error));
      return kLoadFailed;
    }
    server.Continue();
  } catch (const EServerError& error) {
    std::fprintf(stderr, "ostrel-run: %s\n", qPrintable(error.Description()));
    return kServerFailed;
  }
  // The run may have ended inside Continue already.
  if (!ended) app.exec();
  std::fflush(stdout);
  return status;
}
