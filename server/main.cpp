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
#include "computationalserver_adaptor.h"

using namespace kvq::ostrel;

namespace {

constexpr int kDefaultIdleSeconds = 60;

void Usage() {
  std::fprintf(stderr,
               "usage: ostrel [--idle-seconds N]\n"
               "The computational server: owns %s on the session bus and runs each client's\n"
               "converted module in a worker process of its own. Quits after N seconds\n"
               "(default %d, or OSTREL_IDLE_SECONDS) without clients; D-Bus activation\n"
               "starts it again.\n",
               kServiceName, kDefaultIdleSeconds);
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

int IdleSeconds(const QStringList& arguments, bool& ok) {
  ok = true;
  int seconds = qEnvironmentVariableIsSet("OSTREL_IDLE_SECONDS")
                    ? qEnvironmentVariableIntValue("OSTREL_IDLE_SECONDS", &ok)
                    : kDefaultIdleSeconds;
  if (arguments.size() == 3 && arguments[1] == "--idle-seconds")
    seconds = arguments[2].toInt(&ok);
  else if (arguments.size() != 1)
    ok = false;
  return ok && seconds > 0 ? seconds : (ok = false, 0);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  bool ok = false;
  int idleSeconds = IdleSeconds(app.arguments(), ok);
  if (!ok) {
    Usage();
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
  ComputationalServer server(bus, workerPath, idleSeconds);
  new IComputationalServerAdaptor(&server);
  QObject::connect(&server, &ComputationalServer::Idle, &app, &QCoreApplication::quit);
  if (!bus.registerObject(kObjectPath, &server)) {
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
