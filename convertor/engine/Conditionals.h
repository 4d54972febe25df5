// Conditional compilation: the "*$" directives of the WatCom style, their
// translation into "!DEC$" lines for the Compaq compiler, and the nesting
// record of "!DEC$ IF DEFINED" blocks that tells which lines lie in a branch
// the project's defined symbols switch off.
#pragma once

#include <array>
#include <string>

namespace kvq {

struct ConditionRecord {
  static constexpr int kLevels = 9;
  // Number of open IF DEFINED levels; 0 outside any.
  int ConditionDepth = 0;
  // Levels 1 to 9 (index 0 unused): the symbol of each open level, with "-"
  // in front while the level is in its ELSE part; empty when the IF line
  // named no symbol.
  std::array<std::string, kLevels + 1> ConditionStack;
  // A "*$IF" directive was met in the current run.
  bool ConditionalSeen = false;
};

}  // namespace kvq
