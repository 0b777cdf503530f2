// A driver file search on a machine image, run through the scripted view:
// the message pump is the view's, Stop is a flag, the folders searched are kept.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "backup/DriverFileSearch.h"
#include "support/ScriptedView.h"
#include "support/TestMachine.h"

namespace korvane::test {

struct SearchSession {
  ScriptedView view;
  bool stop = false;
  std::vector<std::string> folders;  // the folders the search reported, in order

  SearchWindow window() {
    return {[this](const std::string& folder) { folders.push_back(folder); }, [this] { view.processMessages(); },
            [this] { return stop; }};
  }
  std::unique_ptr<DriverFileSearch> search(Machine& machine, SearchMethod method, bool ntFamily = true,
                                           const std::string& windowsFolder = "C:\\WINDOWS") {
    return std::make_unique<DriverFileSearch>(
        machine.files(), SearchFolders{windowsFolder, ntFamily, windowsFolder + "\\Inf\\"}, window(), method);
  }
};

// The path a resolution gave, or "" for none.
inline std::string pathOf(const std::optional<DriverFileSearch::Found>& found) {
  return found ? found->path : std::string();
}

}  // namespace korvane::test
