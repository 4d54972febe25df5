// kestrin: the minimisation client of the computational server.
//   kestrin                         the window
//   kestrin --run [--screenshot F]  press Start, quit when the run has ended
//   kestrin --help | --version      answered without a display
#include <QApplication>
#include <QCommandLineParser>
#include <iostream>

#include "AutoRun.h"
#include "ComputationalServer.h"
#include "Form1.h"
#include "OstrelIdentity.h"
#include "Version.h"

namespace {

struct Options {
  QCommandLineOption run{QStringLiteral("run"),
                         QStringLiteral("Press Start, quit when the run has ended.")};
  QCommandLineOption screenshot{QStringLiteral("screenshot"),
                                QStringLiteral("With --run: save the window to <file> at the end."),
                                QStringLiteral("file")};
  QCommandLineOption nparams{QStringLiteral("nparams"),
                             QStringLiteral("With --run: the number of parameters."),
                             QStringLiteral("n")};
  QCommandLineOption timeout{QStringLiteral("timeout"),
                             QStringLiteral("With --run: give up after <seconds> (default 120)."),
                             QStringLiteral("seconds"), QStringLiteral("120")};
  QCommandLineOption version{{QStringLiteral("V"), QStringLiteral("version")},
                             QStringLiteral("Show the version.")};
};

void Describe(QCommandLineParser& parser, const Options& options) {
  parser.setApplicationDescription(
      QStringLiteral("The minimisation client of the computational server"));
  parser.addHelpOption();
  parser.addOptions(
      {options.run, options.screenshot, options.nparams, options.timeout, options.version});
}

// Help, version and usage errors are answered before any window exists:
// they need no display. -1 when the program goes on.
int AnswerWithoutWindow(QCommandLineParser& parser, const Options& options, int argc, char** argv) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  if (!parser.parse(arguments)) {
    std::cerr << "kestrin: " << parser.errorText().toStdString()
              << "\nTry 'kestrin --help' for more information.\n";
    return 2;
  }
  if (parser.isSet(QStringLiteral("help"))) {
    // Without an application object the parser cannot name the program.
    std::cout << parser.helpText()
                     .replace(QStringLiteral("<executable_name>"), QStringLiteral("kestrin"))
                     .toStdString();
    return 0;
  }
  if (parser.isSet(options.version)) {
    std::cout << "kestrin " << ZENTRIX_VERSION << "\n";
    return 0;
  }
  return -1;
}

bool HasDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
    if (!qEnvironmentVariableIsEmpty(name)) return true;
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  QCommandLineParser parser;
  Describe(parser, options);
  if (int answered = AnswerWithoutWindow(parser, options, argc, argv); answered >= 0)
    return answered;
  if (!HasDisplay()) {
    std::cerr << "kestrin: no display to show the window on (DISPLAY, WAYLAND_DISPLAY and "
                 "QT_QPA_PLATFORM are unset)\n";
    return 2;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("kestrin"));
  QApplication::setApplicationDisplayName(QStringLiteral("Kestrin"));
  const QCommandLineOption& run = options.run;
  const QCommandLineOption& screenshot = options.screenshot;
  const QCommandLineOption& nparams = options.nparams;
  const QCommandLineOption& timeout = options.timeout;

  kvq::TForm1 form([](QObject* owner) { return new kvq::TComputationalServer(owner); });
  form.show();
  if (!parser.isSet(run)) return app.exec();

  if (parser.isSet(nparams)) {
    bool ok = false;
    const int n = parser.value(nparams).toInt(&ok);
    if (!ok) {
      std::cerr << "kestrin: --nparams wants an integer\n";
      return 2;
    }
    form.NParams->SetValue(n);
  }
  bool ok = false;
  const int seconds = parser.value(timeout).toInt(&ok);
  if (!ok || seconds <= 0) {
    std::cerr << "kestrin: --timeout wants a positive number of seconds\n";
    return 2;
  }
  kvq::TAutoRun autoRun(form,
                        {QString::fromLatin1(kvq::ostrel::kEndOfRunEvent),
                         QString::fromLatin1(kvq::ostrel::kServerLostEvent)},
                        parser.value(screenshot), seconds);
  QObject::connect(&autoRun, &kvq::TAutoRun::Finished, &app, &QCoreApplication::exit);
  autoRun.Start();
  return app.exec();
}
