// Backup and Restore IE Favorites through the main window, on the sample
// images of both families.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "plugins/PluginsTestSupport.h"

namespace korvane::test {
namespace {

using ::testing::ElementsAre;

struct Family {
  const char* sample;
  const char* favorites;  // below C:
  const char* windowsPath;
};

const Family kXp{"xp", "Documents and Settings/anna/Favorites", "C:\\Documents and Settings\\anna\\Favorites"};
const Family k98{"win98", "WINDOWS/Favorites", "C:\\WINDOWS\\Favorites"};

class FavoritesPlugin : public ::testing::TestWithParam<Family> {
 protected:
  const Family& family() const { return GetParam(); }
};

TEST_P(FavoritesPlugin, BackupThenRestoreOntoASystemWithoutFavoritesRecreatesThem) {
  SampleWindow w(family().sample);
  const auto favorites = snapshot(w.onC(family().favorites));
  ASSERT_EQ(favorites.size(), 3u) << "the sample's nested favourites";
  const auto registry = snapshot(w.host.path() / "registry");
  TForm1& form = w.start();
  form.Click("BackupIEFavorite1");
  EXPECT_THAT(w.view.entries("message: "),
              ElementsAre("Please shut down IE, before you do this backup", "OK!  C:\\Korvane\\IE Favorites"));
  w.close();
  EXPECT_EQ(snapshot(w.host.path() / "registry"), registry) << "a backup only reads the registry";
  EXPECT_EQ(snapshot(w.onC("Korvane/IE Favorites")), favorites);

  fs::remove_all(w.onC(family().favorites));
  w.view.texts.push_back("C:\\Korvane\\IE Favorites\\");
  form.Click("Restore4");
  EXPECT_THAT(w.view.entries("input: "), ElementsAre("Choose the folder of backuped IE Favorites | Folder:  | "
                                                     "C:\\Korvane\\IE Favorites"));
  EXPECT_EQ(snapshot(w.onC(family().favorites)), favorites);
  EXPECT_THAT(form.Memo1, ElementsAre(".................. OK!"));
  EXPECT_FALSE(form.CommandFailed);
}

TEST_P(FavoritesPlugin, RestoreRefusesDrivesTheFavoritesAndWhatHoldsThemAndMissingFolders) {
  SampleWindow w(family().sample);
  fs::create_directories(w.onC("Saved"));
  const auto drive = snapshot(w.host.path() / "drive_c");
  const std::string favorites = family().windowsPath;
  const std::string around = favorites.substr(0, favorites.rfind('\\'));
  const std::string guide = "Enter the folder that holds the backed-up favorites.";
  const std::vector<std::pair<std::string, std::string>> refused = {
      {"  ", guide},
      {"C:\\", "C:\\ is a whole drive. " + guide},
      {"C:", "C: is a whole drive. " + guide},
      {favorites, favorites + " is the favorites folder " + favorites +
                      " or holds it: restoring from it would copy the favorites into themselves. " + guide},
      {around + "\\", around + "\\ is the favorites folder " + favorites +
                          " or holds it: restoring from it would copy the favorites into themselves. " + guide},
      {"C:\\Saved\\Nowhere", "The folder C:\\Saved\\Nowhere does not exist. " + guide}};
  TForm1& form = w.start();
  for (const auto& [entry, message] : refused) {
    w.view.texts.push_back(entry);
    form.Click("Restore4");
    EXPECT_EQ(w.view.entries("message: ").back(), message) << entry;
  }
  EXPECT_TRUE(form.CommandFailed);
  EXPECT_EQ(snapshot(w.host.path() / "drive_c"), drive);
  EXPECT_TRUE(form.Memo1.empty() || form.Memo1.back() != ".................. OK!");
}

INSTANTIATE_TEST_SUITE_P(BothFamilies, FavoritesPlugin, ::testing::Values(kXp, k98),
                         [](const auto& tested) { return std::string(tested.param.sample); });

TEST(FavoritesPluginLanguages, FrenchAndSpanishNameTheBackupButTheRegistryNamesTheFolder) {
  SampleWindow w("xp");
  const auto favorites = snapshot(w.onC(kXp.favorites));
  TForm1& form = w.start();
  form.French1Click();
  form.Click("BackupIEFavorite1");
  EXPECT_EQ(w.view.entries("message: ").back(), "OK!  C:\\Korvane\\IE Favoris");
  EXPECT_EQ(snapshot(w.onC("Korvane/IE Favoris")), favorites);

  form.Spanish1Click();
  w.view.texts.push_back(std::nullopt);  // Cancel
  form.Click("Restore4");
  EXPECT_THAT(w.view.entries("input: "),
              ElementsAre("Elija la carpeta de los Favoritos de IE guardados | Carpeta:  | C:\\Korvane\\IE Favoritos"));
  w.view.texts.push_back("C:\\Korvane\\IE Favoris");
  writeHostFile(w.onC("Korvane/IE Favoris/Nuevo.url"), "[InternetShortcut]\r\nURL=http://nuevo.example/\r\n");
  form.Click("Restore4");
  EXPECT_TRUE(fs::exists(w.onC(kXp.favorites) / "Nuevo.url")) << "the browser's own folder, not a \"Favoritos\"";
  EXPECT_FALSE(fs::exists(w.onC("Documents and Settings/anna/Favoritos")));
  EXPECT_FALSE(form.CommandFailed);
}

}  // namespace
}  // namespace korvane::test
