// The command script and the test function, without a window.
#include <QTest>

#include "NumberRoutines.h"
#include "RunScript.h"
#include "TestFunction.h"

using namespace kvq;

class RunDriverTest : public QObject {
  Q_OBJECT

  QStringList messages_;

 private slots:
  void init() {
    messages_.clear();
    SetNumberMessageSink([this](const QString& m) { messages_ << m; });
  }

  void ParameterLineHasTwoBlanksBeforeTheStart() {
    TRunScript script;
    for (int i = 0; i < 3; ++i) script.NextLine(3);
    QStringList parameters;
    for (int i = 0; i < 3; ++i) parameters << script.NextLine(3);
    QCOMPARE(parameters.last(), QStringLiteral("3 'X3'  0. 0.1"));
    QCOMPARE(parameters.last().size(), 14);
    QCOMPARE(script.ParamIndex(), 3);
    QCOMPARE(script.ScriptStep(), 3);
    QCOMPARE(script.NextLine(3), QString());
    QCOMPARE(script.ScriptStep(), 4);
    QCOMPARE(script.ParamIndex(), 4);
  }

  void EndOfInputLineIsOneNulCharacter() {
    QCOMPARE(EndOfInputLine().size(), 1);
    QCOMPARE(EndOfInputLine()[0].unicode(), 0);
  }

  void RestartBeginsAgain() {
    TRunScript script;
    for (int i = 0; i < 20; ++i) script.NextLine(2);
    script.Restart();
    QCOMPARE(script.ScriptStep(), 0);
    QCOMPARE(script.ParamIndex(), 0);
    QCOMPARE(script.NextLine(2), QStringLiteral("set title"));
  }

  void FunctionValue_data() {
    QTest::addColumn<QString>("values");
    QTest::addColumn<QString>("answer");
    QTest::newRow("two zeros") << "2 0 0"
                               << "5";
    QTest::newRow("one real") << "1 1.5"
                              << "0.25";
    QTest::newRow("at the minimum") << "3 1 2 3"
                                    << "0";
    QTest::newRow("count 0") << "0"
                             << "0";
    QTest::newRow("negative count") << "-2 5 5"
                                    << "0";
    QTest::newRow("missing values read 0") << "2 1"
                                           << "4";
    QTest::newRow("fifteen digits") << "1 1.1"
                                    << "0.01";
    QTest::newRow("fraction") << "2 1e-4 2"
                              << "0.99980001";
    QTest::newRow("scientific above 15 digits") << "1 1e10"
                                                << "9.999999998E19";
    QTest::newRow("rounded to 0.0001") << "1 1.01"
                                       << "0.0001";
    QTest::newRow("scientific below 0.0001") << "1 1.001"
                                             << "9.9999999999978E-7";
    QTest::newRow("server style reals") << "2 0.100000000000000E+01 0.200000000000000E+01"
                                        << "0";
    QTest::newRow("count rounds to even") << "2.5 0 0 0"
                                          << "5";
    QTest::newRow("thousand missing values") << "1000 1"
                                             << "333833499";
  }
  void FunctionValue() {
    QFETCH(QString, values);
    QFETCH(QString, answer);
    QCOMPARE(FunctionValueAnswer(values), answer);
    QVERIFY(messages_.isEmpty());
  }

  void MalformedRealCountsAsMinus999999() {
    QCOMPARE(FunctionValueAnswer(QStringLiteral("2 x 2")), QStringLiteral("1000000000000"));
    QCOMPARE(messages_.size(), 1);
  }

  // A count of two thousand million with no values must not stall the
  // window: the missing values are summed in closed form.
  void HugeCountEndsAtOnce() {
    QCOMPARE(FunctionValueAnswer(QStringLiteral("2000000000")),
             QStringLiteral("2.66666666866667E27"));
  }
};

QTEST_GUILESS_MAIN(RunDriverTest)
#include "RunDriverTest.moc"
