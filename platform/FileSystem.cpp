#include "platform/FileSystem.h"

#include "platform/DeviceNames.h"
#include "platform/Text.h"

namespace korvane {

bool FileSystem::sameFile(const std::string& first, const std::string& second) {
  if (equalsIgnoreCase(fullPathName(*this, first), fullPathName(*this, second))) return true;
  const auto firstShort = shortPathName(first), secondShort = shortPathName(second);
  return firstShort && secondShort &&
         equalsIgnoreCase(fullPathName(*this, *firstShort), fullPathName(*this, *secondShort));
}

bool FileSystem::forceDirectories(const std::string& path) {
  const std::string folder = withoutTrailingBackslash(path);
  if (folder.empty()) return false;
  if (isDirectory(folder)) return true;
  const std::string parent = parentPath(folder);
  if (!parent.empty() && parent != folder && !forceDirectories(parent)) return false;
  return createDirectory(folder) || isDirectory(folder);
}

bool FileSystem::replaceFileWhole(const std::string& path, const std::string& bytes) {
  const auto temporary = tempFileName(parentPath(path), "kvw");
  if (!temporary) return false;
  const bool replaced = writeFile(*temporary, bytes) && (!exists(path) || deleteFile(path)) &&
                        moveFile(*temporary, path);
  if (!replaced) deleteFile(*temporary);
  return replaced;
}

std::string joinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '\\') return folder + name;
  return folder + "\\" + name;
}

std::string parentPath(const std::string& path) {
  const std::string trimmed = withoutTrailingBackslash(path);
  const size_t slash = trimmed.find_last_of('\\');
  if (slash == std::string::npos) return {};
  if (slash == 2 && trimmed.size() > 1 && trimmed[1] == ':') return trimmed.substr(0, 3);  // "C:\"
  return trimmed.substr(0, slash);
}

std::string fileNamePart(const std::string& path) {
  const size_t slash = path.find_last_of("\\:");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string withoutTrailingBackslash(const std::string& path) {
  // "C:\" stays as it is: it is a drive's root, not a folder with a delimiter.
  if (path.size() > 1 && path.back() == '\\' && !(path.size() == 3 && path[1] == ':')) return path.substr(0, path.size() - 1);
  return path;
}

std::string withoutTrailingDotsAndSpaces(std::string_view name) {
  const size_t end = name.find_last_not_of(". ");
  return end == std::string_view::npos ? std::string() : std::string(name.substr(0, end + 1));
}

bool isDeviceName(std::string_view name) {
  const std::u16string units = utf8ToUtf16(std::string(name));
  const std::vector<uint16_t> codeUnits(units.begin(), units.end());
  return korvane_is_device_name(codeUnits.data(), codeUnits.size()) != 0;
}

std::vector<std::string> pathParts(const std::string& path) {
  std::vector<std::string> parts(1);
  for (char c : path) {
    if (c == '\\' || c == '/')
      parts.emplace_back();
    else
      parts.back() += c;
  }
  return parts;
}

std::string fullPathName(FileSystem& files, const std::string& name) {
  std::string path = name;
  for (char& c : path)
    if (c == '/') c = '\\';
  const std::string current = withoutTrailingBackslash(files.currentDirectory());
  const bool hasDrive = path.size() >= 2 && path[1] == ':';
  std::string root;  // "C:" or "\\server\share"
  std::string rest;
  if (path.compare(0, 2, "\\\\") == 0) {
    const size_t share = path.find('\\', path.find('\\', 2) + 1);
    root = path.substr(0, share);
    rest = share == std::string::npos ? "" : path.substr(share);
  } else if (hasDrive) {
    root = path.substr(0, 2);
    const bool sameDrive = current.size() >= 2 && equalsIgnoreCase(current.substr(0, 2), root);
    rest = path.size() > 2 && path[2] == '\\' ? path.substr(2)
                                               : (sameDrive ? current.substr(2) : "") + "\\" + path.substr(2);
  } else {
    root = current.substr(0, 2);
    rest = !path.empty() && path[0] == '\\' ? path : current.substr(2) + "\\" + path;
  }
  std::vector<std::string> kept;
  for (const std::string& part : pathParts(rest)) {
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!kept.empty()) kept.pop_back();
      continue;
    }
    kept.push_back(part);
  }
  std::string full = root;
  for (const std::string& part : kept) full += "\\" + part;
  if (kept.empty() || (!path.empty() && path.back() == '\\')) full += "\\";
  return full;
}

bool nameStaysInFolder(std::string_view name) {
  if (name.empty() || name.back() == '.' || name.back() == ' ') return false;
  for (unsigned char c : name)
    if (c < 0x20 || std::string_view("<>:\"|?*\\/").find(static_cast<char>(c)) != std::string_view::npos) return false;
  return !isDeviceName(name);
}

namespace {

// The file system's own wildcard rules: "?"s before a dot or at the end may
// match nothing, a "." before a wildcard or at the end may match the end of
// the name ("*.*" finds "README"), and a "*" before a dot stops at the name's
// last dot ("*." finds only names without an extension).
enum class Token : char16_t { Star = 1, DosStar, Qm, DosQm, DosDot };

std::u16string tokenize(const std::u16string& pattern) {
  std::u16string tokens;
  for (size_t k = 0; k < pattern.size(); ++k) {
    const char16_t next = k + 1 < pattern.size() ? pattern[k + 1] : u'\0';
    // A run of "?" counts as before the dot when the run ends there.
    size_t runEnd = k;
    while (runEnd < pattern.size() && pattern[runEnd] == u'?') ++runEnd;
    const bool beforeDotOrEnd = runEnd == pattern.size() || pattern[runEnd] == u'.';
    switch (pattern[k]) {
      case u'*': tokens += static_cast<char16_t>(next == u'.' ? Token::DosStar : Token::Star); break;
      case u'?': tokens += static_cast<char16_t>(beforeDotOrEnd ? Token::DosQm : Token::Qm); break;
      case u'.':
        tokens += next == u'*' || next == u'?' || next == u'\0' ? static_cast<char16_t>(Token::DosDot) : u'.';
        break;
      default: tokens += pattern[k];
    }
  }
  return tokens;
}

bool matchFrom(const std::u16string& p, size_t pi, const std::u16string& n, size_t ni) {
  if (pi == p.size()) return ni == n.size();
  const char16_t token = p[pi];
  const bool atEnd = ni == n.size();
  switch (static_cast<Token>(token)) {
    case Token::Star:
      for (size_t k = ni; k <= n.size(); ++k)
        if (matchFrom(p, pi + 1, n, k)) return true;
      return false;
    case Token::DosStar: {
      const size_t lastDot = n.find_last_of(u'.');
      const size_t limit = lastDot == std::u16string::npos || lastDot < ni ? n.size() : lastDot;
      for (size_t k = ni; k <= limit; ++k)
        if (matchFrom(p, pi + 1, n, k)) return true;
      return false;
    }
    case Token::Qm: return !atEnd && matchFrom(p, pi + 1, n, ni + 1);
    case Token::DosQm:
      if (atEnd || n[ni] == u'.') return matchFrom(p, pi + 1, n, ni);
      return matchFrom(p, pi + 1, n, ni + 1);
    case Token::DosDot:
      if (atEnd) return matchFrom(p, pi + 1, n, ni);
      return n[ni] == u'.' && matchFrom(p, pi + 1, n, ni + 1);
  }
  return !atEnd && n[ni] == token && matchFrom(p, pi + 1, n, ni + 1);
}

}  // namespace

bool wildcardMatch(const std::string& pattern, const std::string& name) {
  return matchFrom(tokenize(utf8ToUtf16(upperCase(pattern))), 0, utf8ToUtf16(upperCase(name)), 0);
}

}  // namespace korvane
