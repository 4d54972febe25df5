// What a desktop client calls on the computational server, and the event it
// receives. TComputationalServer implements it over the automation bus; tests
// of a client drive the client through scripted stand-ins of the same shape.
#pragma once

#include <QObject>
#include <QString>
#include <QVariant>
#include <functional>
#include <stdexcept>

namespace kvq {

class TComputationalServerBase;

// The handler a client sets as OnEvent: the component that raised the event,
// the event's name and its value (both strings inside the variants).
using TComputationalServerOnEvent =
    std::function<void(QObject* Sender, const QVariant& evName, const QVariant& evValue)>;
// What the component is doing that the user waits for (starting the
// server); an empty text when it is done.
using TComputationalServerOnStatus = std::function<void(const QString& status)>;

// A failing server operation. Description() is the server's error
// description; Name() the short name of a refusal the server gave a name
// ("RunEnded", "NoModule", "NoLineAwaited"...), empty otherwise, so that a
// client can tell its user in the user's language.
class EServerError : public std::runtime_error {
 public:
  explicit EServerError(const QString& description, const QString& name = QString())
      : std::runtime_error(description.toStdString()), description_(description), name_(name) {}
  const QString& Description() const { return description_; }
  const QString& Name() const { return name_; }

 private:
  QString description_;
  QString name_;
};

class TComputationalServerBase : public QObject {
 public:
  using QObject::QObject;

  // Every operation may raise EServerError. The first operation called
  // connects to the server.
  virtual int ElapsedTime() = 0;
  virtual void Pause() = 0;
  virtual void Continue() = 0;
  virtual void Finish() = 0;
  // "" when the module is loaded, else the server's error text.
  virtual QString LoadDll(const QString& DllPath, const QString& ParameterLine) = 0;
  // The answer to a "Give_Line" event. The line whose only character has
  // the code 0 is the end of the module's input.
  virtual void GiveLine(const QString& Line) = 0;

  void SetOnEvent(TComputationalServerOnEvent handler) { onEvent_ = std::move(handler); }
  const TComputationalServerOnEvent& OnEvent() const { return onEvent_; }
  void SetOnStatus(TComputationalServerOnStatus handler) { onStatus_ = std::move(handler); }

 protected:
  // Hands one event to the client's handler, if it has set one.
  void RaiseEvent(const QVariant& evName, const QVariant& evValue) {
    if (onEvent_) onEvent_(this, evName, evValue);
  }
  void ReportStatus(const QString& status) {
    if (onStatus_) onStatus_(status);
  }

 private:
  TComputationalServerOnEvent onEvent_;
  TComputationalServerOnStatus onStatus_;
};

}  // namespace kvq
