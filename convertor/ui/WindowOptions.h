// The options a user sets in the window's Option menu, remembered between
// starts of the window (QSettings, ~/.config/KVQ/Convertor.conf): the
// check items, the Consoles list, the redirection units and whether bare
// line feeds are accepted. A run started with arguments takes its options
// from the command line and reads none of them.
#pragma once

#include <QString>
#include <QVariant>

namespace kvq {

struct ProgramState;

// The names the options are kept under.
namespace window_option {
inline constexpr const char* kCreateProject = "CreateProject";
inline constexpr const char* kInsertSave = "InsertSave";
inline constexpr const char* kInsertTrace = "InsertTrace";
inline constexpr const char* kAcceptLineFeeds = "AcceptLineFeeds";
inline constexpr const char* kConsoleUnits = "ConsoleUnits";
inline constexpr const char* kRedirectRead = "RedirectRead";
inline constexpr const char* kRedirectWrite = "RedirectWrite";
}  // namespace window_option

// Takes the remembered options into the state; those never set keep the
// state's values.
void LoadWindowOptions(ProgramState& state);

// Remembers one option as the user just set it.
void SaveWindowOption(const char* name, const QVariant& value);

}  // namespace kvq
