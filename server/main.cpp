// ostrel: the computational server. Owns org.kvq.Ostrel on the session bus
// and runs each client's module in an ostrel-worker process of its own.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QFileInfo>
#include <QTimer>
#include <cstdio>

#include "ComputationalServer.h"
#include "OstrelIdentity.h"
#include "ServerSettings.h"
#include "computationalserver_adaptor.h"

using namespace kvq::ostrel;

namespace {

void Usage(const QString& error) {
  std::fprintf(stderr,
               "ostrel: %s\n"
               "usage: ostrel [OPTION N]...\n"
               "The computational server: owns %s on the session bus and runs each client's\n"
               "converted module in a worker process of its own; D-Bus activation starts it.\n"
               "%s",
               qPrintable(error), kServiceName, qPrintable(SettingsUsage()));
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QString error;
  std::optional<ServerSettings> settings = ReadSettings(app.arguments(), error);
  if (!settings) {
    Usage(error);
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
  QString workerPath = QCoreApplication::applicationDirPath() + "/ostrel-worker";
  if (!QFileInfo(workerPath).isExecutable()) {
    std::fprintf(stderr, "ostrel: %s: no worker executable beside the server\n",
                 qPrintable(workerPath));
    return 1;
  }
  ComputationalServer server(bus, workerPath, *settings);
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
