#include "Session.h"

#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QFileInfo>
#include <algorithm>
#include <cstring>

#include "OstrelIdentity.h"
#include "Text8Bit.h"
#include "zentrix_host.h"

namespace kvq::ostrel {

namespace {

constexpr int kEventsPerPing = 128;
constexpr int kMaxPingsInFlight = 2;

RefusedCall NoModule() {
  return {"NoModule", "no module is loaded: call LoadDll first"};
}

}  // namespace

Session::Session(const QDBusConnection& connection, const QString& client,
                 const QString& workerPath, QObject* parent)
    : QObject(parent), connection_(connection), client_(client), workerPath_(workerPath) {}

Session::~Session() {
  DropWorker();
}

void Session::DropWorker() {
  if (!worker_) return;
  disconnect(worker_, nullptr, this, nullptr);
  worker_->Kill();
  worker_->deleteLater();
  worker_ = nullptr;
  if (state_ == State::Loading)
    connection_.send(pendingLoad_.createReply(
        QStringLiteral("cannot load %1: the load was cancelled").arg(modulePath_)));
  pendingLoad_ = QDBusMessage();
  StopClock();
}

void Session::LoadDll(const QString& path, const QString& parameterLine,
                      const QDBusMessage& request) {
  DropWorker();  // a load during a run ends that run first
  state_ = State::NoModule;
  paused_ = awaitingLine_ = killedByFinish_ = false;
  endStatus_.reset();
  elapsedMs_ = 0;
  modulePath_ = path;
  auto refuse = [&](const QString& text) { connection_.send(request.createReply(text)); };
  if (path.isEmpty()) return refuse("no module given: LoadDll needs the path of a module");
  if (QFileInfo(path).isRelative())
    return refuse(QStringLiteral("cannot load %1: give the module's absolute path").arg(path));
  std::string payload = path.toStdString();
  payload.push_back('\0');
  payload += EncodeModuleText(parameterLine);
  if (payload.size() > kMaxServerPayload) {
    return refuse(QStringLiteral("cannot load %1: the path and parameter line are too long")
                      .arg(path.left(200)));
  }
  worker_ = new WorkerProcess(workerPath_, this);
  if (!worker_->Started()) {
    QString error = worker_->StartError();
    delete worker_;
    worker_ = nullptr;
    return refuse(QStringLiteral("cannot load %1: the worker %2 does not start: %3")
                      .arg(path, workerPath_, error));
  }
  connect(worker_, &WorkerProcess::FrameReceived, this, &Session::ReceiveFrame);
  connect(worker_, &WorkerProcess::ProcessOutput, this, [this](const std::string& line) {
    SendEvent(kProcessOutputEvent, DecodeModuleText(line));
  });
  connect(worker_, &WorkerProcess::Ended, this, &Session::WorkerEnded);
  state_ = State::Loading;
  pendingLoad_ = request;
  worker_->Send(FrameType::Load, payload);
}

std::optional<RefusedCall> Session::RefuseWithoutRun() const {
  switch (state_) {
    case State::NoModule:
    case State::Loading:
      return NoModule();
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
  if (state_ == State::NoModule || state_ == State::Loading) return NoModule();
  killedByFinish_ = true;
  worker_->Kill();  // reports the end through WorkerEnded
  return std::nullopt;
}

std::optional<RefusedCall> Session::GiveLine(const std::optional<QString>& line) {
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
      connection_.send(pendingLoad_.createReply(DecodeModuleText(frame.payload)));
      pendingLoad_ = QDBusMessage();
      state_ = frame.payload.empty() ? State::Loaded : State::NoModule;
      return;
    case FrameType::Output:
      return SendEvent(kOutputEvent, DecodeModuleText(frame.payload));
    case FrameType::Debug:
      return SendEvent(kDebugEvent, DecodeModuleText(frame.payload));
    case FrameType::Event: {
      std::vector<std::string> pieces = SplitPayload(frame.payload);
      QString name = DecodeModuleText(pieces[0]);
      QString value = pieces.size() > 1 ? DecodeModuleText(pieces[1]) : QString();
      // These names are the client's; a module cannot raise them itself.
      if (name == kGiveLineEvent || name == kEndOfRunEvent || name == kServerLostEvent)
        name = QStringLiteral("Module_") + name;
      return SendEvent(name, value);
    }
    case FrameType::NeedLine:
      awaitingLine_ = true;
      return SendEvent(kGiveLineEvent, QString());
    case FrameType::Ended:
      endStatus_ = DecodeStatus(frame.payload);
      return;
    case FrameType::Load:
    case FrameType::Start:
    case FrameType::Line:
    case FrameType::EndOfInput:
      return;  // the server's own frames are not the worker's to send
  }
}

QString Session::EndOfRunText(const WorkerExit& exit) const {
  if (killedByFinish_) return kEndKilled;
  if (endStatus_) {
    switch (*endStatus_) {
      case ZX_STATUS_OK:
        return kEndFinished;
      case ZX_STATUS_STOPPED:
        return kEndStopped;
      case ZX_STATUS_IO_ERROR:
        return kEndIoError;
      case ZX_STATUS_END_OF_INPUT:
        return kEndEndOfInput;
      case ZX_STATUS_NOT_STARTED:
        return kEndNotStarted;
      default:
        return QStringLiteral("%1 (status %2)").arg(kEndFinished).arg(*endStatus_);
    }
  }
  if (exit.signalled)
    return QStringLiteral("%1 with signal %2 (%3)")
        .arg(kEndCrashed)
        .arg(exit.code)
        .arg(QString::fromLocal8Bit(strsignal(exit.code)));
  return QStringLiteral("%1 with code %2").arg(kEndExited).arg(exit.code);
}

void Session::WorkerEnded(const WorkerExit& exit) {
  StopClock();
  awaitingLine_ = paused_ = false;
  if (state_ == State::Loading) {
    // The module's own initialisation killed the worker.
    QString text = QStringLiteral("cannot load %1: the module %2 while loading")
                       .arg(modulePath_, EndOfRunText(exit));
    connection_.send(pendingLoad_.createReply(text));
    pendingLoad_ = QDBusMessage();
    state_ = State::NoModule;
  } else if (state_ == State::Loaded || state_ == State::Running) {
    state_ = State::Ended;
    SendEvent(kEndOfRunEvent, EndOfRunText(exit));
  }
  if (worker_) {
    disconnect(worker_, nullptr, this, nullptr);
    worker_->deleteLater();
    worker_ = nullptr;
  }
}

void Session::SendEvent(const QString& name, const QString& value) {
  QDBusMessage event =
      QDBusMessage::createTargetedSignal(client_, kObjectPath, kInterfaceName, "OnEvent");
  event << QVariant::fromValue(QDBusVariant(name)) << QVariant::fromValue(QDBusVariant(value));
  connection_.send(event);
  if (++eventsSincePing_ < kEventsPerPing) return;
  // The client's answer to a Ping comes after it has taken every event sent
  // before: a slow client holds the worker back instead of filling the bus.
  eventsSincePing_ = 0;
  ++pingsInFlight_;
  QDBusMessage ping =
      QDBusMessage::createMethodCall(client_, "/", "org.freedesktop.DBus.Peer", "Ping");
  auto* watcher = new QDBusPendingCallWatcher(connection_.asyncCall(ping), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
    watcher->deleteLater();
    PingAnswered();
  });
  if (pingsInFlight_ >= kMaxPingsInFlight && worker_) worker_->SetReading(false);
}

void Session::PingAnswered() {
  if (--pingsInFlight_ < kMaxPingsInFlight && worker_) worker_->SetReading(true);
}

}  // namespace kvq::ostrel
