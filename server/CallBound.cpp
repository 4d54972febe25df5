#include "CallBound.h"

#include <climits>

#include "EchoedArgument.h"

// From libdbus, which QtDBus links; its headers are not needed for one call.
extern "C" void dbus_connection_set_max_received_size(void* connection, long size);

namespace kvq::ostrel {

void KeepReadingLargeCalls(const QDBusConnection& connection) {
  if (void* raw = connection.internalPointer())
    dbus_connection_set_max_received_size(raw, LONG_MAX);
}

qsizetype BusBytes(std::initializer_list<QStringView> texts) {
  qsizetype bytes = 0;
  for (QStringView text : texts)
    for (QChar c : text) {
      char16_t unit = c.unicode();
      // A surrogate pair is four bytes, two per half.
      bytes += unit < 0x80 ? 1 : unit < 0x800 || c.isSurrogate() ? 2 : 3;
    }
  return bytes;
}

std::optional<QString> CallTooLarge(qsizetype bytes, qsizetype bound) {
  if (bytes <= bound) return std::nullopt;
  return QStringLiteral(
             "the call carries %1 bytes, more than the %2 bytes a call to this server may "
             "carry (--max-call-bytes)")
      .arg(bytes)
      .arg(bound);
}

QString EchoedArgument(const QString& argument) {
  return QString::fromStdString(EchoedArgument(argument.toStdString()));
}

}  // namespace kvq::ostrel
