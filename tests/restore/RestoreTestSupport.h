// A started main window on a built image for the restore tests, with the
// helpers that look at what a restore left behind.
#pragma once

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "app/AppTestSupport.h"
#include "backup/DriverFolder.h"
#include "platform/RichText.h"

namespace korvane::test {

// A window on an XP image (or a 98 one) with drive D: for the backups.
struct RestoreWindow : StartedWindow {
  explicit RestoreWindow(bool nineX = false) {
    std::filesystem::create_directories(image.root() / "drive_d");
    image.set("Drives", "D", "drive_d");
    if (nineX) {
      image.set("Version", "Platform", "1").set("Version", "Major", "4").set("Version", "Minor", "10");
      image.set("Version", "Build", "0x040A08AE").set("Version", "ProductType", "");
    }
  }
  // The started window; its machine is the one the tests write through.
  TForm1& begin() {
    machine = &image.open();
    form = std::make_unique<TForm1>(*machine, view);
    form->FormCreate();
    return *form;
  }
  void setupDiy(const std::string& folder, const std::string& hardwareId, const std::string& infName) {
    ASSERT_TRUE(WriteSetupDiy(*makeRichText(*machine), folder, {hardwareId, infName}));
  }
  // A file on drive D, by its path below the drive.
  void fileOnD(const std::string& path, const std::string& bytes) {
    writeHostFile(image.root() / "drive_d" / path, bytes);
  }
  void filesOnD(const std::vector<std::pair<std::string, std::string>>& files) {
    for (const auto& [path, bytes] : files) fileOnD(path, bytes);
  }
  std::string read(const std::string& path) { return image.reopen()->files().readFile(path).value_or("<missing>"); }
  bool exists(const std::string& path) { return image.reopen()->files().exists(path); }
  bool memoHas(const std::string& line) const {
    return std::find(form->Memo1.begin(), form->Memo1.end(), line) != form->Memo1.end();
  }
  std::vector<std::string> executed() const {
    std::vector<std::string> lines;
    for (const auto& line : image.actions())
      if (line.rfind("execute\t", 0) == 0) lines.push_back(line);
    return lines;
  }
  Machine* machine = nullptr;
  std::vector<std::string> restarts() const {
    std::vector<std::string> lines;
    for (const auto& line : image.actions())
      if (line.rfind("restart", 0) == 0) lines.push_back(line);
    return lines;
  }
};

}  // namespace korvane::test
