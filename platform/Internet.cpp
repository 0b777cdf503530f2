#include "platform/Internet.h"

#include <vector>

#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace korvane {

namespace {

// The authority of a URL: between "scheme://" and the first "/", "?" or "#".
std::string_view authority(std::string_view url) {
  const size_t scheme = url.find("://");
  std::string_view rest = scheme == std::string_view::npos ? url : url.substr(scheme + 3);
  return rest.substr(0, rest.find_first_of("/?#"));
}

// The authority without "user:password@".
std::string_view hostAndPort(std::string_view url) {
  const std::string_view all = authority(url);
  const size_t at = all.rfind('@');
  return at == std::string_view::npos ? all : all.substr(at + 1);
}

// Where the port's ":" is, past an IPv6 address's brackets.
size_t portColon(std::string_view hostPort) {
  const size_t bracket = hostPort.rfind(']');
  const size_t colon = hostPort.rfind(':');
  if (colon == std::string_view::npos || (bracket != std::string_view::npos && colon < bracket)) return hostPort.size();
  return colon;
}

std::vector<std::string> splitOn(std::string_view text, char separator) {
  std::vector<std::string> parts(1);
  for (char c : text) {
    if (c == separator)
      parts.emplace_back();
    else
      parts.back() += c;
  }
  return parts;
}

}  // namespace

std::string urlScheme(std::string_view url) {
  const size_t end = url.find("://");
  return end == std::string_view::npos ? std::string() : lowerCase(url.substr(0, end));
}

std::string urlHost(std::string_view url) {
  const std::string_view hostPort = hostAndPort(url);
  return std::string(hostPort.substr(0, portColon(hostPort)));
}

std::optional<uint16_t> urlPort(std::string_view url) {
  const std::string_view hostPort = hostAndPort(url);
  const size_t colon = portColon(hostPort);
  if (colon + 1 >= hostPort.size()) return std::nullopt;
  unsigned long port = 0;
  for (char c : hostPort.substr(colon + 1)) {
    if (c < '0' || c > '9') return std::nullopt;
    port = port * 10 + static_cast<unsigned long>(c - '0');
    if (port > 65535) return std::nullopt;
  }
  return static_cast<uint16_t>(port);
}

std::string urlObjectPath(std::string_view url) {
  const size_t scheme = url.find("://");
  const size_t start = scheme == std::string_view::npos ? 0 : scheme + 3;
  const size_t end = start + authority(url).size();
  if (end >= url.size()) return "/";
  const std::string rest(url.substr(end));
  return rest.front() == '/' ? rest : "/" + rest;
}

bool proxyBypassed(std::string_view host, std::string_view overrideList) {
  for (const std::string& entry : splitOn(overrideList, ';')) {
    const std::string pattern = trim(entry);
    if (pattern.empty()) continue;
    if (equalsIgnoreCase(pattern, "<local>")) {
      if (host.find('.') == std::string_view::npos) return true;
      continue;
    }
    if (wildcardMatch(pattern, std::string(host))) return true;
  }
  return false;
}

std::string proxyForScheme(std::string_view proxyServer, std::string_view scheme) {
  if (proxyServer.find('=') == std::string_view::npos) return trim(proxyServer);
  for (const std::string& entry : splitOn(proxyServer, ';')) {
    const size_t equals = entry.find('=');
    if (equals != std::string::npos && equalsIgnoreCase(trim(entry.substr(0, equals)), scheme))
      return trim(entry.substr(equals + 1));
  }
  return {};
}

}  // namespace korvane
