#include "platform/FileSystem.h"

#include "platform/Text.h"

namespace korvane {

bool FileSystem::forceDirectories(const std::string& path) {
  const std::string folder = withoutTrailingBackslash(path);
  if (folder.empty()) return false;
  if (isDirectory(folder)) return true;
  const std::string parent = parentPath(folder);
  if (!parent.empty() && parent != folder && !forceDirectories(parent)) return false;
  return createDirectory(folder) || isDirectory(folder);
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

namespace {

bool matchFrom(const std::u16string& p, size_t pi, const std::u16string& n, size_t ni) {
  while (pi < p.size()) {
    if (p[pi] == u'*') {
      while (pi < p.size() && p[pi] == u'*') ++pi;
      if (pi == p.size()) return true;
      for (size_t k = ni; k <= n.size(); ++k)
        if (matchFrom(p, pi, n, k)) return true;
      return false;
    }
    // FindFirstFile lets "?" match nothing at the end of the name or before a
    // dot ("ab?.inf" finds "ab.inf"), and a "." match the end ("*.*" finds "README").
    if (p[pi] == u'?' && (ni == n.size() || n[ni] == u'.')) {
      if (matchFrom(p, pi + 1, n, ni)) return true;
      if (ni == n.size()) return false;
    }
    if (ni == n.size()) {
      if (p[pi] == u'.') {
        ++pi;
        continue;
      }
      return false;
    }
    if (p[pi] != u'?' && p[pi] != n[ni]) return false;
    ++pi;
    ++ni;
  }
  return ni == n.size();
}

}  // namespace

bool wildcardMatch(const std::string& pattern, const std::string& name) {
  return matchFrom(utf8ToUtf16(upperCase(pattern)), 0, utf8ToUtf16(upperCase(name)), 0);
}

}  // namespace korvane
