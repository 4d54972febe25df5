// A stand-in for the computational server: records every call, answers
// LoadDll and ElapsedTime as told, fails the operation it is told to fail,
// and raises the events a test scripts.
#pragma once

#include <QStringList>
#include <functional>

#include "ComputationalServerBase.h"
#include "Form1.h"

class ScriptedServer : public kvq::TComputationalServerBase {
 public:
  using TComputationalServerBase::TComputationalServerBase;

  QStringList calls;  // operation names in order
  QStringList lines;  // every GiveLine argument
  QString loadPath;   // the last LoadDll arguments
  QString loadParameter;
  QString loadResult;                                  // what LoadDll returns
  int elapsed = 0;                                     // what ElapsedTime returns
  QString failing;                                     // the operation that raises EServerError
  std::function<void(const QString&)> duringGiveLine;  // runs inside GiveLine
  std::function<void(const QString&)> duringCall;      // inside every operation

  // One event, and the frame after it: the window shows what it noted.
  void Raise(const QString& name, const QString& value = QString()) {
    RaiseEvent(name, value);
    if (auto* form = qobject_cast<kvq::TForm1*>(parent())) form->UpdateView();
  }

  int ElapsedTime() override {
    Record(QStringLiteral("ElapsedTime"));
    return elapsed;
  }
  void Pause() override { Record(QStringLiteral("Pause")); }
  void Continue() override { Record(QStringLiteral("Continue")); }
  void Finish() override { Record(QStringLiteral("Finish")); }
  QString LoadDll(const QString& DllPath, const QString& ParameterLine) override {
    Record(QStringLiteral("LoadDll"));
    loadPath = DllPath;
    loadParameter = ParameterLine;
    return loadResult;
  }
  void GiveLine(const QString& Line) override {
    Record(QStringLiteral("GiveLine"));
    lines << Line;
    if (duringGiveLine) duringGiveLine(Line);
  }

  int Count(const QString& operation) const { return int(calls.count(operation)); }

 private:
  void Record(const QString& operation) {
    calls << operation;
    if (duringCall) duringCall(operation);
    if (operation == failing)
      throw kvq::EServerError(QStringLiteral("server: %1 failed").arg(operation));
  }
};
