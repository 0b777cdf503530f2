// Machines for tests: a fresh machine image in a temporary folder on Linux,
// the live machine (under Wine) with a temporary folder on Windows.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "platform/Machine.h"

namespace korvane::test {

// A host folder removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// A machine to run platform tests on, with an empty scratch folder on it.
struct ScratchMachine {
  std::unique_ptr<TempDir> host;
  std::unique_ptr<Machine> machine;
  std::string scratch;  // Windows path of the empty folder, no trailing backslash
};
ScratchMachine makeScratchMachine();

// Linux only: a copy of samples/<name> in a temporary folder, opened.
struct SampleMachine {
  std::unique_ptr<TempDir> host;
  std::unique_ptr<Machine> machine;
};
SampleMachine copySample(const std::string& name);

// Writes a host file, creating its folders.
void writeHostFile(const std::filesystem::path& file, const std::string& bytes);

}  // namespace korvane::test
