#include "packaging/PackageWriter.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace korvane {

namespace {

constexpr size_t kCopyBlock = size_t{1} << 20;

// Copies a whole file to the end of another, a block at a time; the new end
// of the target, or nullopt when a read or a write failed.
std::optional<uint64_t> appendWholeFile(FileSystem& files, const std::string& from, OpenFile& to, uint64_t end) {
  const std::unique_ptr<OpenFile> source = files.openFile(from, OpenFor::Reading);
  if (!source) return std::nullopt;
  std::vector<char> block(kCopyBlock);
  for (uint64_t copied = 0;;) {
    const std::optional<size_t> got = source->readAt(copied, block.data(), block.size());
    if (!got) return std::nullopt;
    if (*got == 0) return end;
    if (!to.writeAt(end, block.data(), *got)) return std::nullopt;
    copied += *got;
    end += *got;
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

void PackageCabinet::addFiles(const std::string& folder, const std::vector<std::string>& names,
                              const std::string& cabinetFolder) {
  for (const std::string& name : names) {
    const std::string path = joinPath(folder, name);
    const std::string entry = cabinetFolder.empty() ? name : joinPath(cabinetFolder, name);
    if (machine_.files().isDirectory(path))
      writer_.AddFiles(joinPath(path, "*"), entry, true);
    else
      writer_.AddFile(path, entry, false);
  }
}

PackResult PackageCabinet::finish() {
  writer_.Close(true);
  return machine_.files().exists(cabinet_) ? PackResult::Written : PackResult::CabinetMissing;
}

bool joinInstaller(FileSystem& files, const std::string& stub, const std::string& cabinet,
                   const std::string& installer) {
  if (!files.writeFile(installer, "")) return false;
  std::optional<uint64_t> end;
  if (std::unique_ptr<OpenFile> out = files.openFile(installer, OpenFor::Writing)) {
    end = appendWholeFile(files, stub, *out, 0);
    if (end) end = appendWholeFile(files, cabinet, *out, *end);
  }
  const auto written = files.stat(installer);
  if (!end || !written || written->size != *end) {
    files.deleteFile(installer);
    return false;
  }
  files.deleteFile(cabinet);
  return true;
}

}  // namespace korvane
