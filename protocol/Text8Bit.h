// Module text is 8-bit; D-Bus strings must be valid UTF-8. Valid UTF-8
// passes as it is, any other byte sequence is read as Windows-1251 (the
// code page of the system's users). Nothing is dropped: the byte 0, which no
// D-Bus string can hold, becomes U+2400 (SYMBOL FOR NULL).
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace kvq::ostrel {

bool IsValidUtf8(std::string_view bytes);
QString DecodeModuleText(std::string_view bytes);
// What a module reads: the line as UTF-8.
std::string EncodeModuleText(const QString& text);

}  // namespace kvq::ostrel
