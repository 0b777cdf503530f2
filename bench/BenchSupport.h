// What the benchmarks share: the machine images they run on, their exit.
#pragma once

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <exception>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

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

// Runs a program to its end in a folder (empty: this one), its output thrown
// away; its exit code, or -1. usage, when given, receives the child's. A
// fork rather than a spawn: a spawned child's peak memory would count its
// parent's high-water mark, a forked one's only what the parent holds now.
inline int runQuietly(const std::vector<std::string>& args, rusage* usage = nullptr,
                      const std::filesystem::path& folder = {}) {
  std::vector<char*> argv;
  for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    if (!folder.empty() && chdir(folder.c_str()) != 0) _exit(126);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  rusage ignored{};
  if (child < 0 || wait4(child, &status, 0, usage ? usage : &ignored) != child) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
