#include "support/TestMachine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <random>

#ifdef _WIN32
#include "platform/win32/Win32Machine.h"
#else
#include "platform/image/ImageMachine.h"
#include "platform/image/ProfileText.h"
#endif

namespace korvane::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  std::random_device seed;
  const auto base = fs::temp_directory_path();
  for (;;) {
    path_ = base / ("korvane-test-" + std::to_string(seed()) + "-" + std::to_string(counter++));
    std::error_code ec;
    if (fs::create_directory(path_, ec)) break;
  }
}

TempDir::~TempDir() {
  std::error_code ec;
  // Read-only files would stop the removal.
  for (fs::recursive_directory_iterator it(path_, ec), end; !ec && it != end; it.increment(ec))
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(path_, ec);
}

void writeHostFile(const fs::path& file, const std::string& bytes) {
  fs::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + file.string());
}

#ifdef _WIN32

// The live machine (Wine's under the test runner) with a fresh folder under
// the user's temporary folder.
ScratchMachine makeScratchMachine() {
  ScratchMachine scratch;
  scratch.host = std::make_unique<TempDir>();
  scratch.machine = openLiveMachine();
  const std::wstring folder = scratch.host->path().wstring();
  scratch.scratch = withoutTrailingBackslash(utf16ToUtf8(std::u16string(folder.begin(), folder.end())));
  return scratch;
}

#else

namespace {

constexpr const char* kScratchMachineIni =
    "[Version]\nPlatform=2\nMajor=5\nMinor=1\nBuild=2600\nServicePack=Service Pack 3\nProductType=1\n"
    "[System]\nComputerName=TESTBOX\nUserName=tester\nLanguageId=0409\nLanguageName=English (United States)\n"
    "CodePage=1252\nWindowsDirectory=C:\\WINDOWS\nSystemDirectory=C:\\WINDOWS\\system32\nCurrentDirectory=C:\\\n"
    "[Environment]\nwindir=C:\\WINDOWS\nTEMP=C:\\TEMP\nUSERNAME=tester\n"
    "[Drives]\nC=drive_c\n";

std::unique_ptr<Machine> openOrFail(const fs::path& folder) {
  std::string error;
  auto machine = openImageMachine(folder, error);
  if (!machine) throw std::runtime_error("cannot open machine image " + folder.string() + ": " + error);
  return machine;
}

}  // namespace

ScratchMachine makeScratchMachine() {
  ScratchMachine scratch;
  scratch.host = std::make_unique<TempDir>();
  const fs::path& root = scratch.host->path();
  writeHostFile(root / "machine.ini", kScratchMachineIni);
  for (const char* folder : {"drive_c/WINDOWS/system32/drivers", "drive_c/WINDOWS/inf", "drive_c/TEMP", "drive_c/scratch"})
    fs::create_directories(root / folder);
  scratch.machine = openOrFail(root);
  scratch.scratch = "C:\\scratch";
  return scratch;
}

ImageBuilder::ImageBuilder() : host_(std::make_unique<TempDir>()) {
  const auto text = ProfileText::parse(kScratchMachineIni);
  for (const auto& section : text.sectionNames()) {
    ini_.push_back({section, {}});
    for (const auto& key : text.keyNames(section).value_or(std::vector<std::string>{}))
      ini_.back().second.push_back({key, text.value(section, key).value_or("")});
  }
  for (const char* folder : {"drive_c/WINDOWS/system32/drivers", "drive_c/WINDOWS/inf", "drive_c/TEMP"})
    fs::create_directories(host_->path() / folder);
}

ImageBuilder& ImageBuilder::set(const std::string& section, const std::string& key, const std::string& value) {
  auto place = std::find_if(ini_.begin(), ini_.end(), [&](const auto& s) { return s.first == section; });
  if (place == ini_.end()) place = ini_.insert(ini_.end(), {section, {}});
  auto& keys = place->second;
  keys.erase(std::remove_if(keys.begin(), keys.end(), [&](const auto& k) { return k.first == key; }), keys.end());
  if (!value.empty()) keys.push_back({key, value});
  return *this;
}

ImageBuilder& ImageBuilder::registry(const std::string& fileName, const std::string& body) {
  writeHostFile(host_->path() / "registry" / fileName,
                "\xFF\xFE" + utf8ToUtf16leBytes("Windows Registry Editor Version 5.00\r\n\r\n" + body));
  return *this;
}

ImageBuilder& ImageBuilder::file(const std::string& pathOnC, const std::string& bytes) {
  std::string relative = pathOnC;
  std::replace(relative.begin(), relative.end(), '\\', '/');
  writeHostFile(host_->path() / "drive_c" / relative, bytes);
  return *this;
}

Machine& ImageBuilder::open() {
  std::string text;
  for (const auto& [section, keys] : ini_) {
    text += "[" + section + "]\n";
    for (const auto& [key, value] : keys) text += key + "=" + value + "\n";
  }
  writeHostFile(host_->path() / "machine.ini", text);
  machine_ = openOrFail(host_->path());
  return *machine_;
}

std::unique_ptr<Machine> ImageBuilder::reopen() const { return openOrFail(host_->path()); }

SampleMachine copySample(const std::string& name) {
  SampleMachine sample;
  sample.host = std::make_unique<TempDir>();
  fs::copy(fs::path(KORVANE_SAMPLES) / name, sample.host->path(), fs::copy_options::recursive);
  sample.machine = openOrFail(sample.host->path());
  return sample;
}

std::vector<std::string> ImageBuilder::actions() const {
  std::ifstream in(root() / "actions.log");
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

#endif

}  // namespace korvane::test
