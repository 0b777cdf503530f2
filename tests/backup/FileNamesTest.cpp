#include <gtest/gtest.h>

#include "platform/FileSystem.h"
#include "support/DeviceNameList.h"

namespace korvane::test {
namespace {

TEST(FileNames, DevicesInAnyCaseWithAnyExtension) {
  for (const char* name : kDeviceNames) {
    EXPECT_TRUE(isDeviceName(name)) << name;
    EXPECT_FALSE(nameStaysInFolder(name)) << name;
  }
  for (const char* name : kNamesLikeDevices) {
    EXPECT_FALSE(isDeviceName(name)) << name;
    EXPECT_TRUE(nameStaysInFolder(name)) << name;
  }
  EXPECT_FALSE(isDeviceName(""));
}

// One rule for names from INF files, cabinets and servers. A name that
// Windows would shorten ("a." is "a") is refused as it stands: a name
// given for a new file must be the name it gets; INF names are shortened
// first, as Windows looks them up.
TEST(FileNames, NamesThatStayInTheirFolder) {
  for (const char* name : {"ati2mtag.sys", "Long Name.dll", "a", ".hidden", "..a", "[x].inf", "a;b,c"})
    EXPECT_TRUE(nameStaysInFolder(name)) << name;
  for (const char* name : {"", " ", ".", "..", " . ", "x.", "oem3.inf ", "a\\b", "..\\boot.ini", "a/b", "C:x",
                           "*.*", "a?", "a<b", "a>b", "a|b", "a\"b", "a\tb", "a\rb", "nul.sys", "COM3"})
    EXPECT_FALSE(nameStaysInFolder(name)) << name;
  for (const char* name : {"oem3.inf ", "x.", "a . "})
    EXPECT_TRUE(nameStaysInFolder(withoutTrailingDotsAndSpaces(name))) << name;
}

}  // namespace
}  // namespace korvane::test
