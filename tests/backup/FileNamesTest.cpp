#include <gtest/gtest.h>

#include "backup/FileNames.h"

namespace korvane {
namespace {

TEST(FileNames, ReservedDevicesWithOrWithoutExtension) {
  for (const char* name : {"CON", "con", "Prn", "AUX", "nul", "NUL.sys", "nul .txt", "COM1", "com9.dll", "LPT1", "lpt9"})
    EXPECT_TRUE(isReservedDeviceName(name)) << name;
  for (const char* name : {"COM0", "COM10", "LPT", "console.sys", "nullmdm.inf", "xcon", "AUX1", ""})
    EXPECT_FALSE(isReservedDeviceName(name)) << name;
}

TEST(FileNames, PlainFileNames) {
  for (const char* name : {"ati2mtag.sys", "oem3.inf ", "Long Name.dll", "a", ".hidden", "x.", "[x].inf", "a;b,c"})
    EXPECT_TRUE(isPlainFileName(name)) << name;
  for (const char* name : {"", " ", ".", "..", " . ", "a\\b", "..\\boot.ini", "a/b", "C:x", "*.*", "a?", "a<b",
                           "a>b", "a|b", "a\"b", "a\tb", "a\rb", "nul.sys", "COM3"})
    EXPECT_FALSE(isPlainFileName(name)) << name;
}

}  // namespace
}  // namespace korvane
