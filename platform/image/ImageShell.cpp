#include "platform/image/ImageShell.h"

#include <fstream>
#include <functional>
#include <system_error>

#include "platform/Text.h"

namespace korvane {

namespace {

namespace fs = std::filesystem;

// The codes the Windows shell gives for the same failures.
enum ShellCode : int {
  codeFileNotFound = 2,
  codeAccessDenied = 5,
  codeSameFile = 0x71,
  codeManySourcesOneTarget = 0x72,
  codeRootFolder = 0x74,
  codeTargetInsideSource = 0x76,
  codeInvalidFiles = 0x7C,
  codeAlreadyExists = 183,
  codePathTooLong = 206,
  codeFailed = 0x402,
  codeCancelled = 1223
};

constexpr size_t kMaxPath = 259;  // MAX_PATH without the terminator
constexpr int kMaxNameTries = 9999;

bool hasWildcards(const std::string& name) { return name.find_first_of("*?") != std::string::npos; }

bool isInside(const std::string& path, const std::string& folder) {
  const std::string prefix = folder.back() == '\\' ? folder : folder + "\\";
  return path.size() > prefix.size() && equalsIgnoreCase(std::string_view(path).substr(0, prefix.size()), prefix);
}

// "name (2).ext"
std::string numberedName(const std::string& name, int number) {
  const size_t dot = name.find_last_of('.');
  const std::string suffix = " (" + std::to_string(number) + ")";
  if (dot == std::string::npos || dot == 0) return name + suffix;
  return name.substr(0, dot) + suffix + name.substr(dot);
}

// "Copy of name", then "Copy (2) of name", as the shell names a copy that
// would otherwise replace a file.
std::string copyName(const std::string& name, int number) {
  return number == 1 ? "Copy of " + name : "Copy (" + std::to_string(number) + ") of " + name;
}

using Found = ImageFileSystem::Found;

struct Source {
  std::string path;  // full path
  bool folder = false;
};

// One call of the service: the flags, and the result so far. Each step
// returns false once the operation has failed or was cancelled.
class FileOperationRun {
 public:
  FileOperationRun(ImageFileSystem& files, uint32_t flags) : files_(files), flags_(flags) {}

  ShellFileResult run(const ShellFileOperation& operation) {
    std::vector<Source> sources;
    bool expanded = false;
    if (!collectSources(operation.from, sources, expanded)) return result_;
    switch (operation.function) {
      case foCopy:
      case foMove: transfer(operation, sources, expanded); break;
      case foDelete: remove(sources); break;
      case foRename: rename(operation.to, sources); break;
      default: fail(codeInvalidFiles);
    }
    return result_;
  }

 private:
  bool fail(int code) {
    result_.code = code;
    return false;
  }
  // A question that nobody can answer counts as "Cancel".
  bool agrees(uint32_t waiver) {
    if ((flags_ & (fofNoConfirmation | waiver)) != 0) return true;
    result_.aborted = true;
    return fail(codeCancelled);
  }
  bool has(uint32_t flag) const { return (flags_ & flag) != 0; }
  bool fits(const std::string& path) { return path.size() <= kMaxPath || fail(codePathTooLong); }

  // Every source exists before anything is done; wildcards expand to the
  // matching entries of their folder (only files with fofFilesOnly).
  bool collectSources(const std::vector<std::string>& from, std::vector<Source>& sources, bool& expanded) {
    if (from.empty()) return fail(codeInvalidFiles);
    for (const auto& entry : from) {
      const std::string name = fileNamePart(entry);
      if (hasWildcards(name)) {
        expanded = true;
        if (!addMatches(entry.substr(0, entry.size() - name.size()), name, sources)) return false;
        continue;
      }
      const auto full = files_.fullPath(entry);
      if (!full) return fail(codeInvalidFiles);
      if (full->size() == 3) return fail(codeRootFolder);
      const Found found = files_.lookup(*full);
      if (found == Found::Nothing) return fail(codeFileNotFound);
      sources.push_back({*full, found == Found::Folder});
    }
    return true;
  }

  bool addMatches(const std::string& folder, const std::string& mask, std::vector<Source>& sources) {
    const auto full = files_.fullPath(folder);
    if (!full || hasWildcards(folder)) return fail(codeInvalidFiles);
    if (!files_.isDirectory(*full)) return fail(codeFileNotFound);
    for (const auto& entry : files_.find(joinPath(*full, mask)))
      if (!(entry.isDirectory() && has(fofFilesOnly))) sources.push_back({joinPath(*full, entry.name), entry.isDirectory()});
    return true;
  }

  void transfer(const ShellFileOperation& operation, const std::vector<Source>& sources, bool expanded) {
    const bool move = operation.function == foMove;
    if (has(fofMultiDestFiles)) {
      if (operation.to.size() != sources.size()) {
        fail(codeManySourcesOneTarget);
        return;
      }
      for (size_t k = 0; k < sources.size(); ++k) {
        const auto target = files_.fullPath(operation.to[k]);
        if (!target) {
          fail(codeInvalidFiles);
          return;
        }
        const std::string place = files_.isDirectory(*target) ? joinPath(*target, fileNamePart(sources[k].path)) : *target;
        if (!placeItem(sources[k], place, move)) return;
      }
      return;
    }
    const auto target = operation.to.empty() ? std::nullopt : files_.fullPath(operation.to.front());
    if (!target) {
      fail(codeInvalidFiles);
      return;
    }
    if (!files_.isDirectory(*target)) {
      // One named source takes the target's name; several need a folder.
      if (sources.size() == 1 && !expanded) {
        placeItem(sources.front(), *target, move);
        return;
      }
      if (files_.exists(*target)) {
        fail(codeInvalidFiles);
        return;
      }
      if (!makeFolder(*target)) return;
    }
    for (const auto& source : sources)
      if (!placeItem(source, joinPath(*target, fileNamePart(source.path)), move)) return;
  }

  bool makeFolder(const std::string& folder) {
    if (files_.isDirectory(folder)) return true;
    if (!agrees(fofNoConfirmMkDir) || !fits(folder)) return false;
    return files_.forceDirectories(folder) || fail(codeAccessDenied);
  }

  // A free name in the folder, by the naming rule; empty when none is left.
  std::string freeName(const std::string& folder, const std::function<std::string(int)>& candidate) {
    for (int number = 1; number <= kMaxNameTries; ++number) {
      std::string name = candidate(number);
      if (!files_.exists(joinPath(folder, name))) return name;
    }
    return {};
  }

  bool placeItem(const Source& source, std::string target, bool move) {
    const bool same = equalsIgnoreCase(source.path, target);
    if (same && !has(fofRenameOnCollision)) return fail(codeSameFile);
    if (source.folder && isInside(target, source.path)) return fail(codeTargetInsideSource);
    Found there = files_.lookup(target);
    if ((same || there != Found::Nothing) && has(fofRenameOnCollision)) {
      const std::string folder = parentPath(target), name = fileNamePart(target);
      const std::string free = freeName(folder, [&](int number) { return copyName(name, number); });
      if (free.empty()) return fail(codeAlreadyExists);
      target = joinPath(folder, free);
      there = Found::Nothing;
    }
    // A folder made here was missing, and so was the target in it.
    if (!makeFolder(parentPath(target))) return false;
    return source.folder ? placeFolder(source.path, target, move) : placeFile(source.path, target, move, there);
  }

  // `there`: what the target path names now.
  bool placeFile(const std::string& from, const std::string& to, bool move, Found there) {
    if (!fits(to)) return false;
    if (there == Found::Folder) return fail(codeAlreadyExists);
    if (there == Found::File) {
      // "Replace the existing file?", and for a read-only one the same again.
      if (!agrees(0)) return false;
      clearReadOnly(to);
    }
    if (move && there == Found::Nothing && files_.moveFile(from, to)) return true;
    if (!files_.copyFile(from, to, false)) return fail(codeAccessDenied);
    return !move || deleteForGood({from, false});
  }

  bool placeFolder(const std::string& from, const std::string& to, bool move) {
    if (!fits(to)) return false;
    if (files_.isDirectory(to)) {
      if (!agrees(0)) return false;  // "The folder already exists: replace the files in it?"
    } else if (move && !files_.exists(to) && files_.moveFile(from, to)) {
      return true;
    } else if (!files_.createDirectory(to)) {
      return fail(codeAccessDenied);
    }
    for (const auto& entry : files_.find(joinPath(from, "*"))) {
      const std::string child = joinPath(from, entry.name), childTarget = joinPath(to, entry.name);
      if (!(entry.isDirectory() ? placeFolder(child, childTarget, move)
                                : placeFile(child, childTarget, move, files_.lookup(childTarget))))
        return false;
    }
    return !move || files_.removeDirectory(from) || fail(codeAccessDenied);
  }

  void clearReadOnly(const std::string& path) {
    const auto entry = files_.stat(path);
    if (entry && (entry->attributes & faReadOnly)) files_.setAttributes(path, entry->attributes & ~(faReadOnly | faDirectory));
  }

  // One question for the whole delete; it also covers read-only files, which
  // only fofNoConfirmation lets go without asking.
  void remove(const std::vector<Source>& sources) {
    if (!agrees(0)) return;
    for (const auto& source : sources) {
      const std::string bin = source.path.substr(0, 3) + "Recycled";
      // A network share has no recycle bin: what is deleted there is gone, as on Windows.
      const bool onDrive = source.path.size() > 1 && source.path[1] == ':';
      const bool recycle = has(fofAllowUndo) && onDrive && !equalsIgnoreCase(source.path, bin) &&
                           !isInside(source.path, bin);
      if (!(recycle ? moveToBin(source, bin) : deleteForGood(source))) return;
    }
  }

  bool moveToBin(const Source& source, const std::string& bin) {
    if (!files_.forceDirectories(bin)) return fail(codeAccessDenied);
    const std::string name = fileNamePart(source.path);
    const std::string free = freeName(bin, [&](int number) { return number == 1 ? name : numberedName(name, number); });
    if (free.empty()) return fail(codeAlreadyExists);
    return files_.moveFile(source.path, joinPath(bin, free)) || fail(codeAccessDenied);
  }

  bool deleteForGood(const Source& item) {
    if (!fits(item.path)) return false;
    // A link on the host is removed itself: what it points to may lie
    // outside the image.
    if (isHostLink(item.path)) return removeHostLink(item.path);
    if (!item.folder) {
      clearReadOnly(item.path);
      return files_.deleteFile(item.path) || fail(codeAccessDenied);
    }
    for (const auto& entry : files_.find(joinPath(item.path, "*")))
      if (!deleteForGood({joinPath(item.path, entry.name), entry.isDirectory()})) return false;
    return files_.removeDirectory(item.path) || fail(codeAccessDenied);
  }

  bool isHostLink(const std::string& path) const {
    const auto host = files_.hostPath(path);
    std::error_code ec;
    return host && fs::is_symlink(*host, ec);
  }
  bool removeHostLink(const std::string& path) {
    std::error_code ec;
    return fs::remove(*files_.hostPath(path), ec) || fail(codeAccessDenied);
  }

  // A rename takes one source; a relative new name is taken from the
  // current folder, as the shell does.
  void rename(const std::vector<std::string>& to, const std::vector<Source>& sources) {
    if (sources.size() != 1 || to.size() != 1) {
      fail(codeManySourcesOneTarget);
      return;
    }
    const auto target = files_.fullPath(to.front());
    if (!target) {
      fail(codeInvalidFiles);
    } else if (files_.exists(*target)) {
      fail(codeAlreadyExists);
    } else if (fits(*target) && !files_.moveFile(sources.front().path, *target)) {
      fail(codeAccessDenied);
    }
  }

  ImageFileSystem& files_;
  const uint32_t flags_;
  ShellFileResult result_;
};

}  // namespace

ShellFileResult ImageShell::fileOperation(const ShellFileOperation& operation) {
  return FileOperationRun(files_, operation.flags).run(operation);
}

bool ImageShell::open(const std::string& target) {
  const auto full = files_.fullPath(target);
  if (!full || !files_.exists(*full)) return false;
  return record("open " + *full);
}

bool ImageShell::execute(const std::string& verb, const std::string& file, const std::string& parameters,
                         const std::string& folder, int showCommand) {
  return record("execute\t" + verb + "\t" + file + "\t" + parameters + "\t" + folder + "\t" +
                std::to_string(showCommand));
}

bool ImageShell::copyToClipboard(const std::string& text) { return record("clipboard\t" + text); }

bool ImageShell::record(const std::string& line) { return appendAction(actionsLog_, line); }

bool appendAction(const std::filesystem::path& actionsLog, const std::string& line) {
  std::ofstream log(actionsLog, std::ios::binary | std::ios::app);
  log << line << "\n";
  return static_cast<bool>(log);
}

}  // namespace korvane
