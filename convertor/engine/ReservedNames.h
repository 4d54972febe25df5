// Names the run-time library declares in every converted unit (the module
// Zentrix that each unit uses, its COMMON blocks) and the routines the
// converter writes itself. A program unit, COMMON block or EXTERNAL name of
// the source that is one of them no longer compiles after conversion; the
// run says so where the source declares it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kvq {

// The reserved names, upper case, for README and for tests.
const std::vector<std::string_view>& ReservedNames();
bool IsReservedName(std::string_view upperCaseName);

// The reserved names a statement declares as its own: the block names of a
// COMMON statement, the names of an EXTERNAL statement. key is the
// statement's joined key (blank-free, upper case).
std::vector<std::string> ReservedNamesDeclared(std::string_view key);

// The warning for a reserved name the source declares as kind ("SUBROUTINE",
// "COMMON block", ...).
std::string ReservedNameWarning(std::string_view name, std::string_view kind);

}  // namespace kvq
