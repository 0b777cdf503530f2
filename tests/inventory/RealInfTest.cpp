// The INF reader on real INF files that Debian's Wine packages install,
// read as data: what must hold for any script, and the same answers for the
// script in UTF-16.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unordered_set>

#include "inventory/InfReader.h"
#include "support/TestMachine.h"

namespace korvane::test {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

std::vector<fs::path> realInfFiles() {
  std::vector<fs::path> found;
  std::error_code ec;
  if (fs::is_regular_file("/usr/share/wine/wine.inf", ec)) found.emplace_back("/usr/share/wine/wine.inf");
  // Written by Wine into the prefix that the Windows tests use, when one exists.
  const fs::path prefixInf = fs::path(KORVANE_BINARY_DIR) / ".." / "wineprefix" / "drive_c" / "windows" / "inf";
  for (fs::directory_iterator it(prefixInf, ec), end; !ec && it != end; it.increment(ec))
    if (it->path().extension() == ".inf") found.push_back(it->path());
  return found;
}

std::string hostBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool containsIgnoringCase(const Strings& names, const std::string& name) {
  for (const auto& other : names)
    if (equalsIgnoreCase(other, name)) return true;
  return false;
}

bool namesFileList(const std::string& section) {
  const std::string lowered = lowerCase(section);
  for (const char* word : {"copy", "source", "file", "list", "src", "disk", "nv"})
    if (lowered.find(word) != std::string::npos) return true;
  return false;
}

// The shape of a name the text scan gives: a lower-cased first word of some
// line of the script.
bool isTextScanName(const std::string& name, const Strings& lines) {
  if (name != lowerCase(name) || name.find_first_of(";,= %") != std::string::npos || name[0] == '[' ||
      name[0] == '\t')
    return false;
  for (const auto& line : lines)
    if (lowerCase(line).rfind(name, 0) == 0) return true;
  return false;
}

class RealInf : public ::testing::TestWithParam<fs::path> {};

TEST_P(RealInf, EightBitAndUtf16CopiesGiveTheSameSets) {
  const std::string bytes = hostBytes(GetParam());
  ImageBuilder image;
  image.file("WINDOWS\\inf\\real.inf", bytes);
  Machine& machine = image.open();
  image.file("WINDOWS\\inf\\wide.inf", "\xFF\xFE" + utf8ToUtf16leBytes(decodeText(bytes, machine.codePages())));
  const std::string real = "C:\\WINDOWS\\inf\\real.inf", wide = "C:\\WINDOWS\\inf\\wide.inf";
  EXPECT_EQ(InfDetailsFileSet(machine, wide), InfDetailsFileSet(machine, real));
  EXPECT_EQ(InfBackupFileSet(machine, wide).Names, InfBackupFileSet(machine, real).Names);
  EXPECT_EQ(InfPlatform(machine, wide), InfPlatform(machine, real));
  EXPECT_EQ(InfCatalog(machine, wide), InfCatalog(machine, real));
}

TEST_P(RealInf, TheSetsHoldWhatTheRulesPromise) {
  const std::string bytes = hostBytes(GetParam());
  ImageBuilder image;
  image.file("WINDOWS\\inf\\real.inf", bytes);
  Machine& machine = image.open();
  const std::string inf = "C:\\WINDOWS\\inf\\real.inf";
  const Strings details = InfDetailsFileSet(machine, inf);
  const Strings backup = InfBackupFileSet(machine, inf).Names;
  const Strings lines = splitLines(decodeText(bytes, machine.codePages()));

  std::unordered_set<std::string> seen;
  for (const auto& name : details) {
    EXPECT_TRUE(seen.insert(upperCase(name)).second) << "duplicate " << name;
    EXPECT_TRUE(containsIgnoringCase(backup, name)) << name << " is counted but would not be backed up";
  }
  // Every key with a dot of every file section is in the set.
  Strings keys;
  ProfileFiles& profiles = machine.profiles();
  for (const auto& section : profiles.sectionNames(inf)) {
    if (!namesFileList(section)) continue;
    for (const auto& key : profiles.keyNames(inf, section)) {
      keys.push_back(key);
      if (key.find('.') != std::string::npos) {
        EXPECT_TRUE(containsIgnoringCase(details, key)) << section << ": " << key;
      }
    }
  }
  for (const auto& key : profiles.keyNames(inf, "SourceDisksFiles")) keys.push_back(key);
  // And every name is a key or what the text scan makes of a line.
  for (const auto& name : details)
    EXPECT_TRUE(containsIgnoringCase(keys, name) || isTextScanName(name, lines)) << name;
}

INSTANTIATE_TEST_SUITE_P(Installed, RealInf, ::testing::ValuesIn(realInfFiles()),
                         [](const ::testing::TestParamInfo<fs::path>& file) {
                           std::string name = file.param.stem().string() + "_" + std::to_string(file.index);
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(RealInf);

}  // namespace
}  // namespace korvane::test
