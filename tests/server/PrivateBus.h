// A private session bus for one test: a dbus-daemon of its own whose
// configuration finds the build's service file (or none, to test the
// fallback start). Tears down with the daemon, and the server on it quits.
#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>
#include <ostream>

// Readable QString values in test failures.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace kvq::test {

class PrivateBus {
 public:
  enum class Activation { ServiceFile, None };
  // A bus reached over TCP carries no unix fds.
  enum class Transport { UnixSocket, Tcp };
  explicit PrivateBus(Activation activation = Activation::ServiceFile,
                      Transport transport = Transport::UnixSocket);
  ~PrivateBus();

  bool Running() const { return !address_.isEmpty(); }
  const QString& Address() const { return address_; }
  // This process's environment with the bus as the session bus.
  QProcessEnvironment Environment() const;
  // Points this process's session bus at this bus (for components).
  void UseInThisProcess() const;
  // The pid owning org.kvq.Ostrel, 0 when nobody does.
  uint ServerPid() const;
  qint64 DaemonPid() const { return daemon_.processId(); }

 private:
  QTemporaryDir directory_;
  QProcess daemon_;
  QString address_;
  QByteArray previousAddress_;
};

}  // namespace kvq::test
