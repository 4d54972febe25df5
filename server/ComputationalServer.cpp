#include "ComputationalServer.h"

#include <QDBusConnectionInterface>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>

#include "CallBound.h"
#include "EchoedArgument.h"
#include "OstrelIdentity.h"
#include "OstrelInterfaces.h"

namespace kvq::ostrel {

namespace {

constexpr char kPropertiesInterface[] = "org.freedesktop.DBus.Properties";
constexpr char kElapsedTime[] = "ElapsedTime";

// The <interface> elements of an introspection file, without its <node>.
QString InterfacesOf(const char* xml) {
  const QString text = QString::fromUtf8(xml);
  const qsizetype first = text.indexOf("<interface ");
  const qsizetype last = text.lastIndexOf("</interface>");
  if (first < 0 || last < first) return {};
  return text.mid(first, last + int(sizeof "</interface>") - 1 - first) + '\n';
}

}  // namespace

const ComputationalServer::Method ComputationalServer::kMethods[] = {
    {kInterfaceName, "Pause", "", &ComputationalServer::Pause},
    {kInterfaceName, "Continue", "", &ComputationalServer::Continue},
    {kInterfaceName, "Finish", "", &ComputationalServer::Finish},
    {kInterfaceName, "LoadDll", "ss", &ComputationalServer::LoadDll},
    {kInterfaceName, "GiveLine", "s", &ComputationalServer::GiveLine},
    {kInterfaceName, "GiveEndOfInput", "", &ComputationalServer::GiveEndOfInput},
    {kExtensionsInterfaceName, "SetWorkingDirectory", "s",
     &ComputationalServer::SetWorkingDirectory},
    {kExtensionsInterfaceName, "SetEntryRoutine", "s", &ComputationalServer::SetEntryRoutine},
    {kExtensionsInterfaceName, "OpenChannel", "", &ComputationalServer::OpenChannel},
};

ComputationalServer::ComputationalServer(const QDBusConnection& connection,
                                         const QString& workerPath, const ServerSettings& settings,
                                         QObject* parent)
    : QDBusVirtualObject(parent),
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
}

ComputationalServer::~ComputationalServer() {
  connection_.unregisterObject(kObjectPath);
}

bool ComputationalServer::Register() {
  return connection_.registerVirtualObject(kObjectPath, this, QDBusConnection::SingleNode);
}

QString ComputationalServer::introspect(const QString&) const {
  return InterfacesOf(kServerInterfaceXml) + InterfacesOf(kExtensionsInterfaceXml);
}

bool ComputationalServer::handleMessage(const QDBusMessage& message, const QDBusConnection&) {
  if (message.type() != QDBusMessage::MethodCallMessage) return false;
  // Introspection is QtDBus's (from introspect()), Peer is libdbus's.
  if (message.interface() == "org.freedesktop.DBus.Introspectable" ||
      message.interface() == "org.freedesktop.DBus.Peer")
    return false;
  if (message.interface() == kPropertiesInterface)
    AnswerProperties(message);
  else
    Dispatch(message);
  return true;
}

void ComputationalServer::Dispatch(const QDBusMessage& call) {
  for (const Method& method : kMethods) {
    if (call.member() != method.name) continue;
    if (!call.interface().isEmpty() && call.interface() != method.interface) continue;
    if (call.signature() != method.signature)
      return ReplyError(call, "org.freedesktop.DBus.Error.InvalidArgs",
                        QStringLiteral("%1 takes the arguments \"%2\", not \"%3\"")
                            .arg(call.member(), method.signature, call.signature()));
    return (this->*method.handler)(call);
  }
  ReplyError(
      call, "org.freedesktop.DBus.Error.UnknownMethod",
      QStringLiteral("no method %1 in interface %2 of %3")
          .arg(EchoedArgument(call.member()), EchoedArgument(call.interface()), kObjectPath));
}

// Get, GetAll and Set of org.freedesktop.DBus.Properties. Our one property
// is read for the caller: its run's time, 0 without a session.
void ComputationalServer::AnswerProperties(const QDBusMessage& call) {
  const QVariantList arguments = call.arguments();
  const QString interface = arguments.value(0).toString();
  const bool ours = interface.isEmpty() || interface == kInterfaceName;
  const int elapsed = ElapsedSecondsOf(call.service());
  if (call.member() == "Get" && call.signature() == "ss") {
    if (ours && arguments.value(1).toString() == kElapsedTime)
      return (void)connection_.send(
          call.createReply(QVariant::fromValue(QDBusVariant(QVariant(elapsed)))));
    return ReplyError(
        call, "org.freedesktop.DBus.Error.UnknownProperty",
        QStringLiteral("no property %1 in interface %2")
            .arg(EchoedArgument(arguments.value(1).toString()), EchoedArgument(interface)));
  }
  if (call.member() == "GetAll" && call.signature() == "s") {
    QVariantMap properties;
    if (ours) properties.insert(kElapsedTime, elapsed);
    if (ours || interface == kExtensionsInterfaceName)
      return (void)connection_.send(call.createReply(properties));
    return ReplyError(
        call, "org.freedesktop.DBus.Error.UnknownInterface",
        QStringLiteral("no interface %1 at %2").arg(EchoedArgument(interface), kObjectPath));
  }
  if (call.member() == "Set" && call.signature() == "ssv")
    return ReplyError(
        call, "org.freedesktop.DBus.Error.PropertyReadOnly",
        QStringLiteral("%1 is read-only").arg(EchoedArgument(arguments.value(1).toString())));
  ReplyError(call, "org.freedesktop.DBus.Error.UnknownMethod",
             QStringLiteral("no method %1 with arguments \"%2\" in interface %3")
                 .arg(EchoedArgument(call.member()), call.signature(), kPropertiesInterface));
}

int ComputationalServer::ElapsedSecondsOf(const QString& client) const {
  auto found = sessions_.find(client);
  return found == sessions_.end() ? 0 : found->second->ElapsedSeconds();
}

// The caller's session, created at its first call; nothing for a client
// that has left the bus already (its calls may arrive after it left): it
// gets no session and no worker.
Session* ComputationalServer::SessionOf(const QDBusMessage& call) {
  const QString client = call.service();
  auto found = sessions_.find(client);
  if (found != sessions_.end()) return found->second.get();
  // Watched before it is asked after, so a client that leaves in between
  // is seen either way.
  clients_.addWatchedService(client);
  if (!connection_.interface()->isServiceRegistered(client).value()) {
    clients_.removeWatchedService(client);
    return nullptr;
  }
  auto session = std::make_unique<Session>(connection_, client, workers_, settings_);
  Session* result = session.get();
  sessions_.emplace(client, std::move(session));
  UpdateIdleTimer();
  return result;
}

void ComputationalServer::Reply(const QDBusMessage& call,
                                const std::optional<RefusedCall>& refused) {
  if (refused) return ReplyError(call, QString(kErrorPrefix) + refused->name, refused->description);
  connection_.send(call.createReply());
}

void ComputationalServer::ReplyError(const QDBusMessage& call, const QString& name,
                                     const QString& text) {
  connection_.send(call.createErrorReply(name, text));
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

void ComputationalServer::Pause(const QDBusMessage& call) {
  if (Session* session = SessionOf(call)) Reply(call, session->Pause());
}

void ComputationalServer::Continue(const QDBusMessage& call) {
  if (Session* session = SessionOf(call)) Reply(call, session->Continue());
}

void ComputationalServer::Finish(const QDBusMessage& call) {
  if (Session* session = SessionOf(call)) Reply(call, session->Finish());
}

// Answered by the session once the worker has loaded the module (or not).
void ComputationalServer::LoadDll(const QDBusMessage& call) {
  Session* session = SessionOf(call);
  if (!session) return;
  const QString path = call.arguments().value(0).toString();
  const QString parameterLine = call.arguments().value(1).toString();
  if (auto tooLarge = CallTooLarge(BusBytes({path, parameterLine}), settings_.maxCallBytes))
    return (void)connection_.send(call.createReply(
        QStringLiteral("cannot load %1: %2").arg(EchoedArgument(path), *tooLarge)));
  session->LoadDll(path, parameterLine, call);
}

void ComputationalServer::GiveLine(const QDBusMessage& call) {
  const QString line = call.arguments().value(0).toString();
  if (auto tooLarge = CallTooLarge(BusBytes({line}), settings_.maxCallBytes))
    return Reply(call, RefusedCall{"CallTooLarge", *tooLarge});
  if (Session* session = SessionOf(call)) Reply(call, session->GiveLine(line));
}

void ComputationalServer::GiveEndOfInput(const QDBusMessage& call) {
  if (Session* session = SessionOf(call)) Reply(call, session->GiveLine(std::nullopt));
}

void ComputationalServer::SetWorkingDirectory(const QDBusMessage& call) {
  const QString directory = call.arguments().value(0).toString();
  if (auto tooLarge = CallTooLarge(BusBytes({directory}), settings_.maxCallBytes))
    return Reply(call, RefusedCall{"CallTooLarge", *tooLarge});
  if (Session* session = SessionOf(call)) Reply(call, session->SetWorkingDirectory(directory));
}

void ComputationalServer::SetEntryRoutine(const QDBusMessage& call) {
  const QString name = call.arguments().value(0).toString();
  if (auto tooLarge = CallTooLarge(BusBytes({name}), settings_.maxCallBytes))
    return Reply(call, RefusedCall{"CallTooLarge", *tooLarge});
  if (Session* session = SessionOf(call)) Reply(call, session->SetEntryRoutine(name));
}

// The client's end goes out in the reply; the server keeps no copy.
void ComputationalServer::OpenChannel(const QDBusMessage& call) {
  if (!connection_.connectionCapabilities().testFlag(QDBusConnection::UnixFileDescriptorPassing))
    return Reply(call, RefusedCall{"ChannelRefused",
                                   "this bus cannot carry a direct channel (no unix fds)"});
  Session* session = SessionOf(call);
  if (!session) return;
  std::variant<int, RefusedCall> channel = session->OpenChannel();
  if (auto* refused = std::get_if<RefusedCall>(&channel)) return Reply(call, *refused);
  QDBusUnixFileDescriptor end;
  end.giveFileDescriptor(std::get<int>(channel));  // closed with end, after the send
  connection_.send(call.createReply(QVariant::fromValue(end)));
}

}  // namespace kvq::ostrel
