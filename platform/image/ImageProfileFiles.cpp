#include "platform/image/ImageProfileFiles.h"

namespace korvane {

std::string ImageProfileFiles::resolve(const std::string& file) const {
  // The system keeps initialisation files named without a folder in the Windows folder.
  if (file.find_first_of("\\:") == std::string::npos) return joinPath(windowsFolder_, file);
  return file;
}

const ImageProfileFiles::Cached* ImageProfileFiles::load(const std::string& path) {
  const auto entry = files_.stat(path);
  const std::string id = upperCase(path);
  if (!entry || entry->isDirectory()) {
    cache_.erase(id);
    return nullptr;
  }
  auto found = cache_.find(id);
  if (found != cache_.end() && found->second.size == entry->size && found->second.writeTime == entry->writeTime)
    return &found->second;
  const auto bytes = files_.readFile(path);
  if (!bytes) return nullptr;
  Cached parsed;
  parsed.size = entry->size;
  parsed.writeTime = entry->writeTime;
  parsed.utf16 = bytes->size() >= 2 && bytes->compare(0, 2, "\xFF\xFE") == 0;
  parsed.text = ProfileText::parse(decodeText(*bytes, codePages_));
  return &(cache_[id] = std::move(parsed));
}

std::string ImageProfileFiles::readString(const std::string& file, const std::string& section,
                                          const std::string& key, const std::string& fallback) {
  const Cached* profile = load(resolve(file));
  if (!profile) return fallback;
  return profile->text.value(section, key).value_or(fallback);
}

std::vector<std::string> ImageProfileFiles::sectionNames(const std::string& file) {
  const Cached* profile = load(resolve(file));
  return profile ? profile->text.sectionNames() : std::vector<std::string>{};
}

std::vector<std::string> ImageProfileFiles::keyNames(const std::string& file, const std::string& section) {
  const Cached* profile = load(resolve(file));
  if (!profile) return {};
  return profile->text.keyNames(section).value_or(std::vector<std::string>{});
}

bool ImageProfileFiles::writeString(const std::string& file, const std::string& section, const std::string& key,
                                    const std::string& value) {
  const std::string path = resolve(file);
  const Cached* existing = load(path);
  if (!existing && files_.exists(path)) return false;  // a folder, or unreadable
  ProfileText text = existing ? existing->text : ProfileText();
  bool utf16 = existing && existing->utf16;
  text.set(section, key, value);
  const std::string rendered = text.render();
  std::optional<std::string> bytes;
  if (!utf16) bytes = codePages_.fromUtf8(rendered, codePages_.ansiCodePage());
  // Text the code page cannot hold is kept whole in a Unicode file rather than lost.
  if (!bytes) bytes = "\xFF\xFE" + utf8ToUtf16leBytes(rendered);
  cache_.erase(upperCase(path));
  return files_.writeFile(path, *bytes);
}

}  // namespace korvane
