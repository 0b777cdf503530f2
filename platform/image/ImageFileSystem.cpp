#include "platform/image/ImageFileSystem.h"

#include <cctype>
#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <system_error>

#include "platform/Text.h"
#include "platform/image/HostFile.h"

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

// What a host path holds, without following a link.
std::optional<EntryKind> kindOnHost(const fs::path& host) {
  struct stat status;
  if (lstat(host.c_str(), &status) != 0) return std::nullopt;
  return S_ISLNK(status.st_mode) ? EntryKind::Link : S_ISDIR(status.st_mode) ? EntryKind::Folder : EntryKind::File;
}

// A host link stands for a Windows link or junction: an entry of its own,
// also when what it leads to is gone. One stat, two for a link; `path` is
// taken from the open folder `folder` (AT_FDCWD: the current one).
std::optional<FileEntry> entryOf(int folder, const char* path, std::string name, std::string shortName) {
  struct stat status;
  if (fstatat(folder, path, &status, AT_SYMLINK_NOFOLLOW) != 0) return std::nullopt;
  FileEntry entry{std::move(name), std::move(shortName)};
  const bool link = S_ISLNK(status.st_mode);
  if (link && fstatat(folder, path, &status, 0) != 0) {
    entry.attributes = faArchive | faReparsePoint;  // a link that leads nowhere
    return entry;
  }
  const bool directory = S_ISDIR(status.st_mode);
  entry.attributes = directory ? faDirectory : faArchive;
  if (link) entry.attributes |= faReparsePoint;
  if ((status.st_mode & S_IWUSR) == 0) entry.attributes |= faReadOnly;
  if (!directory) entry.size = static_cast<uint64_t>(status.st_size);
  entry.writeTime = fileTimeOf(status.st_mtim);
  return entry;
}

bool isSeparator(char c) { return c == '\\' || c == '/'; }

// The root of an absolute path, "C:" or "\\host\share", and what follows it;
// nullopt when a share path names no share.
std::optional<std::pair<std::string, std::string>> splitRoot(const std::string& absolute) {
  if (absolute.size() >= 2 && absolute[1] == ':') return std::pair(absolute.substr(0, 2), absolute.substr(2));
  if (absolute.size() < 2 || !isSeparator(absolute[0]) || !isSeparator(absolute[1])) return std::nullopt;
  size_t at = 0;
  const auto nextName = [&] {
    while (at < absolute.size() && isSeparator(absolute[at])) ++at;
    const size_t start = at;
    while (at < absolute.size() && !isSeparator(absolute[at])) ++at;
    return absolute.substr(start, at - start);
  };
  const std::string host = nextName(), share = nextName();
  if (!validComponent(host) || !validComponent(share)) return std::nullopt;
  return std::pair("\\\\" + host + "\\" + share, absolute.substr(at));
}

// The rest of a file through a buffer, for file systems that cannot send between files.
bool copyThroughBuffer(int in, int out) {
  char block[65536];
  for (ssize_t got; (got = read(in, block, sizeof block)) != 0;) {
    if (got < 0) return false;
    for (ssize_t put = 0, wrote; put < got; put += wrote)
      if ((wrote = write(out, block + put, static_cast<size_t>(got - put))) < 0) return false;
  }
  return true;
}

// All of a file's bytes from one open file to another, in the kernel where it can.
bool copyBytes(int in, int out, off_t size) {
  for (off_t done = 0; done < size;) {
    const ssize_t sent = sendfile(out, in, nullptr, static_cast<size_t>(size - done));
    if (sent > 0) {
      done += sent;
      continue;
    }
    if (sent == 0) return true;  // the file got shorter meanwhile
    if (done > 0 || (errno != EINVAL && errno != ENOSYS)) return false;
    return copyThroughBuffer(in, out);
  }
  return true;
}

// A host file copied with its permissions and, as Windows' own copy does,
// its date: one open of each file. A copy that fails half-way is removed,
// not left behind as if it were the file.
bool copyHostFile(const fs::path& from, const fs::path& to, bool failIfExists) {
  const int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  struct stat status {};
  int out = -1;
  if (fstat(in, &status) == 0 && S_ISREG(status.st_mode))
    out = open(to.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (failIfExists ? O_EXCL : O_TRUNC), S_IWUSR);
  const timespec times[2] = {{0, UTIME_OMIT}, status.st_mtim};
  const bool copied = out >= 0 && copyBytes(in, out, status.st_size) && fchmod(out, status.st_mode & 07777) == 0 &&
                      futimens(out, times) == 0;
  close(in);
  if (out < 0) return false;
  if (close(out) != 0 || !copied) {
    unlink(to.c_str());
    return false;
  }
  return true;
}

// A drive's folder as given, without the separators it may end with, so
// that its listing and its entries' parent are one and the same path.
fs::path withoutTrailingSeparators(fs::path folder) {
  while (!folder.has_filename() && folder.has_relative_path()) folder = folder.parent_path();
  return folder;
}

// Where a host path leads, every link on the way followed; nullopt when that
// cannot be told.
std::optional<fs::path> followed(const fs::path& path) {
  std::error_code ec;
  fs::path real = fs::weakly_canonical(path, ec);
  if (ec) return std::nullopt;
  return real;
}

}  // namespace

ImageFileSystem::ImageFileSystem(std::map<char, fs::path> drives, std::string currentDirectory,
                                 std::string tempFolder)
    : drives_(std::move(drives)), current_(std::move(currentDirectory)), temp_(std::move(tempFolder)) {
  for (auto& [letter, folder] : drives_) folder = withoutTrailingSeparators(folder);
  if (!temp_.empty() && temp_.back() != '\\') temp_ += '\\';
}

std::optional<std::string> ImageFileSystem::fullPath(const std::string& path) const {
  std::string absolute;
  if (path.size() >= 2 && path[1] == ':') {
    absolute = path.size() == 2 || !isSeparator(path[2])
                   ? (current_.size() >= 2 && std::toupper(current_[0]) == std::toupper(path[0])
                          ? current_ + "\\" + path.substr(2)
                          : path.substr(0, 2) + "\\" + path.substr(2))
                   : path;
  } else if (path.size() > 1 && isSeparator(path[0]) && isSeparator(path[1])) {
    absolute = path;
  } else if (!path.empty() && isSeparator(path[0])) {
    const auto root = splitRoot(current_);
    if (!root) return std::nullopt;
    absolute = root->first + path;
  } else {
    absolute = current_ + "\\" + path;
  }
  auto root = splitRoot(absolute);
  if (!root) return std::nullopt;
  if (root->first[1] == ':') root->first[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(root->first[0])));
  std::vector<std::string> parts;
  for (auto& part : components(root->second)) {
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
  std::string out = root->first;
  for (const auto& part : parts) out += "\\" + part;
  if (parts.empty()) out += "\\";
  return out;
}

void ImageFileSystem::connectShare(const std::string& share, fs::path folder) {
  shares_[upperCase(share)] = withoutTrailingSeparators(std::move(folder));
}

bool ImageFileSystem::disconnectShare(const std::string& share) { return shares_.erase(upperCase(share)) > 0; }

std::optional<fs::path> ImageFileSystem::rootFolder(const std::string& root) const {
  if (root[1] == ':') {
    const auto drive = drives_.find(root[0]);
    if (drive != drives_.end()) return drive->second;
  } else if (const auto share = shares_.find(upperCase(root)); share != shares_.end()) {
    return share->second;
  }
  return std::nullopt;
}

bool ImageFileSystem::Resolved::isFolder() const {
  std::error_code ec;
  return kind == EntryKind::Folder || (kind == EntryKind::Link && fs::is_directory(host, ec));
}

std::optional<ImageFileSystem::Resolved> ImageFileSystem::resolve(const std::string& path, Way way,
                                                                  const Step& step) const {
  const auto full = fullPath(path);
  const auto root = full ? splitRoot(*full) : std::nullopt;
  const auto rootHost = root ? rootFolder(root->first) : std::nullopt;
  if (!rootHost) return std::nullopt;
  const auto parts = components(root->second);
  Resolved at{*rootHost, std::nullopt, nullptr};
  if (parts.empty()) {
    at.kind = kindOnHost(at.host);
    return at;
  }
  // The drive's own folder: its listing tells whether it is one.
  std::optional<EntryKind> kind = EntryKind::Folder;
  for (size_t k = 0; k < parts.size(); ++k) {
    const bool last = k + 1 == parts.size();
    const bool onKeptWay = (way == Way::Kept && !last) || way == Way::Listed;
    const bool listable = kind && *kind != EntryKind::File;
    at.folder = !listable ? nullptr : onKeptWay ? folders_.kept(at.host) : folders_.listing(at.host);
    const auto entry = at.folder ? at.folder->match(parts[k]) : std::nullopt;
    // A name missing from a kept listing, or a way that no longer leads to
    // the last folder: the folders on the way changed, and are read afresh.
    if (way != Way::Checked && ((onKeptWay && !entry) || (last && !at.folder)))
      return resolve(path, Way::Checked, step);
    kind = entry ? std::optional(entry->kind) : std::nullopt;
    const std::string& name = entry ? entry->name : parts[k];
    if (step) step(parts[k], name, at.folder);
    at.host /= name;
  }
  at.kind = kind;
  return at;
}

void ImageFileSystem::protect(const fs::path& folder) {
  std::error_code ec;
  protected_.push_back(withoutTrailingSeparators(fs::weakly_canonical(folder, ec)));
}

std::optional<ImageFileSystem::Resolved> ImageFileSystem::resolveToChange(const std::string& path) const {
  auto at = resolve(path);
  if (!at || protected_.empty()) return at;
  const auto real = realPlace(at->host);
  if (!real) return std::nullopt;
  const auto inside = [&](const fs::path& folder) {
    return std::mismatch(folder.begin(), folder.end(), real->begin(), real->end()).first == folder.end();
  };
  if (std::any_of(protected_.begin(), protected_.end(), inside)) return std::nullopt;
  return at;
}

std::optional<fs::path> ImageFileSystem::realPlace(const fs::path& host) const {
  std::error_code ec;
  const fs::path folder = host.parent_path();
  if (folder == host || fs::is_symlink(host, ec)) return followed(host);
  auto known = realFolders_.find(folder.string());
  if (known == realFolders_.end()) {
    // A folder yet to be made is followed afresh each time.
    if (!fs::is_directory(folder, ec)) return followed(host);
    auto real = followed(folder);
    if (!real) return std::nullopt;
    known = realFolders_.emplace(folder.string(), std::move(*real)).first;
  }
  return known->second / host.filename();
}

std::optional<fs::path> ImageFileSystem::hostPath(const std::string& path) const {
  const auto at = resolve(path);
  if (!at) return std::nullopt;
  return at->host;
}

bool ImageFileSystem::sameFile(const std::string& first, const std::string& second) {
  const auto firstHost = hostPath(first), secondHost = hostPath(second);
  std::error_code error;
  if (firstHost && secondHost && fs::exists(*firstHost, error) && fs::exists(*secondHost, error))
    return fs::equivalent(*firstHost, *secondHost, error);
  return FileSystem::sameFile(first, second);
}

ImageFileSystem::Found ImageFileSystem::lookup(const std::string& path) {
  const auto at = resolve(path);
  if (!at || !at->kind) return Found::Nothing;
  return at->isFolder() ? Found::Folder : Found::File;
}

bool ImageFileSystem::exists(const std::string& path) { return lookup(path) != Found::Nothing; }

bool ImageFileSystem::isDirectory(const std::string& path) { return lookup(path) == Found::Folder; }

std::optional<FileEntry> ImageFileSystem::stat(const std::string& path) {
  const auto at = resolve(path);
  if (!at || !at->kind) return std::nullopt;
  const std::string name = at->host.filename().string();
  return entryOf(AT_FDCWD, at->host.c_str(), name, at->folder ? at->folder->aliasOf(name) : std::string());
}

std::vector<FileEntry> ImageFileSystem::find(const std::string& pattern) { return findEntries(pattern, false); }

std::vector<FileEntry> ImageFileSystem::findNames(const std::string& pattern) { return findEntries(pattern, true); }

FolderListing* ImageFileSystem::listedFolder(const std::string& folder, fs::path& host) const {
  for (const Way way : {Way::Listed, Way::Checked}) {
    const auto at = resolve(folder, way);
    if (!at || !at->kind) return nullptr;
    if (FolderListing* listing = folders_.listing(at->host)) {
      host = at->host;
      return listing;
    }
  }
  return nullptr;
}

std::vector<FileEntry> ImageFileSystem::findEntries(const std::string& pattern, bool namesOnly) {
  const size_t slash = pattern.find_last_of("\\/");
  const std::string folder = slash == std::string::npos ? current_ : pattern.substr(0, slash + 1);
  std::string mask = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
  // A plain name is a path's last part, which loses the spaces and dots it ends with.
  if (mask.find_first_of("*?") == std::string::npos) mask = withoutTrailingDotsAndSpaces(mask);
  std::vector<FileEntry> found;
  fs::path host;
  const FolderListing* listing = mask.empty() ? nullptr : listedFolder(folder, host);
  if (!listing) return found;
  // What a walk asks for: every name matches, none needs comparing.
  const bool everything = mask == "*" || mask == "*.*";
  // Entries are looked at from their open folder, as a walk of the host does:
  // the kernel then finds each by its name alone, not by its whole path.
  // Names alone need the folder for links only.
  int opened = -1;
  listing->forEach([&](const std::string& name, EntryKind kind, const std::string& alias) {
    if (!everything && !wildcardMatch(mask, name) && (alias.empty() || !wildcardMatch(mask, alias))) return;
    if (namesOnly && kind != EntryKind::Link) {
      found.push_back({name, alias, kind == EntryKind::Folder ? faDirectory : faArchive});
      return;
    }
    if (opened < 0) opened = open(host.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (opened < 0) return;
    if (auto entry = entryOf(opened, name.c_str(), name, alias)) found.push_back(std::move(*entry));
  });
  if (opened >= 0) close(opened);
  return found;
}

bool ImageFileSystem::createDirectory(const std::string& path) {
  const auto at = resolveToChange(path);
  std::error_code ec;
  if (!at || !canCreate(*at) || !fs::create_directory(at->host, ec)) return false;
  folders_.added(at->host, EntryKind::Folder);
  return true;
}

bool ImageFileSystem::removeEntry(const fs::path& host) {
  std::error_code ec;
  if (!fs::remove(host, ec)) return false;
  folders_.removed(host);
  return true;
}

bool ImageFileSystem::removeDirectory(const std::string& path) {
  const auto at = resolveToChange(path);
  std::error_code ec;
  if (!at || !at->isFolder()) return false;
  if (at->kind != EntryKind::Link && !fs::is_empty(at->host, ec)) return false;
  return removeEntry(at->host);
}

bool ImageFileSystem::deleteFile(const std::string& path) {
  const auto at = resolveToChange(path);
  std::error_code ec;
  if (!at || !at->kind) return false;
  if (at->kind == EntryKind::Link && !at->isFolder()) return removeEntry(at->host);
  if (!fs::is_regular_file(at->host, ec)) return false;
  if ((fs::status(at->host, ec).permissions() & fs::perms::owner_write) == fs::perms::none) return false;  // read-only
  return removeEntry(at->host);
}

bool ImageFileSystem::copyFile(const std::string& from, const std::string& to, bool failIfExists) {
  const auto source = resolve(from), target = resolveToChange(to);
  std::error_code ec;
  if (!source || !source->kind || !target || !target->folder) return false;
  if (target->kind) {
    if (failIfExists || target->isFolder()) return false;
    if (fs::equivalent(source->host, target->host, ec)) return true;
  }
  if (!copyHostFile(source->host, target->host, failIfExists)) return false;
  if (!target->kind) folders_.added(target->host, EntryKind::File);
  return true;
}

bool ImageFileSystem::moveFile(const std::string& from, const std::string& to) {
  const auto source = resolveToChange(from), target = resolveToChange(to);
  std::error_code ec;
  if (!source || !source->kind || !target || !canCreate(*target)) return false;
  fs::rename(source->host, target->host, ec);
  if (ec) return false;
  folders_.removed(source->host);
  folders_.added(target->host, *source->kind);
  return true;
}

bool ImageFileSystem::setAttributes(const std::string& path, uint32_t attributes) {
  const auto at = resolveToChange(path);
  std::error_code ec;
  if (!at || !at->kind) return false;
  // Only the read-only flag has a host equivalent; the others are accepted and not kept.
  const auto write = fs::perms::owner_write;
  fs::permissions(at->host, write, (attributes & faReadOnly) ? fs::perm_options::remove : fs::perm_options::add, ec);
  return !ec;
}

bool ImageFileSystem::setFileTimes(const std::string& path, int64_t fileTime) {
  const auto at = resolveToChange(path);
  timespec times[2];
  return at && at->kind && utimensat(AT_FDCWD, at->host.c_str(), writeTimeOnly(fileTime, times), 0) == 0;
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

bool ImageFileSystem::writeBytes(const std::string& path, const std::string& bytes, std::ios::openmode mode) {
  const auto at = resolveToChange(path);
  if (!at || !at->folder || at->isFolder()) return false;
  std::ofstream out(at->host, std::ios::binary | mode);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) return false;
  if (!at->kind) folders_.added(at->host, EntryKind::File);
  return true;
}

bool ImageFileSystem::writeFile(const std::string& path, const std::string& bytes) {
  return writeBytes(path, bytes, std::ios::trunc);
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
  return writeBytes(path, bytes, std::ios::app);
}

std::unique_ptr<OpenFile> ImageFileSystem::openFile(const std::string& path, OpenFor purpose) {
  const auto at = purpose == OpenFor::Reading ? resolve(path) : resolveToChange(path);
  if (!at || !at->folder) return nullptr;
  if (purpose == OpenFor::NewFile) {
    if (!canCreate(*at)) return nullptr;
    auto made = openHostFile(at->host, O_RDWR | O_CREAT | O_EXCL);
    if (made) folders_.added(at->host, EntryKind::File);
    return made;
  }
  if (!at->kind) return nullptr;
  return openHostFile(at->host, purpose == OpenFor::Writing ? O_RDWR : O_RDONLY);
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
  const std::string root = splitRoot(*full)->first;
  std::string shortPath = root;
  resolve(*full, Way::Checked, [&](const std::string& part, const std::string& name, FolderListing* folder) {
    const std::string alias = folder ? folder->aliasOf(name) : std::string();
    shortPath += "\\" + (alias.empty() ? part : alias);
  });
  if (shortPath.size() == root.size()) shortPath += "\\";
  return shortPath;
}

std::optional<std::string> ImageFileSystem::tempFileName(const std::string& folder, const std::string& prefix) {
  if (!isDirectory(folder)) return std::nullopt;
  const std::string stem = prefix.substr(0, 3);
  for (unsigned number = 1; number <= 0xFFFF; ++number) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "%04X", number);
    const std::string candidate = joinPath(folder, stem + hex + ".TMP");
    // A free name that cannot be written means a folder that takes no files.
    if (!exists(candidate)) return writeFile(candidate, "") ? std::optional(candidate) : std::nullopt;
  }
  return std::nullopt;
}

}  // namespace korvane
