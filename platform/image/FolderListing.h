// What the machine image's file system knows of its host folders: each
// folder's names in the order Windows lists them, what each entry is, and the
// 8.3 aliases of the long names, read once and then kept up to date by the
// image's own writes. Sizes, times and attributes are not kept: files change
// them without their folder noticing.
#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace korvane {

enum class EntryKind { File, Folder, Link };

struct ListedEntry {
  std::string name;
  EntryKind kind = EntryKind::File;
};

// Whether a name is already a valid 8.3 name, which gets no alias.
bool isValidShortName(const std::string& name);

class FolderListing {
 public:
  FolderListing() = default;
  // Its alias groups point into its entries: moved, never copied.
  FolderListing(FolderListing&&) = default;
  FolderListing& operator=(FolderListing&&) = default;
  FolderListing(const FolderListing&) = delete;
  FolderListing& operator=(const FolderListing&) = delete;

  // nullopt when the folder cannot be read.
  static std::optional<FolderListing> read(const std::filesystem::path& folder);

  // The entry a Windows name stands for: the exact name, else a match of the
  // long name without regard to case (the first in folder order), else of an
  // 8.3 alias.
  std::optional<ListedEntry> match(const std::string& name) const;
  // The 8.3 alias of a listed name; empty when the name is already one.
  std::string aliasOf(const std::string& name) const;
  // Every entry in folder order: visit(name, kind, alias).
  void forEach(const std::function<void(const std::string&, EntryKind, const std::string&)>& visit) const;

  void add(const std::string& name, EntryKind kind);
  void remove(const std::string& name);

 private:
  // Windows lists a folder's entries in the order of their upper-cased names.
  struct OrderKey {
    std::string upper;
    std::string name;
  };
  struct InFolderOrder {
    bool operator()(const OrderKey& a, const OrderKey& b) const;
  };
  // The long names that share an alias stem ("PROGRA|TXT"), in byte order:
  // a name's place numbers its alias.
  using AliasGroup = std::vector<const std::string*>;

  static OrderKey keyOf(const std::string& name);
  std::optional<ListedEntry> matchAlias(const std::string& name) const;
  std::pair<const OrderKey*, bool> added(std::string name, EntryKind kind);
  std::string aliasOf(const OrderKey& key) const;

  std::map<OrderKey, EntryKind, InFolderOrder> entries_;
  std::unordered_map<std::string, AliasGroup> groups_;
};

// The listings of the host folders one file system has looked into. A
// listing stays as long as its folder's stamp (inode, change and write times
// to the nanosecond) does: a name added, removed or renamed by anyone changes
// the stamp, and Linux gives a folder changed right after its stamp was read
// a finer, new time, so one stat per folder tells whether a listing is still
// good. The file system's own writes update the listing and its stamp.
class FolderCache {
 public:
  // nullptr when the folder is not one.
  FolderListing* listing(const std::filesystem::path& folder);
  // The listing kept of a folder, unchecked; read when none is kept.
  FolderListing* kept(const std::filesystem::path& folder);
  void added(const std::filesystem::path& entry, EntryKind kind);
  void removed(const std::filesystem::path& entry);

 private:
  struct Stamp {
    dev_t device = 0;
    ino_t inode = 0;
    timespec changed{}, written{};
    bool operator==(const Stamp& other) const;
  };
  struct Cached {
    Stamp stamp;
    FolderListing listing;
  };
  static std::optional<Stamp> stampOf(const std::filesystem::path& folder);
  // The folder's listing with its stamp renewed after our own change, or nullptr when none is kept.
  FolderListing* changedFolder(const std::filesystem::path& folder);

  std::unordered_map<std::string, Cached> folders_;
};

}  // namespace korvane
