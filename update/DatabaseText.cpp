#include "update/DatabaseText.h"

#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <unordered_set>

namespace korvane {

namespace {

constexpr size_t npos = std::string_view::npos;

char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string asciiLower(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) { return asciiLower(c); });
  return lower;
}

bool startsWithIgnoreCase(std::string_view text, std::string_view start) {
  return text.size() >= start.size() && asciiLower(text.substr(0, start.size())) == start;
}

bool isHttpUrl(std::string_view url) {
  for (const std::string_view scheme : {"http://", "https://"}) {
    if (startsWithIgnoreCase(url, scheme)) return url.size() > scheme.size() && url[scheme.size()] != '/';
  }
  return false;
}

bool foundAfterFirstPosition(std::string_view line, const std::string& text) {
  const size_t at = line.find(text);
  return at != npos && at > 0;
}

// The text of an ID that a line must hold to concern the device: the part
// before the subsystem when there is one, else the whole ID.
std::optional<std::string_view> indexKey(std::string_view lowerId) {
  if (lowerId.empty()) return std::nullopt;
  const size_t subsys = lowerId.find("subsys_");
  if (subsys != npos && subsys >= 2) return lowerId.substr(0, subsys - 1);
  return lowerId;
}

// Adds the row of a matching line unless its entry is unusable or its URL
// already has a row.
void addCandidate(std::vector<UpdateCandidate>& rows, std::unordered_set<std::string>& urls,
                  const DeviceToMatch& device, std::string_view restoredLine, std::string_view compatibility) {
  std::optional<DatabaseEntry> entry = parseDatabaseEntry(restoredLine);
  if (!entry || !urls.insert(entry->url).second) return;
  rows.push_back({device.description, device.date, std::move(entry->version), std::move(entry->url),
                  std::string(compatibility), std::move(entry->notes)});
}

// Finds which of many texts occur in a line in one walk over it (an
// automaton over the texts, letter case aside).
class TextIndex {
 public:
  explicit TextIndex(const std::vector<std::string_view>& lowerTexts) {
    classOf_.fill(0);
    for (const std::string_view text : lowerTexts) {
      for (const char c : text) {
        const auto byte = static_cast<uint8_t>(c);
        if (classOf_[byte] == 0) classOf_[byte] = static_cast<uint16_t>(++classes_ - 1);
      }
    }
    for (int c = 'A'; c <= 'Z'; ++c) classOf_[c] = classOf_[c - 'A' + 'a'];
    addState();
    for (size_t text = 0; text < lowerTexts.size(); ++text) insert(lowerTexts[text], text);
    link();
  }

  // found(text) for each occurrence of each text.
  template <class Found>
  void scan(std::string_view line, Found&& found) const {
    size_t state = 0;
    for (const char c : line) {
      state = static_cast<size_t>(next_[state * classes_ + classOf_[static_cast<uint8_t>(c)]]);
      for (int32_t s = textAt_[state] >= 0 ? static_cast<int32_t>(state) : outputLink_[state]; s >= 0;
           s = outputLink_[static_cast<size_t>(s)])
        found(static_cast<size_t>(textAt_[static_cast<size_t>(s)]));
    }
  }

 private:
  size_t addState() {
    next_.resize(next_.size() + classes_, -1);
    textAt_.push_back(-1);
    outputLink_.push_back(-1);
    return textAt_.size() - 1;
  }

  void insert(std::string_view text, size_t index) {
    size_t state = 0;
    for (const char c : text) {
      const size_t slot = state * classes_ + classOf_[static_cast<uint8_t>(c)];
      if (next_[slot] < 0) {
        const size_t added = addState();
        next_[slot] = static_cast<int32_t>(added);
      }
      state = static_cast<size_t>(next_[slot]);
    }
    textAt_[state] = static_cast<int32_t>(index);
  }

  // Completes every state's moves through its longest proper suffix state,
  // breadth first, so that the walk never backs up.
  void link() {
    std::vector<int32_t> suffix(textAt_.size(), 0);
    std::vector<size_t> queue;
    for (size_t c = 0; c < classes_; ++c) {
      int32_t& child = next_[c];
      if (child < 0) child = 0;
      else queue.push_back(static_cast<size_t>(child));
    }
    for (size_t head = 0; head < queue.size(); ++head) {
      const size_t state = queue[head];
      const auto fallback = static_cast<size_t>(suffix[state]);
      for (size_t c = 0; c < classes_; ++c) {
        int32_t& child = next_[state * classes_ + c];
        const int32_t viaSuffix = next_[fallback * classes_ + c];
        if (child < 0) {
          child = viaSuffix;
          continue;
        }
        const auto added = static_cast<size_t>(child);
        suffix[added] = viaSuffix;
        const auto suffixState = static_cast<size_t>(viaSuffix);
        outputLink_[added] = textAt_[suffixState] >= 0 ? viaSuffix : outputLink_[suffixState];
        queue.push_back(added);
      }
    }
  }

  std::array<uint16_t, 256> classOf_{};  // 0: a byte no text holds
  size_t classes_ = 1;
  std::vector<int32_t> next_;        // state * classes_ + class -> state
  std::vector<int32_t> textAt_;      // the text ending at a state, or -1
  std::vector<int32_t> outputLink_;  // the nearest suffix state where a text ends, or -1
};

}  // namespace

std::string flipDatabaseLine(std::string_view line) {
  std::string flipped(line.rbegin(), line.rend());
  for (char& c : flipped) c = static_cast<char>(static_cast<uint8_t>(256 - static_cast<uint8_t>(c)));
  return flipped;
}

std::vector<std::string_view> databaseLines(std::string_view fileText) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < fileText.size()) {
    const size_t end = std::min(fileText.find_first_of("\r\n", start), fileText.size());
    lines.push_back(fileText.substr(start, end - start));
    start = end + 1;
    if (end + 1 < fileText.size() && fileText[end] == '\r' && fileText[end + 1] == '\n') ++start;
  }
  return lines;
}

std::optional<DatabaseEntry> parseDatabaseEntry(std::string_view restoredLine) {
  const size_t first = restoredLine.find("::");
  const size_t second = first == npos ? npos : restoredLine.find("::", first + 2);
  if (second == npos || restoredLine.size() <= second + 3) return std::nullopt;
  // The line's last character belongs to no field.
  const std::string_view rest = restoredLine.substr(second + 2, restoredLine.size() - second - 3);
  const size_t urlEnd = rest.find("::");
  const std::string_view url = rest.substr(0, urlEnd);
  if (!isHttpUrl(url)) return std::nullopt;
  return DatabaseEntry{std::string(restoredLine.substr(first + 2, second - first - 2)), std::string(url),
                       urlEnd == npos ? std::string() : std::string(rest.substr(urlEnd + 2))};
}

std::optional<std::string> announcedSha256(std::string_view notes) {
  const std::string lower = asciiLower(notes);
  const size_t at = lower.find("sha256=");
  if (at == npos) return std::nullopt;
  const std::string_view digest = std::string_view(lower).substr(at + 7);
  const size_t hexEnd = std::min(digest.find_first_not_of("0123456789abcdef"), digest.size());
  if (hexEnd != 64) return std::nullopt;
  return std::string(digest.substr(0, 64));
}

bool isDatabaseFileName(std::string_view name) {
  const std::string lower = asciiLower(name);
  return std::any_of(kDatabaseFileNames.begin(), kDatabaseFileNames.end(),
                     [&](std::string_view known) { return asciiLower(known) == lower; });
}

std::optional<std::string> databaseFileFor(std::string_view osName) {
  // Each hit replaces the one before: "Millennium" holds "me" and "Me" is named last.
  static constexpr std::pair<std::string_view, std::string_view> kRules[] = {
      {"xp", "DBxxxXP.inf"}, {"2000", "DBxxx2K.inf"},       {"me", "DBxxxMe.inf"},
      {"millennium", "DBxxxMe.inf"}, {"98", "DBxxx98.inf"}, {"95", "DBxxx95.inf"}};
  const std::string lower = asciiLower(osName);
  std::optional<std::string> chosen;
  for (const auto& [text, file] : kRules) {
    if (lower.find(text) != npos) chosen = std::string(file);
  }
  if (!chosen && lower.find("windows nt") != npos) chosen = "DBxxxNT.inf";
  return chosen;
}

std::optional<std::string_view> lineCompatibility(std::string_view lowerLine, std::string_view lowerId) {
  if (lowerId.empty()) return std::nullopt;
  const size_t at = lowerLine.find(lowerId);
  if (at != npos && at + lowerId.size() < lowerLine.size()) {
    const char after = lowerLine[at + lowerId.size()];
    if (after == '-' || after == ':') return "100%";
  }
  const size_t subsys = lowerId.find("subsys_");
  // Without a subsystem, or with nothing before it, only the exact test applies.
  if (subsys == npos || subsys < 2 || lowerLine.find(lowerId.substr(0, subsys - 1)) == npos) return std::nullopt;
  std::string_view compatibility = "95%";
  const std::string_view subsystem = lowerId.substr(subsys + 7, 8);
  if (subsystem == "00000000") compatibility = "100%";
  if (subsystem.size() == 8) {
    const std::string vendor(subsystem.substr(4));
    if (foundAfterFirstPosition(lowerLine, vendor + "-") || foundAfterFirstPosition(lowerLine, vendor + "::"))
      compatibility = "98%";
  }
  return compatibility;
}

std::vector<UpdateCandidate> matchEachDevice(const std::vector<DeviceToMatch>& devices, std::string_view fileText) {
  std::vector<UpdateCandidate> rows;
  std::unordered_set<std::string> urls;
  const std::vector<std::string_view> lines = databaseLines(fileText);
  for (const DeviceToMatch& device : devices) {
    const std::string id = asciiLower(device.deviceId);
    for (const std::string_view line : lines) {
      const std::string restored = flipDatabaseLine(line);
      if (const auto compatibility = lineCompatibility(asciiLower(restored), id))
        addCandidate(rows, urls, device, restored, *compatibility);
    }
  }
  return rows;
}

std::vector<UpdateCandidate> matchInOnePass(const std::vector<DeviceToMatch>& devices, std::string_view fileText) {
  std::vector<std::string> ids;
  std::vector<std::string_view> keys;
  std::unordered_map<std::string_view, size_t> keyNumbers;
  std::vector<std::vector<size_t>> devicesOfKey;
  ids.reserve(devices.size());
  for (const DeviceToMatch& device : devices) ids.push_back(asciiLower(device.deviceId));
  for (size_t device = 0; device < ids.size(); ++device) {
    const std::optional<std::string_view> key = indexKey(ids[device]);
    if (!key) continue;
    const auto [found, added] = keyNumbers.try_emplace(*key, keys.size());
    if (added) {
      keys.push_back(*key);
      devicesOfKey.emplace_back();
    }
    devicesOfKey[found->second].push_back(device);
  }

  struct Hit {
    size_t line;
    std::string_view compatibility;
  };
  std::vector<std::vector<Hit>> hits(devices.size());
  const TextIndex index(keys);
  const std::vector<std::string_view> lines = databaseLines(fileText);
  std::vector<size_t> lastLineOfKey(keys.size(), npos);
  std::vector<size_t> keysFound;
  for (size_t line = 0; line < lines.size(); ++line) {
    const std::string restored = flipDatabaseLine(lines[line]);
    keysFound.clear();
    index.scan(restored, [&](size_t key) {
      if (lastLineOfKey[key] != line) keysFound.push_back(key);
      lastLineOfKey[key] = line;
    });
    if (keysFound.empty()) continue;
    const std::string lower = asciiLower(restored);
    for (const size_t key : keysFound) {
      for (const size_t device : devicesOfKey[key]) {
        if (const auto compatibility = lineCompatibility(lower, ids[device]))
          hits[device].push_back({line, *compatibility});
      }
    }
  }

  std::vector<UpdateCandidate> rows;
  std::unordered_set<std::string> urls;
  for (size_t device = 0; device < devices.size(); ++device) {
    for (const Hit& hit : hits[device])
      addCandidate(rows, urls, devices[device], flipDatabaseLine(lines[hit.line]), hit.compatibility);
  }
  return rows;
}

}  // namespace korvane
