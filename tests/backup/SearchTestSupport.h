// A driver file search on a machine image, run through the scripted view:
// the status bar and the message pump are the view's, Stop is a flag.
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
  std::string language = "English";

  SearchWindow window() {
    return {[this](const std::string& text) { view.statusChanged(text); }, [this] { view.processMessages(); },
            [this] { return stop; }, [this] { return language; }};
  }
  std::unique_ptr<DriverFileSearch> search(Machine& machine, SearchMethod method, bool ntFamily = true,
                                           const std::string& windowsFolder = "C:\\WINDOWS") {
    return std::make_unique<DriverFileSearch>(
        machine.files(), SearchFolders{windowsFolder, ntFamily, windowsFolder + "\\Inf\\"}, window(), method);
  }
  // The folders the status bar showed, in order.
  std::vector<std::string> searchedFolders() const {
    std::vector<std::string> folders;
    for (const auto& text : view.entries("status: Searching ... \r\n")) folders.push_back(text);
    return folders;
  }
};

// The path a resolution gave, or "" for none.
inline std::string pathOf(const std::optional<DriverFileSearch::Found>& found) {
  return found ? found->path : std::string();
}

}  // namespace korvane::test
