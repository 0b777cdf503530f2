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

// Linux only: builds a machine image in a temporary folder, piece by piece,
// then opens it. Starts as a Windows XP workstation with drive C.
class ImageBuilder {
 public:
  ImageBuilder();
  // Replaces a machine.ini key (an empty value removes the key).
  ImageBuilder& set(const std::string& section, const std::string& key, const std::string& value);
  // A registry export file of the image, given as UTF-8 text without the
  // header and written as a version 5 export (UTF-16LE).
  ImageBuilder& registry(const std::string& fileName, const std::string& body);
  // A file on drive C, by its path below the drive ("WINDOWS\\inf\\oem1.inf").
  ImageBuilder& file(const std::string& pathOnC, const std::string& bytes);
  const std::filesystem::path& root() const { return host_->path(); }
  // The opened machine; the builder keeps the folder alive.
  Machine& open();
  // A second machine on the same folder, to see what the first one left there.
  std::unique_ptr<Machine> reopen() const;
  // The lines of the image's actions.log: what would have been run or opened.
  std::vector<std::string> actions() const;

 private:
  std::unique_ptr<TempDir> host_;
  std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>> ini_;
  std::unique_ptr<Machine> machine_;
};

// Writes a host file, creating its folders.
void writeHostFile(const std::filesystem::path& file, const std::string& bytes);

}  // namespace korvane::test
