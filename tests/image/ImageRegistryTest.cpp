#include "platform/image/ImageRegistry.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>

#include "platform/image/IconvCodePages.h"
#include "platform/image/RegFile.h"
#include "support/TestMachine.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::writeHostFile;

constexpr RegRoot HKLM = RegRoot::LocalMachine;
constexpr RegRoot HKCU = RegRoot::CurrentUser;
const std::string kHeader5 = "Windows Registry Editor Version 5.00\r\n\r\n";

std::string readHostFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// Everything a reader of the registry can see, in enumeration order.
void dumpKey(Registry& registry, RegRoot root, const std::string& path, std::string& out) {
  out += std::string("[") + regRootName(root) + path + "]\n";
  const auto valueNames = registry.valueNames(root, path);
  const auto subkeyNames = registry.subkeyNames(root, path);
  EXPECT_TRUE(valueNames && subkeyNames) << path;
  if (!valueNames || !subkeyNames) return;
  for (const auto& name : *valueNames) {
    const auto value = registry.readValue(root, path, name);
    EXPECT_TRUE(value) << path << " " << name;
    if (!value) continue;
    out += "  \"" + name + "\" type " + std::to_string(value->type) + ":";
    for (uint8_t byte : value->data) out += " " + std::to_string(byte);
    out += "\n";
  }
  for (const auto& sub : *subkeyNames) dumpKey(registry, root, path + "\\" + sub, out);
}

std::string dump(Registry& registry) {
  std::string out;
  for (RegRoot root : {RegRoot::ClassesRoot, HKCU, HKLM, RegRoot::Users, RegRoot::CurrentConfig})
    dumpKey(registry, root, "", out);
  return out;
}

class ImageRegistryTest : public ::testing::Test {
 protected:
  fs::path file(const std::string& name) const { return folder / name; }
  void write(const std::string& name, const std::string& text) { writeHostFile(file(name), text); }
  void writeUtf16(const std::string& name, const std::string& text) {
    write(name, "\xFF\xFE" + utf8ToUtf16leBytes(text));
  }

  std::unique_ptr<ImageRegistry> load() {
    std::string error;
    auto registry = ImageRegistry::load(folder, codePages, error);
    EXPECT_TRUE(registry) << error;
    return registry;
  }

  void saveOk(ImageRegistry& registry) {
    std::string error;
    EXPECT_TRUE(registry.save(error)) << error;
    EXPECT_FALSE(registry.changed());
  }

  // Saving and loading again must give back exactly what the program saw.
  void expectReloadsSame(ImageRegistry& registry) {
    const auto reloaded = load();
    ASSERT_TRUE(reloaded);
    EXPECT_EQ(dump(*reloaded), dump(registry));
  }

  std::vector<std::string> folderFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  TempDir dir;
  fs::path folder = dir.path() / "registry";
  IconvCodePages codePages{1252};
};

TEST_F(ImageRegistryTest, MissingFolderIsAnEmptyRegistry) {
  auto registry = load();
  ASSERT_TRUE(registry);
  EXPECT_FALSE(registry->keyExists(HKLM, "SOFTWARE"));
  EXPECT_EQ(registry->subkeyNames(HKLM, ""), std::vector<std::string>{});
  EXPECT_FALSE(registry->changed());
  saveOk(*registry);
  EXPECT_FALSE(fs::exists(folder));
}

TEST_F(ImageRegistryTest, RegistryPathThatIsAFileFailsToLoad) {
  writeHostFile(folder, "not a folder");
  std::string error;
  EXPECT_FALSE(ImageRegistry::load(folder, codePages, error));
  EXPECT_NE(error.find(folder.string()), std::string::npos) << error;
}

TEST_F(ImageRegistryTest, LooksUpNamesWithoutRegardToCase) {
  writeUtf16("system.reg", kHeader5 +
                               "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Tcpip]\r\n"
                               "\"DisplayName\"=\"TCP/IP\"\r\n"
                               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Caf\u00e9\\\u041a\u043b\u044e\u0447]\r\n"
                               "\"\u00c9t\u00e9\"=dword:00000007\r\n");
  auto registry = load();
  ASSERT_TRUE(registry);
  EXPECT_TRUE(registry->keyExists(HKLM, "system\\currentcontrolset\\SERVICES\\tcpip"));
  EXPECT_TRUE(registry->keyExists(HKLM, "\\SYSTEM\\CurrentControlSet"));
  EXPECT_EQ(registry->subkeyNames(HKLM, "\\system\\CURRENTCONTROLSET\\services"), std::vector<std::string>{"Tcpip"});
  EXPECT_EQ(registry->readString(HKLM, "SYSTEM\\CurrentControlSet\\Services\\Tcpip", "displayname"), "TCP/IP");
  EXPECT_EQ(registry->valueNames(HKLM, "SYSTEM\\CurrentControlSet\\Services\\TCPIP"),
            std::vector<std::string>{"DisplayName"});
  EXPECT_EQ(registry->readValue(HKLM, "software\\CAF\u00c9\\\u041a\u041b\u042e\u0427", "\u00e9T\u00c9"),
            RegValue::fromDword(7));
  EXPECT_FALSE(registry->keyExists(HKCU, "SYSTEM"));  // each root is its own tree
}

TEST_F(ImageRegistryTest, SubkeysEnumerateInUpperCasedUtf16Order) {
  auto registry = ImageRegistry::empty(folder);
  for (const char* name : {"b", "\uFF01", "A", "_x", "\U00010000", "0001", "\u00e9", "Z"})
    ASSERT_TRUE(registry->createKey(HKLM, std::string("Enum\\") + name));
  // Upper-cased: 0 < A < B < Z < _ < \u00c9 < surrogate D800 < FF01.
  EXPECT_EQ(registry->subkeyNames(HKLM, "Enum"),
            (std::vector<std::string>{"0001", "A", "b", "Z", "_x", "\u00e9", "\U00010000", "\uFF01"}));
}

// A small key and one large enough to be indexed (driver keys can hold
// thousands of values) must answer alike, whether loaded or written.
TEST_F(ImageRegistryTest, ValuesKeepTheirOrderAndFirstName) {
  for (const size_t filler : {0, 200}) {
    SCOPED_TRACE(std::to_string(filler) + " values before");
    fs::remove_all(folder);
    std::string file = kHeader5 + "[HKEY_LOCAL_MACHINE\\K]\r\n";
    std::vector<std::string> names;
    for (size_t k = 0; k < filler; ++k) {
      names.push_back("Fill" + std::to_string(k));
      file += "\"" + names.back() + "\"=dword:00000001\r\n";
    }
    file += "\"Gone\"=\"x\"\r\n\"Zeta\"=\"1\"\r\n\"GONE\"=-\r\n\"zeta\"=\"loaded\"\r\n";
    writeUtf16("k.reg", file);
    auto registry = load();
    ASSERT_TRUE(registry);
    EXPECT_EQ(registry->readString(HKLM, "K", "ZETA"), "loaded");
    EXPECT_FALSE(registry->readValue(HKLM, "K", "gone"));
    ASSERT_TRUE(registry->writeString(HKLM, "K", "alpha", "2"));
    ASSERT_TRUE(registry->writeString(HKLM, "K", "", "default"));
    ASSERT_TRUE(registry->writeValue(HKLM, "k", "ZETA", RegValue::fromDword(3)));
    auto expected = names;
    expected.insert(expected.end(), {"Zeta", "alpha", ""});
    EXPECT_EQ(registry->valueNames(HKLM, "K"), expected);
    EXPECT_EQ(registry->readValue(HKLM, "K", "zeta"), RegValue::fromDword(3));
    EXPECT_EQ(registry->readString(HKLM, "K", ""), "default");
    EXPECT_FALSE(registry->readValue(HKLM, "K", "missing"));
    EXPECT_FALSE(registry->readValue(HKLM, "Missing", "Zeta"));
    EXPECT_FALSE(registry->valueNames(HKLM, "Missing"));
    EXPECT_FALSE(registry->subkeyNames(HKLM, "K\\Missing"));
    ASSERT_TRUE(registry->deleteValue(HKLM, "K", "ALPHA"));
    EXPECT_FALSE(registry->deleteValue(HKLM, "K", "alpha"));
    ASSERT_TRUE(registry->writeString(HKLM, "K", "alpha", "again"));
    expected = names;
    expected.insert(expected.end(), {"Zeta", "", "alpha"});
    EXPECT_EQ(registry->valueNames(HKLM, "K"), expected);
    saveOk(*registry);
    expectReloadsSame(*registry);
  }
}

TEST_F(ImageRegistryTest, DeleteTreeRemovesEverythingBelow) {
  auto registry = ImageRegistry::empty(folder);
  ASSERT_TRUE(registry->writeString(HKLM, "A\\B\\C", "v", "x"));
  ASSERT_TRUE(registry->createKey(HKLM, "A\\D"));
  ASSERT_TRUE(registry->createKey(HKLM, "Other"));
  ASSERT_TRUE(registry->deleteTree(HKLM, "a"));
  EXPECT_FALSE(registry->keyExists(HKLM, "A"));
  EXPECT_FALSE(registry->keyExists(HKLM, "A\\B\\C"));
  EXPECT_FALSE(registry->readValue(HKLM, "A\\B\\C", "v"));
  EXPECT_TRUE(registry->keyExists(HKLM, "Other"));
  EXPECT_FALSE(registry->deleteTree(HKLM, "A"));
  EXPECT_FALSE(registry->deleteTree(HKLM, ""));  // a root key cannot go
  EXPECT_FALSE(registry->deleteTree(HKLM, "\\"));
  EXPECT_TRUE(registry->keyExists(HKLM, "Other"));
}

TEST_F(ImageRegistryTest, RefusesNamesAFileCannotHold) {
  auto registry = ImageRegistry::empty(folder);
  EXPECT_FALSE(registry->createKey(HKLM, "A\\\\B"));
  EXPECT_FALSE(registry->createKey(HKLM, "A\nB"));
  EXPECT_FALSE(registry->writeString(HKLM, "A", "two\r\nlines", "x"));
  std::string deep = "K";
  for (size_t k = 0; k < kMaxRegKeyDepth; ++k) deep += "\\K";
  EXPECT_FALSE(registry->createKey(HKLM, deep));
  EXPECT_FALSE(registry->keyExists(HKLM, "A"));
  EXPECT_FALSE(registry->changed());
}

TEST_F(ImageRegistryTest, LaterFilesOverrideEarlierOnes) {
  write("b.reg", "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\K]\n\"V\"=\"from b\"\n[-HKEY_LOCAL_MACHINE\\K\\Sub]\n");
  write("a.reg", "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\K\\Sub]\n[HKEY_LOCAL_MACHINE\\K]\n\"V\"=\"from a\"\n\"W\"=\"a\"\n");
  write("notes.txt", "not a registry file");
  auto registry = load();
  ASSERT_TRUE(registry);
  EXPECT_EQ(registry->readString(HKLM, "K", "V"), "from b");
  EXPECT_EQ(registry->readString(HKLM, "K", "W"), "a");
  EXPECT_FALSE(registry->keyExists(HKLM, "K\\Sub"));
  EXPECT_FALSE(registry->changed());
}

TEST_F(ImageRegistryTest, BrokenFileFailsTheWholeLoad) {
  write("a.reg", "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Good]\n");
  write("b.reg", "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Bad]\n\"v\"=dword:xyz\n");
  std::string error;
  EXPECT_FALSE(ImageRegistry::load(folder, codePages, error));
  EXPECT_NE(error.find("b.reg:4: "), std::string::npos) << error;
}

TEST_F(ImageRegistryTest, SaveRewritesOnlyTheFilesWhoseKeysChanged) {
  const std::string a = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\r\n\"x\"=\"1\"\r\n";
  const std::string b = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\B]\r\n\"y\"=\"2\"\r\n";
  write("a.reg", a);
  write("b.reg", b);
  auto registry = load();
  ASSERT_TRUE(registry);
  saveOk(*registry);  // nothing changed: nothing written
  ASSERT_TRUE(registry->createKey(HKLM, "software\\b"));
  ASSERT_TRUE(registry->readValue(HKLM, "SOFTWARE\\A", "x"));
  EXPECT_FALSE(registry->changed());
  ASSERT_TRUE(registry->writeValue(HKLM, "SOFTWARE\\B", "z", RegValue::fromDword(5)));
  EXPECT_TRUE(registry->changed());
  saveOk(*registry);
  EXPECT_EQ(readHostFile(file("a.reg")), a);
  EXPECT_EQ(readHostFile(file("b.reg")),
            "\xFF\xFE" + utf8ToUtf16leBytes(kHeader5 + "[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n\r\n"
                                                       "[HKEY_LOCAL_MACHINE\\SOFTWARE\\B]\r\n\"y\"=\"2\"\r\n"
                                                       "\"z\"=dword:00000005\r\n\r\n"));
  EXPECT_EQ(folderFiles(), (std::vector<std::string>{"a.reg", "b.reg"}));  // no temporary left behind
  expectReloadsSame(*registry);
}

TEST_F(ImageRegistryTest, NewKeysGoToTheFileOfTheirNearestLoadedAncestor) {
  const std::string a = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\n";
  const std::string b = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\B]\n";
  write("a.reg", a);
  write("b.reg", b);
  auto registry = load();
  ASSERT_TRUE(registry);
  ASSERT_TRUE(registry->writeString(HKLM, "SOFTWARE\\A\\New\\Deeper", "v", "x"));
  ASSERT_TRUE(registry->writeString(HKCU, "Fresh", "w", "y"));
  saveOk(*registry);
  EXPECT_EQ(readHostFile(file("b.reg")), b);
  const std::string aNow = utf16leBytesToUtf8(readHostFile(file("a.reg")));
  EXPECT_NE(aNow.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\A\\New\\Deeper]\r\n\"v\"=\"x\""), std::string::npos) << aNow;
  const std::string changes = utf16leBytesToUtf8(readHostFile(file("changes.reg")));
  EXPECT_NE(changes.find("[HKEY_CURRENT_USER\\Fresh]\r\n\"w\"=\"y\""), std::string::npos) << changes;
  EXPECT_EQ(changes.find("SOFTWARE"), std::string::npos) << changes;
  expectReloadsSame(*registry);
}

TEST_F(ImageRegistryTest, ChangesGoToAnExistingChangesFile) {
  write("changes.reg", "REGEDIT4\n\n[HKEY_CURRENT_USER\\Old]\n");
  write("z.reg", "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Z]\n");
  auto registry = load();
  ASSERT_TRUE(registry);
  ASSERT_TRUE(registry->createKey(HKLM, "New"));
  saveOk(*registry);
  EXPECT_EQ(folderFiles(), (std::vector<std::string>{"changes.reg", "z.reg"}));
  const std::string changes = utf16leBytesToUtf8(readHostFile(file("changes.reg")));
  EXPECT_NE(changes.find("[HKEY_CURRENT_USER\\Old]"), std::string::npos) << changes;
  EXPECT_NE(changes.find("[HKEY_LOCAL_MACHINE\\New]"), std::string::npos) << changes;
  expectReloadsSame(*registry);
}

TEST_F(ImageRegistryTest, EmptyRegistrySavesIntoANewFolder) {
  auto registry = ImageRegistry::empty(folder);
  ASSERT_TRUE(registry->writeValue(HKLM, "SYSTEM\\Setup", "SystemSetupInProgress", RegValue::fromDword(0)));
  ASSERT_TRUE(registry->writeValue(HKLM, "", "AtTheRoot", RegValue::fromDword(1)));
  saveOk(*registry);
  EXPECT_EQ(folderFiles(), std::vector<std::string>{"changes.reg"});
  expectReloadsSame(*registry);
}

TEST_F(ImageRegistryTest, DeletionsInLaterFilesStayAfterARewrite) {
  write("a.reg", "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\S\\X]\n\"v\"=\"1\"\n[HKEY_LOCAL_MACHINE\\S\\Y]\n\"gone\"=\"1\"\n");
  write("b.reg", "REGEDIT4\n\n[-HKEY_LOCAL_MACHINE\\S\\X]\n[HKEY_LOCAL_MACHINE\\S\\Y]\n\"gone\"=-\n"
                 "[HKEY_LOCAL_MACHINE\\S\\Z]\n\"w\"=\"2\"\n");
  auto registry = load();
  ASSERT_TRUE(registry);
  ASSERT_FALSE(registry->keyExists(HKLM, "S\\X"));
  ASSERT_FALSE(registry->readValue(HKLM, "S\\Y", "gone"));
  ASSERT_TRUE(registry->writeString(HKLM, "S\\Z", "w", "3"));
  saveOk(*registry);
  expectReloadsSame(*registry);
}

TEST_F(ImageRegistryTest, KeyHeldByTwoFilesLosesNothing) {
  write("a.reg", "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=\"1\"\n\"c\"=\"1\"\n[HKEY_LOCAL_MACHINE\\OnlyA]\n");
  write("b.reg", "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\K]\n\"b\"=\"2\"\n");
  auto registry = load();
  ASSERT_TRUE(registry);
  ASSERT_TRUE(registry->deleteValue(HKLM, "K", "a"));
  saveOk(*registry);
  expectReloadsSame(*registry);
  ASSERT_TRUE(registry->writeString(HKLM, "OnlyA", "n", "new"));
  saveOk(*registry);
  expectReloadsSame(*registry);
  ASSERT_TRUE(registry->deleteTree(HKLM, "K"));
  saveOk(*registry);
  expectReloadsSame(*registry);
}

TEST_F(ImageRegistryTest, DeletingAKeyPartsOfWhichCameFromSeveralFiles) {
  write("a.reg", "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\P\\Q]\n");
  write("b.reg", "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\P\\R]\n");
  write("c.reg", "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Other]\n");
  const std::string c = readHostFile(file("c.reg"));
  auto registry = load();
  ASSERT_TRUE(registry);
  ASSERT_TRUE(registry->deleteTree(HKLM, "P"));
  saveOk(*registry);
  EXPECT_EQ(readHostFile(file("c.reg")), c);
  expectReloadsSame(*registry);
  EXPECT_FALSE(load()->keyExists(HKLM, "P"));
}

TEST_F(ImageRegistryTest, FailedSaveReportsAndKeepsTheOldFile) {
  const std::string a = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\A]\n";
  write("a.reg", a);
  auto registry = load();
  ASSERT_TRUE(registry);
  ASSERT_TRUE(registry->writeString(HKLM, "A", "v", "x"));
  fs::create_directory(file("a.reg.tmp"));  // the temporary file cannot be created
  std::string error;
  EXPECT_FALSE(registry->save(error));
  EXPECT_NE(error.find("a.reg"), std::string::npos) << error;
  EXPECT_TRUE(registry->changed());
  EXPECT_EQ(readHostFile(file("a.reg")), a);
  fs::remove(file("a.reg.tmp"));
  saveOk(*registry);
  expectReloadsSame(*registry);
}

// Random changes on top of overlapping files, saved and reloaded again and
// again: whatever the program saw must come back.
class RandomRegistry {
 public:
  explicit RandomRegistry(unsigned seed) : random_(seed) {}

  std::string path() {
    static const char* names[] = {"a", "B", "c\u00e9", "Dd"};
    std::string path;
    const int depth = 1 + pick(3);
    for (int k = 0; k < depth; ++k) path += (k ? "\\" : "") + std::string(names[pick(4)]);
    return path;
  }
  std::vector<std::string> pathNames() {
    std::vector<std::string> names;
    const std::string p = path();
    for (size_t start = 0;;) {
      const size_t end = p.find('\\', start);
      names.push_back(p.substr(start, end == std::string::npos ? end : end - start));
      if (end == std::string::npos) return names;
      start = end + 1;
    }
  }
  std::string valueName() {
    static const char* names[] = {"", "v", "W", "x\u0436"};
    return names[pick(4)];
  }
  RegValue value() {
    switch (pick(5)) {
      case 0: return RegValue::fromString("s" + std::to_string(pick(100)));
      case 1: return RegValue::fromDword(static_cast<uint32_t>(random_()));
      case 2: return RegValue::fromMultiString({"m", std::to_string(pick(9))});
      case 3: return RegValue{3, std::vector<uint8_t>(static_cast<size_t>(pick(40)), 0x5a)};
      default: return RegValue::fromString("%e%", RegType::ExpandString);
    }
  }
  RegRoot root() { return pick(2) ? HKLM : HKCU; }

  std::string file() {
    std::vector<RegFileKey> keys;
    for (int k = 0, n = 1 + pick(6); k < n; ++k) {
      RegFileKey key{root(), pathNames(), pick(6) == 0, {}};
      if (!key.remove)
        for (int v = 0, m = pick(3); v < m; ++v)
          key.values.push_back({valueName(), pick(5) ? std::optional<RegValue>(value()) : std::nullopt});
      keys.push_back(std::move(key));
    }
    return writeRegFile(keys);
  }

  void change(Registry& registry) {
    switch (pick(5)) {
      case 0: registry.createKey(root(), path()); break;
      case 1: registry.deleteValue(root(), path(), valueName()); break;
      case 2: registry.deleteTree(root(), path()); break;
      default: registry.writeValue(root(), path(), valueName(), value()); break;
    }
  }

 private:
  int pick(int n) { return static_cast<int>(random_() % static_cast<unsigned>(n)); }
  std::mt19937 random_;
};

TEST_F(ImageRegistryTest, RandomChangesSurviveSaveAndReload) {
  for (unsigned seed = 1; seed <= 40; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    fs::remove_all(folder);
    RandomRegistry random(seed);
    for (const char* name : {"1.reg", "2.reg", "3.reg"}) write(name, random.file());
    auto registry = load();
    ASSERT_TRUE(registry);
    for (int round = 0; round < 4; ++round) {
      for (int k = 0; k < 8; ++k) random.change(*registry);
      saveOk(*registry);
      expectReloadsSame(*registry);
    }
  }
}

}  // namespace
}  // namespace korvane
