// A cursor over one text: the scan of a rule or recogniser. Each user
// makes its own; nothing of it outlives the scan. It reads the text where
// it stands, so a rule that rewrites the text scans on in the new one.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "engine/CharacterClass.h"

namespace kvq {

class Scanner {
 public:
  Scanner(const std::string&&, std::size_t = 0) = delete;
  explicit Scanner(const std::string& text, std::size_t pos = 0) : text_(&text), pos_(pos) {}

  // The next character: in normal mode blanks are passed over and a to z
  // upper-cased, in raw mode characters come as they stand. Beyond the end
  // kEndMarker.
  char NextChar() {
    ++pos_;
    const std::string& text = *text_;
    if (!raw_)
      while (pos_ < text.size() && IsBlank(text[pos_ - 1])) ++pos_;
    if (pos_ > text.size()) return kEndMarker;
    char c = text[pos_ - 1];
    return raw_ ? c : ToUpper(c);
  }
  // The next name: letters, digits and "_" from the first letter or "_";
  // NameEnd() is the character that ended it.
  std::string ScanName() {
    char c;
    do c = NextChar();
    while (!(IsUpperLetter(c) || c == '_' || c == kEndMarker));
    std::string name;
    while (IsNameChar(c)) {
      name.push_back(c);
      c = NextChar();
    }
    nameEnd_ = c;
    return name;
  }
  // Reads on from c, the character just delivered, to the "," (when
  // stopAtComma) or ")" that ends a list item or the list itself outside
  // nested brackets; what it passes goes to out. Returns the character that
  // ended the read: ",", ")" or kEndMarker.
  char ReadToListEnd(char c, std::string& out, bool stopAtComma) {
    int depth = 0;
    for (;; c = NextChar()) {
      if (c == kEndMarker || (c == ',' && stopAtComma && depth == 0)) return c;
      if (c == ')') {
        if (depth == 0) return c;
        --depth;
      }
      if (c == '(') ++depth;
      out.push_back(c);
    }
  }
  // The character after Pos() is a blank or "(", or the text ends there.
  bool AtWordEnd() const {
    if (pos_ >= text_->size()) return true;
    char after = (*text_)[pos_];
    return after == ' ' || after == '(';
  }

  // 1-based column of the character NextChar returned last; 0 before the first.
  std::size_t Pos() const { return pos_; }
  void SetPos(std::size_t pos) { pos_ = pos; }
  bool Raw() const { return raw_; }
  void SetRaw(bool raw) { raw_ = raw; }
  char NameEnd() const { return nameEnd_; }
  const std::string& Text() const { return *text_; }

 private:
  const std::string* text_;
  std::size_t pos_;
  bool raw_ = false;
  char nameEnd_ = ' ';
};

}  // namespace kvq
