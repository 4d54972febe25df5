#include "PrivateBus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFile>

namespace kvq::test {

namespace {

QString Configuration(const QString& listen, bool withServices) {
  QString services = withServices
                         ? QStringLiteral("<servicedir>%1</servicedir>").arg(OSTREL_SERVICE_DIR)
                         : QString();
  return QStringLiteral(
             "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
             " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
             "<busconfig><type>session</type>%1%2"
             // The limits of a desktop's session bus, not the daemon's lower defaults.
             "<limit name=\"max_incoming_bytes\">1000000000</limit>"
             "<limit name=\"max_outgoing_bytes\">1000000000</limit>"
             "<limit name=\"max_message_size\">1000000000</limit>"
             "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
             "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n")
      .arg(listen, services);
}

}  // namespace

PrivateBus::PrivateBus(Activation activation, Transport transport) {
  QString config = directory_.filePath("bus.conf");
  QFile file(config);
  if (!file.open(QIODevice::WriteOnly)) return;
  const QString listen =
      transport == Transport::Tcp
          ? QStringLiteral(
                "<listen>tcp:host=127.0.0.1,port=0</listen>"
                "<auth>ANONYMOUS</auth><allow_anonymous/>")
          : QStringLiteral("<listen>unix:dir=%1</listen>").arg(directory_.path());
  file.write(Configuration(listen, activation == Activation::ServiceFile).toUtf8());
  file.close();
  daemon_.start("dbus-daemon", {"--config-file=" + config, "--nofork", "--print-address=1"});
  if (!daemon_.waitForStarted(5000)) return;
  while (!daemon_.canReadLine() && daemon_.waitForReadyRead(5000)) {
  }
  address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
  previousAddress_ = qgetenv("DBUS_SESSION_BUS_ADDRESS");
}

PrivateBus::~PrivateBus() {
  qputenv("DBUS_SESSION_BUS_ADDRESS", previousAddress_);
  daemon_.terminate();
  daemon_.waitForFinished(5000);
}

QProcessEnvironment PrivateBus::Environment() const {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("DBUS_SESSION_BUS_ADDRESS", address_);
  return environment;
}

void PrivateBus::UseInThisProcess() const {
  qputenv("DBUS_SESSION_BUS_ADDRESS", address_.toUtf8());
}

uint PrivateBus::ServerPid() const {
  QDBusConnection bus = QDBusConnection::connectToBus(address_, "kvq-test-probe");
  uint pid = 0;
  if (bus.isConnected() && bus.interface()->isServiceRegistered("org.kvq.Ostrel").value())
    pid = bus.interface()->servicePid("org.kvq.Ostrel").value();
  QDBusConnection::disconnectFromBus("kvq-test-probe");
  return pid;
}

}  // namespace kvq::test
