// Shared by the conformance suites: each test gets a machine with an empty
// scratch folder. Natively that is a machine image, under Wine the live machine,
// so one set of assertions checks our image layer against the real functions.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/TestMachine.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace korvane::test {

class ConformanceTest : public ::testing::Test {
 protected:
  Machine& machine() { return *scratch_.machine; }
  FileSystem& files() { return scratch_.machine->files(); }
  // A path in the scratch folder.
  std::string scratchPath(const std::string& name) const { return joinPath(scratch_.scratch, name); }
  const std::string& scratchFolder() const { return scratch_.scratch; }

 private:
  ScratchMachine scratch_ = makeScratchMachine();
};

// Where Wine's functions answer differently from Windows, the assertion
// follows Windows and is left out under Wine.
inline bool runningOnWine() {
#ifdef _WIN32
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
#else
  return false;
#endif
}

inline std::vector<std::string> sorted(std::vector<std::string> items) {
  std::sort(items.begin(), items.end());
  return items;
}

}  // namespace korvane::test
