// The system-details component on machine images.
#include <gtest/gtest.h>

#include "app/AppTestSupport.h"
#include "components/ahmtsystemdetails/TAHMSystemDetails.h"

namespace korvane::test {
namespace {

struct Version {
  const char* platform;
  const char* major;
  const char* minor;
  const char* build;
};

std::string operatingSystemOf(const Version& version) {
  ImageBuilder image;
  image.set("Version", "Platform", version.platform).set("Version", "Major", version.major);
  image.set("Version", "Minor", version.minor).set("Version", "Build", version.build);
  TAHMSystemDetails details(image.open());
  return details.OperatingSystem();
}

TEST(SystemDetails, OperatingSystemByPlatform) {
  EXPECT_EQ(operatingSystemOf({"2", "5", "0", "2195"}), "Windows NT");
  EXPECT_EQ(operatingSystemOf({"2", "5", "1", "2600"}), "Windows NT");
  EXPECT_EQ(operatingSystemOf({"1", "4", "90", "0x045A0BB8"}), "Windows 98") << "Me";
  EXPECT_EQ(operatingSystemOf({"1", "4", "10", "0x040A08AE"}), "Windows 98");
  EXPECT_EQ(operatingSystemOf({"1", "4", "0", "0x040003B6"}), "Windows 95");
  EXPECT_EQ(operatingSystemOf({"0", "3", "11", "0"}), "Windows 3.1");
  EXPECT_EQ(operatingSystemOf({"7", "1", "0", "0"}), "") << "an unknown platform";
}

// Vista and later: a name of their own, but the NT family for every path and key.
TEST(SystemDetails, LaterSystemsHaveTheirNamesAndStayNtFamily) {
  struct Case {
    Version version;
    const char* productType;
    const char* name;
  };
  const Case cases[] = {
      {{"2", "6", "0", "6002"}, "1", "Windows Vista"},        {{"2", "6", "1", "7601"}, "1", "Windows 7"},
      {{"2", "6", "2", "9200"}, "1", "Windows 8"},            {{"2", "6", "3", "9600"}, "1", "Windows 8.1"},
      {{"2", "10", "0", "19045"}, "1", "Windows 10"},         {{"2", "10", "0", "21999"}, "", "Windows 10"},
      {{"2", "10", "0", "22000"}, "1", "Windows 11"},         {{"2", "10", "0", "26100"}, "1", "Windows 11"},
      {{"2", "6", "0", "6003"}, "3", "Windows Server 2008"},  {{"2", "6", "1", "7601"}, "2", "Windows Server 2008 R2"},
      {{"2", "6", "3", "9600"}, "3", "Windows Server 2012 R2"}, {{"2", "10", "0", "14393"}, "3", "Windows Server 2016"},
      {{"2", "10", "0", "17763"}, "3", "Windows Server 2019"}, {{"2", "10", "0", "20348"}, "2", "Windows Server 2022"},
      {{"2", "10", "0", "26100"}, "3", "Windows Server 2025"},
      {{"2", "11", "0", "30000"}, "1", "Windows 11"},  // newer than every known version: the newest name
      {{"2", "5", "1", "2600"}, "1", ""},              {{"2", "5", "2", "3790"}, "3", ""},
      {{"1", "6", "0", "6002"}, "1", ""}};
  for (const auto& [version, productType, name] : cases) {
    ImageBuilder image;
    image.set("Version", "Platform", version.platform).set("Version", "Major", version.major);
    image.set("Version", "Minor", version.minor).set("Version", "Build", version.build);
    image.set("Version", "ProductType", productType);
    TAHMSystemDetails details(image.open());
    EXPECT_EQ(details.SystemName(), name) << version.major << "." << version.minor << "." << version.build;
    EXPECT_EQ(details.IsNTFamily(), std::string(version.platform) == "2") << name;
    EXPECT_EQ(details.BuildNumber(), version.build) << "the whole build";
  }
}

TEST(SystemDetails, Windows95FamilyKeepsTheLowWordOfTheBuild) {
  ImageBuilder image;
  image.set("Version", "Platform", "1").set("Version", "Major", "4").set("Version", "Minor", "10");
  image.set("Version", "Build", "0x040A08AE").set("System", "Plus", "1");
  TAHMSystemDetails details(image.open());
  EXPECT_EQ(details.BuildNumber(), "2222");
  EXPECT_EQ(details.VersionNumber(), "4.10");
  EXPECT_TRUE(details.Plus());
}

TEST(SystemDetails, NtFamilyHasNoPlusAndTheWholeBuild) {
  ImageBuilder image;
  image.set("System", "Plus", "1");
  TAHMSystemDetails details(image.open());
  EXPECT_FALSE(details.Plus());
  EXPECT_EQ(details.BuildNumber(), "2600");
  EXPECT_EQ(details.VersionNumber(), "5.1");
  EXPECT_EQ(details.PlatformCSD(), "Service Pack 3");
}

TEST(SystemDetails, ProcessorNamesAndLevels) {
  const std::tuple<const char*, const char*, const char*, const char*> cases[] = {
      {"0", "3", "Intel", "80386"},  {"0", "5", "Intel", "Pentium"}, {"0", "6", "Intel", "Pentium2"},
      {"0", "9", "Intel", "Pentium5"}, {"0", "15", "Intel", "Unknown"}, {"2", "5", "Alpha", "Unknown"},
      {"5", "0", "Arm", "Unknown"},   {"9", "6", "Unknown Processor", "Unknown"}};
  for (const auto& [architecture, level, type, name] : cases) {
    ImageBuilder image;
    image.set("System", "ProcessorArchitecture", architecture).set("System", "ProcessorLevel", level);
    image.set("System", "Processors", "2");
    TAHMSystemDetails details(image.open());
    EXPECT_EQ(details.ProcessorType(), type) << architecture;
    EXPECT_EQ(details.ProcessorLevel(), name) << architecture << "/" << level;
    EXPECT_EQ(details.NoOfProcessors(), 2);
  }
}

TEST(SystemDetails, OwnerFromTheFamilysKeyOrEmpty) {
  {
    ImageBuilder image;
    TAHMSystemDetails details(image.open());
    EXPECT_EQ(details.RegisteredOwner(), "");
    EXPECT_EQ(details.RegisteredCompany(), "");
  }
  ImageBuilder image;
  image.registry("owner.reg", regKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                                     {{"RegisteredOwner", "Anna"}, {"RegisteredOrganization", "Lindenhof"}}) +
                                  regKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                                         {{"RegisteredOwner", "Wrong family"}}));
  TAHMSystemDetails details(image.open());
  EXPECT_EQ(details.RegisteredOwner(), "Anna");
  EXPECT_EQ(details.RegisteredCompany(), "Lindenhof");
}

TEST(SystemDetails, CurrentFolderIsReadWhenAsked) {
  ImageBuilder image;
  Machine& machine = image.open();
  TAHMSystemDetails details(machine);
  int updates = 0;
  details.OnUpdate = [&](TAHMSystemDetails&) { ++updates; };
  EXPECT_EQ(details.DirectoryCurrent(), "C:\\");
  ASSERT_TRUE(machine.files().setCurrentDirectory("C:\\WINDOWS\\system32"));
  EXPECT_EQ(details.DirectoryCurrent(), "C:\\WINDOWS\\system32");
  EXPECT_EQ(updates, 2) << "each read refreshes";
  EXPECT_EQ(details.DirectoryTemp(), "C:\\TEMP\\");
  EXPECT_EQ(details.DirectorySystem(), "C:\\WINDOWS\\system32");
}

TEST(SystemDetails, FailedQueriesLeaveValuesEmpty) {
  ImageBuilder image;
  image.set("System", "ComputerName", "").set("System", "UserName", "").set("System", "LanguageName", "");
  image.set("Version", "Platform", "");
  TAHMSystemDetails details(image.open());
  EXPECT_EQ(details.ComputerName(), "");
  EXPECT_EQ(details.UserName(), "");
  EXPECT_EQ(details.Language(), "");
  EXPECT_EQ(details.OperatingSystem(), "");
  EXPECT_EQ(details.BuildNumber(), "");
}

}  // namespace
}  // namespace korvane::test
