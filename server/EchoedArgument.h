// An argument of a call or a path as an error text repeats it: whole up
// to kEchoedCharacters characters, else cut there with a mark that says
// how much is left out, so that a text about a huge argument stays a
// sentence.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kvq::ostrel {

constexpr std::size_t kEchoedCharacters = 200;

// text is UTF-8; it is cut between characters.
std::string EchoedArgument(std::string_view text);

}  // namespace kvq::ostrel
