// The minimiser module driven as the computational server drives it for
// Kestrin: every read gets the next line of Kestrin's command script, or the
// pending function value; every "FCN" event is answered with
// sum (x(i) - i)^2; "PAINT" events are counted. The module is the real
// converted Minuit.so (or the one named by the environment variable
// MINUIT_MODULE), loaded through zentrix_host.h.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "HostedModule.h"
#include "zentrix_host.h"

namespace {

// What one run of the module saw and said.
struct Session {
  std::deque<std::string> script;        // lines still to send
  std::optional<std::string> pending;    // function value for the next read
  std::optional<std::string> fcnAnswer;  // replaces every function value
  double noise = 0;                      // adds noise * |sin(1e7 x(1))|: no useful derivatives
  std::vector<std::string> output;
  std::vector<std::string> otherEvents;
  std::vector<double> firstPoint;  // values of the first FCN event
  int fcnEvents = 0;
  int paintEvents = 0;
  bool paintsInOrder = true;  // PAINT k carries k = 1, 2, 3...
  double lastPaintValue = -1;
  int readsAfterScript = 0;
};

// sum (x(i) - i)^2 as Kestrin computes it, in text with 15 significant digits.
std::string TestFunction(const std::string& value, Session& session) {
  std::istringstream in(value);
  int n = 0;
  in >> n;
  long double sum = 0;
  for (int i = 1; i <= n; ++i) {
    double x = 0;
    in >> x;
    if (session.fcnEvents == 1) session.firstPoint.push_back(x);
    sum += (static_cast<long double>(x) - i) * (static_cast<long double>(x) - i);
    if (i == 1) sum += session.noise * std::fabs(std::sin(1e7 * x));
  }
  char text[64];
  std::snprintf(text, sizeof text, "%.15g", static_cast<double>(sum));
  return text;
}

int ReadLine(void* context, char* buffer, int capacity) {
  auto* session = static_cast<Session*>(context);
  std::string line;
  if (session->pending) {
    line = *session->pending;
    session->pending.reset();
  } else if (!session->script.empty()) {
    line = session->script.front();
    session->script.pop_front();
  } else {
    // Kestrin's line of code 0 after the script; a module that keeps
    // asking gets the real end of input rather than hanging the test.
    if (++session->readsAfterScript > 50) return -1;
    line = std::string(1, '\0');
  }
  int length = std::min<int>(capacity, static_cast<int>(line.size()));
  line.copy(buffer, static_cast<std::size_t>(length));
  return length;
}

void WriteLine(void* context, const char* text, int length) {
  static_cast<Session*>(context)->output.emplace_back(text, static_cast<std::size_t>(length));
}

void DebugLine(void*, const char*, int) {}

void Event(void* context, const char* name, const char* value) {
  auto* session = static_cast<Session*>(context);
  const std::string event(name);
  if (event == "FCN") {
    ++session->fcnEvents;
    std::string answer = TestFunction(value, *session);
    session->pending = session->fcnAnswer ? *session->fcnAnswer : answer;
  } else if (event == "PAINT") {
    ++session->paintEvents;
    std::istringstream in(value);
    int k = 0;
    in >> k >> session->lastPaintValue;
    if (k != session->paintEvents) session->paintsInOrder = false;
  } else {
    session->otherEvents.push_back(event + ": " + value);
  }
}

// Kestrin's script for n parameters, without the line of code 0.
std::deque<std::string> KestrinScript(int n) {
  std::deque<std::string> lines{"set title", "Summa (X(i)-i)**2 has global minimum=0  if X(i)=i",
                                "parameters"};
  for (int i = 1; i <= n; ++i)
    lines.push_back(std::to_string(i) + " 'X" + std::to_string(i) + "'  0. 0.1");
  for (const char* line : {"", "seek 20", "simplex", "minimize", "exit"}) lines.push_back(line);
  return lines;
}

// The parameter values of the table that follows the last line starting
// with marker, and the FCN= value printed above it.
struct Table {
  double fcn = NAN;
  std::vector<double> values;
};

Table LastTable(const std::vector<std::string>& output, const std::string& marker) {
  std::size_t start = output.size();
  for (std::size_t i = 0; i < output.size(); ++i)
    if (output[i].rfind(marker, 0) == 0) start = i;
  Table table;
  for (std::size_t i = start; i < output.size(); ++i) {
    std::istringstream in(output[i]);
    std::string first;
    in >> first;
    if (first == "FCN=") {
      in >> table.fcn;
    } else if (!first.empty() && std::isdigit(static_cast<unsigned char>(first[0]))) {
      std::string name;
      double value = NAN;
      if (in >> name >> value) table.values.push_back(value);
    }
  }
  return table;
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class MinuitModule : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(module_.Loaded()) << module_.Error();
    // The entry routine as the server finds it: by the name the build
    // recorded, as gfortran spells it.
    const auto* entryName = static_cast<const char*>(module_.Symbol("zx_entry_name"));
    ASSERT_NE(entryName, nullptr);
    EXPECT_STREQ(entryName, "MINUIT_DLL");
    std::string symbol(entryName);
    for (char& c : symbol) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    entry_ = module_.Entry(symbol + "_");
    ASSERT_NE(entry_, nullptr);
  }

  int Run(Session& session) {
    zx_host host{ZX_HOST_API_VERSION, sizeof(zx_host), &session, ReadLine,
                 WriteLine,           DebugLine,       Event};
    return module_.Run(entry_, host);
  }

  // The module the build made, or the one MINUIT_MODULE names.
  static const char* ModulePath() {
    const char* path = std::getenv("MINUIT_MODULE");
    return path && *path ? path : MINUIT_MODULE;
  }

  kvq::test::HostedModule module_{ModulePath()};
  zx_entry_routine entry_ = nullptr;
};

class KestrinScriptRun : public MinuitModule, public ::testing::WithParamInterface<int> {};

TEST_P(KestrinScriptRun, ReachesTheMinimumAndReportsIt) {
  const int n = GetParam();
  Session session;
  session.script = KestrinScript(n);
  ASSERT_EQ(Run(session), ZX_STATUS_OK);

  EXPECT_EQ(session.firstPoint, std::vector<double>(static_cast<std::size_t>(n), 0.0))
      << "the first call is at the start values";
  EXPECT_EQ(session.paintEvents, session.fcnEvents) << "one PAINT after every evaluation";
  EXPECT_TRUE(session.paintsInOrder);
  EXPECT_LT(session.lastPaintValue, 1e-6);
  EXPECT_TRUE(session.otherEvents.empty());

  Table final = LastTable(session.output, " EXIT: FINAL VALUES");
  EXPECT_LT(final.fcn, 1e-6);
  ASSERT_EQ(final.values.size(), static_cast<std::size_t>(n));
  for (int i = 1; i <= n; ++i) EXPECT_NEAR(final.values[static_cast<std::size_t>(i - 1)], i, 1e-3);
  EXPECT_TRUE(
      Contains(session.output, " TITLE: Summa (X(i)-i)**2 has global minimum=0  if X(i)=i"));
  EXPECT_EQ(session.readsAfterScript, 0) << "EXIT returns without asking for more";
  std::printf("n=%d: %d evaluations, final value %.3g\n", n, session.fcnEvents, final.fcn);
}

INSTANTIATE_TEST_SUITE_P(Parameters, KestrinScriptRun, ::testing::Values(1, 3, 8, 20, 50));

TEST_F(MinuitModule, UnknownCommandsAreReportedAndSkipped) {
  Session session;
  session.script = KestrinScript(2);
  session.script.insert(session.script.begin() + 6, {"frobnicate 3", "set colour red"});
  ASSERT_EQ(Run(session), ZX_STATUS_OK);
  EXPECT_TRUE(Contains(session.output, " UNKNOWN COMMAND FROBNICATE IS IGNORED"));
  EXPECT_TRUE(Contains(session.output, " SET COLOUR IS NOT KNOWN: COMMAND IGNORED"));
  EXPECT_LT(LastTable(session.output, " EXIT: FINAL VALUES").fcn, 1e-6);
}

TEST_F(MinuitModule, CommandsInAnyCaseAndShortened) {
  Session session;
  session.script = {"SET TITLE", "Shortened", "PARAMETERS", "1 'A' 0. 0.1", "2 'B' 0. 0.1",
                    "",          "Sim",       "MIGrad",     "EXI"};
  ASSERT_EQ(Run(session), ZX_STATUS_OK);
  EXPECT_TRUE(Contains(session.output, " TITLE: Shortened"));
  Table final = LastTable(session.output, " EXIT: FINAL VALUES");
  EXPECT_LT(final.fcn, 1e-6);
  EXPECT_EQ(final.values.size(), 2u);
}

TEST_F(MinuitModule, LineOfCodeZeroEndsTheInputBeforeExit) {
  Session session;
  session.script = KestrinScript(3);
  session.script.resize(session.script.size() - 2);  // up to simplex
  ASSERT_EQ(Run(session), ZX_STATUS_OK);
  EXPECT_EQ(session.output.back(), " END OF INPUT: THE MINIMISER RETURNS");
  EXPECT_EQ(session.readsAfterScript, 1);
  EXPECT_FALSE(Contains(session.output, " EXIT: FINAL VALUES"));
}

TEST_F(MinuitModule, EndOfInputInsideAParameterBlockEndsTheRun) {
  Session session;
  session.script = {"parameters", "1 'A' 0. 0.1"};
  ASSERT_EQ(Run(session), ZX_STATUS_OK);
  EXPECT_EQ(session.output.back(), " END OF INPUT: THE MINIMISER RETURNS");
  EXPECT_EQ(session.fcnEvents, 0);
}

TEST_F(MinuitModule, BadParameterLinesAreSkipped) {
  Session session;
  session.script = {"parameters", "x 'A' 0. 0.1", "101 'B' 0. 0.1", "1 'C'", "1 'D' 0. 0.1", "",
                    "migrad",     "exit"};
  ASSERT_EQ(Run(session), ZX_STATUS_OK);
  EXPECT_TRUE(Contains(session.output, " NOT A PARAMETER LINE, IGNORED: x 'A' 0. 0.1"));
  EXPECT_TRUE(
      Contains(session.output, " PARAMETER NUMBER MUST BE 1 TO 100, LINE IGNORED: 101 'B' 0. 0.1"));
  EXPECT_TRUE(Contains(session.output, " NOT A PARAMETER LINE, IGNORED: 1 'C'"));
  Table final = LastTable(session.output, " EXIT: FINAL VALUES");
  ASSERT_EQ(final.values.size(), 1u);
  EXPECT_NEAR(final.values[0], 1, 1e-3);
}

TEST_F(MinuitModule, MinimizeFallsBackToSimplexWhenDerivativesAreNoise) {
  Session session;
  session.script = KestrinScript(3);
  session.noise = 1e-2;
  ASSERT_EQ(Run(session), ZX_STATUS_OK);
  EXPECT_TRUE(Contains(session.output, " MIGRAD FAILS: SIMPLEX TAKES OVER"));
  Table final = LastTable(session.output, " EXIT: FINAL VALUES");
  EXPECT_LT(final.fcn, 1e-2);
  ASSERT_EQ(final.values.size(), 3u);
  for (int i = 1; i <= 3; ++i) EXPECT_NEAR(final.values[static_cast<std::size_t>(i - 1)], i, 0.1);
}

TEST_F(MinuitModule, ConstantsStayAndLimitsAreReportedAsIgnored) {
  Session session;
  session.script = {"parameters", "1 'A' 0. 0.1 -5 5", "2 'B' 7. 0", "", "minimize", "exit"};
  ASSERT_EQ(Run(session), ZX_STATUS_OK);
  EXPECT_TRUE(Contains(session.output, " PARAMETER   1: LIMITS ARE NOT SUPPORTED AND IGNORED"));
  EXPECT_TRUE(Contains(session.output, "     2  B            7.00000000E+000     CONSTANT"));
  EXPECT_EQ(session.firstPoint, std::vector<double>{0.0}) << "FCN gets the one variable parameter";
  Table final = LastTable(session.output, " EXIT: FINAL VALUES");
  ASSERT_EQ(final.values.size(), 2u);
  EXPECT_NEAR(final.values[0], 1, 1e-3);
  EXPECT_EQ(final.values[1], 7);
}

TEST_F(MinuitModule, MethodsWithoutParametersAndNonNumericArgumentsAreIgnored) {
  Session session;
  session.script = {"simplex", "parameters", "1 'A' 0. 0.1", "", "seek many", "exit"};
  ASSERT_EQ(Run(session), ZX_STATUS_OK);
  EXPECT_TRUE(Contains(session.output, " NO VARIABLE PARAMETERS DEFINED: COMMAND IGNORED"));
  EXPECT_TRUE(Contains(session.output, " NOT A NUMBER: COMMAND IGNORED"));
  EXPECT_EQ(session.fcnEvents, 1) << "only the final call of EXIT";
}

TEST_F(MinuitModule, SeekMakesAsManyCallsAsAsked) {
  Session session;
  session.script = {"parameters", "1 'A' 0. 0.1", "2 'B' 0. 0.1", "", "seek 20"};
  ASSERT_EQ(Run(session), ZX_STATUS_OK);
  EXPECT_EQ(session.fcnEvents, 20);
}

TEST_F(MinuitModule, AnswerThatIsNoNumberStopsTheRunWithAMessage) {
  Session session;
  session.script = KestrinScript(3);
  session.fcnAnswer = "abc";
  ASSERT_EQ(Run(session), ZX_STATUS_STOPPED);
  EXPECT_EQ(session.fcnEvents, 1);
  EXPECT_EQ(session.output.back(), " FCN: NOT A FUNCTION VALUE: abc");
  EXPECT_EQ(session.paintEvents, 0);
}

TEST_F(MinuitModule, InfiniteOrUndefinedValuesEndTheMethodsWithoutHanging) {
  for (const char* answer : {"Infinity", "NaN"}) {
    Session session;
    session.script = KestrinScript(3);
    session.fcnAnswer = answer;
    ASSERT_EQ(Run(session), ZX_STATUS_OK) << answer;
    EXPECT_EQ(LastTable(session.output, " EXIT: FINAL VALUES").fcn, 1e300) << answer;
    EXPECT_LT(session.fcnEvents, 200) << answer;
  }
}

TEST_F(MinuitModule, EndOfInputInsteadOfAFunctionValueStopsTheRun) {
  Session session;
  session.script = KestrinScript(3);
  session.fcnAnswer = std::string(1, '\0');
  ASSERT_EQ(Run(session), ZX_STATUS_STOPPED);
  EXPECT_EQ(session.fcnEvents, 1);
  EXPECT_EQ(session.output.back(), " FCN: END OF INPUT, NO FUNCTION VALUE");
}

TEST_F(MinuitModule, ValuesTravelWithFullPrecisionAndRunsStartAfresh) {
  for (int run = 0; run < 2; ++run) {
    Session session;
    session.script = {"parameters", "1 'A' 0.1 0.01", "2 'B' -12345.678901234567 1", "", "seek 1"};
    ASSERT_EQ(Run(session), ZX_STATUS_OK);
    ASSERT_EQ(session.firstPoint.size(), 2u);
    EXPECT_EQ(session.firstPoint[0], 0.1);
    EXPECT_EQ(session.firstPoint[1], -12345.678901234567);
    EXPECT_EQ(session.paintEvents, 1) << "PAINT numbering starts again at 1";
  }
}

}  // namespace
