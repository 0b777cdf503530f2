// Initialisation files (Korvane.ini, INF scripts) with the rules of the
// system's private-profile functions. A bare file name means the Windows folder.
#pragma once

#include <string>
#include <vector>

namespace korvane {

class ProfileFiles {
 public:
  virtual ~ProfileFiles() = default;
  virtual std::string readString(const std::string& file, const std::string& section,
                                 const std::string& key, const std::string& fallback) = 0;
  virtual std::vector<std::string> sectionNames(const std::string& file) = 0;
  virtual std::vector<std::string> keyNames(const std::string& file, const std::string& section) = 0;
  virtual bool writeString(const std::string& file, const std::string& section,
                           const std::string& key, const std::string& value) = 0;
};

}  // namespace korvane
