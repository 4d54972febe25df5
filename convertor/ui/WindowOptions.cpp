#include "WindowOptions.h"

#include <QSettings>

#include "ProgramState.h"

namespace kvq {

namespace {

constexpr std::size_t kUnitLength = 4;

QSettings Options() {
  return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("KVQ"),
                   QStringLiteral("Convertor"));
}

bool Flag(const QSettings& options, const char* name, bool fallback) {
  return options.value(QString::fromLatin1(name), fallback).toBool();
}

// Units and lists are 8-bit text in the users' code page, kept as bytes.
std::string Text(const QSettings& options, const char* name, const std::string& fallback) {
  QVariant value = options.value(QString::fromLatin1(name));
  if (!value.isValid()) return fallback;
  return value.toByteArray().toStdString();
}

}  // namespace

void LoadWindowOptions(ProgramState& state) {
  using namespace window_option;
  QSettings options = Options();
  state.checks.createProject = Flag(options, kCreateProject, state.checks.createProject);
  state.checks.insertSave = Flag(options, kInsertSave, state.checks.insertSave);
  state.checks.insertTrace = Flag(options, kInsertTrace, state.checks.insertTrace);
  state.settings.acceptLineFeeds = Flag(options, kAcceptLineFeeds, state.settings.acceptLineFeeds);
  state.consoleUnits = Text(options, kConsoleUnits, state.consoleUnits);
  state.carry.read.unit =
      Text(options, kRedirectRead, state.carry.read.unit).substr(0, kUnitLength);
  state.carry.write.unit =
      Text(options, kRedirectWrite, state.carry.write.unit).substr(0, kUnitLength);
}

void SaveWindowOption(const char* name, const QVariant& value) {
  QSettings options = Options();
  options.setValue(QString::fromLatin1(name), value);
}

}  // namespace kvq
