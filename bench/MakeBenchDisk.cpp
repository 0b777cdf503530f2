// Turns a machine image into the Windows disk it stands for, for the rescue
// benchmark: drive C's files hard-linked into a new folder (a large tree is
// not stored twice), and the registry written as the hive files Windows
// keeps: config\SYSTEM, SOFTWARE and DEFAULT in the system folder, NTUSER.DAT
// in the user's profile. The system details of machine.ini go into the hives
// where the image's registry lacks them, so that the disk reads as the same
// Windows.
//
// Usage: make_bench_disk IMAGE DISK  (DISK must not exist yet)
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>

#include "bench/BenchSupport.h"
#include "platform/Text.h"
#include "platform/image/ImageFileSystem.h"
#include "platform/image/ImageMachine.h"
#include "support/HiveWriter.h"

namespace {

namespace fs = std::filesystem;
using korvane::Machine;
using korvane::RegValue;
using korvane::test::HiveKey;

// The key at a backslash path below root, made when missing.
HiveKey& keyAt(HiveKey& root, const std::string& path) {
  HiveKey* key = &root;
  for (size_t start = 0; start <= path.size();) {
    const size_t end = std::min(path.find('\\', start), path.size());
    const std::string name = path.substr(start, end - start);
    HiveKey* next = key->subkey(name);
    if (!next) {
      key->subkeys.push_back({name, {}, {}});
      next = &key->subkeys.back();
    }
    key = next;
    start = end + 1;
  }
  return *key;
}

void addIfAbsent(HiveKey& root, const std::string& path, const std::string& name, const std::string& text) {
  HiveKey& key = keyAt(root, path);
  for (const auto& value : key.values)
    if (korvane::equalsIgnoreCase(value.first, name)) return;
  key.values.emplace_back(name, RegValue::fromString(text));
}

void addSystemDetails(Machine& machine, korvane::test::WindowsHives& hives) {
  korvane::SystemInfo& system = machine.system();
  const std::string current = "Microsoft\\Windows NT\\CurrentVersion";
  if (const auto version = system.version()) {
    addIfAbsent(hives.software, current, "CurrentVersion",
                std::to_string(version->major) + "." + std::to_string(version->minor));
    addIfAbsent(hives.software, current, "CurrentBuildNumber", std::to_string(version->build));
    addIfAbsent(hives.software, current, "CSDVersion", version->csd);
  }
  const std::string control = "ControlSet001\\Control";
  const auto product = system.productType();
  addIfAbsent(hives.system, control + "\\ProductOptions", "ProductType",
              product == 2 ? "LanmanNT" : product == 3 ? "ServerNT" : "WinNT");
  if (const auto name = system.computerName())
    addIfAbsent(hives.system, control + "\\ComputerName\\ComputerName", "ComputerName", *name);
  char language[8];
  std::snprintf(language, sizeof language, "%04x", system.defaultLanguageId());
  addIfAbsent(hives.system, control + "\\Nls\\Language", "Default", language);
}

// Writes a new file at a path on drive C of the disk, never into a file the
// disk shares with the image.
void writeOnDisk(korvane::ImageFileSystem& disk, const std::string& path, const std::string& bytes) {
  const fs::path host = *disk.hostPath(path);
  fs::remove(host);
  korvane::writeHostFile(host, bytes);
}

int makeDisk(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: make_bench_disk IMAGE DISK\n";
    return 2;
  }
  const fs::path image = argv[1], target = argv[2];
  if (fs::exists(target)) throw std::runtime_error(target.string() + " exists already: not replacing it");
  std::string error;
  const auto machine = korvane::openImageMachine(image, error);
  if (!machine) throw std::runtime_error(error);
  auto* files = dynamic_cast<korvane::ImageFileSystem*>(&machine->files());
  const auto driveC = files ? files->hostPath("C:\\") : std::nullopt;
  if (!driveC) throw std::runtime_error(image.string() + ": no drive C");

  // Made beside the target and renamed at the end: a disk that exists is whole.
  const fs::path partial = target.string() + ".partial";
  fs::remove_all(partial);
  fs::copy(*driveC, partial, fs::copy_options::recursive | fs::copy_options::create_hard_links);
  auto hives = korvane::test::hivesOf(machine->registry());
  addSystemDetails(*machine, hives);
  korvane::ImageFileSystem disk({{'C', partial}}, "C:\\", "C:\\");
  const std::string config = machine->environment().get("windir").value_or("C:\\WINDOWS") + "\\System32\\config\\";
  writeOnDisk(disk, config + "SYSTEM", korvane::test::writeHive(hives.system));
  writeOnDisk(disk, config + "SOFTWARE", korvane::test::writeHive(hives.software));
  writeOnDisk(disk, config + "DEFAULT", korvane::test::writeHive(hives.defaultUser));
  if (const auto profile = machine->environment().get("USERPROFILE"))
    writeOnDisk(disk, *profile + "\\NTUSER.DAT", korvane::test::writeHive(hives.user));
  fs::rename(partial, target);
  return 0;
}

}  // namespace

int main(int argc, char** argv) { return korvane::runBench("make_bench_disk", makeDisk, argc, argv); }
