#include "tools/database/SamplePackages.h"

#include <algorithm>
#include <cctype>

#include "tools/database/MemoryCabinet.h"

namespace korvane::dbgen {

namespace {

bool isPlainName(std::string_view segment) {
  if (segment.empty() || segment == "." || segment == "..") return false;
  return std::all_of(segment.begin(), segment.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_';
  });
}

}  // namespace

std::optional<std::string> packagePath(std::string_view url) {
  const size_t scheme = url.find("://");
  if (scheme == std::string_view::npos) return std::nullopt;
  const size_t pathStart = url.find('/', scheme + 3);
  if (pathStart == std::string_view::npos) return std::nullopt;
  std::string_view path = url.substr(pathStart + 1);
  path = path.substr(0, path.find_first_of("?#"));
  for (size_t at = 0;;) {
    const size_t slash = path.find('/', at);
    if (!isPlainName(path.substr(at, slash == std::string_view::npos ? std::string_view::npos : slash - at)))
      return std::nullopt;
    if (slash == std::string_view::npos) break;
    at = slash + 1;
  }
  return std::string(path);
}

std::string samplePackage(const TableEntry& entry) {
  const std::string text =
      "Korvane sample driver package\r\n"
      "\r\n"
      "This file holds no driver. It stands for the download " + entry.url + "\r\n"
      "that Korvane's sample driver database lists for " + entry.hardwareId + ",\r\n"
      "version " + entry.version + ", so that the update check and driver downloads\r\n"
      "can be tried against a local server (scripts/serve-db).\r\n";
  return writeCabinet({{"README.TXT", text}});
}

}  // namespace korvane::dbgen
