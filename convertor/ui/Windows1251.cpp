#include "Windows1251.h"

#include <array>

namespace kvq {

namespace {

// The upper half of the code page, 0x80 to 0xFF; the lower half is ASCII.
constexpr std::array<char16_t, 128> kUpperHalf = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 0x88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 0x98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // 0xA0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // 0xA8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // 0xB0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // 0xB8
    // 0xC0 to 0xFF: А to я in alphabetical order, filled in below.
};

constexpr std::array<char16_t, 128> BuildTable() {
  std::array<char16_t, 128> table = kUpperHalf;
  for (int i = 0; i < 64; ++i) table[0x40 + i] = static_cast<char16_t>(0x0410 + i);
  return table;
}

constexpr std::array<char16_t, 128> kTable = BuildTable();

}  // namespace

QString DecodeWindows1251(std::string_view bytes) {
  QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
  QChar* out = text.data();
  for (unsigned char byte : bytes)
    *out++ = QChar(byte < 0x80 ? char16_t(byte) : kTable[byte - 0x80]);
  return text;
}

std::string EncodeWindows1251(const QString& text) {
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(text.size()));
  for (QChar c : text) {
    char16_t unit = c.unicode();
    if (unit < 0x80) {
      bytes.push_back(static_cast<char>(unit));
      continue;
    }
    char byte = '?';
    for (std::size_t i = 0; i < kTable.size(); ++i) {
      if (kTable[i] == unit && unit != 0xFFFD) {
        byte = static_cast<char>(0x80 + i);
        break;
      }
    }
    bytes.push_back(byte);
  }
  return bytes;
}

}  // namespace kvq
