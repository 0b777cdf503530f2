#include "components/ahmtfileholder/TAHMFileHolder.h"

namespace korvane {

bool TAHMStoredFile::loading() const { return owner_->Loading(); }

void TAHMStoredFile::SetFileDate(double date) {
  if (loading()) fileDate_ = date;
}

void TAHMStoredFile::SetNameOfFile(const std::string& name) {
  if (loading()) nameOfFile_ = name;
}

void TAHMStoredFile::SetFilePath(const std::string& path) {
  if (loading()) filePath_ = path;
}

void TAHMStoredFile::SetFileSize(int32_t size) {
  if (loading()) fileSize_ = size;
}

void TAHMStoredFile::SetFileContents(std::string bytes) {
  if (loading()) contents_ = std::move(bytes);
}

void TAHMStoredFile::Assign(const TAHMStoredFile& other) {
  fileDate_ = other.fileDate_;
  nameOfFile_ = other.nameOfFile_;
  filePath_ = other.filePath_;
  fileSize_ = other.fileSize_;
  contents_ = other.contents_;
}

TAHMStoredFiles& TAHMStoredFiles::operator=(const TAHMStoredFiles& other) {
  if (this == &other) return *this;
  items_.clear();
  for (const auto& item : other.items_) Add().Assign(item);
  return *this;
}

TAHMStoredFile& TAHMStoredFiles::Add() { return items_.emplace_back(owner_); }

TAHMFileHolder::TAHMFileHolder(FileSystem& files, const CarriedFile* carried) : files_(files) {
  if (!carried) return;
  BeginLoading();
  TAHMStoredFile& item = storedFiles_.Add();
  item.SetNameOfFile(carried->name);
  item.SetFileDate(carried->date);
  item.SetFileSize(static_cast<int32_t>(carried->size));
  if (carried->data) item.SetFileContents(std::string(reinterpret_cast<const char*>(carried->data), carried->size));
  EndLoading();
}

void TAHMFileHolder::ExtractFile(int index, const std::string& fileName) {
  if (index < 0 || index >= storedFiles_.Count()) return;
  const TAHMStoredFile& item = storedFiles_.Item(index);
  if (item.IsEmpty()) return;
  if (!files_.writeFile(fileName, item.FileContents())) throw EStreamError("Cannot create file " + fileName);
}

}  // namespace korvane
