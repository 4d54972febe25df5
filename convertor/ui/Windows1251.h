// Windows-1251, the users' code page: source lines, settings and emitted
// Fortran are 8-bit text in it. Qt's own converters know no 8-bit code page
// without ICU, so the window decodes and encodes through this table.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace kvq {

// Every byte becomes one character; 0x98, unassigned, becomes U+FFFD.
QString DecodeWindows1251(std::string_view bytes);

// Characters outside the code page become "?".
std::string EncodeWindows1251(const QString& text);

}  // namespace kvq
