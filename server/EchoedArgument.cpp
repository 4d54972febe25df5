#include "EchoedArgument.h"

namespace kvq::ostrel {

namespace {

bool IsContinuationByte(char byte) {
  return (static_cast<unsigned char>(byte) & 0xc0) == 0x80;
}

}  // namespace

std::string EchoedArgument(std::string_view text) {
  std::size_t characters = 0;
  std::size_t end = 0;
  for (; end < text.size(); ++end) {
    if (IsContinuationByte(text[end])) continue;
    if (characters == kEchoedCharacters) break;
    ++characters;
  }
  if (end == text.size()) return std::string(text);
  std::size_t left = 0;
  for (std::size_t i = end; i < text.size(); ++i)
    if (!IsContinuationByte(text[i])) ++left;
  return std::string(text.substr(0, end)) + "[... " + std::to_string(left) + " characters cut]";
}

}  // namespace kvq::ostrel
