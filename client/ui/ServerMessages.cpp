#include "ServerMessages.h"

namespace kvq {

QString ServerErrorText(const EServerError& error) {
  const QString& name = error.Name();
  if (name == QLatin1String("RunEnded"))
    return QStringLiteral("Расчёт уже закончен. Чтобы начать новый, нажмите «Старт».");
  if (name == QLatin1String("NoModule"))
    return QStringLiteral("Расчёт ещё не начат: нажмите «Старт».");
  if (name == QLatin1String("NoLineAwaited"))
    return QStringLiteral("Сервер не ждёт строки: расчёт закончен или ещё не начат.");
  return error.Description();
}

}  // namespace kvq
