// The registry of a machine image: loaded from the regedit export files in
// <image>/registry/*.reg, changes written back as export files.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "platform/Registry.h"
#include "platform/Text.h"

namespace korvane {

class ImageRegistry : public Registry {
 public:
  // Loads every "*.reg" file of the folder in name order. A broken file fails
  // the whole load with an error naming the file and the line.
  static std::unique_ptr<ImageRegistry> load(const std::filesystem::path& folder, CodePages& codePages,
                                             std::string& error);
  // An empty registry whose changes go to <folder>/changes.reg.
  static std::unique_ptr<ImageRegistry> empty(const std::filesystem::path& folder);

  // Writes the files whose keys changed since loading; false with a message on failure.
  virtual bool save(std::string& error) = 0;
  virtual bool changed() const = 0;
};

}  // namespace korvane
