// Numbers read from and written to text the same way whatever the user's
// locale: "." is the decimal separator, a comma typed instead is accepted.
// NextToken, TakeReal and TakeInteger consume a blank-separated text one
// token at a time; the client decodes the server's event values with them.
#pragma once

#include <QString>
#include <functional>
#include <optional>

namespace kvq {

// The language of the hint words and of the malformed-number message. One
// switch for the whole process; English unless a program changes it.
enum class TMessageLanguage { Russian, English };
void SetMessageLanguage(TMessageLanguage language);
TMessageLanguage MessageLanguage();

// Where the malformed-number message goes. By default a modal message box;
// a program or a test may install its own sink (an empty one restores the
// message box).
void SetNumberMessageSink(std::function<void(const QString&)> sink);

// Cuts the next blank-separated token off s (trimmed first) and returns it;
// s keeps what follows the blank, or becomes empty.
QString NextToken(QString& s);

// The next token as a real. An empty token gives 0; a malformed one is
// reported through the message sink and gives -999999.
double TakeReal(QString& s);

// TakeReal rounded to the nearest integer, ties to even.
int TakeInteger(QString& s);

// General format with at most 10 significant digits: fixed notation for
// 0.0001 <= |x| < 1E10, else scientific as in 1.5E-7 or 2E20.
QString FormatReal(double x);

// General format with at most `digits` significant digits (1..17), fixed
// notation when the rounded value lies in 0.0001 <= |x| < 10^digits.
QString FormatGeneral(double x, int digits);

// The decimal-mark fixes applied before a conversion: the first comma
// becomes a point, and a point that ends the text gets a "0" after it.
QString WithDecimalPoint(QString text);

// The text without blanks and control characters at either end.
QString TrimBlanks(const QString& text);

// A decimal real as the edit controls accept it: optional sign, digits with
// an optional point, optional exponent (E or e, optional sign). Blanks,
// hexadecimal, NaN and infinity texts and values beyond the range of double
// are refused (nullopt). Values too small for a double read as 0.
std::optional<double> ParseDecimalReal(const QString& text);

// Rounds to the nearest integer, ties to even, clamped to the range of int.
int RoundToInt(double x);

}  // namespace kvq
