#include "platform/image/ImageRegistry.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <functional>
#include <iterator>
#include <list>
#include <map>
#include <sstream>
#include <system_error>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/image/RegFile.h"

namespace korvane {

namespace {

namespace fs = std::filesystem;

constexpr RegRoot kRoots[] = {RegRoot::ClassesRoot, RegRoot::CurrentUser, RegRoot::LocalMachine, RegRoot::Users,
                              RegRoot::CurrentConfig};
constexpr uintmax_t kMaxFileSize = uintmax_t{256} << 20;

// A key's values in the order they were first set; a value set again keeps
// its place and the case of its first name. Driver keys can hold tens of
// thousands of values, so a large key finds them through an index of folded
// names; a small one is scanned, which is cheaper than folding the name.
class ValueList {
 public:
  const std::list<RegFileValue>& all() const { return values_; }

  RegFileValue* find(std::string_view name) {
    const auto place = locate(name);
    return place ? &**place : nullptr;
  }

  void set(const std::string& name, const RegValue& value) {
    if (RegFileValue* existing = find(name)) {
      existing->value = value;
      return;
    }
    values_.push_back({name, value});
    if (indexed_) {
      index_.emplace(upperCase(name), std::prev(values_.end()));
    } else if (values_.size() >= kIndexedFrom) {
      buildIndex();
    }
  }

  bool remove(std::string_view name) {
    const auto place = locate(name);
    if (!place) return false;
    if (indexed_) index_.erase(upperCase(name));
    values_.erase(*place);
    return true;
  }

 private:
  using Place = std::list<RegFileValue>::iterator;
  static constexpr size_t kIndexedFrom = 32;

  std::optional<Place> locate(std::string_view name) {
    if (indexed_) {
      const auto it = index_.find(upperCase(name));
      return it == index_.end() ? std::nullopt : std::optional<Place>(it->second);
    }
    const auto it = std::find_if(values_.begin(), values_.end(),
                                 [&](const RegFileValue& v) { return equalsIgnoreCase(v.name, name); });
    return it == values_.end() ? std::nullopt : std::optional<Place>(it);
  }

  void buildIndex() {
    for (auto it = values_.begin(); it != values_.end(); ++it) index_.emplace(upperCase(it->name), it);
    indexed_ = true;
  }

  std::list<RegFileValue> values_;
  std::unordered_map<std::string, Place> index_;  // by upper-cased name, once the key is large
  bool indexed_ = false;
};

struct Key {
  std::string name;
  std::map<std::u16string, std::unique_ptr<Key>> subkeys;  // by upper-cased name: the order Windows enumerates
  ValueList values;
  // Files holding the key: with a [key] line of its own (values go there), or
  // only as the parent of one of their keys.
  std::vector<size_t> statedIn, impliedIn;
};

std::u16string sortKey(std::string_view name) { return utf8ToUtf16(upperCase(name)); }

void addFile(std::vector<size_t>& files, size_t file) {
  if (std::find(files.begin(), files.end(), file) == files.end()) files.push_back(file);
}

// The file a key is written to: the last one to state it, else the last one
// implying it. Files load in index order, so the last is the highest.
std::optional<size_t> ownerOf(const Key& key) {
  const auto& files = key.statedIn.empty() ? key.impliedIn : key.statedIn;
  if (files.empty()) return std::nullopt;
  return *std::max_element(files.begin(), files.end());
}

void forEachKey(Key& key, const std::function<void(Key&)>& visit) {
  visit(key);
  for (auto& [sort, child] : key.subkeys) forEachKey(*child, visit);
}

// Key names of a path with or without leading and trailing backslashes;
// nullopt for names the registry cannot hold (empty, line breaks) or paths
// deeper than Windows allows.
std::optional<std::vector<std::string>> splitPath(std::string_view path) {
  if (!path.empty() && path.front() == '\\') path.remove_prefix(1);
  if (!path.empty() && path.back() == '\\') path.remove_suffix(1);
  std::vector<std::string> names;
  for (size_t start = 0; !path.empty();) {
    const size_t end = path.find('\\', start);
    const std::string_view name = path.substr(start, end == std::string_view::npos ? end : end - start);
    if (name.empty() || !isWritableRegName(name)) return std::nullopt;
    names.emplace_back(name);
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  if (names.size() > kMaxRegKeyDepth) return std::nullopt;
  return names;
}

std::optional<std::string> readFileBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return std::move(bytes).str();
}

bool writeFileBytes(const fs::path& file, const std::string& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return !out.fail();
}

class TreeRegistry final : public ImageRegistry {
 public:
  explicit TreeRegistry(fs::path folder) : folder_(std::move(folder)) {}

  bool loadFolder(CodePages& codePages, std::string& error);

  bool keyExists(RegRoot root, const std::string& path) override { return find(root, path) != nullptr; }

  std::optional<std::vector<std::string>> subkeyNames(RegRoot root, const std::string& path) override {
    const Key* key = find(root, path);
    if (!key) return std::nullopt;
    std::vector<std::string> names;
    for (const auto& [sort, child] : key->subkeys) names.push_back(child->name);
    return names;
  }

  std::optional<std::vector<std::string>> valueNames(RegRoot root, const std::string& path) override {
    const Key* key = find(root, path);
    if (!key) return std::nullopt;
    std::vector<std::string> names;
    for (const auto& value : key->values.all()) names.push_back(value.name);
    return names;
  }

  std::optional<RegValue> readValue(RegRoot root, const std::string& path, const std::string& name) override {
    Key* key = find(root, path);
    const RegFileValue* value = key ? key->values.find(name) : nullptr;
    if (!value) return std::nullopt;
    return value->value;
  }

  bool createKey(RegRoot root, const std::string& path) override { return createPath(root, path) != nullptr; }

  bool writeValue(RegRoot root, const std::string& path, const std::string& name, const RegValue& value) override {
    if (!isWritableRegName(name)) return false;
    Key* key = createPath(root, path);
    if (!key) return false;
    const size_t file = fileFor(*key);
    stateIn(*key, file);
    key->values.set(name, value);
    files_[file].dirty = true;
    return true;
  }

  bool deleteValue(RegRoot root, const std::string& path, const std::string& name) override {
    Key* key = find(root, path);
    if (!key || !key->values.remove(name)) return false;
    files_[fileFor(*key)].dirty = true;
    return true;
  }

  bool deleteTree(RegRoot root, const std::string& path) override {
    const auto names = splitPath(path);
    if (!names || names->empty()) return false;  // a root key stays
    return detach(root, *names, [&](size_t file) { files_[file].dirty = true; });
  }

  bool save(std::string& error) override;

  bool changed() const override {
    return std::any_of(files_.begin(), files_.end(), [](const SourceFile& f) { return f.dirty; });
  }

 private:
  struct SourceFile {
    fs::path path;
    bool dirty = false;
  };

  Key& rootKey(RegRoot root) { return roots_[static_cast<size_t>(root)]; }

  Key* find(RegRoot root, const std::string& path) {
    const auto names = splitPath(path);
    if (!names) return nullptr;
    Key* key = &rootKey(root);
    for (const auto& name : *names) {
      const auto it = key->subkeys.find(sortKey(name));
      if (it == key->subkeys.end()) return nullptr;
      key = it->second.get();
    }
    return key;
  }

  static Key& childOf(Key& parent, const std::string& name, bool& created) {
    auto& slot = parent.subkeys[sortKey(name)];
    created = !slot;
    if (created) {
      slot = std::make_unique<Key>();
      slot->name = name;
    }
    return *slot;
  }

  // New keys go to the file of their nearest existing ancestor.
  Key* createPath(RegRoot root, const std::string& path) {
    const auto names = splitPath(path);
    if (!names) return nullptr;
    Key* key = &rootKey(root);
    for (const auto& name : *names) {
      Key& parent = *key;
      bool created = false;
      key = &childOf(parent, name, created);
      if (created) {
        const size_t file = fileFor(parent);
        key->statedIn.push_back(file);
        files_[file].dirty = true;
      }
    }
    return key;
  }

  // Removes the key and its subtree, telling onFile every file that held part of it.
  bool detach(RegRoot root, const std::vector<std::string>& names, const std::function<void(size_t)>& onFile) {
    Key* parent = &rootKey(root);
    for (size_t k = 0; k + 1 < names.size(); ++k) {
      const auto it = parent->subkeys.find(sortKey(names[k]));
      if (it == parent->subkeys.end()) return false;
      parent = it->second.get();
    }
    const auto it = parent->subkeys.find(sortKey(names.back()));
    if (it == parent->subkeys.end()) return false;
    forEachKey(*it->second, [&](Key& key) {
      for (size_t file : key.statedIn) onFile(file);
      for (size_t file : key.impliedIn) onFile(file);
    });
    parent->subkeys.erase(it);
    return true;
  }

  size_t fileFor(const Key& key) {
    const auto owner = ownerOf(key);
    return owner ? *owner : changesFile();
  }

  size_t changesFile() {
    if (!changes_) changes_ = addSourceFile(folder_ / "changes.reg");
    return *changes_;
  }

  size_t addSourceFile(fs::path path) {
    files_.push_back({std::move(path)});
    group_.push_back(group_.size());
    return files_.size() - 1;
  }

  // Files that share keys are written together: a file rewritten without a
  // key another file also holds (or deleted) must not let the other file's
  // copy come back, or lose values only the other copy had.
  size_t groupOf(size_t file) {
    while (group_[file] != file) file = group_[file] = group_[group_[file]];
    return file;
  }
  void join(size_t a, size_t b) { group_[groupOf(a)] = groupOf(b); }

  void stateIn(Key& key, size_t file) {
    for (size_t other : key.statedIn) join(other, file);
    addFile(key.statedIn, file);
  }

  void applyBlock(const RegFileKey& block, size_t file) {
    if (block.remove) {
      detach(block.root, block.path, [&](size_t other) { join(other, file); });
      return;
    }
    Key* key = &rootKey(block.root);
    bool created = false;
    for (size_t k = 0; k < block.path.size(); ++k) {
      key = &childOf(*key, block.path[k], created);
      if (k + 1 < block.path.size()) addFile(key->impliedIn, file);
    }
    stateIn(*key, file);
    for (const auto& entry : block.values) {
      if (entry.value) {
        key->values.set(entry.name, *entry.value);
      } else {
        key->values.remove(entry.name);
      }
    }
  }

  bool loadFile(const fs::path& path, CodePages& codePages, std::string& error);
  void collect(Key& key, RegRoot root, std::vector<std::string>& path, const std::vector<bool>& rewrite,
               std::vector<std::vector<RegFileKey>>& contents);
  std::vector<bool> filesToRewrite();

  fs::path folder_;
  std::array<Key, std::size(kRoots)> roots_;
  std::vector<SourceFile> files_;
  std::vector<size_t> group_;  // union-find parents over files_
  std::optional<size_t> changes_;
};

bool TreeRegistry::loadFolder(CodePages& codePages, std::string& error) {
  std::error_code ec;
  const auto status = fs::status(folder_, ec);
  if (status.type() == fs::file_type::not_found) return true;  // an image without a registry
  if (ec || !fs::is_directory(status)) {
    error = folder_.string() + ": not a readable folder";
    return false;
  }
  std::vector<fs::path> paths;
  for (auto it = fs::directory_iterator(folder_, ec); !ec && it != fs::directory_iterator(); it.increment(ec))
    if (it->is_regular_file() && equalsIgnoreCase(it->path().extension().string(), ".reg")) paths.push_back(it->path());
  if (ec) {
    error = folder_.string() + ": cannot list the folder: " + ec.message();
    return false;
  }
  std::sort(paths.begin(), paths.end(),
            [](const fs::path& a, const fs::path& b) { return a.filename().string() < b.filename().string(); });
  for (const auto& path : paths)
    if (!loadFile(path, codePages, error)) return false;
  return true;
}

bool TreeRegistry::loadFile(const fs::path& path, CodePages& codePages, std::string& error) {
  std::error_code ec;
  const auto size = fs::file_size(path, ec);
  if (!ec && size > kMaxFileSize) {
    error = path.string() + ": file too large for a registry export";
    return false;
  }
  const auto bytes = ec ? std::nullopt : readFileBytes(path);
  if (!bytes) {
    error = path.string() + ": cannot read the file";
    return false;
  }
  const auto blocks = parseRegFile(*bytes, path.string(), codePages, error);
  if (!blocks) return false;
  const size_t file = addSourceFile(path);
  if (equalsIgnoreCase(path.filename().string(), "changes.reg")) changes_ = file;
  for (const auto& block : *blocks) applyBlock(block, file);
  return true;
}

std::vector<bool> TreeRegistry::filesToRewrite() {
  std::vector<bool> dirtyGroup(files_.size()), rewrite(files_.size());
  for (size_t f = 0; f < files_.size(); ++f)
    if (files_[f].dirty) dirtyGroup[groupOf(f)] = true;
  for (size_t f = 0; f < files_.size(); ++f) rewrite[f] = dirtyGroup[groupOf(f)];
  return rewrite;
}

void TreeRegistry::collect(Key& key, RegRoot root, std::vector<std::string>& path, const std::vector<bool>& rewrite,
                           std::vector<std::vector<RegFileKey>>& contents) {
  if (const auto owner = ownerOf(key); owner && rewrite[*owner])
    contents[*owner].push_back(RegFileKey{root, path, false, {key.values.all().begin(), key.values.all().end()}});
  for (auto& [sort, child] : key.subkeys) {
    path.push_back(child->name);
    collect(*child, root, path, rewrite, contents);
    path.pop_back();
  }
}

// Every file is written to a temporary file first; only when all are written
// do they replace the originals, so a failure leaves the old files intact.
bool TreeRegistry::save(std::string& error) {
  if (!changed()) return true;
  const std::vector<bool> rewrite = filesToRewrite();
  std::vector<std::vector<RegFileKey>> contents(files_.size());
  std::vector<std::string> path;
  for (RegRoot root : kRoots) collect(rootKey(root), root, path, rewrite, contents);

  std::error_code ec;
  fs::create_directories(folder_, ec);
  std::vector<std::pair<fs::path, fs::path>> written;  // (temporary, final)
  const auto discard = [&] {
    for (const auto& [temporary, final] : written) fs::remove(temporary, ec);
  };
  for (size_t f = 0; f < files_.size(); ++f) {
    if (!rewrite[f]) continue;
    fs::path temporary = files_[f].path;
    temporary += ".tmp";
    written.emplace_back(temporary, files_[f].path);
    if (!writeFileBytes(temporary, writeRegFile(contents[f]))) {
      error = temporary.string() + ": cannot write the file";
      discard();
      return false;
    }
  }
  for (const auto& [temporary, final] : written) {
    fs::rename(temporary, final, ec);
    if (ec) {
      error = final.string() + ": cannot replace the file: " + ec.message();
      discard();
      return false;
    }
  }
  for (auto& file : files_) file.dirty = false;
  return true;
}

}  // namespace

std::unique_ptr<ImageRegistry> ImageRegistry::load(const std::filesystem::path& folder, CodePages& codePages,
                                                   std::string& error) {
  auto registry = std::make_unique<TreeRegistry>(folder);
  if (!registry->loadFolder(codePages, error)) return nullptr;
  return registry;
}

std::unique_ptr<ImageRegistry> ImageRegistry::empty(const std::filesystem::path& folder) {
  return std::make_unique<TreeRegistry>(folder);
}

}  // namespace korvane
