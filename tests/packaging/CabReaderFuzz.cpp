// libFuzzer target: any bytes as a cabinet for the reader. Nothing may crash,
// and nothing may be written outside the target folder. Built and run by
// scripts/fuzz-cab-reader.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "packaging/CabSTComps.h"
#include "platform/image/ImageMachine.h"

namespace {

namespace fs = std::filesystem;

struct Image {
  fs::path root;
  std::unique_ptr<korvane::Machine> machine;
};

Image& image() {
  static Image state = [] {
    Image made;
    made.root = fs::temp_directory_path() / ("korvane-cab-fuzz-" + std::to_string(::getpid()));
    fs::create_directories(made.root / "drive_c/TEMP");
    std::ofstream(made.root / "machine.ini")
        << "[Version]\nPlatform=2\nMajor=5\nMinor=1\n[System]\nCodePage=1252\nCurrentDirectory=C:\\\n"
           "[Environment]\nTEMP=C:\\TEMP\n[Drives]\nC=drive_c\n";
    std::string error;
    made.machine = korvane::openImageMachine(made.root, error);
    if (!made.machine) std::abort();
    return made;
  }();
  return state;
}

// Only the cabinet, the temporary folder and the target may hold anything.
void checkNothingOutside(const fs::path& drive) {
  for (const auto& entry : fs::recursive_directory_iterator(drive)) {
    const fs::path relative = fs::relative(entry.path(), drive);
    const std::string top = relative.begin()->string();
    if (top != "in" && top != "out" && top != "TEMP") __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Image& state = image();
  const fs::path drive = state.root / "drive_c";
  fs::create_directories(drive / "in");
  std::ofstream(drive / "in/fuzz.cab", std::ios::binary).write(reinterpret_cast<const char*>(data),
                                                                 static_cast<std::streamsize>(size));
  {
    korvane::TSTCabReader reader(*state.machine);
    reader.ExtractFiles("C:\\in\\fuzz.cab", "C:\\out\\x");
    for (const std::string& target : reader.FailedFiles())
      if (state.machine->files().exists(target)) __builtin_trap();
  }
  checkNothingOutside(drive);
  std::error_code ec;
  for (const auto& entry : fs::recursive_directory_iterator(drive / "out", ec))
    fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(drive / "out", ec);
  return 0;
}
