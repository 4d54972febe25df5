// What one call to the server may carry. libdbus stops reading a
// connection while the messages it has handed out exceed a size (63 MiB by
// default) and starts again when they are freed; QtDBus frees them in the
// main thread and cannot re-enable its reader from there, so one large call
// would leave the server deaf for good. The server therefore lifts that
// bound (the bus already bounds a single message) and refuses, with an
// error that says so, a call whose arguments exceed its own.
#pragma once

#include <QDBusConnection>
#include <QString>
#include <QStringView>
#include <initializer_list>
#include <optional>

namespace kvq::ostrel {

// Keeps libdbus reading connection whatever size the messages it holds.
void KeepReadingLargeCalls(const QDBusConnection& connection);

// The size of the texts on the bus (UTF-8).
qsizetype BusBytes(std::initializer_list<QStringView> texts);

// Why a call carrying bytes is refused under bound; nothing when it is not.
std::optional<QString> CallTooLarge(qsizetype bytes, qsizetype bound);

// An argument as an error text repeats it (EchoedArgument.h).
QString EchoedArgument(const QString& argument);

}  // namespace kvq::ostrel
