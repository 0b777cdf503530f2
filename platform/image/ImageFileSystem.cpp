#include "platform/image/ImageFileSystem.h"

#include <cctype>
#include <cstdio>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <system_error>

#include "platform/Text.h"

namespace korvane {

namespace fs = std::filesystem;

namespace {

bool validComponent(const std::string& name) {
  if (name.empty()) return false;
  for (unsigned char c : name)
    if (c < 32 || std::string_view("<>:\"|?*/").find(static_cast<char>(c)) != std::string_view::npos) return false;
  return true;
}

std::vector<std::string> components(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path) {
    if (c == '\\' || c == '/') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

std::vector<std::string> unsortedHostNames(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    names.push_back(it->path().filename().string());
  return names;
}

std::vector<std::string> hostNames(const fs::path& folder) {
  std::vector<std::string> names = unsortedHostNames(folder);
  // NTFS gives a folder's entries in the order of their upper-cased names;
  // each key is made once, not at every comparison.
  std::vector<std::pair<std::u16string, std::string>> keyed;
  keyed.reserve(names.size());
  for (auto& name : names) keyed.emplace_back(utf8ToUtf16(upperCase(name)), std::move(name));
  std::sort(keyed.begin(), keyed.end());
  for (size_t k = 0; k < keyed.size(); ++k) names[k] = std::move(keyed[k].second);
  return names;
}

// The entry of a host folder that a Windows name stands for: the exact name,
// else a case-insensitive match of the long name or of its 8.3 alias.
std::optional<std::string> matchEntry(const fs::path& folder, const std::string& name) {
  std::error_code ec;
  if (fs::exists(folder / name, ec)) return name;
  // Most names looked up this way do not exist yet: a plain scan finds that
  // out; the folder's order decides only between names that differ in case.
  const bool mayBeAlias = name.find('~') != std::string::npos;
  size_t matches = 0;
  std::string match;
  for (const auto& candidate : unsortedHostNames(folder)) {
    if (!equalsIgnoreCase(candidate, name)) continue;
    match = candidate;
    matches++;
  }
  if (matches == 1) return match;
  if (matches == 0 && !mayBeAlias) return std::nullopt;
  const auto names = hostNames(folder);
  for (const auto& candidate : names)
    if (equalsIgnoreCase(candidate, name)) return candidate;
  for (const auto& candidate : names)
    if (equalsIgnoreCase(shortAlias(candidate, names), name)) return candidate;
  return std::nullopt;
}

using FileTimeUnits = std::chrono::duration<int64_t, std::ratio<1, 10000000>>;
constexpr int64_t kEpochDifference = 116444736000000000LL;  // 1601 to 1970 in 100 ns units

int64_t fileTime(const fs::path& path) {
  std::error_code ec;
  const auto written = fs::last_write_time(path, ec);
  if (ec) return 0;
  const auto sys = std::chrono::file_clock::to_sys(written);
  return std::chrono::duration_cast<FileTimeUnits>(sys.time_since_epoch()).count() + kEpochDifference;
}

bool isValidShortName(const std::string& name) {
  const size_t dot = name.find('.');
  const std::string base = name.substr(0, dot), ext = dot == std::string::npos ? "" : name.substr(dot + 1);
  if (base.empty() || base.size() > 8 || ext.size() > 3 || ext.find('.') != std::string::npos) return false;
  for (unsigned char c : base + ext)
    if (c >= 0x80 || std::string_view(" +,;=[]").find(static_cast<char>(c)) != std::string_view::npos) return false;
  return true;
}

std::string aliasStem(const std::string& name) {
  const size_t dot = name.find_last_of('.');
  std::string base = upperCase(dot == std::string::npos || dot == 0 ? name : name.substr(0, dot));
  std::string ext = dot == std::string::npos || dot == 0 ? "" : upperCase(name.substr(dot + 1));
  const auto clean = [](const std::string& text, size_t limit) {
    std::string out;
    for (unsigned char c : text) {
      if (out.size() == limit) break;
      if (c == ' ' || c == '.') continue;
      out += (c >= 0x80 || std::string_view("+,;=[]").find(static_cast<char>(c)) != std::string_view::npos)
                 ? '_'
                 : static_cast<char>(c);
    }
    return out;
  };
  return clean(base, 6) + "|" + clean(ext, 3);
}

// A host link stands for a Windows link or junction: an entry of its own,
// also when what it leads to is gone.
bool isHostLink(const fs::path& host) {
  std::error_code ec;
  return fs::is_symlink(host, ec);
}

bool entryExists(const fs::path& host) {
  std::error_code ec;
  return fs::exists(host, ec) || isHostLink(host);
}

FileEntry withDetails(const fs::path& host, FileEntry entry) {
  std::error_code ec;
  const bool directory = fs::is_directory(host, ec);
  entry.attributes = directory ? faDirectory : faArchive;
  if (isHostLink(host)) entry.attributes |= faReparsePoint;
  if (!directory) entry.size = fs::file_size(host, ec);
  if (ec) entry.size = 0;  // a link that leads nowhere
  const auto perms = fs::status(host, ec).permissions();
  if (!ec && (perms & fs::perms::owner_write) == fs::perms::none) entry.attributes |= faReadOnly;
  entry.writeTime = fileTime(host);
  return entry;
}

FileEntry entryOf(const fs::path& host, const std::vector<std::string>& siblings) {
  FileEntry entry;
  entry.name = host.filename().string();
  entry.shortName = shortAlias(entry.name, siblings);
  return withDetails(host, std::move(entry));
}

// A lone entry: its folder is listed only when the name needs an 8.3 alias.
FileEntry entryOf(const fs::path& host) {
  FileEntry entry;
  entry.name = host.filename().string();
  if (!isValidShortName(entry.name)) entry.shortName = shortAlias(entry.name, hostNames(host.parent_path()));
  return withDetails(host, std::move(entry));
}

}  // namespace

std::string shortAlias(const std::string& name, const std::vector<std::string>& siblings) {
  if (isValidShortName(name)) return {};
  const std::string stem = aliasStem(name);
  int number = 1;
  for (const auto& other : siblings)
    if (other < name && !isValidShortName(other) && aliasStem(other) == stem) ++number;
  const size_t bar = stem.find('|');
  const std::string ext = stem.substr(bar + 1);
  return stem.substr(0, bar) + "~" + std::to_string(number) + (ext.empty() ? "" : "." + ext);
}

ImageFileSystem::ImageFileSystem(std::map<char, fs::path> drives, std::string currentDirectory,
                                 std::string tempFolder)
    : drives_(std::move(drives)), current_(std::move(currentDirectory)), temp_(std::move(tempFolder)) {
  if (!temp_.empty() && temp_.back() != '\\') temp_ += '\\';
}

std::optional<std::string> ImageFileSystem::fullPath(const std::string& path) const {
  std::string absolute;
  if (path.size() >= 2 && path[1] == ':') {
    absolute = path.size() == 2 || (path[2] != '\\' && path[2] != '/')
                   ? (current_.size() >= 2 && std::toupper(current_[0]) == std::toupper(path[0])
                          ? current_ + "\\" + path.substr(2)
                          : path.substr(0, 2) + "\\" + path.substr(2))
                   : path;
  } else if (!path.empty() && (path[0] == '\\' || path[0] == '/')) {
    if (path.size() > 1 && (path[1] == '\\' || path[1] == '/')) return std::nullopt;  // no network shares here
    absolute = current_.substr(0, 2) + path;
  } else {
    absolute = current_ + "\\" + path;
  }
  if (absolute.size() < 2 || absolute[1] != ':') return std::nullopt;
  const char drive = static_cast<char>(std::toupper(static_cast<unsigned char>(absolute[0])));
  std::vector<std::string> parts;
  for (auto& part : components(absolute.substr(2))) {
    if (part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();  // ".." at the root stays at the root, as on Windows
      continue;
    }
    part = withoutTrailingDotsAndSpaces(part);
    if (part.empty()) continue;
    if (!validComponent(part)) return std::nullopt;
    parts.push_back(part);
  }
  std::string out(1, drive);
  out += ":";
  for (const auto& part : parts) out += "\\" + part;
  if (parts.empty()) out += "\\";
  return out;
}

std::optional<fs::path> ImageFileSystem::hostPath(const std::string& path) const {
  const auto full = fullPath(path);
  if (!full) return std::nullopt;
  const auto drive = drives_.find((*full)[0]);
  if (drive == drives_.end()) return std::nullopt;
  fs::path host = drive->second;
  bool matching = true;
  for (const auto& part : components(full->substr(2))) {
    const auto entry = matching ? matchEntry(host, part) : std::nullopt;
    matching = entry.has_value();
    host /= entry.value_or(part);
  }
  return host;
}

bool ImageFileSystem::exists(const std::string& path) {
  const auto host = hostPath(path);
  return host && entryExists(*host);
}

bool ImageFileSystem::isDirectory(const std::string& path) {
  const auto host = hostPath(path);
  std::error_code ec;
  return host && fs::is_directory(*host, ec);
}

std::optional<FileEntry> ImageFileSystem::stat(const std::string& path) {
  const auto host = hostPath(path);
  if (!host || !entryExists(*host)) return std::nullopt;
  return entryOf(*host);
}

std::vector<FileEntry> ImageFileSystem::find(const std::string& pattern) {
  const size_t slash = pattern.find_last_of("\\/");
  const std::string folder = slash == std::string::npos ? current_ : pattern.substr(0, slash + 1);
  std::string mask = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
  // A plain name is a path's last part, which loses the spaces and dots it ends with.
  if (mask.find_first_of("*?") == std::string::npos) mask = withoutTrailingDotsAndSpaces(mask);
  const auto host = hostPath(folder);
  std::vector<FileEntry> found;
  std::error_code ec;
  if (!host || !fs::is_directory(*host, ec) || mask.empty()) return found;
  const auto names = hostNames(*host);
  for (const auto& name : names) {
    FileEntry entry = entryOf(*host / name, names);
    if (wildcardMatch(mask, name) || (!entry.shortName.empty() && wildcardMatch(mask, entry.shortName)))
      found.push_back(std::move(entry));
  }
  return found;
}

bool ImageFileSystem::createDirectory(const std::string& path) {
  const auto host = hostPath(path);
  std::error_code ec;
  if (!host || fs::exists(*host, ec) || !fs::is_directory(host->parent_path(), ec)) return false;
  return fs::create_directory(*host, ec);
}

bool ImageFileSystem::removeDirectory(const std::string& path) {
  const auto host = hostPath(path);
  std::error_code ec;
  if (!host || !fs::is_directory(*host, ec)) return false;
  if (!isHostLink(*host) && !fs::is_empty(*host, ec)) return false;
  return fs::remove(*host, ec);
}

bool ImageFileSystem::deleteFile(const std::string& path) {
  const auto host = hostPath(path);
  std::error_code ec;
  if (host && isHostLink(*host) && !fs::is_directory(*host, ec)) return fs::remove(*host, ec);
  if (!host || !fs::is_regular_file(*host, ec)) return false;
  if ((fs::status(*host, ec).permissions() & fs::perms::owner_write) == fs::perms::none) return false;  // read-only
  return fs::remove(*host, ec);
}

bool ImageFileSystem::copyFile(const std::string& from, const std::string& to, bool failIfExists) {
  const auto source = hostPath(from), target = hostPath(to);
  std::error_code ec;
  if (!source || !target || !fs::is_regular_file(*source, ec) || !fs::is_directory(target->parent_path(), ec))
    return false;
  if (fs::exists(*target, ec)) {
    if (failIfExists || fs::is_directory(*target, ec)) return false;
    if (fs::equivalent(*source, *target, ec)) return true;
  }
  // The copy keeps the source's date, as Windows' own copy does.
  const auto written = fs::last_write_time(*source, ec);
  if (ec || !fs::copy_file(*source, *target, fs::copy_options::overwrite_existing, ec)) return false;
  fs::last_write_time(*target, written, ec);
  return true;
}

bool ImageFileSystem::moveFile(const std::string& from, const std::string& to) {
  const auto source = hostPath(from), target = hostPath(to);
  std::error_code ec;
  if (!source || !target || !fs::exists(*source, ec) || fs::exists(*target, ec) ||
      !fs::is_directory(target->parent_path(), ec))
    return false;
  fs::rename(*source, *target, ec);
  return !ec;
}

bool ImageFileSystem::setAttributes(const std::string& path, uint32_t attributes) {
  const auto host = hostPath(path);
  std::error_code ec;
  if (!host || !fs::exists(*host, ec)) return false;
  // Only the read-only flag has a host equivalent; the others are accepted and not kept.
  const auto write = fs::perms::owner_write;
  fs::permissions(*host, write, (attributes & faReadOnly) ? fs::perm_options::remove : fs::perm_options::add, ec);
  return !ec;
}

bool ImageFileSystem::setFileTimes(const std::string& path, int64_t fileTime) {
  const auto host = hostPath(path);
  std::error_code ec;
  if (!host || !fs::exists(*host, ec)) return false;
  const std::chrono::sys_time<FileTimeUnits> sys{FileTimeUnits{fileTime - kEpochDifference}};
  fs::last_write_time(*host, std::chrono::file_clock::from_sys(sys), ec);
  return !ec;
}

std::optional<std::string> ImageFileSystem::readFile(const std::string& path) {
  const auto host = hostPath(path);
  std::error_code ec;
  if (!host || !fs::is_regular_file(*host, ec)) return std::nullopt;
  std::ifstream in(*host, std::ios::binary);
  if (!in) return std::nullopt;
  // In blocks rather than by the byte: cabinets and driver binaries are megabytes.
  std::string bytes;
  char block[65536];
  while (in.read(block, sizeof block) || in.gcount() > 0) bytes.append(block, static_cast<size_t>(in.gcount()));
  if (in.bad()) return std::nullopt;
  return bytes;
}

bool ImageFileSystem::writeFile(const std::string& path, const std::string& bytes) {
  const auto host = hostPath(path);
  std::error_code ec;
  if (!host || !fs::is_directory(host->parent_path(), ec) || fs::is_directory(*host, ec)) return false;
  std::ofstream out(*host, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return static_cast<bool>(out);
}

std::optional<std::string> ImageFileSystem::readFilePart(const std::string& path, uint64_t offset, size_t length) {
  const auto host = hostPath(path);
  std::error_code ec;
  if (!host || !fs::is_regular_file(*host, ec)) return std::nullopt;
  std::ifstream in(*host, std::ios::binary);
  if (!in) return std::nullopt;
  const uint64_t size = fs::file_size(*host, ec);
  if (ec) return std::nullopt;
  if (offset >= size) return std::string();
  std::string bytes(static_cast<size_t>(std::min<uint64_t>(length, size - offset)), '\0');
  in.seekg(static_cast<std::streamoff>(offset));
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!in) return std::nullopt;
  return bytes;
}

bool ImageFileSystem::appendFile(const std::string& path, const std::string& bytes) {
  const auto host = hostPath(path);
  std::error_code ec;
  if (!host || !fs::is_directory(host->parent_path(), ec) || fs::is_directory(*host, ec)) return false;
  std::ofstream out(*host, std::ios::binary | std::ios::app);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return static_cast<bool>(out);
}

bool ImageFileSystem::setCurrentDirectory(const std::string& path) {
  const auto full = fullPath(path);
  if (!full || !isDirectory(*full)) return false;
  current_ = withoutTrailingBackslash(*full);
  return true;
}

std::optional<std::string> ImageFileSystem::shortPathName(const std::string& path) {
  const auto full = fullPath(path);
  if (!full || !exists(*full)) return std::nullopt;
  std::string shortPath = full->substr(0, 2);
  std::string longPath = shortPath;
  for (const auto& part : components(full->substr(2))) {
    const auto host = hostPath(longPath + "\\");
    const auto names = host ? hostNames(*host) : std::vector<std::string>{};
    const auto entry = host ? matchEntry(*host, part) : std::nullopt;
    const std::string actual = entry.value_or(part);
    const std::string alias = shortAlias(actual, names);
    shortPath += "\\" + (alias.empty() ? part : alias);
    longPath += "\\" + actual;
  }
  if (shortPath.size() == 2) shortPath += "\\";
  return shortPath;
}

std::optional<std::string> ImageFileSystem::tempFileName(const std::string& folder, const std::string& prefix) {
  if (!isDirectory(folder)) return std::nullopt;
  const std::string stem = prefix.substr(0, 3);
  for (unsigned number = 1; number <= 0xFFFF; ++number) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "%04X", number);
    const std::string candidate = joinPath(folder, stem + hex + ".TMP");
    if (!exists(candidate) && writeFile(candidate, "")) return candidate;
  }
  return std::nullopt;
}

}  // namespace korvane
