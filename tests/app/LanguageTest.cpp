// The language commands: captions, check marks, the Chinese special cases.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/AppTestSupport.h"
#include "app/Captions.h"

namespace korvane::test {
namespace {

constexpr const char* kItems[] = {"English1", "French1", "Spanish1", "Russian1", "Chinese1", "ChineseTW"};

int checkedItems(TForm1& form) {
  int checked = 0;
  for (const char* item : kItems) checked += form.Control(item).Checked ? 1 : 0;
  return checked;
}

std::string installLanguage(const std::string& code) {
  return regKey("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Nls\\Language", {{"InstallLanguage", code}});
}

TEST(Languages, EverySwitchChecksExactlyOneItemAndSetsCaptions) {
  StartedWindow w;
  TForm1& form = w.start();
  form.French1Click();
  EXPECT_EQ(form.CurrentLanguage, "French");
  EXPECT_EQ(checkedItems(form), 1);
  EXPECT_TRUE(form.Control("French1").Checked);
  EXPECT_EQ(form.Control("BitBtn8").Caption, "Pilotes\rhors-Microsoft");
  EXPECT_EQ(form.Control("Button1").Caption, "Commencer");
  EXPECT_EQ(form.Control("Russian1").Caption, "русского");
  EXPECT_EQ(form.ListView1.Columns[4].Caption, "Manufacteur");
  form.Russian1Click();
  EXPECT_EQ(checkedItems(form), 1);
  EXPECT_EQ(form.Control("Russian1").Caption, "Русский");
  EXPECT_EQ(form.Control("Collect1").Caption, "&Поиск");
  EXPECT_EQ(form.ListView1.Columns[5].Caption, "ID Устройства");
  form.English1Click();
  EXPECT_EQ(form.Control("ma").Caption, "Backup only selected");
  EXPECT_EQ(form.Caption, "Korvane 3.11");
}

TEST(Languages, SpanishLeavesTheEnglishAndRussianItemCaptions) {
  StartedWindow w;
  TForm1& form = w.start();
  form.French1Click();  // Russian1 now reads "русского"
  form.Spanish1Click();
  EXPECT_EQ(form.Control("Russian1").Caption, "русского");
  EXPECT_EQ(form.Control("Spanish1").Caption, "Español");
  EXPECT_EQ(form.Control("Help1").Caption, "&Ayuda");
}

TEST(Languages, EveryCaptionRowIsAppliedInItsLanguage) {
  StartedWindow w;
  TForm1& form = w.start();
  const std::pair<void (TForm1::*)(), Lang> commands[] = {
      {&TForm1::English1Click, Lang::English}, {&TForm1::French1Click, Lang::French},
      {&TForm1::Spanish1Click, Lang::Spanish}, {&TForm1::Russian1Click, Lang::Russian},
      {&TForm1::Chinese1Click, Lang::Chinese}, {&TForm1::ChineseTWClick, Lang::ChineseTW}};
  for (const auto& [command, lang] : commands) {
    (form.*command)();
    for (const auto& row : CaptionTable())
      EXPECT_EQ(form.Control(std::string(row.control)).Caption, row.texts[static_cast<size_t>(lang)])
          << row.control << " in " << languageName(lang);
  }
}

TEST(Languages, ChineseStartShowsItemsAndSetsFontAndWidths) {
  StartedWindow w;
  w.image.registry("lang.reg", installLanguage("0804"));
  TForm1& form = w.start();
  EXPECT_EQ(form.Caption, "Korvane 2005");
  EXPECT_TRUE(form.Control("Chinese1").Visible);
  EXPECT_EQ(form.Control("BitBtn1").FontName, "宋体");
  EXPECT_EQ(form.Control("Memo1").FontSize, 9);
  EXPECT_EQ(form.ListView1.Columns[2].Width, 70);
  EXPECT_EQ(form.ListView1.Columns[3].Width, 76);
  // Switching away keeps the font and the widths until the next start.
  form.English1Click();
  EXPECT_EQ(form.Control("BitBtn1").FontName, "宋体");
  EXPECT_EQ(form.ListView1.Columns[3].Width, 76);
  EXPECT_TRUE(form.Control("Chinese1").Visible) << "visibility is decided once, at start";
}

TEST(Languages, TaiwanSetsWidthsAndMemoSizeOnly) {
  StartedWindow w;
  w.image.registry("lang.reg", installLanguage("0404"));
  TForm1& form = w.start();
  EXPECT_EQ(form.CurrentLanguage, "Chinese(Taiwan Province)");
  EXPECT_EQ(form.Control("Memo1").FontSize, 9);
  EXPECT_EQ(form.Control("BitBtn1").FontName, "") << "no Chinese font for the Taiwan language";
  EXPECT_EQ(form.ListView1.Columns[2].Width, 70);
  EXPECT_EQ(form.Control("BitBtn4").Caption, "恢復驅動");
}

TEST(Languages, ChosenLanguageIsKeptAtShutdown) {
  StartedWindow w;
  TForm1& form = w.start();
  form.Spanish1Click();
  ASSERT_TRUE(form.FormCloseQuery());
  auto again = w.image.reopen();
  EXPECT_EQ(again->profiles().readString("Korvane.ini", "Interface", "Language", "?"), "Spanish");
}

TEST(Messages, FormatFillsPlaceholdersInOrder) {
  EXPECT_EQ(formatMessage("Unable to write to %s", {"C:\\x.ini"}), "Unable to write to C:\\x.ini");
  EXPECT_EQ(formatMessage("%d of %s", {"3", "7"}), "3 of 7");
  EXPECT_EQ(formatMessage("100% %s", {"done"}), "100% done");
  EXPECT_EQ(formatMessage("%s and %s", {"one"}), "one and %s") << "missing arguments leave the placeholder";
}

TEST(Messages, LookupByLanguageName) {
  EXPECT_EQ(message(Msg::StatusSorting, "Russian").value_or(""), "Сортировка ....");
  EXPECT_FALSE(message(Msg::StatusSorting, "russian")) << "names compare exactly";
  EXPECT_EQ(languageNamed("rUSSIAN"), Lang::Russian) << "unless a person typed them";
  EXPECT_FALSE(languageNamed("Russia"));
  EXPECT_FALSE(message(Msg::StatusSorting, ""));
}

}  // namespace
}  // namespace korvane::test
