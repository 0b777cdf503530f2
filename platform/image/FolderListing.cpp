#include "platform/image/FolderListing.h"

#include <dirent.h>

#include <algorithm>
#include <string_view>

#include "platform/Text.h"

namespace korvane {

namespace fs = std::filesystem;

namespace {

constexpr char kStemBar = '|';

// A name upper-cased as Windows compares names; most names are ASCII.
std::string upperName(const std::string& name) {
  if (!std::all_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
    return upperCase(name);
  std::string upper = name;
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return upper;
}

// "PROGRA|TXT" for "PROGRAM FILES LONG NAME.TXT", upper-cased already: the
// cleaned first six characters of the base and three of the extension.
std::string aliasStem(std::string_view upper) {
  const size_t dot = upper.find_last_of('.');
  const bool split = dot != std::string_view::npos && dot != 0;
  const auto clean = [](std::string_view text, size_t limit) {
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
  return clean(split ? upper.substr(0, dot) : upper, 6) + kStemBar + clean(split ? upper.substr(dot + 1) : "", 3);
}

std::string aliasOfStem(const std::string& stem, size_t number) {
  const size_t bar = stem.find(kStemBar);
  const std::string ext = stem.substr(bar + 1);
  return stem.substr(0, bar) + "~" + std::to_string(number) + (ext.empty() ? "" : "." + ext);
}

// The stem and number an alias is made of ("PROGRA~2.TXT": "PROGRA|TXT", 2).
// An alias holds no dot before its extension, and its number no leading zero.
std::optional<std::pair<std::string, size_t>> parseAlias(const std::string& name) {
  const std::string upper = upperName(name);
  const size_t dot = upper.find('.');
  const std::string left = upper.substr(0, dot), ext = dot == std::string::npos ? "" : upper.substr(dot + 1);
  const size_t tilde = left.rfind('~');
  if (tilde == std::string::npos || (dot != std::string::npos && ext.empty())) return std::nullopt;
  const std::string digits = left.substr(tilde + 1);
  if (digits.empty() || digits.size() > 9 || digits[0] == '0' ||
      digits.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  return std::make_pair(left.substr(0, tilde) + kStemBar + ext, std::stoul(digits));
}

EntryKind kindOf(const fs::path& folder, const dirent& entry) {
  switch (entry.d_type) {
    case DT_DIR: return EntryKind::Folder;
    case DT_LNK: return EntryKind::Link;
    case DT_UNKNOWN: break;
    default: return EntryKind::File;
  }
  // Some host file systems do not say what an entry is while listing.
  struct stat status;
  if (lstat((folder / entry.d_name).c_str(), &status) != 0) return EntryKind::File;
  return S_ISLNK(status.st_mode) ? EntryKind::Link : S_ISDIR(status.st_mode) ? EntryKind::Folder : EntryKind::File;
}

}  // namespace

bool isValidShortName(const std::string& name) {
  const size_t dot = name.find('.');
  const std::string_view whole(name), base = whole.substr(0, dot);
  const std::string_view ext = dot == std::string::npos ? std::string_view() : whole.substr(dot + 1);
  if (base.empty() || base.size() > 8 || ext.size() > 3 || ext.find('.') != std::string_view::npos) return false;
  for (unsigned char c : whole)
    if (c >= 0x80 || std::string_view(" +,;=[]").find(static_cast<char>(c)) != std::string_view::npos) return false;
  return true;
}

std::optional<FolderListing> FolderListing::read(const fs::path& folder) {
  DIR* handle = opendir(folder.c_str());
  if (!handle) return std::nullopt;
  FolderListing listing;
  while (const dirent* entry = readdir(handle)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    const auto [key, isLong] = listing.added(std::move(name), kindOf(folder, *entry));
    if (isLong) listing.groups_[aliasStem(key->upper)].push_back(&key->name);
  }
  closedir(handle);
  // Each group sorted once, not kept in order name by name.
  const auto byName = [](const std::string* a, const std::string* b) { return *a < *b; };
  for (auto& [stem, group] : listing.groups_) std::sort(group.begin(), group.end(), byName);
  return listing;
}

FolderListing::OrderKey FolderListing::keyOf(const std::string& name) { return {upperName(name), name}; }

// UTF-8 in the order of its UTF-16 form: byte order, but for characters past
// U+FFFF, whose surrogates come before U+E000..U+FFFF (lead bytes EE, EF).
bool FolderListing::InFolderOrder::operator()(const OrderKey& a, const OrderKey& b) const {
  const auto [inA, inB] = std::mismatch(a.upper.begin(), a.upper.end(), b.upper.begin(), b.upper.end());
  if (inA == a.upper.end() || inB == b.upper.end())
    return inB != b.upper.end() || (inA == a.upper.end() && a.name < b.name);
  const auto byteA = static_cast<unsigned char>(*inA), byteB = static_cast<unsigned char>(*inB);
  const auto astral = [](unsigned char lead) { return lead >= 0xF0; };
  const auto high = [](unsigned char lead) { return lead == 0xEE || lead == 0xEF; };
  if (astral(byteA) && high(byteB)) return true;
  if (high(byteA) && astral(byteB)) return false;
  return byteA < byteB;
}

std::optional<ListedEntry> FolderListing::match(const std::string& name) const {
  OrderKey key = keyOf(name);
  if (const auto exact = entries_.find(key); exact != entries_.end()) return ListedEntry{name, exact->second};
  key.name.clear();
  if (const auto first = entries_.lower_bound(key); first != entries_.end() && first->first.upper == key.upper)
    return ListedEntry{first->first.name, first->second};
  return name.find('~') == std::string::npos ? std::nullopt : matchAlias(name);
}

std::optional<ListedEntry> FolderListing::matchAlias(const std::string& name) const {
  const auto alias = parseAlias(name);
  const auto group = alias ? groups_.find(alias->first) : groups_.end();
  if (group == groups_.end() || alias->second > group->second.size()) return std::nullopt;
  const std::string& longName = *group->second[alias->second - 1];
  return ListedEntry{longName, entries_.at(keyOf(longName))};
}

std::string FolderListing::aliasOf(const std::string& name) const { return aliasOf(keyOf(name)); }

std::string FolderListing::aliasOf(const OrderKey& key) const {
  if (isValidShortName(key.name)) return {};
  const std::string stem = aliasStem(key.upper);
  const auto group = groups_.find(stem);
  if (group == groups_.end()) return {};
  const auto place = std::lower_bound(group->second.begin(), group->second.end(), key.name,
                                      [](const std::string* listed, const std::string& wanted) { return *listed < wanted; });
  if (place == group->second.end() || **place != key.name) return {};
  return aliasOfStem(stem, static_cast<size_t>(place - group->second.begin()) + 1);
}

void FolderListing::forEach(const std::function<void(const std::string&, EntryKind, const std::string&)>& visit) const {
  for (const auto& [key, kind] : entries_) visit(key.name, kind, aliasOf(key));
}

// A new entry's key, and whether its name is a long one, which goes into an alias group.
std::pair<const FolderListing::OrderKey*, bool> FolderListing::added(std::string name, EntryKind kind) {
  std::string upper = upperName(name);
  const auto [entry, isNew] = entries_.emplace(OrderKey{std::move(upper), std::move(name)}, kind);
  if (!isNew) entry->second = kind;
  return {&entry->first, isNew && !isValidShortName(entry->first.name)};
}

void FolderListing::add(const std::string& name, EntryKind kind) {
  const auto [key, isLong] = added(name, kind);
  if (!isLong) return;
  AliasGroup& group = groups_[aliasStem(key->upper)];
  group.insert(std::upper_bound(group.begin(), group.end(), &key->name,
                                [](const std::string* a, const std::string* b) { return *a < *b; }),
               &key->name);
}

void FolderListing::remove(const std::string& name) {
  const auto entry = entries_.find(keyOf(name));
  if (entry == entries_.end()) return;
  if (!isValidShortName(name)) {
    AliasGroup& group = groups_[aliasStem(entry->first.upper)];
    group.erase(std::remove(group.begin(), group.end(), &entry->first.name), group.end());
  }
  entries_.erase(entry);
}

bool FolderCache::Stamp::operator==(const Stamp& other) const {
  return device == other.device && inode == other.inode && changed.tv_sec == other.changed.tv_sec &&
         changed.tv_nsec == other.changed.tv_nsec && written.tv_sec == other.written.tv_sec &&
         written.tv_nsec == other.written.tv_nsec;
}

std::optional<FolderCache::Stamp> FolderCache::stampOf(const fs::path& folder) {
  struct stat status;
  if (stat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) return std::nullopt;
  return Stamp{status.st_dev, status.st_ino, status.st_ctim, status.st_mtim};
}

FolderListing* FolderCache::listing(const fs::path& folder) {
  const auto stamp = stampOf(folder);
  const auto cached = folders_.find(folder.string());
  if (!stamp) {
    if (cached != folders_.end()) folders_.erase(cached);
    return nullptr;
  }
  if (cached != folders_.end() && cached->second.stamp == *stamp) return &cached->second.listing;
  // The stamp is read before the names: a change while reading shows next time.
  auto listing = FolderListing::read(folder);
  if (!listing) return nullptr;
  Cached& kept = folders_[folder.string()];
  kept = Cached{*stamp, std::move(*listing)};
  return &kept.listing;
}

FolderListing* FolderCache::kept(const fs::path& folder) {
  const auto cached = folders_.find(folder.string());
  return cached != folders_.end() ? &cached->second.listing : listing(folder);
}

FolderListing* FolderCache::changedFolder(const fs::path& folder) {
  const auto cached = folders_.find(folder.string());
  if (cached == folders_.end()) return nullptr;
  const auto stamp = stampOf(folder);
  if (!stamp) {
    folders_.erase(cached);
    return nullptr;
  }
  cached->second.stamp = *stamp;
  return &cached->second.listing;
}

void FolderCache::added(const fs::path& entry, EntryKind kind) {
  if (FolderListing* listing = changedFolder(entry.parent_path())) listing->add(entry.filename().string(), kind);
}

void FolderCache::removed(const fs::path& entry) {
  if (FolderListing* listing = changedFolder(entry.parent_path())) listing->remove(entry.filename().string());
  folders_.erase(entry.string());  // a folder that went takes its listing along
}

}  // namespace korvane
