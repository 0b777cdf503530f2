// The store of whole files carried inside the program. Each item holds one
// file as it was when the program was built; commands write items out to disk
// when they need them. Items are fixed while the holder loads and read-only
// afterwards.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/FileSystem.h"

namespace korvane {

class TAHMFileHolder;

// A stored file could not be written: "Cannot create file <path>".
class EStreamError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TAHMStoredFile {
 public:
  explicit TAHMStoredFile(const TAHMFileHolder& owner) : owner_(&owner) {}

  double FileDate() const { return fileDate_; }  // days since 1899-12-30
  const std::string& NameOfFile() const { return nameOfFile_; }
  const std::string& FilePath() const { return filePath_; }  // where it came from; informational
  int32_t FileSize() const { return fileSize_; }
  const std::string& FileContents() const { return contents_; }

  // The setters take effect only while the owning holder loads.
  void SetFileDate(double date);
  void SetNameOfFile(const std::string& name);
  void SetFilePath(const std::string& path);
  void SetFileSize(int32_t size);
  void SetFileContents(std::string bytes);

  std::string DisplayName() const { return nameOfFile_.empty() ? "No File Stored" : nameOfFile_; }
  bool IsEmpty() const { return contents_.empty(); }
  // Copies name, size, path, date and contents, whatever the owners' states.
  void Assign(const TAHMStoredFile& other);

 private:
  bool loading() const;

  const TAHMFileHolder* owner_;
  double fileDate_ = 0;
  std::string nameOfFile_;
  std::string filePath_;
  int32_t fileSize_ = 0;
  std::string contents_;
};

class TAHMStoredFiles {
 public:
  explicit TAHMStoredFiles(TAHMFileHolder& owner) : owner_(owner) {}
  TAHMStoredFiles(const TAHMStoredFiles&) = delete;
  TAHMStoredFiles& operator=(const TAHMStoredFiles& other);

  TAHMFileHolder& Owner() const { return owner_; }
  int Count() const { return static_cast<int>(items_.size()); }
  TAHMStoredFile& Item(int index) { return items_.at(static_cast<size_t>(index)); }
  const TAHMStoredFile& Item(int index) const { return items_.at(static_cast<size_t>(index)); }
  TAHMStoredFile& Add();

 private:
  TAHMFileHolder& owner_;
  std::vector<TAHMStoredFile> items_;
};

// One file as the build carries it.
struct CarriedFile {
  const char* name;
  const unsigned char* data;
  size_t size;
  double date;  // days since 1899-12-30
};

class TAHMFileHolder {
 public:
  explicit TAHMFileHolder(FileSystem& files) : files_(files) {}
  // A holder of one item, the carried file; of none when carried is null.
  TAHMFileHolder(FileSystem& files, const CarriedFile* carried);
  TAHMFileHolder(const TAHMFileHolder&) = delete;
  TAHMFileHolder& operator=(const TAHMFileHolder&) = delete;

  TAHMStoredFiles& Files() { return storedFiles_; }
  const TAHMStoredFiles& Files() const { return storedFiles_; }
  void SetFiles(const TAHMStoredFiles& other) { storedFiles_ = other; }

  // Between these two the items' properties can be set, as when the holder
  // is read from the program's own stored definition.
  void BeginLoading() { loading_ = true; }
  void EndLoading() { loading_ = false; }
  bool Loading() const { return loading_; }

  // Writes item index to fileName, replacing any file there. An index out of
  // range or an empty item writes nothing. Throws EStreamError when the file
  // cannot be written.
  void ExtractFile(int index, const std::string& fileName);

 private:
  FileSystem& files_;
  TAHMStoredFiles storedFiles_{*this};
  bool loading_ = false;
};

// The files this build carries, by item name; nullptr when the build carries
// no such file.
const CarriedFile* FindCarriedFile(const std::string& name);

}  // namespace korvane
