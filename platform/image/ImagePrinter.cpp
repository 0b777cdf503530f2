#include "platform/image/ImagePrinter.h"

#include <cstdio>
#include <fstream>

#include "platform/Text.h"
#include "platform/image/ImageShell.h"

namespace korvane {

namespace fs = std::filesystem;

namespace {

constexpr int kMostJobs = 9999;

// A new job file in the spool folder; an empty path when none can be made.
fs::path newJobFile(const fs::path& spool) {
  std::error_code ec;
  fs::create_directories(spool, ec);
  for (int number = 1; number <= kMostJobs; ++number) {
    char name[16];
    std::snprintf(name, sizeof name, "job%04d.txt", number);
    // "x": never one that is there already, even if another run makes it meanwhile.
    if (std::FILE* file = std::fopen((spool / name).c_str(), "wbx")) {
      std::fclose(file);
      return spool / name;
    }
    if (!fs::exists(spool / name, ec)) return {};
  }
  return {};
}

}  // namespace

std::string ImagePrinter::deviceSetting() {
  const auto version = system_.version();
  if (version && version->platformId == platformNT)
    return registry_ ? registry_->readString(RegRoot::CurrentUser, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows",
                                             "Device")
                           .value_or("")
                     : std::string();
  return profiles_.readString("WIN.INI", "windows", "device", "");
}

std::optional<std::string> ImagePrinter::defaultPrinter() {
  if (imageFolder_.empty()) return std::nullopt;
  const std::string name = trim(printerNameOfDevice(deviceSetting()));
  if (name.empty()) return std::nullopt;
  return name;
}

bool ImagePrinter::printLines(const std::string&, const std::vector<std::string>& lines) {
  const auto printer = defaultPrinter();
  if (!printer) return false;
  const fs::path job = newJobFile(imageFolder_ / "spool");
  if (job.empty()) return false;
  std::string text;
  for (const auto& line : lines) text += line + "\r\n";
  std::ofstream out(job, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) {
    std::error_code ec;
    fs::remove(job, ec);
    return false;
  }
  return appendAction(imageFolder_ / "actions.log",
                      "print\t" + *printer + "\t" + job.lexically_relative(imageFolder_).generic_string());
}

}  // namespace korvane
