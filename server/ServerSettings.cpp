#include "ServerSettings.h"

#include <algorithm>
#include <array>
#include <climits>

namespace kvq::ostrel {

namespace {

struct Setting {
  const char* option;
  const char* variable;
  int ServerSettings::*field;
  const char* meaning;
};

constexpr std::array<Setting, 7> kSettings{{
    {"--idle-seconds", "OSTREL_IDLE_SECONDS", &ServerSettings::idleSeconds,
     "quit after N seconds without clients"},
    {"--load-seconds", "OSTREL_LOAD_SECONDS", &ServerSettings::loadSeconds,
     "a module that has not loaded after N seconds fails to load"},
    {"--client-seconds", "OSTREL_CLIENT_SECONDS", &ServerSettings::clientSeconds,
     "end the run of a client that takes no events for N seconds"},
    {"--max-call-bytes", "OSTREL_MAX_CALL_BYTES", &ServerSettings::maxCallBytes,
     "refuse a call whose arguments carry more than N bytes"},
    {"--max-value-bytes", "OSTREL_MAX_VALUE_BYTES", &ServerSettings::maxValueBytes,
     "cut an event's value or an output line after N bytes, with a mark"},
    {"--max-workers", "OSTREL_MAX_WORKERS", &ServerSettings::maxWorkers,
     "at most N worker processes in all"},
    {"--max-workers-per-client", "OSTREL_MAX_WORKERS_PER_CLIENT",
     &ServerSettings::maxWorkersPerClient, "at most N worker processes for one client"},
}};

const Setting* FindOption(const QString& option) {
  for (const Setting& setting : kSettings)
    if (option == setting.option) return &setting;
  return nullptr;
}

std::optional<int> PositiveNumber(const QString& text) {
  bool ok = false;
  int value = text.toInt(&ok);
  if (!ok || value <= 0) return std::nullopt;
  return value;
}

}  // namespace

std::optional<ServerSettings> ReadSettings(const QStringList& arguments, QString& error) {
  ServerSettings settings;
  for (const Setting& setting : kSettings) {
    if (!qEnvironmentVariableIsSet(setting.variable)) continue;
    auto value = PositiveNumber(qEnvironmentVariable(setting.variable));
    if (!value) {
      error = QStringLiteral("%1 must be a positive whole number").arg(setting.variable);
      return std::nullopt;
    }
    settings.*setting.field = *value;
  }
  for (qsizetype i = 1; i < arguments.size(); i += 2) {
    const Setting* setting = FindOption(arguments[i]);
    if (!setting) {
      error = QStringLiteral("unknown option %1").arg(arguments[i]);
      return std::nullopt;
    }
    auto value = i + 1 < arguments.size() ? PositiveNumber(arguments[i + 1]) : std::nullopt;
    if (!value) {
      error = QStringLiteral("%1 needs a positive whole number").arg(arguments[i]);
      return std::nullopt;
    }
    settings.*setting->field = *value;
  }
  return settings;
}

int Milliseconds(int seconds) {
  return static_cast<int>(std::min<qint64>(qint64{seconds} * 1000, INT_MAX));
}

QString SettingsUsage() {
  const ServerSettings defaults;
  QString usage;
  for (const Setting& setting : kSettings)
    usage += QStringLiteral("  %1 N\n      %2 (default %3, or %4)\n")
                 .arg(QString(setting.option), QString(setting.meaning))
                 .arg(defaults.*setting.field)
                 .arg(QString(setting.variable));
  return usage;
}

}  // namespace kvq::ostrel
