// Initialisation files on a machine image, through its file system.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "platform/FileSystem.h"
#include "platform/Profile.h"
#include "platform/Text.h"
#include "platform/image/ProfileText.h"

namespace korvane {

class ImageProfileFiles : public ProfileFiles {
 public:
  ImageProfileFiles(FileSystem& files, CodePages& codePages, std::string windowsFolder)
      : files_(files), codePages_(codePages), windowsFolder_(std::move(windowsFolder)) {}

  std::string readString(const std::string& file, const std::string& section, const std::string& key,
                         const std::string& fallback) override;
  std::vector<std::string> sectionNames(const std::string& file) override;
  std::vector<std::string> keyNames(const std::string& file, const std::string& section) override;
  bool writeString(const std::string& file, const std::string& section, const std::string& key,
                   const std::string& value) override;

 private:
  struct Cached {
    uint64_t size = 0;
    int64_t writeTime = 0;
    bool utf16 = false;
    ProfileText text;
  };
  std::string resolve(const std::string& file) const;
  // The parsed file, read again only when its size or time changed.
  const Cached* load(const std::string& path);

  FileSystem& files_;
  CodePages& codePages_;
  std::string windowsFolder_;
  std::map<std::string, Cached> cache_;
};

}  // namespace korvane
