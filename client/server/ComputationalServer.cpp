#include "ComputationalServer.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusUnixFileDescriptor>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <atomic>

#include "OstrelIdentity.h"
#include "Text8Bit.h"
#include "computationalserver_interface.h"

namespace kvq {

namespace {

using Interface = OrgKvqOstrelIComputationalServerInterface;

constexpr int kDefaultStartTimeoutMs = 10000;
// Events the handler has not taken yet beyond which the channel is not read.
constexpr std::size_t kMaxQueuedEvents = 1024;
// How long the rest of a channel may take to arrive after the run's end.
constexpr int kChannelEndMs = 2000;

QString RefusalName(const QDBusMessage& reply) {
  return reply.errorName().mid(int(qstrlen(ostrel::kErrorPrefix)));
}

bool DirectChannelWanted() {
  return qEnvironmentVariable("OSTREL_DIRECT_CHANNEL") != QStringLiteral("0");
}

QString NewConnectionName() {
  static std::atomic<int> counter{0};
  return QStringLiteral("kvq-ostrel-client-%1").arg(counter++);
}

int StartTimeoutMs() {
  bool ok = false;
  int ms = qEnvironmentVariableIntValue("OSTREL_START_TIMEOUT_MS", &ok);
  return ok && ms > 0 ? ms : kDefaultStartTimeoutMs;
}

// ostrel beside this program, else on PATH; empty when there is none.
QString ServerExecutable() {
  QString beside = QCoreApplication::applicationDirPath() + "/ostrel";
  if (QFileInfo(beside).isExecutable()) return beside;
  return QStandardPaths::findExecutable("ostrel");
}

}  // namespace

TComputationalServer::TComputationalServer(QObject* parent)
    : TComputationalServerBase(parent),
      connectionName_(NewConnectionName()),
      useChannel_(DirectChannelWanted()) {
  // Without the registration QtDBus drops OnEvent signals whose variants it
  // has not met before.
  qRegisterMetaType<QDBusVariant>();
}

TComputationalServer::~TComputationalServer() {
  Disconnect();
}

void TComputationalServer::Disconnect() {
  CloseChannel();
  // Every QDBusConnection copy keeps the connection open: drop them all.
  serverWatcher_.reset();
  proxy_.reset();
  QDBusConnection::disconnectFromBus(connectionName_);
}

Interface& TComputationalServer::Server() {
  if (!proxy_) Connect();
  return *proxy_;
}

void TComputationalServer::Connect() {
  // The address is read anew at every connection (libdbus keeps the first
  // one it saw); without it libdbus finds the session bus its own way.
  const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
  QDBusConnection bus = address.isEmpty() ? QDBusConnection::connectToBus(
                                                QDBusConnection::SessionBus, connectionName_)
                                          : QDBusConnection::connectToBus(address, connectionName_);
  if (!bus.isConnected()) {
    QString why = bus.lastError().message();
    QDBusConnection::disconnectFromBus(connectionName_);
    throw EServerError(QStringLiteral("no session bus to reach the computational server (%1); "
                                      "start one or set DBUS_SESSION_BUS_ADDRESS")
                           .arg(why.isEmpty() ? QStringLiteral("cannot connect") : why));
  }
  try {
    if (!bus.interface()->isServiceRegistered(ostrel::kServiceName).value()) StartServer(bus);
  } catch (...) {
    QDBusConnection::disconnectFromBus(connectionName_);
    throw;
  }
  proxy_ = std::make_unique<Interface>(ostrel::kServiceName, ostrel::kObjectPath, bus);
  connect(proxy_.get(), &Interface::OnEvent, this, &TComputationalServer::ReceiveEvent);
  serverWatcher_ = std::make_unique<QDBusServiceWatcher>(
      ostrel::kServiceName, bus, QDBusServiceWatcher::WatchForUnregistration);
  connect(serverWatcher_.get(), &QDBusServiceWatcher::serviceUnregistered, this,
          &TComputationalServer::ServerLeft);
}

// The window keeps painting while the server starts: activation and the
// wait for the server's name run in local event loops, as calls do.
void TComputationalServer::StartServer(QDBusConnection& bus) {
  ReportStatus(QStringLiteral("starting the computational server..."));
  struct StatusCleared {
    TComputationalServer* component;
    ~StatusCleared() { component->ReportStatus(QString()); }
  } cleared{this};
  QDBusMessage activate =
      QDBusMessage::createMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                     "org.freedesktop.DBus", "StartServiceByName");
  activate << QString(ostrel::kServiceName) << 0u;
  QDBusMessage activated = AwaitReply(bus.asyncCall(activate, StartTimeoutMs()));
  if (activated.type() != QDBusMessage::ErrorMessage) return;
  QString program = ServerExecutable();
  if (program.isEmpty())
    throw EServerError(QStringLiteral("cannot start the computational server: the bus cannot "
                                      "activate %1 (%2), and no ostrel lies beside %3 or on PATH")
                           .arg(ostrel::kServiceName, activated.errorMessage(),
                                QCoreApplication::applicationDirPath()));
  // The server outlives this client: it must not hold the client's standard
  // streams, or a shell that reads the client's output waits for the server.
  QProcess server;
  server.setProgram(program);
  server.setStandardInputFile(QProcess::nullDevice());
  server.setStandardOutputFile(QProcess::nullDevice());
  server.setStandardErrorFile(QProcess::nullDevice());
  if (!server.startDetached())
    throw EServerError(QStringLiteral("cannot start the computational server %1").arg(program));
  if (!AwaitServerName(bus, StartTimeoutMs()))
    throw EServerError(QStringLiteral("the computational server %1 did not appear on the "
                                      "session bus as %2 within %3 ms")
                           .arg(program, ostrel::kServiceName)
                           .arg(StartTimeoutMs()));
}

bool TComputationalServer::AwaitServerName(QDBusConnection& bus, int timeoutMs) {
  QDBusServiceWatcher watcher(ostrel::kServiceName, bus, QDBusServiceWatcher::WatchForRegistration);
  QEventLoop loop;
  connect(&watcher, &QDBusServiceWatcher::serviceRegistered, &loop, &QEventLoop::quit);
  QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
  // The name may have come before the watcher was set up.
  if (!bus.interface()->isServiceRegistered(ostrel::kServiceName).value())
    loop.exec(QEventLoop::ExcludeUserInputEvents);
  return bus.interface()->isServiceRegistered(ostrel::kServiceName).value();
}

// Waits for the reply in a local event loop, so that events (and the
// window) are served meanwhile, as a call into a single-threaded apartment
// is.
QDBusMessage TComputationalServer::AwaitReply(const QDBusPendingCall& call) {
  QDBusPendingCallWatcher watcher(call);
  if (!watcher.isFinished()) {
    QEventLoop loop;
    connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
  }
  return watcher.reply();
}

QVariant TComputationalServer::Call(const QString& method, const QVariantList& arguments) {
  QDBusMessage reply = AwaitReply(Server().asyncCallWithArgumentList(method, arguments));
  if (reply.type() == QDBusMessage::ErrorMessage) {
    if (reply.errorName().startsWith(ostrel::kErrorPrefix))
      throw EServerError(reply.errorMessage(), RefusalName(reply));
    throw EServerError(QStringLiteral("the computational server did not carry out %1: %2")
                           .arg(method, reply.errorMessage()));
  }
  return reply.arguments().value(0);
}

int TComputationalServer::ElapsedTime() {
  if (direct_)
    return static_cast<int>((elapsedMs_ + (stretch_.isValid() ? stretch_.elapsed() : 0)) / 1000);
  Interface& server = Server();
  QDBusMessage get = QDBusMessage::createMethodCall(ostrel::kServiceName, ostrel::kObjectPath,
                                                    "org.freedesktop.DBus.Properties", "Get");
  get << QString(ostrel::kInterfaceName) << QStringLiteral("ElapsedTime");
  QDBusMessage reply = AwaitReply(server.connection().asyncCall(get));
  if (reply.type() == QDBusMessage::ErrorMessage)
    throw EServerError(QStringLiteral("the computational server did not tell ElapsedTime: %1")
                           .arg(reply.errorMessage()));
  return qvariant_cast<QDBusVariant>(reply.arguments().value(0)).variant().toInt();
}

void TComputationalServer::Pause() {
  Call("Pause");
  StopRunClock();
}

void TComputationalServer::Continue() {
  Call("Continue");
  if (direct_ && !stretch_.isValid() && !runEnded_) stretch_.start();
}

void TComputationalServer::StopRunClock() {
  if (!stretch_.isValid()) return;
  elapsedMs_ += stretch_.elapsed();
  stretch_.invalidate();
}

void TComputationalServer::Finish() {
  Call("Finish");
}

QString TComputationalServer::LoadDll(const QString& DllPath, const QString& ParameterLine) {
  CloseChannel();
  direct_ = awaitingLine_ = runEnded_ = false;
  elapsedMs_ = 0;
  stretch_.invalidate();
  QString result = Call("LoadDll", {DllPath, ParameterLine}).toString();
  if (result.isEmpty() && useChannel_) OpenChannel();
  return result;
}

// A server that cannot open a channel (an older one, a bus without unix fds)
// leaves the run on the bus.
void TComputationalServer::OpenChannel() {
  if (!Server().connection().connectionCapabilities().testFlag(
          QDBusConnection::UnixFileDescriptorPassing))
    return;
  QDBusMessage reply = CallExtensionMethod(QStringLiteral("OpenChannel"), {});
  if (reply.type() == QDBusMessage::ErrorMessage) return;
  auto end = qdbus_cast<QDBusUnixFileDescriptor>(reply.arguments().value(0));
  if (!end.isValid()) return;
  int fd = dup(end.fileDescriptor());
  if (fd < 0) return;
  channel_ = std::make_unique<RunChannel>(fd);
  connect(channel_.get(), &RunChannel::FrameReceived, this,
          &TComputationalServer::ReceiveChannelFrame);
  direct_ = true;
}

void TComputationalServer::CloseChannel() {
  channel_.reset();
}

void TComputationalServer::ReceiveChannelFrame(const ostrel::Frame& frame) {
  std::optional<ostrel::RunEvent> event = ostrel::EventOfFrame(frame);
  if (!event) return;
  if (frame.type == ostrel::FrameType::NeedLine) awaitingLine_ = true;
  events_.emplace_back(ostrel::DecodeModuleText(event->name),
                       ostrel::DecodeModuleText(event->value));
  if (events_.size() >= kMaxQueuedEvents) channel_->SetReading(false);
  if (!draining_) DispatchEvent();
}

void TComputationalServer::GiveLine(const QString& Line) {
  const bool endOfInput = Line.size() == 1 && Line[0] == QChar(u'\0');
  if (direct_) {
    if (!awaitingLine_)
      throw EServerError(QStringLiteral("no line is awaited: the module has not asked for one"),
                         QStringLiteral("NoLineAwaited"));
    awaitingLine_ = false;
    // A worker gone meanwhile: its end comes as End_Of_Run.
    if (channel_) channel_->SendLine(endOfInput ? std::nullopt : std::optional<QString>(Line));
    return;
  }
  if (endOfInput)
    Call("GiveEndOfInput");
  else
    Call("GiveLine", {Line});
}

void TComputationalServer::SetWorkingDirectory(const QString& Directory) {
  CallExtension(QStringLiteral("SetWorkingDirectory"), Directory);
}

void TComputationalServer::SetEntryRoutine(const QString& Name) {
  CallExtension(QStringLiteral("SetEntryRoutine"), Name);
}

QDBusMessage TComputationalServer::CallExtensionMethod(const QString& method,
                                                       const QVariantList& arguments) {
  Interface& server = Server();
  QDBusMessage call = QDBusMessage::createMethodCall(ostrel::kServiceName, ostrel::kObjectPath,
                                                     ostrel::kExtensionsInterfaceName, method);
  call.setArguments(arguments);
  return AwaitReply(server.connection().asyncCall(call));
}

void TComputationalServer::CallExtension(const QString& method, const QString& argument) {
  QDBusMessage reply = CallExtensionMethod(method, {argument});
  if (reply.type() != QDBusMessage::ErrorMessage) return;
  if (reply.errorName().startsWith(ostrel::kErrorPrefix))
    throw EServerError(reply.errorMessage(), RefusalName(reply));
  throw EServerError(QStringLiteral("the computational server did not carry out %1: %2")
                         .arg(method, reply.errorMessage()));
}

void TComputationalServer::ReceiveEvent(const QDBusVariant& evName, const QDBusVariant& evValue) {
  // The run's last events may still be in the channel: they come first.
  if (evName.variant().toString() == ostrel::kEndOfRunEvent) {
    runEnded_ = true;
    awaitingLine_ = false;
    StopRunClock();
    if (channel_) {
      draining_ = true;
      channel_->ReadToEnd(kChannelEndMs);
      draining_ = false;
      CloseChannel();
    }
  }
  events_.emplace_back(evName.variant(), evValue.variant());
  DispatchEvent();
}

void TComputationalServer::ServerLeft() {
  serverWatcher_.release()->deleteLater();  // it is emitting this signal
  Disconnect();
  runEnded_ = true;
  StopRunClock();
  events_.emplace_back(QString(ostrel::kServerLostEvent),
                       QStringLiteral("the computational server left the session bus; "
                                      "a run it was doing is lost"));
  DispatchEvent();
}

// One event per turn of the event loop: a call made inside a handler may
// take the next events off the bus, and they wait until the handler returns.
void TComputationalServer::DispatchEvent() {
  if (dispatching_ || events_.empty()) return;
  auto [name, value] = std::move(events_.front());
  events_.pop_front();
  if (channel_ && events_.size() < kMaxQueuedEvents / 2) channel_->SetReading(true);
  dispatching_ = true;
  try {
    RaiseEvent(name, value);
  } catch (const std::exception& error) {
    qWarning("TComputationalServer: the event handler failed on %s: %s",
             qPrintable(name.toString()), error.what());
  }
  dispatching_ = false;
  if (!events_.empty() && !dispatchPosted_) {
    dispatchPosted_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
          dispatchPosted_ = false;
          DispatchEvent();
        },
        Qt::QueuedConnection);
  }
}

}  // namespace kvq
