// Collect All and Fast Collect through the main window on machine images.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/AppTestSupport.h"

namespace korvane::test {
namespace {

using ::testing::ElementsAre;

std::map<std::string, std::string> drv(const std::string& desc, const std::string& inf, const std::string& provider,
                                       const std::string& id = "pci\\\\ven_1234") {
  return {{"DriverDesc", desc}, {"InfPath", inf}, {"ProviderName", provider}, {"DriverVersion", "1.0"},
          {"DriverDate", "1-2-2005"}, {"MatchingDeviceID", id}};
}

TEST(CollectAll, ListsEveryDriverOnceSortedByCaption) {
  StartedWindow w;
  w.image.registry("classes.reg",
                   driver("{A}", "0000", drv("Zeta Audio", "oem1.inf", "Orvik")) +
                       driver("{A}", "0001", drv("alpha Net", "oem2.inf", "Microsoft")) +
                       // The same description in another class: the same driver on a second device.
                       driver("{B}", "0000", drv("Zeta Audio", "oem9.inf", "Orvik")) +
                       driver("{B}", "0001", drv("Beta Disk", "disk.inf", "Microsoft")));
  TForm1& form = w.start();
  form.BitBtn1Click();
  EXPECT_THAT(w.captions(), ElementsAre("alpha Net", "Beta Disk", "Zeta Audio"));
  EXPECT_EQ(form.Inventory.Count, 3);
  EXPECT_EQ(form.ListView1.Text(2, 1), "oem1.inf") << "the first instance in enumeration order wins";
  EXPECT_EQ(form.StatusBar1, "3 devices are found.");
  ASSERT_EQ(form.Memo1.size(), 7u);
  EXPECT_EQ(form.Memo1.front(), "The above shows all the drivers currently on your system.");
  EXPECT_EQ(form.Memo1.back(), "Click what you want while holding the 'Ctrl' key for multiple selection.");
  EXPECT_THAT(w.view.entries("status: "),
              ElementsAre("Collecting necessary information ...........", "3 devices are found."));
}

TEST(CollectAll, DuplicateOfTheVeryFirstRowIsSkipped) {
  StartedWindow w;
  w.image.registry("c.reg", driver("{A}", "0000", drv("Same", "a.inf", "X")) +
                                driver("{A}", "0001", drv("Same", "b.inf", "Y")));
  TForm1& form = w.start();
  form.BitBtn1Click();
  ASSERT_EQ(form.ListView1.Count(), 1u);
  EXPECT_EQ(form.ListView1.Text(0, 1), "a.inf");
}

TEST(CollectAll, InstanceWithoutInfPathIsSkippedAndInheritsNothing) {
  StartedWindow w;
  w.image.registry("c.reg", driver("{A}", "0000", drv("Full", "full.inf", "Orvik")) +
                                driver("{A}", "0001", {{"DriverDesc", "Half"}, {"ProviderName", "Orvik"}}) +
                                driver("{A}", "0002", {{"InfPath", "bare.inf"}, {"DriverDesc", "Bare"}}));
  TForm1& form = w.start();
  form.BitBtn1Click();
  EXPECT_THAT(w.captions(), ElementsAre("Bare", "Full"));
  const auto& bare = form.Inventory.Row(2);
  EXPECT_EQ(bare.InfPath, "bare.inf");
  EXPECT_EQ(bare.ProviderName, "") << "absent values leave fields empty";
  EXPECT_EQ(bare.DriverVersion, "");
  EXPECT_EQ(bare.MatchingDeviceID, "");
}

TEST(CollectAll, MissingDescriptionGetsNumberedCaption) {
  StartedWindow w;
  std::string reg;
  for (int k = 0; k < 6; ++k)
    reg += driver("{A}", "000" + std::to_string(k), drv("Driver " + std::to_string(k), "d.inf", "X"));
  reg += driver("{A}", "0006", {{"InfPath", "nodesc.inf"}});
  w.image.registry("c.reg", reg);
  TForm1& form = w.start();
  form.BitBtn1Click();
  ASSERT_EQ(form.ListView1.Count(), 7u);
  EXPECT_EQ(form.ListView1.Text(0, 0), "__ No Description 7 __") << "symbols sort before letters";
  EXPECT_EQ(form.ListView1.Text(0, 1), "nodesc.inf");
}

TEST(CollectAll, DriversWithoutDescriptionAreAllKept) {
  // Two different drivers that both lack a description must both be listed,
  // or one of them would be left out of every backup.
  StartedWindow w;
  w.image.registry("c.reg", driver("{A}", "0000", {{"InfPath", "one.inf"}}) +
                                driver("{B}", "0000", {{"InfPath", "two.inf"}}));
  TForm1& form = w.start();
  form.BitBtn1Click();
  EXPECT_THAT(w.captions(), ElementsAre("__ No Description 1 __", "__ No Description 2 __"));
}

TEST(CollectAll, ManufacturerColumnAndVisibleColumns) {
  StartedWindow w;
  w.image.registry("c.reg", driver("{A}", "0000", drv("Ms", "a.inf", "Microsoft")) +
                                driver("{A}", "0001", drv("Other", "b.inf", "Orvik Audio")));
  TForm1& form = w.start();
  form.BitBtn1Click();
  EXPECT_EQ(form.ListView1.Text(0, 4), "Microsoft Corporation");
  EXPECT_EQ(form.ListView1.Text(1, 4), "Orvik Audio");
  EXPECT_EQ(form.Inventory.Row(1).ProviderName, "Microsoft") << "the stored provider never changes";
  EXPECT_EQ(form.ListView1.Columns[2].Width, 60);
  EXPECT_EQ(form.ListView1.Columns[5].Width, 0);
  EXPECT_TRUE(form.ListView1.Columns[3].RightAligned);
}

TEST(CollectAll, EmptyRegistryGivesZeroDevices) {
  StartedWindow w;
  TForm1& form = w.start();
  form.ca1Click();
  EXPECT_EQ(form.ListView1.Count(), 0u);
  EXPECT_EQ(form.StatusBar1, "0 devices are found.");
}

TEST(CollectAll, GrowsPastTwoHundredFiftyFiveRows) {
  StartedWindow w;
  std::string reg;
  for (int k = 0; k < 300; ++k) {
    char instance[8];
    std::snprintf(instance, sizeof instance, "%04d", k);
    reg += driver("{A}", instance, drv("Driver " + std::to_string(k), "d.inf", "X"));
  }
  w.image.registry("c.reg", reg);
  TForm1& form = w.start();
  form.BitBtn1Click();
  EXPECT_EQ(form.ListView1.Count(), 300u);
  EXPECT_EQ(form.StatusBar1, "300 devices are found.");
}

TEST(FastCollect, ListsOnlyProvidersOtherThanExactlyMicrosoft) {
  StartedWindow w;
  w.image.registry("c.reg", driver("{A}", "0000", drv("Ms", "a.inf", "Microsoft")) +
                                driver("{A}", "0001", drv("Lower", "b.inf", "microsoft")) +
                                driver("{A}", "0002", drv("Corp", "c.inf", "Microsoft Corporation")) +
                                driver("{A}", "0003", drv("NoProvider", "d.inf", "")) +
                                driver("{A}", "0004", {{"InfPath", "e.inf"}, {"ProviderName", "Orvik"}}));
  TForm1& form = w.start();
  form.BitBtn8Click();
  EXPECT_THAT(w.captions(), ElementsAre("__ No Description 5 __", "Corp", "Lower", "NoProvider"))
      << "the placeholder keeps the row's number in the inventory";
  EXPECT_EQ(form.Inventory.Count, 4);
  EXPECT_EQ(form.Inventory.Size(), 5) << "the table still holds every collected row";
  EXPECT_EQ(form.StatusBar1, "4 devices are found.");
  ASSERT_EQ(form.Memo1.size(), 3u);
  EXPECT_EQ(form.Memo1[0], "The above shows the drivers you need to backup now.");
  const auto statuses = w.view.entries("status: ");
  EXPECT_NE(std::find(statuses.begin(), statuses.end(), "Sorting ...."), statuses.end());
  EXPECT_TRUE(w.view.entries("memo: The above shows all").empty()) << "Collect All's help text is suppressed";
}

TEST(FastCollect, EverythingFromMicrosoftGivesAnEmptyList) {
  StartedWindow w;
  w.image.registry("c.reg", driver("{A}", "0000", drv("Ms", "a.inf", "Microsoft")));
  TForm1& form = w.start();
  form.can1Click();
  EXPECT_EQ(form.ListView1.Count(), 0u);
  EXPECT_EQ(form.Inventory.Count, 0);
  EXPECT_EQ(form.StatusBar1, "0 devices are found.");
}

TEST(CollectAll, Windows95FamilyReadsServicesClassAndShowsDeviceId) {
  StartedWindow w;
  w.image.set("Version", "Platform", "1").set("Version", "Major", "4").set("Version", "Minor", "10");
  w.image.set("Version", "Build", "0x040A08AE").set("Version", "ProductType", "");
  w.image.registry("c.reg", regKey("HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\Class\\Display\\0000",
                                   drv("Old Display", "oldvga.inf", "Orvik")) +
                                driver("{A}", "0000", drv("NT only", "nt.inf", "Orvik")));
  TForm1& form = w.start();
  form.BitBtn1Click();
  EXPECT_THAT(w.captions(), ElementsAre("Old Display"));
  EXPECT_EQ(form.ListView1.Columns[2].Width, 0);
  EXPECT_EQ(form.ListView1.Columns[4].Width, 112);
  EXPECT_EQ(form.ListView1.Columns[5].Width, 60);
}

TEST(CollectAll, InChineseTheCountStandsBetweenPrefixAndSuffix) {
  StartedWindow w;
  w.image.registry("c.reg", driver("{A}", "0000", drv("One", "a.inf", "X")) +
                                regKey("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Nls\\Language",
                                       {{"InstallLanguage", "0804"}}));
  TForm1& form = w.start();
  form.BitBtn1Click();
  EXPECT_EQ(form.StatusBar1, "共找到 1 个设备。");
  EXPECT_EQ(form.ListView1.Columns[0].Caption, "驱动描述");
}

}  // namespace
}  // namespace korvane::test
