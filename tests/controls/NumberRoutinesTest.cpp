// The number routines on text as the server and the user write it.
#include <QLocale>
#include <QTest>
#include <cfloat>
#include <climits>
#include <cmath>
#include <limits>

#include "NumberRoutines.h"

using namespace kvq;

namespace {
const QString kEnglishTail = QStringLiteral("\r   ^  Illegal number !");
}

class NumberRoutinesTest : public QObject {
  Q_OBJECT

  QStringList messages_;

 private slots:
  void init() {
    messages_.clear();
    SetMessageLanguage(TMessageLanguage::English);
    SetNumberMessageSink([this](const QString& m) { messages_ << m; });
  }

  void NextTokenCutsAtTheFirstBlank_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("token");
    QTest::addColumn<QString>("rest");
    QTest::newRow("two tokens") << "12 3.5"
                                << "12"
                                << "3.5";
    QTest::newRow("blanks around") << "   12   3.5  "
                                   << "12"
                                   << "  3.5";
    QTest::newRow("one token") << "abc"
                               << "abc"
                               << "";
    QTest::newRow("tabs and line ends trimmed") << "\t7\r\n"
                                                << "7"
                                                << "";
    QTest::newRow("inner tab is no separator") << "1\t2 3"
                                               << "1\t2"
                                               << "3";
    QTest::newRow("empty") << ""
                           << ""
                           << "";
    QTest::newRow("only blanks") << "   \t "
                                 << ""
                                 << "";
    QTest::newRow("trailing blank") << "5 "
                                    << "5"
                                    << "";
  }
  void NextTokenCutsAtTheFirstBlank() {
    QFETCH(QString, text);
    QFETCH(QString, token);
    QFETCH(QString, rest);
    QCOMPARE(NextToken(text), token);
    QCOMPARE(text, rest);
  }

  void TakeRealReadsDecimalReals_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("integer") << "12" << 12.0;
    QTest::newRow("point") << "3.5" << 3.5;
    QTest::newRow("minus") << "-3.5" << -3.5;
    QTest::newRow("plus") << "+4" << 4.0;
    QTest::newRow("exponent") << "1e3" << 1000.0;
    QTest::newRow("upper exponent with sign") << "1E-3" << 0.001;
    QTest::newRow("exponent plus") << "2.5e+2" << 250.0;
    QTest::newRow("comma as point") << "2,5" << 2.5;
    QTest::newRow("ends in point") << "7." << 7.0;
    QTest::newRow("ends in comma") << "7," << 7.0;
    QTest::newRow("no integer digits") << ".5" << 0.5;
    QTest::newRow("sign point exponent") << "-.5e+2" << -50.0;
    QTest::newRow("lone point") << "." << 0.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("blanks") << "   " << 0.0;
    QTest::newRow("leading zeros") << "007" << 7.0;
    QTest::newRow("server style") << "0.150000000000000E+02" << 15.0;
    QTest::newRow("largest double") << "1.7976931348623157e308" << DBL_MAX;
    QTest::newRow("below the smallest double") << "1e-400" << 0.0;
    QTest::newRow("300 zeros") << "1" + QString(300, '0') << 1e300;
    QTest::newRow("long fraction") << "0." + QString(2000, '0') + "1" << 0.0;
  }
  void TakeRealReadsDecimalReals() {
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(TakeReal(text), value);
    QVERIFY(messages_.isEmpty());
    QVERIFY(text.isEmpty());
  }

  void TakeRealReportsMalformedNumbers_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::newRow("letter") << "x"
                            << "... x  " + kEnglishTail;
    QTest::newRow("rest is shown") << "abc 7 8"
                                   << "... abc  7 8" + kEnglishTail;
    QTest::newRow("shown after the comma fix") << "1,2,3"
                                               << "... 1.2,3  " + kEnglishTail;
    QTest::newRow("two points") << "1.5."
                                << "... 1.5.  " + kEnglishTail;
    QTest::newRow("exponent without digits") << "1e"
                                             << "... 1e  " + kEnglishTail;
    QTest::newRow("exponent only") << "e5"
                                   << "... e5  " + kEnglishTail;
    QTest::newRow("lone sign") << "-"
                               << "... -  " + kEnglishTail;
    QTest::newRow("double sign") << "--1"
                                 << "... --1  " + kEnglishTail;
    QTest::newRow("Fortran D exponent") << "1D5"
                                        << "... 1D5  " + kEnglishTail;
    QTest::newRow("NaN") << "NaN"
                         << "... NaN  " + kEnglishTail;
    QTest::newRow("inf") << "inf"
                         << "... inf  " + kEnglishTail;
    QTest::newRow("Infinity") << "-Infinity"
                              << "... -Infinity  " + kEnglishTail;
    QTest::newRow("hexadecimal") << "0x10"
                                 << "... 0x10  " + kEnglishTail;
    QTest::newRow("overflow") << "1e400"
                              << "... 1e400  " + kEnglishTail;
    QTest::newRow("inner tab") << "1\t2"
                               << "... 1\t2  " + kEnglishTail;
    QTest::newRow("Cyrillic digit look-alike") << "З"
                                               << "... З  " + kEnglishTail;
  }
  void TakeRealReportsMalformedNumbers() {
    QFETCH(QString, text);
    QFETCH(QString, message);
    QCOMPARE(TakeReal(text), -999999.0);
    QCOMPARE(messages_, QStringList{message});
  }

  void TakeRealConsumesOneTokenPerCall() {
    QString s = QStringLiteral("12 3.5 x");
    QCOMPARE(TakeReal(s), 12.0);
    QCOMPARE(TakeReal(s), 3.5);
    QVERIFY(messages_.isEmpty());
    QCOMPARE(TakeReal(s), -999999.0);
    QCOMPARE(messages_.size(), 1);
    QCOMPARE(TakeReal(s), 0.0);
    QCOMPARE(messages_.size(), 1);
  }

  void MessageFollowsTheLanguage() {
    SetMessageLanguage(TMessageLanguage::Russian);
    QString s = QStringLiteral("1x 2");
    TakeReal(s);
    SetMessageLanguage(TMessageLanguage::English);
    QCOMPARE(messages_, QStringList{QStringLiteral("... 1x  2\r   ^  Неверный формат числа !")});
  }

  void TakeIntegerRoundsTiesToEven_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("3.5") << "3.5" << 4;
    QTest::newRow("2.5") << "2.5" << 2;
    QTest::newRow("0.5") << "0.5" << 0;
    QTest::newRow("1.5") << "1.5" << 2;
    QTest::newRow("-2.5") << "-2.5" << -2;
    QTest::newRow("-3.5") << "-3.5" << -4;
    QTest::newRow("7.6") << "7.6" << 8;
    QTest::newRow("2.4999") << "2.4999" << 2;
    QTest::newRow("integer") << "60" << 60;
    QTest::newRow("beyond int") << "1e20" << INT_MAX;
    QTest::newRow("below int") << "-1e20" << INT_MIN;
    QTest::newRow("malformed") << "x" << -999999;
  }
  void TakeIntegerRoundsTiesToEven() {
    QFETCH(QString, text);
    QFETCH(int, value);
    QCOMPARE(TakeInteger(text), value);
  }

  void FormatRealWritesTenDigits_data() {
    QTest::addColumn<double>("x");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << 0.0 << "0";
    QTest::newRow("negative zero") << -0.0 << "0";
    QTest::newRow("one") << 1.0 << "1";
    QTest::newRow("minus one") << -1.0 << "-1";
    QTest::newRow("half") << 0.5 << "0.5";
    QTest::newRow("fraction") << 123.456 << "123.456";
    QTest::newRow("third") << 1.0 / 3 << "0.3333333333";
    QTest::newRow("two thirds") << -2.0 / 3 << "-0.6666666667";
    QTest::newRow("ten digits") << 1234567890.0 << "1234567890";
    QTest::newRow("largest fixed") << 9999999999.0 << "9999999999";
    QTest::newRow("1E10") << 1e10 << "1E10";
    QTest::newRow("rounds up to 1E10") << 9999999999.7 << "1E10";
    QTest::newRow("eleven digits") << 12345678901.0 << "1.23456789E10";
    QTest::newRow("0.0001") << 0.0001 << "0.0001";
    QTest::newRow("below 0.0001") << 0.00009 << "9E-5";
    QTest::newRow("small") << 1.5e-7 << "1.5E-7";
    QTest::newRow("large") << 2e20 << "2E20";
    QTest::newRow("negative small") << -1.25e-12 << "-1.25E-12";
    QTest::newRow("largest double") << DBL_MAX << "1.797693135E308";
    QTest::newRow("denormal") << 5e-324 << "4.940656458E-324";
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << "INF";
    QTest::newRow("minus infinity") << -std::numeric_limits<double>::infinity() << "-INF";
    QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << "NAN";
  }
  void FormatRealWritesTenDigits() {
    QFETCH(double, x);
    QFETCH(QString, text);
    QCOMPARE(FormatReal(x), text);
  }

  void FormatGeneralWithFifteenDigits_data() {
    QTest::addColumn<double>("x");
    QTest::addColumn<QString>("text");
    QTest::newRow("5") << 5.0 << "5";
    QTest::newRow("0.25") << 0.25 << "0.25";
    QTest::newRow("1.5E-7") << 1.5e-7 << "1.5E-7";
    QTest::newRow("2E20") << 2e20 << "2E20";
    QTest::newRow("0.1+0.2") << 0.1 + 0.2 << "0.3";
    QTest::newRow("fifteen digits") << 999999999999999.0 << "999999999999999";
    QTest::newRow("1E15") << 1e15 << "1E15";
    QTest::newRow("rounded") << 123456789012345678.0 << "1.23456789012346E17";
    QTest::newRow("fraction") << 3.14159265358979 << "3.14159265358979";
  }
  void FormatGeneralWithFifteenDigits() {
    QFETCH(double, x);
    QFETCH(QString, text);
    QCOMPARE(FormatGeneral(x, 15), text);
  }

  // What FormatReal writes, TakeReal reads back to ten digits.
  void FormatRealReadsBack() {
    for (double x : {0.0, 1.0, -2.5, 1.0 / 3, 1e-5, 6.02214076e23, -1e-300, 9999999999.0}) {
      QString text = FormatReal(x);
      const double back = TakeReal(text);
      QVERIFY2(std::fabs(back - x) <= 1e-9 * std::fabs(x), qPrintable(FormatReal(x)));
    }
    QVERIFY(messages_.isEmpty());
  }

  void ConversionIgnoresTheProgramsLocale() {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QString s = QStringLiteral("2.5 1,5");
    QCOMPARE(TakeReal(s), 2.5);
    QCOMPARE(TakeReal(s), 1.5);
    QCOMPARE(FormatReal(2.5), QStringLiteral("2.5"));
    QLocale::setDefault(QLocale::c());
  }
};

QTEST_GUILESS_MAIN(NumberRoutinesTest)
#include "NumberRoutinesTest.moc"
