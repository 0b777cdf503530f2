#include "platform/image/HiveRegistry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>

#include "platform/image/IconvCodePages.h"
#include "platform/image/ImageRegistry.h"
#include "support/HiveWriter.h"
#include "support/HostCommand.h"
#include "support/TestMachine.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;
using test::HiveKey;
using test::TempDir;

constexpr RegRoot HKLM = RegRoot::LocalMachine;
constexpr RegRoot HKCU = RegRoot::CurrentUser;

std::unique_ptr<ImageRegistry> loadRegistry(const fs::path& folder) {
  IconvCodePages codePages(1252);
  std::string error;
  auto registry = ImageRegistry::load(folder, codePages, error);
  EXPECT_TRUE(registry) << error;
  return registry;
}

// The NT-family samples, whose registries Windows keeps in hives.
constexpr const char* kSamples[] = {"xp", "win10"};

std::unique_ptr<ImageRegistry> sampleRegistry(const std::string& name = "xp") {
  return loadRegistry(fs::path(KORVANE_SAMPLES) / name / "registry");
}

std::string readTree(Registry& registry, RegRoot root, const std::string& path) {
  const auto tree = test::copyRegistryKey(registry, root, path);
  EXPECT_TRUE(tree) << regRootName(root) << "\\" << path;
  return tree ? test::describe(*tree) : "";
}

// The hives written into a folder, as a Windows disk keeps them.
struct DiskHives {
  TempDir folder;
  HiveFiles files;

  explicit DiskHives(const test::WindowsHives& hives) {
    const fs::path config = folder.path() / "Windows" / "System32" / "config";
    files = {config / "SYSTEM", config / "SOFTWARE", folder.path() / "Users" / "anna" / "NTUSER.DAT",
             config / "DEFAULT"};
    test::writeHostFile(files.system, test::writeHive(hives.system));
    test::writeHostFile(files.software, test::writeHive(hives.software));
    test::writeHostFile(files.user, test::writeHive(hives.user));
    test::writeHostFile(files.defaultUser, test::writeHive(hives.defaultUser));
  }

  std::unique_ptr<Registry> open() const {
    std::string error;
    auto registry = openHiveRegistry(files, error);
    EXPECT_TRUE(registry) << error;
    return registry;
  }
};

// The error of opening the hives, which must fail.
std::string openingError(const HiveFiles& files) {
  std::string error;
  EXPECT_FALSE(openHiveRegistry(files, error));
  return error;
}

// The tree as text with each key's values in name order, as the export
// lists them.
std::string describeSorted(HiveKey key) {
  std::function<void(HiveKey&)> sortValues = [&](HiveKey& each) {
    std::sort(each.values.begin(), each.values.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& subkey : each.subkeys) sortValues(subkey);
  };
  sortValues(key);
  return test::describe(key);
}

// What an independent reader finds in a hive file, as our tree text.
std::string exportedTree(const fs::path& hive, const fs::path& scratch) {
  std::string text;
  // PERL_UNICODE=O: every name in UTF-8, also those Perl would print as Latin-1.
  const int status = test::runCommand("PERL_UNICODE=O hivexregedit --export --prefix 'HKEY_LOCAL_MACHINE\\X' " +
                                          test::quoted(hive) + " '\\'",
                                      &text);
  EXPECT_EQ(status, 0) << text;
  // It names the hive's root key "[prefix\\]", which regedit would not.
  for (size_t at = text.find("\\]\n"); at != std::string::npos; at = text.find("\\]\n", at)) text.erase(at, 1);
  // Its export is UTF-8; ours read the UTF-16LE that regedit writes.
  test::writeHostFile(scratch / "export.reg", "\xFF\xFE" + utf8ToUtf16leBytes(text));
  const auto registry = loadRegistry(scratch);
  const auto tree = registry ? test::copyRegistryKey(*registry, HKLM, "X") : std::nullopt;
  EXPECT_TRUE(tree) << text;
  return tree ? describeSorted(*tree) : "";
}

void expectExportedAsWritten(const HiveKey& tree) {
  TempDir scratch;
  test::writeHostFile(scratch.path() / "hive", test::writeHive(tree));
  EXPECT_EQ(exportedTree(scratch.path() / "hive", scratch.path() / "export"), describeSorted(tree));
}

// Keys and values of the kinds and sizes the samples lack: names beyond
// Latin-1 and in mixed case, a subkey list long enough to be split, data past
// 16 KiB, empty and inline data, every value type the backup reads.
HiveKey unusualTree() {
  HiveKey root{"ROOT", {}, {}};
  HiveKey many{"Many", {}, {}};
  for (int k = 0; k < 1200; ++k) many.subkeys.push_back({"Key" + std::to_string(k), {}, {}});
  std::vector<uint8_t> large(40000);
  for (size_t k = 0; k < large.size(); ++k) large[k] = static_cast<uint8_t>(k * 7);
  root.subkeys = {std::move(many),
                  {"Привод Café",
                   {{"", RegValue::fromString("default")},
                    {"Größe", RegValue::fromDword(0x12345678)},
                    {"Описание", RegValue::fromString("Контроллер ™", RegType::ExpandString)},
                    {"Files", RegValue::fromMultiString({"a.sys", "b.dll"})},
                    {"Big", RegValue{static_cast<uint32_t>(RegType::Binary), large}},
                    {"Empty", RegValue{static_cast<uint32_t>(RegType::Binary), {}}},
                    {"Four", RegValue{static_cast<uint32_t>(RegType::Binary), {1, 2, 3, 4}}},
                    {"Stamp", RegValue::fromQword(0x0102030405060708)}},
                   {{"zeta", {}, {}}, {"Alpha", {}, {}}}}};
  return root;
}

TEST(HiveWriterTest, AnIndependentReaderFindsWhatWasWritten) {
  KORVANE_NEEDS(test::haveTool("hivexregedit"), "hivexregedit (libwin-hivex-perl)");
  for (const char* sample : kSamples) {
    SCOPED_TRACE(sample);
    auto registry = sampleRegistry(sample);
    ASSERT_TRUE(registry);
    const auto hives = test::hivesOf(*registry);
    ASSERT_FALSE(hives.system.subkeys.empty());
    for (const HiveKey* tree : {&hives.system, &hives.software, &hives.user, &hives.defaultUser})
      expectExportedAsWritten(*tree);
  }
  expectExportedAsWritten(unusualTree());
}

TEST(HiveRegistryTest, ADiskOfEachSampleReadsAsTheMachineImage) {
  for (const char* sample : kSamples) {
    SCOPED_TRACE(sample);
    auto image = sampleRegistry(sample);
    ASSERT_TRUE(image);
    const DiskHives disk(test::hivesOf(*image));
    const auto registry = disk.open();
    ASSERT_TRUE(registry);
    for (const auto& [root, path] : std::vector<std::pair<RegRoot, std::string>>{
             {HKLM, "SYSTEM\\CurrentControlSet"}, {HKLM, "SOFTWARE"}, {HKCU, ""}, {RegRoot::Users, ".DEFAULT"}})
    {
      // A key the sample lacks is an empty hive on the disk.
      const std::string expected = image->keyExists(root, path) ? readTree(*image, root, path) : "[]\n";
      EXPECT_EQ(readTree(*registry, root, path), expected) << path;
    }
  }
}

TEST(HiveRegistryTest, NamesAndPathsAreFoundAsOnWindows) {
  auto image = sampleRegistry();
  ASSERT_TRUE(image);
  const DiskHives disk(test::hivesOf(*image));
  const auto registry = disk.open();
  ASSERT_TRUE(registry);
  // Names in any case, paths with the leading backslash some callers give.
  EXPECT_TRUE(registry->keyExists(HKLM, "system\\CURRENTCONTROLSET\\control\\Class"));
  EXPECT_EQ(registry->readString(RegRoot::Users, "\\.default\\Control Panel\\International", "locale"),
            image->readString(RegRoot::Users, "\\.DEFAULT\\Control Panel\\International", "Locale"));
  EXPECT_EQ(registry->subkeyNames(HKLM, ""), (std::vector<std::string>{"SOFTWARE", "SYSTEM"}));
  EXPECT_EQ(registry->subkeyNames(RegRoot::Users, "\\"), (std::vector<std::string>{".DEFAULT"}));
  EXPECT_FALSE(registry->keyExists(HKLM, "HARDWARE"));
  EXPECT_FALSE(registry->keyExists(HKLM, "SYSTEM\\\\Select"));
  EXPECT_FALSE(registry->readValue(HKLM, "SYSTEM\\Select", "Nothing"));
}

TEST(HiveRegistryTest, CurrentControlSetIsTheSetSelectNames) {
  HiveKey system{"ROOT", {}, {{"ControlSet001", {{"Which", RegValue::fromString("old")}}, {}}}};
  const HiveKey profile{"Current", {{"Which", RegValue::fromString("profile")}}, {}};
  system.subkeys.push_back({"ControlSet002", {{"Which", RegValue::fromString("current")}},
                            {{"Hardware Profiles", {}, {profile}}}});
  test::makeControlSet(system, 2);
  DiskHives disk({system, {}, {}, {}});
  const auto registry = disk.open();
  ASSERT_TRUE(registry);
  EXPECT_EQ(registry->readString(HKLM, "SYSTEM\\CurrentControlSet", "Which"), "current");
  EXPECT_EQ(registry->readString(RegRoot::CurrentConfig, "", "Which"), "profile");

  // Without Select\Current the file is no SYSTEM hive.
  test::writeHostFile(disk.files.system, test::writeHive({"ROOT", {}, {{"ControlSet001", {}, {}}}}));
  EXPECT_NE(openingError(disk.files).find(disk.files.system.string()), std::string::npos);
}

TEST(HiveRegistryTest, TheHivesAreOnlyRead) {
  HiveKey software = unusualTree();
  software.subkeys.push_back({"Classes", {}, {{".inf", {{"", RegValue::fromString("inffile")}}, {}}}});
  test::WindowsHives hives{{}, software, {}, {}};
  test::makeControlSet(hives.system, 1);
  DiskHives disk(hives);
  // A disk mounted read-only.
  for (const auto& entry : fs::recursive_directory_iterator(disk.folder.path()))
    fs::permissions(entry.path(), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
  const auto registry = disk.open();
  ASSERT_TRUE(registry);
  EXPECT_EQ(readTree(*registry, HKLM, "SOFTWARE"), test::describe(software));
  EXPECT_EQ(registry->readString(RegRoot::ClassesRoot, ".INF", ""), "inffile");
  EXPECT_TRUE(registry->keyExists(HKLM, "software\\привод café"));
  EXPECT_EQ(registry->readString(HKLM, "SOFTWARE\\Привод Café", "ОПИСАНИЕ"), "Контроллер ™");

  EXPECT_FALSE(registry->createKey(HKLM, "SOFTWARE\\New"));
  EXPECT_FALSE(registry->writeString(HKLM, "SOFTWARE\\Many", "Name", "value"));
  EXPECT_FALSE(registry->deleteValue(HKLM, "SOFTWARE\\Привод Café", "Big"));
  EXPECT_FALSE(registry->deleteTree(HKLM, "SOFTWARE\\Many"));
  EXPECT_EQ(readTree(*registry, HKLM, "SOFTWARE"), test::describe(software));
}

TEST(HiveRegistryTest, BrokenHivesGiveAnErrorNamingTheFile) {
  auto image = sampleRegistry();
  ASSERT_TRUE(image);
  const auto hives = test::hivesOf(*image);
  const DiskHives disk(hives);
  const std::string good = test::writeHive(hives.user);
  const auto expectNamed = [&](const fs::path& file, const std::string& bytes, const std::string& what) {
    test::writeHostFile(file, bytes);
    const std::string error = openingError(disk.files);
    EXPECT_NE(error.find(file.string()), std::string::npos) << what << ": " << error;
  };
  std::mt19937 random(20);
  std::string garbage(3 * 4096, '\0');
  for (char& c : garbage) c = static_cast<char>(random());
  std::string badSum = good;
  badSum[0x30] ^= 1;
  expectNamed(disk.files.user, "", "empty");
  expectNamed(disk.files.user, "REGEDIT4\r\n", "text");
  expectNamed(disk.files.user, garbage, "garbage");
  expectNamed(disk.files.user, "regf" + garbage, "garbage after the signature");
  expectNamed(disk.files.user, badSum, "checksum");
  for (size_t length : {size_t{4}, size_t{511}, size_t{4096}, size_t{4096 + 100}, good.size() - 8})
    expectNamed(disk.files.user, good.substr(0, length), "truncated to " + std::to_string(length));
  test::writeHostFile(disk.files.user, good);
  expectNamed(disk.files.system, "", "empty SYSTEM");
  test::writeHostFile(disk.files.system, test::writeHive(hives.system));
  fs::remove(disk.files.software);
  const std::string error = openingError(disk.files);
  EXPECT_NE(error.find(disk.files.software.string() + ": not found"), std::string::npos) << error;
}

// Every key and value a reader can reach, within a budget: damaged lists may
// lead back to a key's own ancestors.
void readEverything(Registry& registry, RegRoot root, const std::string& path, int& budget) {
  if (--budget < 0) return;
  for (const auto& name : registry.valueNames(root, path).value_or(std::vector<std::string>{}))
    registry.readValue(root, path, name);
  for (const auto& name : registry.subkeyNames(root, path).value_or(std::vector<std::string>{}))
    readEverything(registry, root, path + "\\" + name, budget);
}

TEST(HiveRegistryTest, DamagedCellsAreReadWithoutHarm) {
  auto image = sampleRegistry();
  ASSERT_TRUE(image);
  const auto hives = test::hivesOf(*image);
  const std::string good = test::writeHive(hives.system);
  DiskHives disk(hives);
  std::mt19937 random(7);
  for (int round = 0; round < 150; ++round) {
    std::string damaged = good;
    for (int k = 0; k < 12; ++k) {
      const size_t at = 4096 + random() % (damaged.size() - 4096);
      damaged[at] = static_cast<char>(round % 3 == 0 ? 0xFF : random());
    }
    test::writeHostFile(disk.files.system, damaged);
    std::string error;
    auto registry = openHiveRegistry(disk.files, error);
    if (!registry) continue;
    int budget = 5000;
    readEverything(*registry, HKLM, "SYSTEM", budget);
  }
}

}  // namespace
}  // namespace korvane
