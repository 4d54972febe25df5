#include "NumberRoutines.h"

#include <locale.h>

#include <QApplication>
#include <QMessageBox>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

namespace kvq {

namespace {

TMessageLanguage messageLanguage = TMessageLanguage::English;
std::function<void(const QString&)> numberMessageSink;

// Value a malformed number stands for, so that a run can go on with it.
constexpr double kMalformedNumber = -999999;

void ShowInMessageBox(const QString& text) {
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
    std::cerr << text.toStdString() << '\n';
    return;
  }
  // The message separates its two lines with a carriage return, which a
  // Qt label does not break on.
  QString shown = text;
  shown.replace(QChar('\r'), QChar('\n'));
  QMessageBox::information(nullptr, QApplication::applicationDisplayName(), shown);
}

void ReportMalformedNumber(const QString& token, const QString& rest) {
  const QString tail = MessageLanguage() == TMessageLanguage::Russian
                           ? QStringLiteral("   ^  Неверный формат числа !")
                           : QStringLiteral("   ^  Illegal number !");
  const QString message =
      QStringLiteral("... ") + token + QStringLiteral("  ") + rest + QChar('\r') + tail;
  if (numberMessageSink)
    numberMessageSink(message);
  else
    ShowInMessageBox(message);
}

bool IsDigit(QChar c) {
  return c >= QChar('0') && c <= QChar('9');
}

// Checks the grammar sign? digits [. digits] [(E|e) sign? digits] with at
// least one mantissa digit; the conversion itself is left to strtod.
bool IsDecimalReal(const QString& text) {
  qsizetype i = 0;
  const qsizetype n = text.size();
  if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
  qsizetype mantissaDigits = 0;
  while (i < n && IsDigit(text[i])) ++i, ++mantissaDigits;
  if (i < n && text[i] == '.') {
    ++i;
    while (i < n && IsDigit(text[i])) ++i, ++mantissaDigits;
  }
  if (mantissaDigits == 0) return false;
  if (i < n && (text[i] == 'E' || text[i] == 'e')) {
    ++i;
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    qsizetype exponentDigits = 0;
    while (i < n && IsDigit(text[i])) ++i, ++exponentDigits;
    if (exponentDigits == 0) return false;
  }
  return i == n;
}

// strtod in the "C" locale: a program's locale must not change what "."
// means in a number.
double StrtodInC(const std::string& text, bool& overflow) {
  static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(0));
  errno = 0;
  const double value = strtod_l(text.c_str(), nullptr, cLocale);
  overflow = errno == ERANGE && std::isinf(value);
  return value;
}

// Fixed notation of the decimal digits `digits` (no trailing zeros, first
// digit non-zero) scaled so that the first digit stands at 10^exponent.
QString FixedNotation(const QString& digits, int exponent) {
  if (exponent < 0) return QStringLiteral("0.") + QString(-exponent - 1, QChar('0')) + digits;
  const qsizetype integerDigits = exponent + 1;
  if (digits.size() <= integerDigits)
    return digits + QString(integerDigits - digits.size(), QChar('0'));
  return digits.left(integerDigits) + QChar('.') + digits.mid(integerDigits);
}

QString ScientificNotation(const QString& digits, int exponent) {
  QString mantissa = digits.left(1);
  if (digits.size() > 1) mantissa += QChar('.') + digits.mid(1);
  return mantissa + QChar('E') + QString::number(exponent);
}

}  // namespace

void SetMessageLanguage(TMessageLanguage language) {
  messageLanguage = language;
}

TMessageLanguage MessageLanguage() {
  return messageLanguage;
}

void SetNumberMessageSink(std::function<void(const QString&)> sink) {
  numberMessageSink = std::move(sink);
}

QString TrimBlanks(const QString& text) {
  qsizetype first = 0;
  qsizetype last = text.size();
  while (first < last && text[first].unicode() <= ' ') ++first;
  while (last > first && text[last - 1].unicode() <= ' ') --last;
  return text.mid(first, last - first);
}

QString WithDecimalPoint(QString text) {
  const qsizetype comma = text.indexOf(QChar(','));
  if (comma >= 0) text[comma] = QChar('.');
  const qsizetype point = text.indexOf(QChar('.'));
  if (point >= 0 && point == text.size() - 1) text += QChar('0');
  return text;
}

std::optional<double> ParseDecimalReal(const QString& text) {
  if (!IsDecimalReal(text)) return std::nullopt;
  bool overflow = false;
  const double value = StrtodInC(text.toStdString(), overflow);
  if (overflow) return std::nullopt;
  return value;
}

int RoundToInt(double x) {
  if (std::isnan(x)) return 0;
  const double below = std::floor(x);
  const double fraction = x - below;
  double rounded = below;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(below, 2.0) != 0)) rounded = below + 1;
  if (rounded <= double(INT_MIN)) return INT_MIN;
  if (rounded >= double(INT_MAX)) return INT_MAX;
  return int(rounded);
}

QString NextToken(QString& s) {
  s = TrimBlanks(s);
  const qsizetype blank = s.indexOf(QChar(' '));
  if (blank < 0) {
    QString token = s;
    s.clear();
    return token;
  }
  QString token = s.left(blank);
  s = s.mid(blank + 1);
  return token;
}

double TakeReal(QString& s) {
  QString token = NextToken(s);
  if (token.isEmpty()) return 0;
  token = WithDecimalPoint(token);
  if (const std::optional<double> value = ParseDecimalReal(token)) return *value;
  ReportMalformedNumber(token, s);
  return kMalformedNumber;
}

int TakeInteger(QString& s) {
  return RoundToInt(TakeReal(s));
}

QString FormatGeneral(double x, int digits) {
  if (std::isnan(x)) return QStringLiteral("NAN");
  if (std::isinf(x)) return x < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
  if (x == 0) return QStringLiteral("0");
  digits = std::clamp(digits, 1, 17);
  // %e rounds to the digits wanted; the notation is chosen on the rounded
  // value, so 9999999999.7 becomes 1E10 and not "10000000000".
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*e", digits - 1, std::fabs(x));
  const QString printed = QString::fromLatin1(buffer);
  const qsizetype e = printed.indexOf(QChar('e'));
  QString mantissa;
  // The decimal mark printf writes depends on the C locale; only digits count.
  for (const QChar c : printed.left(e))
    if (IsDigit(c)) mantissa += c;
  while (mantissa.size() > 1 && mantissa.endsWith(QChar('0'))) mantissa.chop(1);
  const int exponent = printed.mid(e + 1).toInt();
  const QString sign = x < 0 ? QStringLiteral("-") : QString();
  if (exponent >= -4 && exponent < digits) return sign + FixedNotation(mantissa, exponent);
  return sign + ScientificNotation(mantissa, exponent);
}

QString FormatReal(double x) {
  return FormatGeneral(x, 10);
}

}  // namespace kvq
