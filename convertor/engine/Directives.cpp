// The converter's own directives that the reader applies (CONSOLE,
// HANDLEDRIVEN, OWNMACRO) and the INTERFACE-block rule: interface bodies
// are copied to the output unconverted.
#include "engine/SourceReader.h"
#include "engine/TextUtilities.h"

namespace kvq {

namespace {

constexpr std::string_view kConsoleDirective = "!KVQ:CONSOLE";
constexpr std::string_view kHandleDrivenDirective = "!KVQ:HANDLEDRIVEN";
constexpr std::string_view kOwnMacroDirective = "!KVQ:OWNMACRO";
constexpr std::size_t kArgumentLimit = 255;

// The argument of a directive: the text after the directive word and the one
// character that follows it, cut at 255 characters, trimmed, upper-cased.
std::string DirectiveArgument(const std::string& text, std::string_view directive) {
  std::size_t start = directive.size() + 1;
  if (start >= text.size()) return {};
  return UpperCase(TrimBlanks(std::string_view(text).substr(start, kArgumentLimit)));
}

}  // namespace

void SourceReader::ApplyReaderDirectives() {
  const std::string& text = current_.text;
  if (!text.starts_with("!KVQ:")) return;
  if (text.starts_with(kConsoleDirective)) {
    run_.consoleUnits =
        std::string(kDefaultConsoleUnits) + DirectiveArgument(text, kConsoleDirective) + ",";
  } else if (text.starts_with(kHandleDrivenDirective)) {
    run_.handleDrivenUnits = "," + DirectiveArgument(text, kHandleDrivenDirective) + ",";
  } else if (text.starts_with(kOwnMacroDirective)) {
    carry_.ownMacros = " " + DirectiveArgument(text, kOwnMacroDirective) + " ";
  }
}

// Copies one INTERFACE block, from the statement's INTERFACE line up to END
// INTERFACE or the first bare END, without the directive step. Returns
// false when the input ended inside the block: every line read has then
// been written.
bool SourceReader::CopyInterfaceBlock() {
  output_.WriteOutputLine(stmt_.Text());
  while (!endOfInput_) {
    ReadNextLine();
    const std::string& text = current_.text;
    bool end = KeyStartsWith(text, "ENDINTERFACE", run_.freeForm) ||
               StatementKey(text, run_.freeForm) == "END";
    output_.WriteOutputLine(text);
    if (end) return !endOfInput_;
  }
  return false;
}

}  // namespace kvq
