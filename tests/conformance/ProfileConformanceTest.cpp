// Initialisation files: the rules of the system's private-profile functions,
// checked on our image layer and on the real functions alike.
#include "conformance/ConformanceSupport.h"

namespace korvane::test {
namespace {

using Strings = std::vector<std::string>;

const char* const kDriverIni =
    "; leading comment\r\n"
    "[Version]\r\n"
    "Signature=\"$Windows NT$\"\r\n"
    "  Class  =  Net  \r\n"
    "Provider=%Vendor%\r\n"
    "\r\n"
    "[ SourceDisksFiles ]\r\n"
    "netdrv.sys = 1\r\n"
    "netdrv.dll\r\n"
    "; a comment between the lines\r\n"
    "netdrv.hlp=1,,\r\n"
    "[Strings]\r\n"
    "Vendor=First\r\n"
    "VENDOR=Second\r\n"
    "empty=\r\n"
    "[strings]\r\n"
    "Other=from the repeated section\r\n";

class ProfileConformance : public ConformanceTest {
 protected:
  ProfileFiles& profiles() { return machine().profiles(); }

  std::string writeIni(const std::string& name, const std::string& bytes) {
    const std::string path = scratchPath(name);
    EXPECT_TRUE(files().writeFile(path, bytes)) << path;
    return path;
  }

  std::string read(const std::string& file, const std::string& section, const std::string& key,
                   const std::string& fallback = "<none>") {
    return profiles().readString(file, section, key, fallback);
  }
};

TEST_F(ProfileConformance, TrimsSpacesAroundKeysAndValues) {
  const std::string ini = writeIni("driver.inf", kDriverIni);
  EXPECT_EQ(read(ini, "Version", "Class"), "Net");
  EXPECT_EQ(read(ini, "SourceDisksFiles", "netdrv.sys"), "1");
  EXPECT_EQ(read(ini, "SourceDisksFiles", "netdrv.hlp"), "1,,");
}

TEST_F(ProfileConformance, SectionsAndKeysIgnoreCase) {
  const std::string ini = writeIni("driver.inf", kDriverIni);
  EXPECT_EQ(read(ini, "VERSION", "class"), "Net");
  EXPECT_EQ(read(ini, "sourcedisksfiles", "NETDRV.SYS"), "1");
}

TEST_F(ProfileConformance, FirstOccurrenceOfKeyAndSectionWins) {
  const std::string ini = writeIni("driver.inf", kDriverIni);
  EXPECT_EQ(read(ini, "Strings", "vendor"), "First");
  // The second [strings] is never reached: its keys are not found.
  EXPECT_EQ(read(ini, "Strings", "Other"), "<none>");
}

TEST_F(ProfileConformance, RemovesOnePairOfSurroundingQuotes) {
  const std::string ini = writeIni("quotes.ini",
                                   "[Q]\r\n"
                                   "double=\"text\"\r\n"
                                   "single='text'\r\n"
                                   "opened=\"text\r\n"
                                   "mixed=\"text'\r\n"
                                   "inner=\"a\" b \"c\"\r\n"
                                   "twice=\"\"text\"\"\r\n"
                                   "spaced=  \" padded \"  \r\n");
  EXPECT_EQ(read(ini, "Q", "double"), "text");
  EXPECT_EQ(read(ini, "Q", "single"), "text");
  EXPECT_EQ(read(ini, "Q", "opened"), "\"text");
  EXPECT_EQ(read(ini, "Q", "mixed"), "\"text'");
  EXPECT_EQ(read(ini, "Q", "inner"), "a\" b \"c");
  EXPECT_EQ(read(ini, "Q", "twice"), "\"text\"");
  // The quotes keep the spaces inside them.
  EXPECT_EQ(read(ini, "Q", "spaced"), " padded ");
}

TEST_F(ProfileConformance, LineWithoutEqualsIsAKeyWithEmptyValue) {
  const std::string ini = writeIni("driver.inf", kDriverIni);
  const Strings keys = profiles().keyNames(ini, "SourceDisksFiles");
  EXPECT_NE(std::find(keys.begin(), keys.end(), "netdrv.dll"), keys.end());
  EXPECT_EQ(read(ini, "SourceDisksFiles", "netdrv.dll", ""), "");
  // Wine answers such a key with the fallback; Windows has it empty.
  if (!runningOnWine()) {
    EXPECT_EQ(read(ini, "SourceDisksFiles", "netdrv.dll", "fallback"), "");
  }
}

TEST_F(ProfileConformance, EmptyValueIsNotTheFallback) {
  const std::string ini = writeIni("driver.inf", kDriverIni);
  EXPECT_EQ(read(ini, "Strings", "empty"), "");
}

TEST_F(ProfileConformance, CommentLinesAreNeitherKeysNorValues) {
  const std::string ini = writeIni("driver.inf", kDriverIni);
  EXPECT_EQ(profiles().keyNames(ini, "SourceDisksFiles"), (Strings{"netdrv.sys", "netdrv.dll", "netdrv.hlp"}));
  EXPECT_EQ(read(ini, "SourceDisksFiles", "netdrv.hlp"), "1,,");
}

TEST_F(ProfileConformance, MissingFileSectionOrKeyGivesTheFallback) {
  const std::string ini = writeIni("driver.inf", kDriverIni);
  EXPECT_EQ(read(scratchPath("absent.ini"), "Version", "Class", "fb1"), "fb1");
  EXPECT_EQ(read(ini, "NoSuchSection", "Class", "fb2"), "fb2");
  EXPECT_EQ(read(ini, "Version", "NoSuchKey", "fb3"), "fb3");
  EXPECT_TRUE(profiles().sectionNames(scratchPath("absent.ini")).empty());
  EXPECT_TRUE(profiles().keyNames(ini, "NoSuchSection").empty());
}

TEST_F(ProfileConformance, ListsSectionNamesInFileOrderTrimmed) {
  const std::string ini = writeIni("driver.inf", kDriverIni);
  Strings names = profiles().sectionNames(ini);
  ASSERT_GE(names.size(), 3u);
  // Whether a repeated section is listed twice is left open: only the first three count.
  names.resize(3);
  EXPECT_EQ(names, (Strings{"Version", "SourceDisksFiles", "Strings"}));
}

TEST_F(ProfileConformance, ListsKeyNamesInFileOrderAsWritten) {
  const std::string ini = writeIni("driver.inf", kDriverIni);
  EXPECT_EQ(profiles().keyNames(ini, "version"), (Strings{"Signature", "Class", "Provider"}));
}

TEST_F(ProfileConformance, WriteCreatesFileSectionAndKey) {
  const std::string ini = scratchPath("Korvane.ini");
  ASSERT_TRUE(profiles().writeString(ini, "Folder", "Backup", "D:\\Drivers"));
  ASSERT_TRUE(profiles().writeString(ini, "Interface", "Language", "French"));
  EXPECT_TRUE(files().exists(ini));
  EXPECT_EQ(read(ini, "Folder", "Backup"), "D:\\Drivers");
  EXPECT_EQ(read(ini, "interface", "language"), "French");
  EXPECT_EQ(profiles().sectionNames(ini), (Strings{"Folder", "Interface"}));
}

TEST_F(ProfileConformance, WriteReplacesTheValueAndKeepsTheRest) {
  const std::string ini = writeIni("settings.ini", "[Proxy]\r\nAddress=10.0.0.1\r\nPort=8080\r\n[Other]\r\nx=1\r\n");
  ASSERT_TRUE(profiles().writeString(ini, "PROXY", "address", "192.168.1.1"));
  ASSERT_TRUE(profiles().writeString(ini, "Proxy", "Login", "user"));
  EXPECT_EQ(read(ini, "Proxy", "Address"), "192.168.1.1");
  EXPECT_EQ(read(ini, "Proxy", "Port"), "8080");
  EXPECT_EQ(read(ini, "Other", "x"), "1");
  EXPECT_EQ(profiles().keyNames(ini, "Proxy").size(), 3u);
  EXPECT_EQ(read(ini, "Proxy", "Login"), "user");
  EXPECT_EQ(profiles().sectionNames(ini), (Strings{"Proxy", "Other"}));
}

TEST_F(ProfileConformance, EmptyWrittenValueReadsEmpty) {
  const std::string ini = scratchPath("settings.ini");
  ASSERT_TRUE(profiles().writeString(ini, "Proxy", "Password", ""));
  EXPECT_EQ(read(ini, "Proxy", "Password"), "");
  EXPECT_EQ(profiles().keyNames(ini, "Proxy"), (Strings{"Password"}));
}

TEST_F(ProfileConformance, Utf16FileReadsLikeAnEightBitOne) {
  const std::string ansi = writeIni("ansi.inf", kDriverIni);
  const std::string wide = writeIni("wide.inf", "\xFF\xFE" + utf8ToUtf16leBytes(kDriverIni));
  EXPECT_EQ(profiles().sectionNames(wide), profiles().sectionNames(ansi));
  for (const auto& section : {"Version", "SourceDisksFiles", "Strings"}) {
    EXPECT_EQ(profiles().keyNames(wide, section), profiles().keyNames(ansi, section)) << section;
    for (const auto& key : profiles().keyNames(ansi, section))
      EXPECT_EQ(read(wide, section, key), read(ansi, section, key)) << section << "/" << key;
  }
}

TEST_F(ProfileConformance, Utf16FileKeepsTextBeyondTheCodePage) {
  const std::string text = "Ж\xC3\xA9\xE4\xB8\xAD";  // Cyrillic, Latin-1 and CJK letters
  const std::string ini = writeIni("wide.inf", "\xFF\xFE" + utf8ToUtf16leBytes("[Strings]\r\nName=" + text + "\r\n"));
  EXPECT_EQ(read(ini, "Strings", "Name"), text);
  ASSERT_TRUE(profiles().writeString(ini, "Strings", "Added", text));
  EXPECT_EQ(read(ini, "Strings", "Added"), text);
  EXPECT_EQ(read(ini, "Strings", "Name"), text);
  const auto bytes = files().readFile(ini);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(bytes->substr(0, 2), "\xFF\xFE") << "a write keeps the file in UTF-16";
}

TEST_F(ProfileConformance, LongValuesAndListsComeBackWhole) {
  const std::string longValue(3000, 'v');
  std::string text = "[Long]\r\nvalue=" + longValue + "\r\n";
  Strings sections, keys;
  for (int k = 0; k < 300; ++k) {
    keys.push_back("key" + std::to_string(k));
    text += keys.back() + "=" + std::to_string(k) + "\r\n";
  }
  for (int k = 0; k < 300; ++k) {
    sections.push_back("Section" + std::to_string(k));
    text += "[" + sections.back() + "]\r\n";
  }
  const std::string ini = writeIni("long.ini", text);
  EXPECT_EQ(read(ini, "Long", "value"), longValue);
  keys.insert(keys.begin(), "value");
  EXPECT_EQ(profiles().keyNames(ini, "Long"), keys);
  sections.insert(sections.begin(), "Long");
  EXPECT_EQ(profiles().sectionNames(ini), sections);
}

}  // namespace
}  // namespace korvane::test
