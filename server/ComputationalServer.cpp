#include "ComputationalServer.h"

#include <QDBusConnectionInterface>

#include "CallBound.h"
#include "OstrelIdentity.h"

// QtDBus calls these hooks for every incoming method call, in the order of
// arrival, in the main thread, before the call is carried out. Exported by
// QtDBus, not declared in its public headers.
Q_DBUS_EXPORT void qDBusAddSpyHook(void (*)(const QDBusMessage&));

namespace kvq::ostrel {

namespace {

ComputationalServer* theServer = nullptr;

// A property read reaches ElapsedTime without the caller (QtDBus sets no
// QDBusContext for it); the reads of our property are noted here in order,
// and ElapsedTime takes them in the same order.
void NotePropertyRead(const QDBusMessage& call) {
  if (!theServer || call.path() != kObjectPath ||
      call.interface() != "org.freedesktop.DBus.Properties")
    return;
  const QVariantList arguments = call.arguments();
  const QString interface = arguments.value(0).toString();
  if (interface != kInterfaceName && !interface.isEmpty()) return;
  if ((call.member() == "Get" && call.signature() == "ss" &&
       arguments.value(1).toString() == "ElapsedTime") ||
      (call.member() == "GetAll" && call.signature() == "s"))
    theServer->NotePropertyCaller(call.service());
}

}  // namespace

ComputationalServer::ComputationalServer(const QDBusConnection& connection,
                                         const QString& workerPath, const ServerSettings& settings,
                                         QObject* parent)
    : QObject(parent),
      connection_(connection),
      settings_(settings),
      workers_(workerPath, settings) {
  KeepReadingLargeCalls(connection_);
  clients_.setConnection(connection_);
  clients_.setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
  connect(&clients_, &QDBusServiceWatcher::serviceUnregistered, this,
          &ComputationalServer::ClientLeft);
  idleTimer_.setSingleShot(true);
  idleTimer_.setInterval(Milliseconds(settings_.idleSeconds));
  connect(&idleTimer_, &QTimer::timeout, this, &ComputationalServer::Idle);
  UpdateIdleTimer();
  static bool hooked = false;
  if (!hooked) qDBusAddSpyHook(NotePropertyRead);
  hooked = true;
  theServer = this;
}

ComputationalServer::~ComputationalServer() {
  if (theServer == this) theServer = nullptr;
}

void ComputationalServer::NotePropertyCaller(const QString& client) {
  propertyCallers_.push_back(client);
}

Session& ComputationalServer::CallerSession() {
  QString client;
  if (calledFromDBus()) {
    client = message().service();
  } else if (!propertyCallers_.empty()) {
    client = propertyCallers_.front();
    propertyCallers_.pop_front();
  }
  auto found = sessions_.find(client);
  if (found != sessions_.end()) return *found->second;
  auto session = std::make_unique<Session>(connection_, client, workers_, settings_);
  Session& result = *session;
  sessions_.emplace(client, std::move(session));
  clients_.addWatchedService(client);
  UpdateIdleTimer();
  // A client that left before the watcher was set is not seen by it.
  if (calledFromDBus() && !connection_.interface()->isServiceRegistered(client).value())
    QMetaObject::invokeMethod(
        this, [this, client] { ClientLeft(client); }, Qt::QueuedConnection);
  return result;
}

void ComputationalServer::Reply(const std::optional<RefusedCall>& refused) {
  if (refused && calledFromDBus())
    sendErrorReply(QString(kErrorPrefix) + refused->name, refused->description);
}

void ComputationalServer::ClientLeft(const QString& client) {
  clients_.removeWatchedService(client);
  sessions_.erase(client);  // ends the client's run, without events
  UpdateIdleTimer();
}

void ComputationalServer::UpdateIdleTimer() {
  if (sessions_.empty())
    idleTimer_.start();
  else
    idleTimer_.stop();
}

int ComputationalServer::ElapsedTime() {
  return CallerSession().ElapsedSeconds();
}

void ComputationalServer::Pause() {
  Reply(CallerSession().Pause());
}

void ComputationalServer::Continue() {
  Reply(CallerSession().Continue());
}

void ComputationalServer::Finish() {
  Reply(CallerSession().Finish());
}

QString ComputationalServer::LoadDll(const QString& DllPath, const QString& ParameterLine) {
  Session& session = CallerSession();
  if (!calledFromDBus()) return "LoadDll is a call over the bus";
  if (auto tooLarge = CallTooLarge(BusBytes({DllPath, ParameterLine}), settings_.maxCallBytes))
    return QStringLiteral("cannot load %1: %2").arg(DllPath.left(200), *tooLarge);
  setDelayedReply(true);
  session.LoadDll(DllPath, ParameterLine, message());
  return {};
}

void ComputationalServer::GiveLine(const QString& Line) {
  if (auto tooLarge = CallTooLarge(BusBytes({Line}), settings_.maxCallBytes))
    return Reply(RefusedCall{"CallTooLarge", *tooLarge});
  Reply(CallerSession().GiveLine(Line));
}

void ComputationalServer::GiveEndOfInput() {
  Reply(CallerSession().GiveLine(std::nullopt));
}

void ComputationalServer::SetWorkingDirectory(const QString& Directory) {
  if (auto tooLarge = CallTooLarge(BusBytes({Directory}), settings_.maxCallBytes))
    return Reply(RefusedCall{"CallTooLarge", *tooLarge});
  Reply(CallerSession().SetWorkingDirectory(Directory));
}

void ComputationalServer::SetEntryRoutine(const QString& Name) {
  if (auto tooLarge = CallTooLarge(BusBytes({Name}), settings_.maxCallBytes))
    return Reply(RefusedCall{"CallTooLarge", *tooLarge});
  Reply(CallerSession().SetEntryRoutine(Name));
}

}  // namespace kvq::ostrel

namespace kvq::ostrel {

QDBusUnixFileDescriptor ComputationalServer::OpenChannel() {
  if (!connection_.connectionCapabilities().testFlag(QDBusConnection::UnixFileDescriptorPassing)) {
    Reply(RefusedCall{"ChannelRefused", "this bus cannot carry a direct channel (no unix fds)"});
    return {};
  }
  std::variant<int, RefusedCall> channel = CallerSession().OpenChannel();
  if (auto* refused = std::get_if<RefusedCall>(&channel)) {
    Reply(*refused);
    return {};
  }
  // The reply holds a duplicate; ours closes with this value.
  QDBusUnixFileDescriptor end;
  end.giveFileDescriptor(std::get<int>(channel));
  return end;
}

}  // namespace kvq::ostrel
