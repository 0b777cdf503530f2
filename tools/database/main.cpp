// korvane-dbgen: builds the driver database image from its tables.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/database/DatabaseGenerator.h"

namespace fs = std::filesystem;
using namespace korvane::dbgen;

namespace {

constexpr const char* kUsage =
    "usage: korvane-dbgen [--packages FOLDER] IMAGE TABLE...\n"
    "  Writes the driver database image IMAGE from CSV tables named after their\n"
    "  family (XP.csv, 2K.csv, Me.csv, 98.csv, 95.csv, NT.csv), with the columns\n"
    "  hardware_id,version,url,notes. With --packages, writes a sample package\n"
    "  for every URL under FOLDER (at the URL's path) and its SHA-256 into the\n"
    "  entries.\n";

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error(path.string() + ": cannot be read");
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Written beside the target first, so that a failure leaves no half file.
void writeFile(const fs::path& path, const std::string& bytes) {
  if (path.has_parent_path()) fs::create_directories(path.parent_path());
  const fs::path partial = path.string() + ".partial";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) throw std::runtime_error(path.string() + ": cannot be written");
  }
  fs::rename(partial, path);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  fs::path packages;
  if (arguments.size() >= 2 && arguments[0] == "--packages") {
    packages = arguments[1];
    arguments.erase(arguments.begin(), arguments.begin() + 2);
  }
  if (arguments.size() < 2 || arguments[0].starts_with("-")) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  try {
    std::vector<SourceTable> tables;
    for (size_t i = 1; i < arguments.size(); ++i)
      tables.push_back({fs::path(arguments[i]).filename().string(), readFile(arguments[i])});
    const GeneratedDatabase database = generateDatabase(tables, !packages.empty());
    for (const auto& [path, bytes] : database.packages) writeFile(packages / path, bytes);
    writeFile(arguments[0], database.image);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "korvane-dbgen: %s\n", error.what());
    return 1;
  }
  return 0;
}
