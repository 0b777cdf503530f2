#include "platform/image/IconvCodePages.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <string>

namespace korvane {

namespace {

std::string iconvName(unsigned codePage) {
  switch (codePage) {
    case 936: return "GBK";  // the superset Windows means by 936
    case 950: return "BIG5";
    case 65001: return "UTF-8";
    case 20127: return "ASCII";
    default: return "CP" + std::to_string(codePage);
  }
}

// Converts all of the input or nothing: text that does not convert is a failure.
std::optional<std::string> convert(std::string_view input, const std::string& from, const std::string& to) {
  iconv_t cd = iconv_open(to.c_str(), from.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out;
  char buffer[4096];
  char* in = const_cast<char*>(input.data());
  size_t inLeft = input.size();
  bool ok = true;
  while (inLeft > 0 && ok) {
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    const size_t result = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    out.append(buffer, static_cast<size_t>(outPtr - buffer));
    ok = result != static_cast<size_t>(-1) || errno == E2BIG;
  }
  iconv_close(cd);
  if (!ok) return std::nullopt;
  return out;
}

bool isSingleByte(unsigned codePage) { return (codePage >= 1250 && codePage <= 1258) || codePage == 874; }

// Windows maps the bytes a single-byte code page leaves unassigned (0x81 in
// 1252, 0x98 in 1251) to the control characters of the same number; the C
// library refuses them.
std::string singleBytesToUtf8(std::string_view bytes, const std::string& name) {
  std::array<std::string, 256> table;
  for (unsigned value = 0; value < 256; ++value) {
    const char byte = static_cast<char>(value);
    if (auto converted = convert(std::string_view(&byte, 1), name, "UTF-8")) {
      table[value] = *converted;
    } else {
      table[value] = {static_cast<char>(0xC0 | (value >> 6)), static_cast<char>(0x80 | (value & 0x3F))};
    }
  }
  std::string out;
  for (char byte : bytes) out += table[static_cast<unsigned char>(byte)];
  return out;
}

}  // namespace

std::optional<std::string> IconvCodePages::toUtf8(std::string_view bytes, unsigned codePage) {
  const std::string name = iconvName(codePage);
  auto text = convert(bytes, name, "UTF-8");
  if (!text && isSingleByte(codePage)) text = singleBytesToUtf8(bytes, name);
  return text;
}

std::optional<std::string> IconvCodePages::fromUtf8(std::string_view utf8, unsigned codePage) {
  return convert(utf8, "UTF-8", iconvName(codePage));
}

}  // namespace korvane
