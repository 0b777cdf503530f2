// The file system of a machine image: Windows paths on drive letters mapped
// to host folders, names matched without regard to case as on Windows.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "platform/FileSystem.h"

namespace korvane {

class ImageFileSystem : public FileSystem {
 public:
  ImageFileSystem(std::map<char, std::filesystem::path> drives, std::string currentDirectory, std::string tempFolder);

  bool exists(const std::string& path) override;
  bool isDirectory(const std::string& path) override;
  std::optional<FileEntry> stat(const std::string& path) override;
  std::vector<FileEntry> find(const std::string& pattern) override;
  bool createDirectory(const std::string& path) override;
  bool removeDirectory(const std::string& path) override;
  bool deleteFile(const std::string& path) override;
  bool copyFile(const std::string& from, const std::string& to, bool failIfExists) override;
  bool moveFile(const std::string& from, const std::string& to) override;
  bool setAttributes(const std::string& path, uint32_t attributes) override;
  // Only the last-write time has a host equivalent.
  bool setFileTimes(const std::string& path, int64_t fileTime) override;
  // An image has no time zone of its own: its local time is UTC.
  int64_t localFileTime(int64_t utcTime) override { return utcTime; }
  int64_t utcFileTime(int64_t localTime) override { return localTime; }
  std::optional<std::string> readFile(const std::string& path) override;
  bool writeFile(const std::string& path, const std::string& bytes) override;
  std::optional<std::string> readFilePart(const std::string& path, uint64_t offset, size_t length) override;
  bool appendFile(const std::string& path, const std::string& bytes) override;
  std::string currentDirectory() override { return current_; }
  bool setCurrentDirectory(const std::string& path) override;
  std::optional<std::string> shortPathName(const std::string& path) override;
  std::string tempPath() override { return temp_; }
  std::optional<std::string> tempFileName(const std::string& folder, const std::string& prefix) override;

  // The absolute Windows form of a path: drive, no "." or "..", backslashes.
  // nullopt for names Windows refuses or drives the image does not have.
  std::optional<std::string> fullPath(const std::string& path) const;
  // The host file or folder a Windows path stands for (it need not exist).
  std::optional<std::filesystem::path> hostPath(const std::string& path) const;

 private:
  std::map<char, std::filesystem::path> drives_;
  std::string current_;
  std::string temp_;
};

// The 8.3 alias Windows would give a long name among its folder's entries;
// empty when the name is already a valid short name.
std::string shortAlias(const std::string& name, const std::vector<std::string>& siblings);

}  // namespace korvane
