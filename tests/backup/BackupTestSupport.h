// Building blocks of the backup and package tests: the XP sample after Fast
// Collect, rows by caption, folder listings and host paths of image files.
#pragma once

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "app/AppTestSupport.h"

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
