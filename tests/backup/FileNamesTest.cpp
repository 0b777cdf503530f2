#include <gtest/gtest.h>

#include "backup/FileNames.h"
#include "platform/FileSystem.h"
#include "support/DeviceNameList.h"

namespace korvane::test {
namespace {

TEST(FileNames, DevicesInAnyCaseWithAnyExtension) {
  for (const char* name : kDeviceNames) {
    EXPECT_TRUE(isDeviceName(name)) << name;
    EXPECT_FALSE(isPlainFileName(name)) << name;
  }
  for (const char* name : kNamesLikeDevices) {
    EXPECT_FALSE(isDeviceName(name)) << name;
    EXPECT_TRUE(isPlainFileName(name)) << name;
  }
  EXPECT_FALSE(isDeviceName(""));
}

TEST(FileNames, PlainFileNames) {
  for (const char* name : {"ati2mtag.sys", "oem3.inf ", "Long Name.dll", "a", ".hidden", "x.", "[x].inf", "a;b,c"})
    EXPECT_TRUE(isPlainFileName(name)) << name;
  for (const char* name : {"", " ", ".", "..", " . ", "a\\b", "..\\boot.ini", "a/b", "C:x", "*.*", "a?", "a<b",
                           "a>b", "a|b", "a\"b", "a\tb", "a\rb", "nul.sys", "COM3"})
    EXPECT_FALSE(isPlainFileName(name)) << name;
}

}  // namespace
}  // namespace korvane::test
