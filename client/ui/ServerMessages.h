// What Kestrin tells its user when the server refuses an operation: the
// refusals a user meets by pressing a button at the wrong time (after a run,
// before any) in the window's language; anything else as the server said it.
#pragma once

#include <QString>

#include "ComputationalServerBase.h"

namespace kvq {

QString ServerErrorText(const EServerError& error);

}  // namespace kvq
