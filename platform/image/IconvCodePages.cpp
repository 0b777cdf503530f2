#include "platform/image/IconvCodePages.h"

#include <iconv.h>

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

}  // namespace

std::optional<std::string> IconvCodePages::toUtf8(std::string_view bytes, unsigned codePage) {
  return convert(bytes, iconvName(codePage), "UTF-8");
}

std::optional<std::string> IconvCodePages::fromUtf8(std::string_view utf8, unsigned codePage) {
  return convert(utf8, "UTF-8", iconvName(codePage));
}

}  // namespace korvane
