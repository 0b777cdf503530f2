#include "support/HiveWriter.h"

#include <algorithm>
#include <cstdint>

#include "platform/Text.h"

namespace korvane::test {

namespace {

constexpr size_t kBaseBlockSize = 0x1000;
constexpr size_t kBinAlignment = 0x1000;
constexpr size_t kBinHeaderSize = 0x20;
constexpr size_t kKeyHeaderSize = 0x4C;
constexpr size_t kValueHeaderSize = 0x14;
constexpr uint32_t kNone = 0xFFFFFFFF;
constexpr uint64_t kWrittenAt = 0x01DD6A8A4B4C8000;  // a fixed time: the same tree gives the same bytes
// Windows splits subkey lists longer than about a thousand entries under an
// index root; a smaller limit lets a test reach that layout with fewer keys.
constexpr size_t kMaxLeafEntries = 500;

constexpr uint16_t kKeyHiveEntry = 0x0004, kKeyNoDelete = 0x0008, kKeyCompressedName = 0x0020;
constexpr uint16_t kValueCompressedName = 0x0001;
constexpr uint32_t kDataInline = 0x80000000;

// A key or value name as stored: Latin-1 bytes when every character fits,
// else UTF-16LE.
struct StoredName {
  std::string bytes;
  bool compressed = true;
};

StoredName storedName(const std::string& name) {
  const std::u16string wide = utf8ToUtf16(name);
  StoredName stored;
  stored.compressed = std::all_of(wide.begin(), wide.end(), [](char16_t c) { return c < 0x100; });
  if (!stored.compressed) {
    stored.bytes = utf8ToUtf16leBytes(name);
    return stored;
  }
  for (char16_t c : wide) stored.bytes += static_cast<char>(c);
  return stored;
}

std::u16string foldedName(const std::string& name) { return utf8ToUtf16(upperCase(name)); }

// Subkeys in the order Windows keeps and enumerates them.
std::vector<const HiveKey*> sortedSubkeys(const std::vector<HiveKey>& subkeys) {
  std::vector<const HiveKey*> sorted;
  for (const auto& key : subkeys) sorted.push_back(&key);
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const HiveKey* a, const HiveKey* b) { return foldedName(a->name) < foldedName(b->name); });
  return sorted;
}

// The hash of an "lh" list entry.
uint32_t nameHash(const std::string& name) {
  uint32_t hash = 0;
  for (char16_t c : foldedName(name)) hash = hash * 37 + c;
  return hash;
}

// The security descriptor of every key: owner Administrators, group SYSTEM,
// full access for both and read access for Users, inherited by subkeys.
std::string securityDescriptor() {
  const std::string administrators("\x01\x02\0\0\0\0\0\x05\x20\0\0\0\x20\x02\0\0", 16);
  const std::string system("\x01\x01\0\0\0\0\0\x05\x12\0\0\0", 12);
  const std::string users("\x01\x02\0\0\0\0\0\x05\x20\0\0\0\x21\x02\0\0", 16);
  const auto le16 = [](size_t v) { return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; };
  const auto le32 = [&](uint32_t v) { return le16(v & 0xFFFF) + le16(v >> 16); };
  const auto ace = [&](const std::string& sid, uint32_t mask) {
    return std::string("\x00\x02", 2) + le16(8 + sid.size()) + le32(mask) + sid;  // allowed, container inherit
  };
  const std::string aces = ace(administrators, 0xF003F) + ace(system, 0xF003F) + ace(users, 0x20019);
  const std::string acl = std::string("\x02\x00", 2) + le16(8 + aces.size()) + le16(3) + le16(0) + aces;
  const size_t ownerAt = 20, groupAt = ownerAt + administrators.size(), daclAt = groupAt + system.size();
  return std::string("\x01\x00\x04\x80", 4) + le32(ownerAt) + le32(groupAt) + le32(0) + le32(daclAt) +
         administrators + system + acl;
}

class HiveBuilder {
 public:
  std::string build(const HiveKey& root) {
    security_ = allocate(0x14 + securityDescriptor().size());
    const uint32_t rootKey = writeKey(root, kNone, true);
    const std::string descriptor = securityDescriptor();
    put(security_ + 4, "sk");
    put32(security_ + 8, security_);   // the only security cell: its own
    put32(security_ + 12, security_);  // next and previous
    put32(security_ + 16, keys_);
    put32(security_ + 20, static_cast<uint32_t>(descriptor.size()));
    put(security_ + 24, descriptor);
    closeBin();
    return baseBlock(rootKey) + bins_;
  }

 private:
  void put(size_t at, const std::string& bytes) { bins_.replace(at, bytes.size(), bytes); }
  void put16(size_t at, uint32_t value) {
    for (int k = 0; k < 2; ++k) bins_[at + k] = static_cast<char>(value >> (8 * k));
  }
  void put32(size_t at, uint32_t value) {
    for (int k = 0; k < 4; ++k) bins_[at + k] = static_cast<char>(value >> (8 * k));
  }
  void put64(size_t at, uint64_t value) {
    put32(at, static_cast<uint32_t>(value));
    put32(at + 4, static_cast<uint32_t>(value >> 32));
  }

  // A cell for payload bytes; its offset counts from the first bin and points
  // at the cell's size field. Cells never cross a bin: a bin too small for
  // the next one ends with a free cell, and a large cell gets a larger bin.
  uint32_t allocate(size_t payload) {
    const size_t size = (payload + 4 + 7) / 8 * 8;
    if (cursor_ + size > binEnd_) openBin(size);
    const size_t at = cursor_;
    cursor_ += size;
    put32(at, static_cast<uint32_t>(-static_cast<int32_t>(size)));
    return static_cast<uint32_t>(at);
  }

  void openBin(size_t cellSize) {
    closeBin();
    const size_t start = bins_.size();
    const size_t size = (kBinHeaderSize + cellSize + kBinAlignment - 1) / kBinAlignment * kBinAlignment;
    bins_.resize(start + size, '\0');
    put(start, "hbin");
    put32(start + 4, static_cast<uint32_t>(start));
    put32(start + 8, static_cast<uint32_t>(size));
    put64(start + 0x14, kWrittenAt);
    cursor_ = start + kBinHeaderSize;
    binEnd_ = start + size;
  }

  void closeBin() {
    if (cursor_ < binEnd_) put32(cursor_, static_cast<uint32_t>(binEnd_ - cursor_));
    cursor_ = binEnd_;
  }

  uint32_t writeKey(const HiveKey& key, uint32_t parent, bool isRoot) {
    const StoredName name = storedName(key.name);
    const uint32_t cell = allocate(kKeyHeaderSize + name.bytes.size());
    ++keys_;
    const size_t at = cell + 4;
    put(at, "nk");
    put16(at + 2, (isRoot ? kKeyHiveEntry | kKeyNoDelete : 0) | (name.compressed ? kKeyCompressedName : 0));
    put64(at + 4, kWrittenAt);
    put32(at + 0x10, parent);
    put32(at + 0x14, static_cast<uint32_t>(key.subkeys.size()));
    put32(at + 0x1C, key.subkeys.empty() ? kNone : writeSubkeys(key.subkeys, cell));
    put32(at + 0x20, kNone);
    put32(at + 0x24, static_cast<uint32_t>(key.values.size()));
    put32(at + 0x28, key.values.empty() ? kNone : writeValues(key.values));
    put32(at + 0x2C, security_);
    put32(at + 0x30, kNone);
    put32(at + 0x34, longestName(key.subkeys, [](const HiveKey& k) { return k.name; }));
    put32(at + 0x3C, longestName(key.values, [](const auto& v) { return v.first; }));
    size_t largestData = 0;
    for (const auto& [valueName, value] : key.values) largestData = std::max(largestData, value.data.size());
    put32(at + 0x40, static_cast<uint32_t>(largestData));
    put16(at + 0x48, static_cast<uint32_t>(name.bytes.size()));
    put(at + kKeyHeaderSize, name.bytes);
    return cell;
  }

  // Name lengths are kept in bytes of UTF-16, however the names are stored.
  template <typename Item, typename NameOf>
  static uint32_t longestName(const std::vector<Item>& items, NameOf nameOf) {
    size_t longest = 0;
    for (const auto& item : items) longest = std::max(longest, 2 * utf8ToUtf16(nameOf(item)).size());
    return static_cast<uint32_t>(longest);
  }

  uint32_t writeValues(const std::vector<std::pair<std::string, RegValue>>& values) {
    std::vector<uint32_t> cells;
    for (const auto& [name, value] : values) cells.push_back(writeValue(name, value));
    const uint32_t list = allocate(4 * cells.size());
    for (size_t k = 0; k < cells.size(); ++k) put32(list + 4 + 4 * k, cells[k]);
    return list;
  }

  uint32_t writeValue(const std::string& valueName, const RegValue& value) {
    const StoredName name = storedName(valueName);
    const uint32_t cell = allocate(kValueHeaderSize + name.bytes.size());
    const size_t size = value.data.size();
    uint32_t data = 0;
    if (size > 4) {
      data = allocate(size);
      put(data + 4, std::string(value.data.begin(), value.data.end()));
    } else {
      for (size_t k = 0; k < size; ++k) data |= uint32_t{value.data[k]} << (8 * k);
    }
    const size_t at = cell + 4;
    put(at, "vk");
    put16(at + 2, static_cast<uint32_t>(name.bytes.size()));
    put32(at + 4, static_cast<uint32_t>(size) | (size <= 4 ? kDataInline : 0));
    put32(at + 8, data);
    put32(at + 12, value.type);
    put16(at + 16, name.compressed ? kValueCompressedName : 0);
    put(at + kValueHeaderSize, name.bytes);
    return cell;
  }

  // Subkeys in the order Windows keeps them (by upper-cased name), in "lh"
  // lists, under an "ri" index root when there are many.
  uint32_t writeSubkeys(const std::vector<HiveKey>& subkeys, uint32_t parent) {
    const std::vector<const HiveKey*> sorted = sortedSubkeys(subkeys);
    std::vector<uint32_t> leaves;
    for (size_t first = 0; first < sorted.size(); first += kMaxLeafEntries) {
      const size_t count = std::min(kMaxLeafEntries, sorted.size() - first);
      std::vector<uint32_t> cells;
      for (size_t k = 0; k < count; ++k) cells.push_back(writeKey(*sorted[first + k], parent, false));
      const uint32_t leaf = allocate(4 + 8 * count);
      put(leaf + 4, "lh");
      put16(leaf + 6, static_cast<uint32_t>(count));
      for (size_t k = 0; k < count; ++k) {
        put32(leaf + 8 + 8 * k, cells[k]);
        put32(leaf + 12 + 8 * k, nameHash(sorted[first + k]->name));
      }
      leaves.push_back(leaf);
    }
    if (leaves.size() == 1) return leaves.front();
    const uint32_t index = allocate(4 + 4 * leaves.size());
    put(index + 4, "ri");
    put16(index + 6, static_cast<uint32_t>(leaves.size()));
    for (size_t k = 0; k < leaves.size(); ++k) put32(index + 8 + 4 * k, leaves[k]);
    return index;
  }

  // The first 4 KiB: signature, sequence numbers, version 1.3, the root key,
  // the size of the bins and the checksum over the first 508 bytes.
  std::string baseBlock(uint32_t rootKey) {
    std::string block(kBaseBlockSize, '\0');
    const auto set32 = [&](size_t at, uint32_t value) {
      for (int k = 0; k < 4; ++k) block[at + k] = static_cast<char>(value >> (8 * k));
    };
    block.replace(0, 4, "regf");
    set32(0x04, 1);
    set32(0x08, 1);
    set32(0x0C, static_cast<uint32_t>(kWrittenAt));
    set32(0x10, static_cast<uint32_t>(kWrittenAt >> 32));
    set32(0x14, 1);
    set32(0x18, 3);
    set32(0x20, 1);
    set32(0x24, rootKey);
    set32(0x28, static_cast<uint32_t>(bins_.size()));
    set32(0x2C, 1);
    uint32_t sum = 0;
    for (size_t at = 0; at < 0x1FC; at += 4)
      for (size_t k = 0; k < 4; ++k) sum ^= uint32_t{static_cast<uint8_t>(block[at + k])} << (8 * k);
    set32(0x1FC, sum == 0 ? 1 : sum == 0xFFFFFFFF ? 0xFFFFFFFE : sum);
    return block;
  }

  std::string bins_;
  size_t cursor_ = 0, binEnd_ = 0;
  uint32_t security_ = 0;
  uint32_t keys_ = 0;
};

// A hive's root key: Windows names it after the hive's creation, which no
// reader looks at.
HiveKey rootOf(Registry& registry, RegRoot root, const std::string& path) {
  HiveKey key = copyRegistryKey(registry, root, path).value_or(HiveKey{});
  key.name = "ROOT";
  return key;
}

// The bytes, or for long data its size and a hash, which keeps a failing
// comparison readable.
std::string describeData(const std::vector<uint8_t>& data) {
  constexpr size_t kShownBytes = 64;
  std::string text;
  if (data.size() <= kShownBytes) {
    for (uint8_t byte : data) text += " " + std::to_string(byte);
    return text;
  }
  uint64_t hash = 0xcbf29ce484222325;  // FNV-1a
  for (uint8_t byte : data) hash = (hash ^ byte) * 0x100000001b3;
  return " " + std::to_string(data.size()) + " bytes, hash " + std::to_string(hash);
}

void describeKey(const HiveKey& key, const std::string& path, std::string& text) {
  text += "[" + path + "]\n";
  for (const auto& [name, value] : key.values) {
    text += "  \"" + name + "\" type " + std::to_string(value.type) + ":" + describeData(value.data) + "\n";
  }
  for (const HiveKey* subkey : sortedSubkeys(key.subkeys)) describeKey(*subkey, path + "\\" + subkey->name, text);
}

}  // namespace

HiveKey* HiveKey::subkey(const std::string& wanted) {
  const auto it = std::find_if(subkeys.begin(), subkeys.end(),
                               [&](const HiveKey& key) { return equalsIgnoreCase(key.name, wanted); });
  return it == subkeys.end() ? nullptr : &*it;
}

std::optional<HiveKey> copyRegistryKey(Registry& registry, RegRoot root, const std::string& path) {
  const auto valueNames = registry.valueNames(root, path);
  const auto subkeyNames = registry.subkeyNames(root, path);
  if (!valueNames || !subkeyNames) return std::nullopt;
  HiveKey key;
  key.name = path.substr(path.rfind('\\') + 1);
  for (const auto& name : *valueNames)
    if (auto value = registry.readValue(root, path, name)) key.values.emplace_back(name, std::move(*value));
  for (const auto& name : *subkeyNames)
    if (auto subkey = copyRegistryKey(registry, root, path + "\\" + name)) key.subkeys.push_back(std::move(*subkey));
  return key;
}

std::string writeHive(const HiveKey& root) { return HiveBuilder().build(root); }

void makeControlSet(HiveKey& system, unsigned number) {
  const std::string name = "ControlSet00" + std::to_string(number);
  if (HiveKey* current = system.subkey("CurrentControlSet")) {
    current->name = name;
  } else {
    system.subkeys.push_back({name, {}, {}});
  }
  const RegValue set = RegValue::fromDword(number);
  system.subkeys.push_back({"Select",
                            {{"Current", set}, {"Default", set}, {"Failed", RegValue::fromDword(0)},
                             {"LastKnownGood", set}},
                            {}});
}

WindowsHives hivesOf(Registry& registry) {
  WindowsHives hives{rootOf(registry, RegRoot::LocalMachine, "SYSTEM"),
                     rootOf(registry, RegRoot::LocalMachine, "SOFTWARE"), rootOf(registry, RegRoot::CurrentUser, ""),
                     rootOf(registry, RegRoot::Users, ".DEFAULT")};
  makeControlSet(hives.system, 1);
  return hives;
}

std::string describe(const HiveKey& key) {
  std::string text;
  describeKey(key, "", text);
  return text;
}

}  // namespace korvane::test
