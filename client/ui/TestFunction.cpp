#include "TestFunction.h"

#include "NumberRoutines.h"

namespace kvq {

namespace {

// Sum of i^2 for i = first..last.
long double SumOfSquares(long double first, long double last) {
  auto upTo = [](long double m) { return m * (m + 1) * (2 * m + 1) / 6; };
  return upTo(last) - upTo(first - 1);
}

// Past this many missing values the rest of the sum is taken in closed
// form, so that a count of two thousand million does not stall the window.
constexpr int kMissingValuesSummedOneByOne = 1000000;

}  // namespace

QString FunctionValueAnswer(QString values) {
  const int n = TakeInteger(values);
  double sum = 0;
  for (int i = 1; i <= n; ++i) {
    if (values.isEmpty() && n - i >= kMissingValuesSummedOneByOne) {
      // Every missing value reads as 0 and adds i^2.
      sum = static_cast<double>(sum + SumOfSquares(i, n));
      break;
    }
    const double x = TakeReal(values);
    // Each step in extended precision, stored back as a double.
    const long double d = static_cast<long double>(x) - i;
    sum = static_cast<double>(static_cast<long double>(sum) + d * d);
  }
  return FormatGeneral(sum, 15);
}

}  // namespace kvq
