// kestrin: the minimisation client of the computational server.
//   kestrin                         the window
//   kestrin --run [--screenshot F]  press Start, quit when the run has ended
#include <QApplication>
#include <QCommandLineParser>
#include <iostream>

#include "AutoRun.h"
#include "ComputationalServer.h"
#include "Form1.h"
#include "OstrelIdentity.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("kestrin"));
  QApplication::setApplicationDisplayName(QStringLiteral("Kestrin"));

  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("The minimisation client of the computational server"));
  parser.addHelpOption();
  const QCommandLineOption run(QStringLiteral("run"),
                               QStringLiteral("Press Start, quit when the run has ended."));
  const QCommandLineOption screenshot(
      QStringLiteral("screenshot"),
      QStringLiteral("With --run: save the window to <file> at the end."), QStringLiteral("file"));
  const QCommandLineOption nparams(QStringLiteral("nparams"),
                                   QStringLiteral("With --run: the number of parameters."),
                                   QStringLiteral("n"));
  const QCommandLineOption timeout(
      QStringLiteral("timeout"),
      QStringLiteral("With --run: give up after <seconds> (default 120)."),
      QStringLiteral("seconds"), QStringLiteral("120"));
  parser.addOptions({run, screenshot, nparams, timeout});
  parser.process(app);

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
