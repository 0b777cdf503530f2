#include "platform/image/HiveRegistry.h"

#include <hivex.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/Text.h"
#include "platform/image/SharedLibrary.h"

namespace korvane {

namespace {

namespace fs = std::filesystem;

// libhivex is loaded when a disk is opened, so that the program starts and
// works on machine images without it.
struct HivexLibrary {
  hive_h* (*open)(const char*, int);
  int (*close)(hive_h*);
  hive_node_h (*root)(hive_h*);
  hive_node_h* (*children)(hive_h*, hive_node_h);
  char* (*nodeName)(hive_h*, hive_node_h);
  hive_value_h* (*values)(hive_h*, hive_node_h);
  char* (*valueKey)(hive_h*, hive_value_h);
  // hive_type is an enum, but a damaged hive holds any number there: it is
  // received as the 32-bit integer it is.
  char* (*valueValue)(hive_h*, hive_value_h, uint32_t*, size_t*);
};

static_assert(sizeof(hive_type) == sizeof(uint32_t));

constexpr const char* kHivexSoname = "libhivex.so.0";

std::optional<HivexLibrary> loadHivex(std::string& error) {
  void* module = dlopen(kHivexSoname, RTLD_NOW | RTLD_LOCAL);
  HivexLibrary hivex{};
  const bool bound = module && bindEntry(module, "hivex_open", hivex.open) &&
                     bindEntry(module, "hivex_close", hivex.close) && bindEntry(module, "hivex_root", hivex.root) &&
                     bindEntry(module, "hivex_node_children", hivex.children) &&
                     bindEntry(module, "hivex_node_name", hivex.nodeName) &&
                     bindEntry(module, "hivex_node_values", hivex.values) &&
                     bindEntry(module, "hivex_value_key", hivex.valueKey) &&
                     bindEntry(module, "hivex_value_value", hivex.valueValue);
  if (!bound) {
    error = loadFailure(module, kHivexSoname) + " (Debian's package libhivex0 provides it)";
    return std::nullopt;
  }
  return hivex;
}

const HivexLibrary* hivexLibrary(std::string& error) { return loadOnce(loadHivex, error); }

// Text that libhivex allocated, freed here; nullopt for its failures.
std::optional<std::string> takeText(char* text) {
  if (!text) return std::nullopt;
  std::string copy(text);
  std::free(text);
  return copy;
}

// A zero-terminated array of handles that libhivex allocated, freed here.
template <typename Handle>
std::vector<Handle> takeHandles(Handle* handles) {
  std::vector<Handle> list;
  for (Handle* h = handles; h && *h; ++h) list.push_back(*h);
  std::free(handles);
  return list;
}

constexpr size_t kBaseBlockSize = 0x1000;
constexpr size_t kBinsSizeAt = 0x28;

// What libhivex would only call "invalid": a file too short for its own
// header, or cut before the end of the hive bins the header counts.
std::optional<std::string> problemOf(const fs::path& file) {
  std::error_code ec;
  if (!fs::exists(file, ec)) return "not found";
  if (!fs::is_regular_file(file, ec)) return "not a file";
  const uintmax_t size = fs::file_size(file, ec);
  std::ifstream in(file, std::ios::binary);
  char header[kBaseBlockSize];
  if (ec || !in) return "cannot be read";
  if (size < kBaseBlockSize || !in.read(header, kBaseBlockSize) || std::memcmp(header, "regf", 4) != 0)
    return "not a registry hive";
  uint32_t binsSize = 0;
  for (int k = 3; k >= 0; --k) binsSize = binsSize << 8 | static_cast<uint8_t>(header[kBinsSizeAt + k]);
  if (size < kBaseBlockSize + binsSize)
    return "truncated: " + std::to_string(size) + " bytes where the hive needs " +
           std::to_string(kBaseBlockSize + binsSize);
  return std::nullopt;
}

// One open hive file, its key names listed once per key.
class Hive {
 public:
  static std::unique_ptr<Hive> open(const HivexLibrary& hivex, const fs::path& file, std::string& error) {
    if (const auto problem = problemOf(file)) {
      error = file.string() + ": " + *problem;
      return nullptr;
    }
    errno = 0;
    hive_h* handle = hivex.open(file.c_str(), 0);
    if (!handle) {
      error = file.string() + ": a damaged registry hive, libhivex cannot open it (" +
              std::strerror(errno ? errno : EINVAL) + ")";
      return nullptr;
    }
    return std::unique_ptr<Hive>(new Hive(hivex, handle));
  }
  ~Hive() { hivex_.close(handle_); }
  Hive(const Hive&) = delete;
  Hive& operator=(const Hive&) = delete;

  struct Child {
    std::string name, folded;
    hive_node_h node;
  };

  hive_node_h root() { return hivex_.root(handle_); }

  const std::vector<Child>& children(hive_node_h node) {
    auto [place, added] = children_.try_emplace(node);
    if (added)
      for (hive_node_h child : takeHandles(hivex_.children(handle_, node)))
        if (auto name = takeText(hivex_.nodeName(handle_, child)))
          place->second.push_back({*name, upperCase(*name), child});
    return place->second;
  }

  std::optional<hive_node_h> child(hive_node_h node, const std::string& name) {
    const std::string folded = upperCase(name);
    for (const Child& child : children(node))
      if (child.folded == folded) return child.node;
    return std::nullopt;
  }

  std::vector<std::pair<std::string, hive_value_h>> values(hive_node_h node) {
    std::vector<std::pair<std::string, hive_value_h>> named;
    for (hive_value_h value : takeHandles(hivex_.values(handle_, node)))
      if (auto name = takeText(hivex_.valueKey(handle_, value))) named.emplace_back(std::move(*name), value);
    return named;
  }

  std::optional<RegValue> value(hive_node_h node, const std::string& name) {
    for (const auto& [valueName, handle] : values(node)) {
      if (!equalsIgnoreCase(valueName, name)) continue;
      uint32_t type = 0;
      size_t size = 0;
      char* data = hivex_.valueValue(handle_, handle, &type, &size);
      if (!data && size != 0) return std::nullopt;
      RegValue value;
      value.type = type;
      value.data.assign(data, data + (data ? size : 0));
      std::free(data);
      return value;
    }
    return std::nullopt;
  }

 private:
  Hive(const HivexLibrary& hivex, hive_h* handle) : hivex_(hivex), handle_(handle) {}

  const HivexLibrary& hivex_;
  hive_h* handle_;
  std::unordered_map<hive_node_h, std::vector<Child>> children_;
};

// Key names of a path with or without leading and trailing backslashes;
// nullopt when a name inside is empty.
std::optional<std::vector<std::string>> splitKeyPath(std::string_view path) {
  if (path.starts_with('\\')) path.remove_prefix(1);
  if (path.ends_with('\\')) path.remove_suffix(1);
  std::vector<std::string> names;
  while (!path.empty()) {
    const size_t end = path.find('\\');
    const std::string_view name = path.substr(0, end);
    if (name.empty()) return std::nullopt;
    names.emplace_back(name);
    path.remove_prefix(end == std::string_view::npos ? path.size() : end + 1);
    if (end != std::string_view::npos && path.empty()) return std::nullopt;  // an empty last name
  }
  return names;
}

// Where a hive appears: as a root key (name empty) or as a key below one.
struct Mount {
  RegRoot root;
  std::string name;
  std::unique_ptr<Hive> hive;
};

// A key of the registry: a key inside a hive, or a root key that only holds
// hives (HKLM holds SYSTEM and SOFTWARE).
struct Place {
  Hive* hive = nullptr;
  hive_node_h node = 0;
  std::vector<std::string> mounted;
};

class HiveRegistry final : public Registry {
 public:
  bool mount(const HivexLibrary& hivex, RegRoot root, const std::string& name, const fs::path& file,
             std::string& error) {
    if (file.empty()) return true;
    auto hive = Hive::open(hivex, file, error);
    if (!hive) return false;
    mounts_.push_back({root, name, std::move(hive)});
    return true;
  }

  // CurrentControlSet is a link Windows makes at start to the set that
  // Select\Current names; on a disk only the numbered sets exist.
  bool findControlSet(const fs::path& file, std::string& error) {
    const Mount* system = mountOf(RegRoot::LocalMachine, "SYSTEM");
    if (!system) return true;
    const auto select = system->hive->child(system->hive->root(), "Select");
    const auto current = select ? system->hive->value(*select, "Current") : std::nullopt;
    const auto number = current && current->type == static_cast<uint32_t>(RegType::Dword) ? current->asNumber()
                                                                                        : std::nullopt;
    if (!number || *number == 0 || *number > 999) {
      error = file.string() + ": no control set is current (Select\\Current is missing): not a SYSTEM hive";
      return false;
    }
    const std::string digits = std::to_string(*number);
    controlSet_ = "ControlSet" + std::string(3 - digits.size(), '0') + digits;
    return true;
  }

  bool keyExists(RegRoot root, const std::string& path) override { return locate(root, path).has_value(); }

  std::optional<std::vector<std::string>> subkeyNames(RegRoot root, const std::string& path) override {
    const auto place = locate(root, path);
    if (!place) return std::nullopt;
    if (!place->hive) return place->mounted;
    std::vector<std::string> names;
    for (const auto& child : place->hive->children(place->node)) names.push_back(child.name);
    return names;
  }

  std::optional<std::vector<std::string>> valueNames(RegRoot root, const std::string& path) override {
    const auto place = locate(root, path);
    if (!place) return std::nullopt;
    std::vector<std::string> names;
    if (place->hive)
      for (auto& [name, handle] : place->hive->values(place->node)) names.push_back(std::move(name));
    return names;
  }

  std::optional<RegValue> readValue(RegRoot root, const std::string& path, const std::string& name) override {
    const auto place = locate(root, path);
    if (!place || !place->hive) return std::nullopt;
    return place->hive->value(place->node, name);
  }

  // The disk is only read.
  bool createKey(RegRoot, const std::string&) override { return false; }
  bool writeValue(RegRoot, const std::string&, const std::string&, const RegValue&) override { return false; }
  bool deleteValue(RegRoot, const std::string&, const std::string&) override { return false; }
  bool deleteTree(RegRoot, const std::string&) override { return false; }

 private:
  const Mount* mountOf(RegRoot root, const std::string& name) const {
    for (const auto& mount : mounts_)
      if (mount.root == root && equalsIgnoreCase(mount.name, name)) return &mount;
    return nullptr;
  }

  std::optional<Place> locate(RegRoot root, const std::string& path) {
    auto names = splitKeyPath(path);
    if (!names) return std::nullopt;
    // The two roots that are views of keys inside the hives.
    if (root == RegRoot::ClassesRoot) {
      names->insert(names->begin(), {"SOFTWARE", "Classes"});
      root = RegRoot::LocalMachine;
    } else if (root == RegRoot::CurrentConfig) {
      names->insert(names->begin(), {"SYSTEM", "CurrentControlSet", "Hardware Profiles", "Current"});
      root = RegRoot::LocalMachine;
    }
    const Mount* mount = mountOf(root, "");
    if (!mount && names->empty()) {
      Place holder;
      for (const auto& each : mounts_)
        if (each.root == root) holder.mounted.push_back(each.name);
      std::sort(holder.mounted.begin(), holder.mounted.end());
      return holder;
    }
    if (!mount) {
      mount = mountOf(root, names->front());
      if (!mount) return std::nullopt;
      names->erase(names->begin());
      if (!names->empty() && !controlSet_.empty() && equalsIgnoreCase(mount->name, "SYSTEM") &&
          equalsIgnoreCase(names->front(), "CurrentControlSet"))
        names->front() = controlSet_;
    }
    Place place{mount->hive.get(), mount->hive->root(), {}};
    for (const auto& name : *names) {
      const auto child = place.hive->child(place.node, name);
      if (!child) return std::nullopt;
      place.node = *child;
    }
    return place;
  }

  std::vector<Mount> mounts_;
  std::string controlSet_;
};

}  // namespace

std::unique_ptr<Registry> openHiveRegistry(const HiveFiles& files, std::string& error) {
  const HivexLibrary* hivex = hivexLibrary(error);
  if (!hivex) return nullptr;
  auto registry = std::make_unique<HiveRegistry>();
  const bool opened = registry->mount(*hivex, RegRoot::LocalMachine, "SYSTEM", files.system, error) &&
                      registry->mount(*hivex, RegRoot::LocalMachine, "SOFTWARE", files.software, error) &&
                      registry->mount(*hivex, RegRoot::CurrentUser, "", files.user, error) &&
                      registry->mount(*hivex, RegRoot::Users, ".DEFAULT", files.defaultUser, error) &&
                      registry->findControlSet(files.system, error);
  if (!opened) return nullptr;
  return registry;
}

}  // namespace korvane
