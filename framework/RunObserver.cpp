#include "RunObserver.h"

namespace kvq {

std::string FormatDiagnostic(const Diagnostic& diagnostic) {
  std::string text = diagnostic.file;
  if (diagnostic.line > 0) text += ":" + std::to_string(diagnostic.line);
  if (!text.empty()) text += ": ";
  switch (diagnostic.severity) {
    case Severity::Note:
      text += "note: ";
      break;
    case Severity::Warning:
      text += "warning: ";
      break;
    case Severity::Error:
      text += "error: ";
      break;
  }
  return text + diagnostic.text;
}

}  // namespace kvq
