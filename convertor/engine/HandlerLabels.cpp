#include "engine/HandlerLabels.h"

#include <algorithm>

#include "engine/CharacterClass.h"
#include "engine/TextUtilities.h"

namespace kvq {

namespace {

char MarkOf(Handler handler) {
  return handler == Handler::Error ? kErrorMark : kEndOfFileMark;
}

bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text)
    if (!IsDigit(c)) return false;
  return true;
}

}  // namespace

HandlerLabels DefaultHandlerLabels(const ConversionSettings& settings) {
  return {settings.errorLabel, "9" + settings.errorLabel};
}

std::string HandlerReference(const ConversionSettings& settings, Handler handler) {
  HandlerLabels labels = DefaultHandlerLabels(settings);
  const std::string& label = labels.Of(handler);
  if (settings.errorLabelGiven || !AllDigits(settings.errorLabel)) return label;
  return std::string(label.size(), MarkOf(handler));
}

void MarkFiller::Fill(std::string& line, const HandlerLabels& labels,
                      std::vector<MarkPiece>* pieces) {
  std::size_t carried = cutDigit_;  // only the line right after the cut goes on with it
  cutDigit_ = 0;
  for (std::size_t at = FindMark(line); at != std::string::npos; at = FindMark(line, at)) {
    char mark = line[at];
    Handler handler = mark == kErrorMark ? Handler::Error : Handler::EndOfFile;
    std::size_t end = at;
    while (end < line.size() && line[end] == mark) ++end;
    const std::string& label = labels.Of(handler);
    std::size_t digit = carried != 0 && cutHandler_ == handler ? carried : 0;
    carried = 0;
    std::size_t length = std::min(end - at, label.size() > digit ? label.size() - digit : 0);
    line.replace(at, length, label.substr(digit, length));
    if (pieces) pieces->push_back({at, length, handler, digit});
    if (end == line.size() && digit + length < label.size()) {
      cutHandler_ = handler;
      cutDigit_ = digit + length;
    }
    at += std::max<std::size_t>(length, 1);
  }
}

bool DefinedLabels::Has(std::string_view label) const {
  std::size_t value = DigitsValue(label);
  return AllDigits(label) && value < static_cast<std::size_t>(kLimit) &&
         std::find(defined_.begin(), defined_.end(), static_cast<int>(value)) != defined_.end();
}

HandlerLabels ChooseHandlerLabels(const ConversionSettings& settings,
                                  const DefinedLabels& defined) {
  HandlerLabels labels = DefaultHandlerLabels(settings);
  if (settings.errorLabelGiven || !AllDigits(settings.errorLabel)) return labels;
  std::size_t width = settings.errorLabel.size();
  std::size_t limit = 1;
  for (std::size_t i = 0; i < width; ++i) limit *= 10;
  for (std::size_t value = DigitsValue(settings.errorLabel); value < limit; ++value) {
    std::string error = std::to_string(value);
    if (!defined.Has(error) && !defined.Has("9" + error)) return {error, "9" + error};
  }
  return labels;  // every label of that length taken: the duplicate shows
}

}  // namespace kvq
