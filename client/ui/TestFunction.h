// The function Kestrin minimises: the sum over i = 1..n of (x(i) - i)^2,
// minimum 0 at x(i) = i.
#pragma once

#include <QString>

namespace kvq {

// Reads "n x1 ... xn" (an "FCN" event's value) and returns the function
// value as the answer text: at most 15 significant digits, "." as decimal
// separator, scientific below 0.0001 or from 1E15 on. n <= 0 gives "0".
QString FunctionValueAnswer(QString values);

}  // namespace kvq
