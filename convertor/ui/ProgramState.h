// What a front end keeps for as long as the program runs: the settings the
// menus and the command line give, the check items, what runs carry over,
// the arguments. Front ends build each run's request from it and keep from
// each report what they choose; no driver sees it.
#pragma once

#include <string>

#include "driver/ConversionOptions.h"
#include "engine/ConversionSettings.h"

namespace kvq {

struct ProgramState {
  ConversionSettings settings;
  OptionChecks checks;
  // Option > Consoles... as the user typed it ("*,5,6,IN"); empty: the
  // default list.
  std::string consoleUnits;
  CarryOver carry;
  ParamList paramList;
  bool batchMode = false;  // started with arguments: window hidden, end after the work
  // A destination named in the arguments may replace a file that is no
  // converter output (--force).
  bool forceOverwrite = false;
  // --depfile: where a single-source run writes its dependency rule.
  std::string dependencyFile;
};

}  // namespace kvq
