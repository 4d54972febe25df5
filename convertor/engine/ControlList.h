// The control list of an I/O statement, taken apart as written: its items
// split at commas outside parentheses and constants, each a keyword
// specifier (name=value) or a positional one.
#pragma once

#include <string>
#include <string_view>

namespace kvq {

// When the list that opens at text[openParen] names its unit by UNIT=
// after another keyword specifier (WRITE(FMT=100,UNIT=6)), rewrites it with
// the unit first and the format second, both without their keywords
// (WRITE(6,100)); the other items follow as written. A list whose first
// item is positional or UNIT= is left alone. Returns whether it changed.
bool PutUnitFirst(std::string& text, std::size_t openParen);

// The value of the specifier name= of the list that opens at
// text[openParen], as written: constants keep their case and blanks,
// blanks outside them go. Empty when the list has no such specifier.
std::string SpecifierAsWritten(std::string_view text, std::size_t openParen, std::string_view name);

}  // namespace kvq
