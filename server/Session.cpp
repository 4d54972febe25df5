#include "Session.h"

#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <variant>

#include "CallBound.h"
#include "DirectChannel.h"
#include "OstrelIdentity.h"
#include "Text8Bit.h"
#include "zentrix_host.h"

namespace kvq::ostrel {

namespace {

constexpr int kEventsPerPing = 128;
constexpr qsizetype kBytesPerPing = 1 << 20;
constexpr int kMaxPingsInFlight = 2;
// What an event costs on the bus beyond its texts, roughly.
constexpr qsizetype kEventOverhead = 128;

RefusedCall NoModule() {
  return {"NoModule", "no module is loaded: call LoadDll first"};
}

RefusedCall StillLoading() {
  return {"StillLoading", "the module is still loading: wait for the answer of LoadDll"};
}

}  // namespace

Session::Session(const QDBusConnection& connection, const QString& client, WorkerPool& workers,
                 const ServerSettings& settings, QObject* parent)
    : QObject(parent),
      connection_(connection),
      client_(client),
      workers_(workers),
      settings_(settings) {
  loadTimer_.setSingleShot(true);
  loadTimer_.setInterval(Milliseconds(settings_.loadSeconds));
  connect(&loadTimer_, &QTimer::timeout, this, &Session::LoadTimedOut);
}

Session::~Session() {
  DropWorker();
}

void Session::DropWorker() {
  loadTimer_.stop();
  if (!worker_) return;
  disconnect(worker_, nullptr, this, nullptr);
  workers_.Release(worker_);
  worker_ = nullptr;
  if (state_ == State::Loading)
    AnswerLoad(QStringLiteral("cannot load %1: the load was cancelled").arg(shownPath_));
  StopClock();
}

void Session::AnswerLoad(const QString& text) {
  loadTimer_.stop();
  if (pendingLoad_.type() == QDBusMessage::MethodCallMessage)
    connection_.send(pendingLoad_.createReply(text));
  pendingLoad_ = QDBusMessage();
}

void Session::LoadDll(const QString& path, const QString& parameterLine,
                      const QDBusMessage& request) {
  EndRunForNewLoad();
  state_ = State::NoModule;
  paused_ = awaitingLine_ = killedByFinish_ = channelOpen_ = false;
  end_.reset();
  elapsedMs_ = 0;
  modulePath_ = path;
  shownPath_ = EchoedArgument(path);
  auto refuse = [&](const QString& text) { connection_.send(request.createReply(text)); };
  if (path.isEmpty()) return refuse("no module given: LoadDll needs the path of a module");
  if (QFileInfo(path).isRelative())
    return refuse(
        QStringLiteral("cannot load %1: give the module's absolute path").arg(shownPath_));
  std::string payload = path.toStdString();
  payload.push_back('\0');
  payload += EncodeModuleText(parameterLine);
  payload.push_back('\0');
  payload += workingDirectory_.toStdString();
  payload.push_back('\0');
  payload += entryRoutine_.toStdString();
  if (payload.size() > kMaxServerPayload) {
    return refuse(
        QStringLiteral("cannot load %1: the path and parameter line are too long").arg(shownPath_));
  }
  StartLoad(payload, request);
}

// A load during a run ends that run first, and the run's end is told like
// any other.
void Session::EndRunForNewLoad() {
  const bool hadRun = state_ == State::Loaded || state_ == State::Running;
  DropWorker();
  if (hadRun) EmitEvent(kEndOfRunEvent, kEndReplaced);
}

void Session::StartLoad(const std::string& payload, const QDBusMessage& request) {
  auto started = workers_.Start(client_);
  if (auto* refused = std::get_if<QString>(&started)) {
    connection_.send(
        request.createReply(QStringLiteral("cannot load %1: %2").arg(shownPath_, *refused)));
    return;
  }
  worker_ = std::get<WorkerProcess*>(started);
  connect(worker_, &WorkerProcess::FrameReceived, this, &Session::ReceiveFrame);
  connect(worker_, &WorkerProcess::ProcessOutput, this, [this](const std::string& line) {
    SendEvent(kProcessOutputEvent, DecodeModuleText(line));
  });
  connect(worker_, &WorkerProcess::Ended, this, &Session::WorkerEnded);
  state_ = State::Loading;
  pendingLoad_ = request;
  loadTimer_.start();
  worker_->Send(FrameType::Load, payload);
}

// A module whose initialisation blocks, or a path that never opens (a
// FIFO), would hold the client's call for good.
void Session::LoadTimedOut() {
  if (state_ != State::Loading) return;
  std::fprintf(stderr, "ostrel: %s: the load of %s took more than %d s\n", qPrintable(client_),
               qPrintable(shownPath_), settings_.loadSeconds);
  AnswerLoad(QStringLiteral("cannot load %1: the module did not load within %2 s (--load-seconds); "
                            "its initialisation blocks or the file does not open")
                 .arg(shownPath_)
                 .arg(settings_.loadSeconds));
  state_ = State::NoModule;
  DropWorker();
}

std::optional<RefusedCall> Session::SetWorkingDirectory(const QString& directory) {
  QFileInfo folder(directory);
  if (!directory.isEmpty() && (folder.isRelative() || !folder.isDir()))
    return RefusedCall{
        "BadDirectory",
        QStringLiteral("%1 is no absolute path of a directory").arg(EchoedArgument(directory))};
  workingDirectory_ = directory;
  return std::nullopt;
}

std::optional<RefusedCall> Session::SetEntryRoutine(const QString& name) {
  static const QRegularExpression fortranName(QStringLiteral("^[A-Za-z][A-Za-z0-9_]{0,62}$"));
  if (!name.isEmpty() && !fortranName.match(name).hasMatch())
    return RefusedCall{"BadEntryRoutine",
                       QStringLiteral("%1 is no Fortran name").arg(EchoedArgument(name))};
  entryRoutine_ = name;
  return std::nullopt;
}

std::variant<int, RefusedCall> Session::OpenChannel() {
  if (state_ == State::NoModule || state_ == State::Loading) return NoModule();
  if (state_ != State::Loaded)
    return RefusedCall{"ChannelRefused",
                       "the run has started: a direct channel opens between LoadDll and Continue"};
  if (channelOpen_) return RefusedCall{"ChannelRefused", "this run has its direct channel already"};
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
    return RefusedCall{"ChannelRefused", QStringLiteral("cannot make a direct channel: %1")
                                             .arg(QString::fromLocal8Bit(strerror(errno)))};
  // A client that takes nothing for the client time ends its run, as on
  // the bus: the worker's send times out (the option belongs to the
  // socket, which the worker shares).
  timeval stalled{settings_.clientSeconds, 0};
  setsockopt(ends[1], SOL_SOCKET, SO_SNDTIMEO, &stalled, sizeof stalled);
  // The worker cuts a value over the bound itself: no server reads it.
  const bool handed = worker_->SendWithDescriptor(FrameType::Channel,
                                                  EncodeStatus(settings_.maxValueBytes), ends[1]);
  close(ends[1]);  // the worker has its own copy now
  if (!handed) {
    close(ends[0]);
    return RefusedCall{"ChannelRefused", "cannot hand the direct channel to the run's worker"};
  }
  channelOpen_ = true;
  return ends[0];
}

std::optional<RefusedCall> Session::RefuseWithoutRun() const {
  switch (state_) {
    case State::NoModule:
      return NoModule();
    case State::Loading:
      return StillLoading();
    case State::Ended:
      return RefusedCall{"RunEnded", "the run has ended: call LoadDll to run the module again"};
    case State::Loaded:
    case State::Running:
      return std::nullopt;
  }
  return std::nullopt;
}

std::optional<RefusedCall> Session::Continue() {
  if (auto refused = RefuseWithoutRun()) return refused;
  if (state_ == State::Loaded) {
    state_ = State::Running;
    stretch_.start();
    worker_->Send(FrameType::Start, "");
  } else if (paused_) {
    paused_ = false;
    stretch_.start();
    worker_->Resume();
  }
  return std::nullopt;
}

std::optional<RefusedCall> Session::Pause() {
  if (auto refused = RefuseWithoutRun()) return refused;
  if (state_ == State::Running && !paused_) {
    worker_->Suspend();
    paused_ = true;
    StopClock();
  }
  return std::nullopt;
}

std::optional<RefusedCall> Session::Finish() {
  if (state_ == State::Ended) return std::nullopt;
  if (state_ == State::NoModule) return NoModule();
  if (state_ == State::Loading) {
    AnswerLoad(QStringLiteral("cannot load %1: the load was ended by Finish").arg(shownPath_));
    state_ = State::NoModule;
    DropWorker();
    return std::nullopt;
  }
  killedByFinish_ = true;
  worker_->Kill();  // reports the end through WorkerEnded
  return std::nullopt;
}

std::optional<RefusedCall> Session::GiveLine(const std::optional<QString>& line) {
  if (channelOpen_)
    return RefusedCall{"NoLineAwaited", "this run takes its lines over its direct channel"};
  if (state_ != State::Running || !awaitingLine_)
    return RefusedCall{"NoLineAwaited", "no line is awaited: the module has not asked for one"};
  awaitingLine_ = false;
  if (line) {
    // The module reads at most a console buffer (2048 bytes) of it.
    std::string bytes = EncodeModuleText(*line);
    bytes.resize(std::min<std::size_t>(bytes.size(), kMaxServerPayload));
    worker_->Send(FrameType::Line, bytes);
  } else
    worker_->Send(FrameType::EndOfInput, "");
  return std::nullopt;
}

int Session::ElapsedSeconds() const {
  qint64 ms = elapsedMs_ + (stretch_.isValid() ? stretch_.elapsed() : 0);
  return static_cast<int>(ms / 1000);
}

void Session::StopClock() {
  if (!stretch_.isValid()) return;
  elapsedMs_ += stretch_.elapsed();
  stretch_.invalidate();
}

void Session::ReceiveFrame(const Frame& frame) {
  switch (frame.type) {
    case FrameType::Loaded:
      if (state_ != State::Loading) return;
      AnswerLoad(DecodeModuleText(frame.payload));
      state_ = frame.payload.empty() ? State::Loaded : State::NoModule;
      return;
    case FrameType::Output:
    case FrameType::Debug:
    case FrameType::Event:
      if (auto event = EventOfFrame(frame))
        SendEvent(DecodeModuleText(event->name), DecodeModuleText(event->value));
      return;
    case FrameType::NeedLine:
      awaitingLine_ = true;
      return SendEvent(kGiveLineEvent, QString());
    case FrameType::Ended:
      // The run is over: its clock stops now, whatever keeps the process.
      end_ = DecodeEnd(frame.payload);
      StopClock();
      worker_->ExpectExit();
      return;
    case FrameType::Load:
    case FrameType::Start:
    case FrameType::Line:
    case FrameType::EndOfInput:
    case FrameType::Channel:
    case FrameType::Piece:  // joined by the frame reader
      return;               // the server's own frames are not the worker's to send
  }
}

QString Session::EndOfRunText(const WorkerExit& exit) const {
  if (killedByFinish_) return kEndKilled;
  if (end_) {
    switch (end_->status) {
      case ZX_STATUS_OK:
        return kEndFinished;
      case ZX_STATUS_STOPPED:
        if (end_->stopCode != 0)
          return QStringLiteral("%1 with code %2").arg(kEndStopped).arg(end_->stopCode);
        return kEndStopped;
      case ZX_STATUS_IO_ERROR:
        return kEndIoError;
      case ZX_STATUS_END_OF_INPUT:
        return kEndEndOfInput;
      case ZX_STATUS_NOT_STARTED:
        return kEndNotStarted;
      default:
        return QStringLiteral("%1 (status %2)").arg(kEndFinished).arg(end_->status);
    }
  }
  if (exit.signalled)
    return QStringLiteral("%1 with signal %2 (%3)")
        .arg(kEndCrashed)
        .arg(exit.code)
        .arg(QString::fromLocal8Bit(strsignal(exit.code)));
  if (channelOpen_ && exit.code == kWorkerExitClientStalled)
    return QStringLiteral("%1 for %2 s").arg(kEndNotReading).arg(settings_.clientSeconds);
  return QStringLiteral("%1 with code %2").arg(kEndExited).arg(exit.code);
}

void Session::WorkerEnded(const WorkerExit& exit) {
  StopClock();
  awaitingLine_ = paused_ = false;
  if (state_ == State::Loading) {
    // The module's own initialisation killed the worker.
    AnswerLoad(QStringLiteral("cannot load %1: the module %2 while loading")
                   .arg(shownPath_, EndOfRunText(exit)));
    state_ = State::NoModule;
  } else if (state_ == State::Loaded || state_ == State::Running) {
    state_ = State::Ended;
    SendEvent(kEndOfRunEvent, EndOfRunText(exit));
  }
  // The pool deletes the reaped worker.
  worker_ = nullptr;
}

void Session::EmitEvent(const QString& name, const QString& value) {
  QDBusMessage event =
      QDBusMessage::createTargetedSignal(client_, kObjectPath, kInterfaceName, "OnEvent");
  event << QVariant::fromValue(QDBusVariant(name)) << QVariant::fromValue(QDBusVariant(value));
  connection_.send(event);
}

void Session::SendEvent(const QString& name, const QString& value) {
  EmitEvent(name, value);
  bytesSincePing_ += (name.size() + value.size()) * 2 + kEventOverhead;
  if (++eventsSincePing_ < kEventsPerPing && bytesSincePing_ < kBytesPerPing) return;
  eventsSincePing_ = 0;
  bytesSincePing_ = 0;
  PingClient();
}

// The client's answer to a Ping comes after it has taken every event sent
// before: a slow client holds the worker back instead of filling the bus,
// and one that does not answer at all is not reading.
void Session::PingClient() {
  ++pingsInFlight_;
  QDBusMessage ping =
      QDBusMessage::createMethodCall(client_, "/", "org.freedesktop.DBus.Peer", "Ping");
  auto* watcher = new QDBusPendingCallWatcher(
      connection_.asyncCall(ping, Milliseconds(settings_.clientSeconds)), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
    watcher->deleteLater();
    const QDBusError::ErrorType error = watcher->error().type();
    PingFinished(error != QDBusError::NoReply && error != QDBusError::Timeout &&
                 error != QDBusError::TimedOut);
  });
  if (pingsInFlight_ >= kMaxPingsInFlight && worker_) worker_->SetReading(false);
}

void Session::PingFinished(bool answered) {
  --pingsInFlight_;
  if (!answered) return EndRunOfSilentClient();
  if (pingsInFlight_ < kMaxPingsInFlight && worker_) worker_->SetReading(true);
}

void Session::EndRunOfSilentClient() {
  if (state_ != State::Loaded && state_ != State::Running) return;
  std::fprintf(stderr, "ostrel: %s took no events for %d s: its run of %s ends\n",
               qPrintable(client_), settings_.clientSeconds, qPrintable(shownPath_));
  state_ = State::Ended;
  awaitingLine_ = paused_ = false;
  DropWorker();
  // Past the flow control: this is the last event of the run.
  EmitEvent(kEndOfRunEvent,
            QStringLiteral("%1 for %2 s").arg(kEndNotReading).arg(settings_.clientSeconds));
}

}  // namespace kvq::ostrel
