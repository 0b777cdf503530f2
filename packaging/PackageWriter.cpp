#include "packaging/PackageWriter.h"

#include <cstdint>
#include <optional>

namespace korvane {

namespace {

constexpr size_t kCopyBlock = 65536;

// Appends a whole file to another block by block; the bytes it added, or
// nullopt when a read or a write failed.
std::optional<uint64_t> appendWholeFile(FileSystem& files, const std::string& from, const std::string& to) {
  uint64_t copied = 0;
  for (;;) {
    const auto block = files.readFilePart(from, copied, kCopyBlock);
    if (!block) return std::nullopt;
    if (block->empty()) return copied;
    if (!files.appendFile(to, *block)) return std::nullopt;
    copied += block->size();
  }
}

}  // namespace

PackResult packFolder(Machine& machine, const std::string& folder, const std::string& cabinet) {
  PackageCabinet package(machine, cabinet);
  package.addFolder(folder);
  return package.finish();
}

PackageCabinet::PackageCabinet(Machine& machine, const std::string& cabinet)
    : machine_(machine), cabinet_(cabinet), writer_(machine) {
  writer_.SetCompressionType(cctMsZip);
  writer_.Open(cabinet);
}

void PackageCabinet::addFolder(const std::string& folder) { writer_.AddFiles(joinPath(folder, "*.*"), "", true); }

void PackageCabinet::addFiles(const std::string& folder, const std::vector<std::string>& names) {
  for (const std::string& name : names) writer_.AddFile(joinPath(folder, name), name, false);
}

PackResult PackageCabinet::finish() {
  writer_.Close(true);
  return machine_.files().exists(cabinet_) ? PackResult::Written : PackResult::CabinetMissing;
}

bool joinInstaller(FileSystem& files, const std::string& stub, const std::string& cabinet,
                   const std::string& installer) {
  if (!files.writeFile(installer, "")) return false;
  const auto stubBytes = appendWholeFile(files, stub, installer);
  const auto cabinetBytes = stubBytes ? appendWholeFile(files, cabinet, installer) : std::nullopt;
  const auto written = files.stat(installer);
  if (!cabinetBytes || !written || written->size != *stubBytes + *cabinetBytes) {
    files.deleteFile(installer);
    return false;
  }
  files.deleteFile(cabinet);
  return true;
}

}  // namespace korvane
