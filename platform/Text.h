// Text helpers shared by every layer. Inside the program all text is UTF-8;
// conversions to UTF-16 and to 8-bit code pages happen only at the edges.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

std::u16string utf8ToUtf16(std::string_view utf8);
std::string utf16ToUtf8(std::u16string_view utf16);
// Little-endian UTF-16 bytes (an odd trailing byte is ignored).
std::string utf16leBytesToUtf8(std::string_view bytes);
std::string utf8ToUtf16leBytes(std::string_view utf8);

// Upper case as Windows compares names: ASCII, Latin-1, Latin Extended-A,
// Greek and Cyrillic letters.
// True when every byte is below 0x80.
bool isAscii(std::string_view text);
std::string upperCase(std::string_view utf8);
std::string lowerCase(std::string_view utf8);
bool equalsIgnoreCase(std::string_view a, std::string_view b);
bool containsIgnoreCase(std::string_view haystack, std::string_view needle);

std::string trim(std::string_view text);
std::vector<std::string> splitLines(std::string_view text);

// Conversion between UTF-8 and the machine's 8-bit code pages (1252, 1251,
// 936, 950, ...). The Windows build uses the system's tables.
class CodePages {
 public:
  virtual ~CodePages() = default;
  virtual unsigned ansiCodePage() = 0;
  virtual std::optional<std::string> toUtf8(std::string_view bytes, unsigned codePage) = 0;
  virtual std::optional<std::string> fromUtf8(std::string_view utf8, unsigned codePage) = 0;
};

// Decodes a text file's bytes: UTF-16LE or UTF-8 with a byte-order mark, else
// the machine's 8-bit code page (bytes that do not convert become '?').
std::string decodeText(std::string_view bytes, CodePages& codePages);

}  // namespace korvane
