// Finding the driver-store package of a driver: by the DriverDatabase keys,
// by the INF's bytes when the keys are missing or wrong, and never outside
// FileRepository whatever the registry or the disk names.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>

#include "backup/DriverPackage.h"
#include "support/TestMachine.h"

namespace korvane::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kRepository = "WINDOWS\\system32\\DriverStore\\FileRepository\\";
constexpr const char* kTess = "tessgfx.inf_amd64_0123456789abcdef";
const std::string kTessInf = "[Version]\r\nSignature=\"$Windows NT$\"\r\nCatalogFile=tessgfx.cat\r\n; tess\r\n";

// A REG_MULTI_SZ value as a version 5 export writes it.
std::string multiString(const std::vector<std::string>& items) {
  std::string hex = "hex(7):";
  const auto add = [&](unsigned char byte) {
    char text[4];
    std::snprintf(text, sizeof text, "%02x,", byte);
    hex += text;
  };
  for (const auto& item : items) {
    for (const char c : item) add(static_cast<unsigned char>(c)), add(0);
    add(0), add(0);
  }
  add(0), add(0);
  hex.pop_back();
  return hex;
}

std::string regString(std::string text) {
  std::string quoted;
  for (const char c : text) quoted += c == '\\' ? std::string("\\\\") : std::string(1, c);
  return "\"" + quoted + "\"";
}

// A Windows 10 machine with the tess package in the store, copied to
// Windows\INF\oem3.inf, and the given DriverDatabase keys.
struct StoreMachine {
  ImageBuilder image;
  DriverPackageCache cache;
  std::vector<PackageNote> notes;

  StoreMachine() {
    image.set("Version", "Major", "10").set("Version", "Minor", "0").set("Version", "Build", "19045");
    package(kTess, "tessgfx.inf", kTessInf);
    image.file(std::string(kRepository) + kTess + "\\tessgfx.cat", "cat");
    image.file(std::string(kRepository) + kTess + "\\x64\\tessfw.bin", "fw");
    image.file("WINDOWS\\inf\\oem3.inf", kTessInf);
  }
  StoreMachine& package(const std::string& folder, const std::string& inf, const std::string& text) {
    image.file(std::string(kRepository) + folder + "\\" + inf, text);
    return *this;
  }
  // DriverInfFiles\<inf> with its package list and Active, and the
  // DriverPackages key of each package published as the given INF.
  StoreMachine& keys(const std::string& inf, const std::vector<std::string>& packages, const std::string& active,
                     const std::string& publishedAs) {
    std::string body = "[HKEY_LOCAL_MACHINE\\SYSTEM\\DriverDatabase\\DriverInfFiles\\" + inf + "]\r\n@=" +
                       multiString(packages) + "\r\n";
    if (!active.empty()) body += "\"Active\"=" + regString(active) + "\r\n";
    for (const auto& name : packages)
      body += "\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\DriverDatabase\\DriverPackages\\" + name + "]\r\n@=" +
              regString(publishedAs) + "\r\n";
    image.registry("driverdb-" + inf + ".reg", body + "\r\n");
    return *this;
  }
  std::optional<DriverPackage> find(const std::string& inf) {
    return FindDriverPackage(image.open(), inf, cache, notes);
  }
};

TEST(DriverPackage, TheDriverDatabaseNamesTheActivePackage) {
  StoreMachine m;
  const std::string older = "tessgfx.inf_amd64_fedcba9876543210";
  m.package(older, "tessgfx.inf", "[Version]\r\n; an older tess\r\n");
  m.keys("oem3.inf", {older, kTess}, kTess, "OEM3.INF");
  const auto package = m.find("oem3.inf");
  ASSERT_TRUE(package);
  EXPECT_EQ(package->how, DriverPackage::How::Registry);
  EXPECT_EQ(package->name, kTess);
  EXPECT_EQ(package->folder, "C:\\WINDOWS\\system32\\DriverStore\\FileRepository\\" + std::string(kTess));
  EXPECT_EQ(package->inf, package->folder + "\\tessgfx.inf");
  EXPECT_EQ(package->catalog, package->folder + "\\tessgfx.cat");
  EXPECT_THAT(PackageEntries(m.image.open().files(), *package),
              ElementsAre(package->folder + "\\tessgfx.cat", package->folder + "\\tessgfx.inf",
                          package->folder + "\\x64"))
      << "files first, the sub-folder whole";

  // Without Active the first package of the list is the one.
  StoreMachine first;
  first.package(older, "tessgfx.inf", "[Version]\r\n; an older tess\r\n");
  first.keys("oem3.inf", {older, kTess}, "", "oem3.inf");
  ASSERT_TRUE(first.find("oem3.inf"));
  EXPECT_EQ(first.find("oem3.inf")->name, older);
  EXPECT_THAT(first.notes, IsEmpty());
}

// Keys that are missing, point at a folder that is gone, or belong to another
// INF: the package is the folder whose INF has oemN.inf's very bytes.
TEST(DriverPackage, WithoutUsableKeysTheSameInfFindsThePackage) {
  const std::string gone = "tessgfx.inf_amd64_00000000deadbeef";
  const std::string sameSize = std::string(kTessInf).replace(kTessInf.find("tess\r\n"), 4, "TESS");
  const auto withOtherPackages = [&](StoreMachine& m) -> StoreMachine& {
    m.package("other.inf_amd64_1111111111111111", "other.inf", sameSize);  // same size, other bytes
    m.package("aaa.inf_amd64_2222222222222222", "aaa.inf", "[Version]\r\n");
    return m;
  };
  struct Case {
    const char* what;
    std::vector<std::string> packages;
    std::string publishedAs;
  };
  for (const Case& c : {Case{"no keys", {}, ""}, Case{"a missing folder", {gone}, "oem3.inf"},
                        Case{"another INF's package", {kTess}, "oem9.inf"}}) {
    StoreMachine m;
    withOtherPackages(m);
    if (!c.packages.empty()) m.keys("oem3.inf", c.packages, "", c.publishedAs);
    const auto package = m.find("oem3.inf");
    ASSERT_TRUE(package) << c.what;
    EXPECT_EQ(package->how, DriverPackage::How::SameInf) << c.what;
    EXPECT_EQ(package->name, kTess) << c.what;
    EXPECT_EQ(package->inf, package->folder + "\\tessgfx.inf") << c.what;
  }

  // A package key without its published name is no confirmation either.
  StoreMachine unnamed;
  unnamed.image.registry("db.reg", "[HKEY_LOCAL_MACHINE\\SYSTEM\\DriverDatabase\\DriverInfFiles\\oem3.inf]\r\n"
                                   "\"Active\"=\"" + std::string(kTess) + "\"\r\n\r\n"
                                   "[HKEY_LOCAL_MACHINE\\SYSTEM\\DriverDatabase\\DriverPackages\\" + kTess + "]\r\n\r\n");
  ASSERT_TRUE(unnamed.find("oem3.inf"));
  EXPECT_EQ(unnamed.find("oem3.inf")->how, DriverPackage::How::SameInf);

  // One cache serves a whole run: a second driver is found from the same listing.
  StoreMachine two;
  two.package("nic.inf_amd64_3333333333333333", "nic.inf", "[Version]\r\n; nic\r\n");
  two.image.file("WINDOWS\\inf\\oem4.inf", "[Version]\r\n; nic\r\n");
  ASSERT_TRUE(two.find("oem3.inf"));
  ASSERT_TRUE(two.find("oem4.inf"));
  EXPECT_EQ(two.find("oem4.inf")->name, "nic.inf_amd64_3333333333333333");
  EXPECT_FALSE(two.find("oem5.inf")) << "no INF, no package";
}

// Names from the registry that would lead out of FileRepository are ignored
// with a note; the INF's bytes still find the real package.
TEST(DriverPackage, HostilePackageNamesAreIgnored) {
  for (const std::string hostile : {"..\\..\\Temp", "a\\b", "a/b", "..", "C:x", "x.inf_amd64_1..\\2"}) {
    StoreMachine m;
    m.image.file("WINDOWS\\system32\\Temp\\tessgfx.inf", kTessInf);  // where "..\\..\\Temp" leads
    m.keys("oem3.inf", {hostile}, hostile, "oem3.inf");
    const auto package = m.find("oem3.inf");
    ASSERT_TRUE(package) << hostile;
    EXPECT_EQ(package->name, kTess) << hostile;
    EXPECT_EQ(package->how, DriverPackage::How::SameInf) << hostile;
    ASSERT_EQ(m.notes.size(), 1u) << hostile;
    EXPECT_EQ(m.notes[0].infName, "oem3.inf");
    EXPECT_EQ(m.notes[0].package, hostile);
  }
  // An INF name that is no plain file name is not looked up at all.
  StoreMachine m;
  EXPECT_FALSE(m.find("..\\INF\\oem3.inf"));
  EXPECT_FALSE(m.find("C:\\WINDOWS\\INF\\oem3.inf"));
  EXPECT_FALSE(m.find(""));
}

TEST(DriverPackage, NoStoreNoPackage) {
  // Windows XP keeps no driver store, whatever its disk holds.
  StoreMachine xp;
  xp.image.set("Version", "Major", "5").set("Version", "Minor", "1");
  xp.keys("oem3.inf", {kTess}, kTess, "oem3.inf");
  EXPECT_FALSE(xp.find("oem3.inf"));
  EXPECT_EQ(DriverRepositoryFolder(xp.image.open()), "");

  // Vista without FileRepository: nothing found, nothing broken.
  ImageBuilder vista;
  vista.set("Version", "Major", "6").set("Version", "Minor", "0");
  vista.file("WINDOWS\\inf\\oem3.inf", kTessInf);
  DriverPackageCache cache;
  std::vector<PackageNote> notes;
  EXPECT_FALSE(FindDriverPackage(vista.open(), "oem3.inf", cache, notes));
  EXPECT_TRUE(HasDriverStore(vista.open()));

  // A package folder whose own INF is gone is no package.
  StoreMachine noInf;
  noInf.keys("oem3.inf", {"lost.inf_amd64_4444444444444444"}, "", "oem3.inf");
  noInf.image.file(std::string(kRepository) + "lost.inf_amd64_4444444444444444\\lost.sys", "x");
  noInf.image.file("WINDOWS\\inf\\oem3.inf", "[Version]\r\n; lost\r\n");
  EXPECT_FALSE(noInf.find("oem3.inf"));
}

}  // namespace
}  // namespace korvane::test
