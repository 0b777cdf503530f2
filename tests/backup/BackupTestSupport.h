// Building blocks of the backup and package tests: the XP sample after Fast
// Collect, rows by caption, folder listings, host paths and bytes of image
// files and folders, and what cabextract lists of a cabinet.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/AppTestSupport.h"
#include "platform/Text.h"
#include "support/HostCommand.h"

namespace korvane::test {

inline size_t rowOf(TForm1& form, const std::string& caption) {
  for (size_t row = 0; row < form.ListView1.Count(); ++row)
    if (form.ListView1.Text(row, 0) == caption) return row;
  ADD_FAILURE() << "no row " << caption;
  return 0;
}

inline std::vector<std::string> filesIn(Machine& machine, const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : machine.files().find(folder + "\\*")) names.push_back(entry.name);
  return names;
}

inline bool memoHas(const TForm1& form, const std::string& line) {
  return std::find(form.Memo1.begin(), form.Memo1.end(), line) != form.Memo1.end();
}

// The host file of a path on drive C of an image folder.
inline std::filesystem::path hostFileOnC(const std::filesystem::path& image, const std::string& path) {
  std::string relative = path.substr(3);
  std::replace(relative.begin(), relative.end(), '\\', '/');
  return image / "drive_c" / relative;
}

inline std::string hostBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every file below a host folder, by its path below it, with its bytes.
inline std::map<std::string, std::string> treeWithBytes(const std::filesystem::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
    if (entry.is_regular_file()) files[std::filesystem::relative(entry.path(), folder).string()] = hostBytes(entry.path());
  return files;
}

// The entries cabextract lists, each as "<size> <name>".
inline std::vector<std::string> cabinetEntries(const std::filesystem::path& cabinet) {
  std::string output;
  EXPECT_EQ(runCommand("cabextract -t " + quoted(cabinet), &output), 0) << output;
  EXPECT_EQ(runCommand("cabextract -l " + quoted(cabinet), &output), 0) << output;
  std::vector<std::string> entries;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    // "      1234 | 01.02.2026 10:11:12 | name"
    const size_t first = line.find(" | "), last = line.rfind(" | ");
    if (first == std::string::npos || first == last) continue;
    const std::string size = trim(line.substr(0, first));
    if (size.empty() || size.find_first_not_of("0123456789") != std::string::npos) continue;
    entries.push_back(size + " " + line.substr(last + 3));
  }
  return entries;
}

inline std::vector<std::string> entryNames(const std::vector<std::string>& entries) {
  std::vector<std::string> out;
  for (const auto& entry : entries) out.push_back(entry.substr(entry.find(' ') + 1));
  return out;
}

// A started window on a copy of the XP sample, after Fast Collect.
struct SampleWindow {
  SampleMachine sample = copySample("xp");
  ScriptedView view;
  TForm1 form{*sample.machine, view};
  SampleWindow() {
    form.FormCreate();
    form.BitBtn8Click();
  }
  std::filesystem::path host(const std::string& path) const { return hostFileOnC(sample.host->path(), path); }
  void pressStartOnPump(const std::string& destination) {
    view.onPump = [this, destination] {
      if (!form.Control("Button1").Visible || form.Backup().StartFinished()) return;
      form.Edit1Change(destination);
      form.Button1Click();
    };
  }
};

}  // namespace korvane::test
