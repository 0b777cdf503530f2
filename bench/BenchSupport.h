// What the benchmarks share: the machine images they run on, their exit.
#pragma once

#include <filesystem>
#include <exception>
#include <fstream>
#include <iostream>
#include <string>

namespace korvane {

// An XP machine with drive C in the image's drive_c folder.
constexpr const char* kBenchMachineIni =
    "[Version]\nPlatform=2\nMajor=5\nMinor=1\nBuild=2600\nProductType=1\n"
    "[System]\nCodePage=1252\nWindowsDirectory=C:\\WINDOWS\nCurrentDirectory=C:\\\n"
    "[Environment]\nwindir=C:\\WINDOWS\nTEMP=C:\\TEMP\n[Drives]\nC=drive_c\n";

inline void writeHostFile(const std::filesystem::path& file, const std::string& bytes) {
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Runs a benchmark; what throws ends it with a message and status 2.
inline int runBench(const char* program, int (*body)(int, char**), int argc, char** argv) {
  try {
    return body(argc, argv);
  } catch (const std::exception& failure) {
    std::cerr << program << ": " << failure.what() << '\n';
    return 2;
  }
}

}  // namespace korvane
