// The printer of a machine image: the default printer the image's registry
// (NT family) or WIN.INI (95 family) names, jobs written as text files.
#pragma once

#include <filesystem>

#include "platform/Printer.h"
#include "platform/Profile.h"
#include "platform/Registry.h"
#include "platform/SystemInfo.h"

namespace korvane {

class ImagePrinter : public Printer {
 public:
  // No image folder (the host machine): no printer.
  ImagePrinter(SystemInfo& system, ProfileFiles& profiles, std::filesystem::path imageFolder)
      : system_(system), profiles_(profiles), imageFolder_(std::move(imageFolder)) {}
  void useRegistry(Registry& registry) { registry_ = &registry; }

  std::optional<std::string> defaultPrinter() override;
  // Each job is a new UTF-8 file spool/jobNNNN.txt of the image, its lines
  // ending in CR LF, and a line "print <printer> <job file>" (tab-separated)
  // in actions.log.
  bool printLines(const std::string& documentName, const std::vector<std::string>& lines) override;

 private:
  std::string deviceSetting();

  SystemInfo& system_;
  ProfileFiles& profiles_;
  Registry* registry_ = nullptr;
  std::filesystem::path imageFolder_;
};

}  // namespace korvane
