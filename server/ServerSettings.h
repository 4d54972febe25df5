// What an operator may set on the server: times and bounds, each from a
// command-line option or an environment variable (the option wins). Passed
// by value to whatever needs it; nothing reads the environment later.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace kvq::ostrel {

struct ServerSettings {
  // Without sessions for this long the server quits.
  int idleSeconds = 60;
  // A load that has not answered by then fails (a module whose
  // initialisation blocks, a path that never opens).
  int loadSeconds = 30;
  // A client that leaves a Ping unanswered this long is not reading its
  // events: its run ends.
  int clientSeconds = 60;
  // The most one call may carry in its arguments.
  int maxCallBytes = 16 << 20;
  // The most of one event's value or one output line that reaches the
  // client; beyond it the value is cut and marked.
  int maxValueBytes = 16 << 20;
  // Workers, those being ended included, in total and per client.
  int maxWorkers = 64;
  int maxWorkersPerClient = 4;
};

// The settings from arguments (program name first) and the environment;
// nothing and a usage error in error when an option or a value is wrong.
std::optional<ServerSettings> ReadSettings(const QStringList& arguments, QString& error);

// seconds as a timer's milliseconds, at most what a timer takes.
int Milliseconds(int seconds);

// One line per setting: the option, its variable, its meaning and default.
QString SettingsUsage();

}  // namespace kvq::ostrel
