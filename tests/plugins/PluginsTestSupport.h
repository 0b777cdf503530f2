// A sample machine image copied for one test, with the main window started
// on it, and snapshots of the image's host folders.
#pragma once

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "app/BalvikMain.h"
#include "platform/image/ImageMachine.h"
#include "support/ScriptedView.h"
#include "support/TestMachine.h"

namespace korvane::test {

namespace fs = std::filesystem;

// Every file below a host folder by its path below it ("a/b.url"), with its bytes.
inline std::map<std::string, std::string> snapshot(const fs::path& folder) {
  std::map<std::string, std::string> files;
  if (!fs::is_directory(folder)) return files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    files[fs::relative(entry.path(), folder).generic_string()] = bytes.str();
  }
  return files;
}

inline std::string hostFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

struct SampleWindow {
  explicit SampleWindow(const std::string& sample) {
    fs::copy(fs::path(KORVANE_SAMPLES) / sample, host.path(), fs::copy_options::recursive);
  }
  // A file or folder on drive C of the image, by its path below the drive ("WINDOWS/Favorites").
  fs::path onC(const std::string& path) const { return host.path() / "drive_c" / path; }
  // Replaces or adds one line "key=value" in a section of machine.ini.
  void setIni(const std::string& section, const std::string& key, const std::string& value) {
    std::string text = hostFile(host.path() / "machine.ini");
    const std::string header = "[" + section + "]\r\n";
    const size_t at = text.find(header);
    ASSERT_NE(at, std::string::npos) << section;
    const size_t line = text.find("\r\n" + key + "=", at);
    const size_t next = text.find("\r\n[", at + 1);
    if (line != std::string::npos && line < next)
      text.replace(line + 2, text.find("\r\n", line + 2) - line - 2, key + "=" + value);
    else
      text.insert(at + header.size(), key + "=" + value + "\r\n");
    writeHostFile(host.path() / "machine.ini", text);
  }
  TForm1& start() {
    std::string error;
    machine = openImageMachine(host.path(), error);
    if (!machine) ADD_FAILURE() << error;
    form = std::make_unique<TForm1>(*machine, view);
    form->FormCreate();
    return *form;
  }
  // Writes back what the run changed, as the end of a program run does.
  void close() {
    std::string error;
    EXPECT_TRUE(machine->flush(error)) << error;
  }

  TempDir host;
  std::unique_ptr<Machine> machine;
  ScriptedView view;
  std::unique_ptr<TForm1> form;
};

}  // namespace korvane::test
