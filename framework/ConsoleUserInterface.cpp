#include "ConsoleUserInterface.h"

namespace kvq {

ConsoleUserInterface::ConsoleUserInterface(std::FILE* out, std::FILE* err, std::FILE* in,
                                           bool interactive)
    : out_(out), err_(err), in_(in), interactive_(interactive) {}

void ConsoleUserInterface::ShowMessage(const std::string& text) {
  std::string lines = text;
  for (char& c : lines)
    if (c == '\r') c = '\n';
  std::fprintf(err_, "%s\n", lines.c_str());
  std::fflush(err_);
}

void ConsoleUserInterface::Report(const Diagnostic& diagnostic) {
  std::fprintf(err_, "convertor: %s\n", FormatDiagnostic(diagnostic).c_str());
  std::fflush(err_);
}

void ConsoleUserInterface::AddReportLine(const std::string& line) {
  if (quiet_) return;
  std::fprintf(out_, "%s\n", line.c_str());
  std::fflush(out_);
}

std::string ConsoleUserInterface::InputQuery(const std::string& caption, const std::string& prompt,
                                             const std::string& initial,
                                             const QueryFallback& fallback) {
  const std::string& offered = initial.empty() ? fallback.proposal : initial;
  if (!interactive_) {
    std::string taken = initial.empty() && !fallback.what.empty() ? fallback.what + " " + offered
                                                                  : "\"" + offered + "\"";
    std::string where = fallback.where.empty() ? "" : fallback.where + ": ";
    std::fprintf(err_,
                 "convertor: %swarning: no terminal to answer \"%s\": %s is taken (give "
                 "another value with %s)\n",
                 where.c_str(), caption.c_str(), taken.c_str(), fallback.setting.c_str());
    return offered;
  }
  std::fprintf(err_, "%s\n%s [%s]: ", caption.c_str(), prompt.c_str(), offered.c_str());
  std::fflush(err_);
  std::string answer;
  int c;
  while ((c = std::fgetc(in_)) != EOF && c != '\n') answer.push_back(static_cast<char>(c));
  if (c == EOF && answer.empty()) return offered;  // end of input takes the default
  if (!answer.empty() && answer.back() == '\r') answer.pop_back();
  return answer.empty() ? offered : answer;
}

void ConsoleUserInterface::PrintStatusLine() {
  if (quiet_ || statusLine_.empty()) return;
  std::fprintf(out_, "%s\n", statusLine_.c_str());
  std::fflush(out_);
}

}  // namespace kvq
