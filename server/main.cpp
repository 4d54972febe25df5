// ostrel: the computational server. Owns org.kvq.Ostrel on the session bus
// and runs each client's module in an ostrel-worker process of its own.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDir>
#include <QFileInfo>
#include <QTimer>
#include <cstdio>

#include "ComputationalServer.h"
#include "OstrelIdentity.h"
#include "ServerProcess.h"
#include "ServerSettings.h"
#include "Version.h"

using namespace kvq::ostrel;

namespace {

void Usage(std::FILE* stream) {
  std::fprintf(stream,
               "usage: ostrel [OPTION N]...\n"
               "The computational server: owns %s on the session bus and runs each client's\n"
               "converted module in a worker process of its own; D-Bus activation starts it.\n"
               "  -h, --help      show this text\n"
               "  -V, --version   show the version\n"
               "%s",
               kServiceName, qPrintable(SettingsUsage()));
}

// -1 when the server goes on, else the exit status of an answered option.
int AnswerOption(const QStringList& arguments) {
  if (arguments.size() != 2) return -1;
  if (arguments[1] == "-h" || arguments[1] == "--help") {
    Usage(stdout);
    return 0;
  }
  if (arguments[1] == "-V" || arguments[1] == "--version") {
    std::printf("ostrel %s\n", ZENTRIX_VERSION);
    return 0;
  }
  return -1;
}

// Installed, the worker lives under libexec/; in a build tree it stands
// beside the server.
QString InstalledWorkerPath() {
  return QDir::cleanPath(QCoreApplication::applicationDirPath() + "/" OSTREL_WORKER_RELATIVE);
}

QString WorkerBesideServer() {
  return QCoreApplication::applicationDirPath() + "/ostrel-worker";
}

QString FindWorker() {
  for (const QString& path : {InstalledWorkerPath(), WorkerBesideServer()})
    if (QFileInfo(path).isExecutable()) return path;
  return {};
}

}  // namespace

int main(int argc, char** argv) {
  PrepareServerProcess();
  QCoreApplication app(argc, argv);
  if (int answered = AnswerOption(app.arguments()); answered >= 0) return answered;
  QString error;
  std::optional<ServerSettings> settings = ReadSettings(app.arguments(), error);
  if (!settings) {
    std::fprintf(stderr, "ostrel: %s\n", qPrintable(error));
    Usage(stderr);
    return 2;
  }
  // Started by bus activation: serve the bus that started us, whatever the
  // inherited DBUS_SESSION_BUS_ADDRESS says.
  QDBusConnection bus =
      qEnvironmentVariableIsSet("DBUS_STARTER_ADDRESS")
          ? QDBusConnection::connectToBus(QDBusConnection::ActivationBus, "ostrel")
          : QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    std::fprintf(stderr, "ostrel: no session bus (%s); start one or set DBUS_SESSION_BUS_ADDRESS\n",
                 qPrintable(bus.lastError().message()));
    return 1;
  }
  QString workerPath = FindWorker();
  if (workerPath.isEmpty()) {
    std::fprintf(stderr, "ostrel: no worker executable (%s or %s)\n",
                 qPrintable(InstalledWorkerPath()), qPrintable(WorkerBesideServer()));
    return 1;
  }
  ComputationalServer server(bus, workerPath, *settings);
  QObject::connect(&server, &ComputationalServer::Idle, &app, &QCoreApplication::quit);
  // Ended by a signal, the server ends its runs first.
  if (!QuitOnStopSignals(app))
    std::fprintf(stderr, "ostrel: cannot watch SIGTERM and SIGHUP: its runs outlive a signal\n");
  if (!server.Register()) {
    std::fprintf(stderr, "ostrel: cannot register %s: %s\n", kObjectPath,
                 qPrintable(bus.lastError().message()));
    return 1;
  }
  auto registered = bus.interface()->registerService(kServiceName);
  if (!registered.isValid() || registered.value() != QDBusConnectionInterface::ServiceRegistered) {
    std::fprintf(stderr, "ostrel: %s is owned by another process on this bus: a server runs\n",
                 kServiceName);
    return 1;
  }
  // A server whose bus went away serves nobody: end, and with it the workers.
  QTimer busCheck;
  QObject::connect(&busCheck, &QTimer::timeout, &app, [&bus, &app] {
    if (!bus.isConnected()) app.exit(1);
  });
  busCheck.start(500);
  return app.exec();
}
