// The help files the build compiles from docs/manual: every language has the
// same pages, each page is reachable from the contents, each built file holds
// every page as an independent reader sees it, and the list compiled into the
// program names exactly these files with their true SHA-256.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "app/ManualFiles.h"
#include "support/HostCommand.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;
using test::quoted;
using test::runCommand;

std::string readText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

struct ManualProject {
  fs::path folder;
  std::string compiledFile;  // "Compiled file=" of its manual.hhp
  std::set<std::string> pages;
  std::set<std::string> files;  // everything of its folder the help file must hold
};

std::vector<ManualProject> manualProjects() {
  std::vector<ManualProject> projects;
  for (const fs::directory_entry& folder : fs::directory_iterator(KORVANE_MANUAL_PAGES)) {
    if (!fs::exists(folder.path() / "manual.hhp")) continue;
    ManualProject project{folder.path(), "", {}, {"style.css"}};
    std::smatch match;
    const std::string hhp = readText(folder.path() / "manual.hhp");
    if (std::regex_search(hhp, match, std::regex("Compiled file=([^\r\n]+)"))) project.compiledFile = match[1];
    for (const fs::directory_entry& file : fs::directory_iterator(folder.path())) {
      const std::string name = file.path().filename().string();
      if (file.path().extension() == ".html") project.pages.insert(name);
      if (name != "manual.hhp") project.files.insert(name);
    }
    projects.push_back(project);
  }
  std::sort(projects.begin(), projects.end(),
            [](const ManualProject& a, const ManualProject& b) { return a.folder < b.folder; });
  return projects;
}

std::set<std::string> builtNames() {
  std::set<std::string> names;
  for (const ManualFile& manual : builtManuals()) names.insert(manual.name);
  return names;
}

TEST(ManualPages, EveryLanguageHasTheSamePagesAllInItsContents) {
  const std::vector<ManualProject> projects = manualProjects();
  ASSERT_EQ(projects.size(), 5u);
  const std::set<std::string> expectedFiles{"ManuelCN.chm", "ManuelEN.chm", "ManuelES.chm", "ManuelFR.chm",
                                            "ManuelZH.chm"};
  std::set<std::string> files;
  for (const ManualProject& project : projects) {
    SCOPED_TRACE(project.folder.string());
    files.insert(project.compiledFile);
    EXPECT_EQ(project.pages, projects.front().pages) << "a page is missing or extra in this language";
    const std::string contents = readText(project.folder / "contents.hhc");
    for (const std::string& page : project.pages)
      EXPECT_NE(contents.find("value=\"" + page + "\""), std::string::npos) << page << " is not in the contents";
  }
  EXPECT_EQ(files, expectedFiles);
}

TEST(BuiltManuals, TheProgramListsEveryBuiltFileWithItsHash) {
  KORVANE_NEEDS(!builtManuals().empty(), "chmcmd: this build has no manuals");
  std::set<std::string> projectFiles;
  for (const ManualProject& project : manualProjects()) projectFiles.insert(project.compiledFile);
  EXPECT_EQ(builtNames(), projectFiles);
  for (const ManualFile& manual : builtManuals()) {
    const fs::path beside = fs::path(KORVANE_CONSOLE_DIR) / manual.name;
    ASSERT_TRUE(fs::exists(beside)) << beside;
    std::string output;
    ASSERT_EQ(runCommand("sha256sum " + quoted(beside), &output), 0) << output;
    EXPECT_EQ(output.substr(0, 64), manual.sha256) << manual.name;
    EXPECT_TRUE(std::regex_match(std::string(manual.sha256), std::regex("[0-9a-f]{64}"))) << manual.sha256;
  }
}

TEST(BuiltManuals, AnIndependentReaderFindsEveryPageAndPictureInEveryFile) {
  KORVANE_NEEDS(!builtManuals().empty(), "chmcmd: this build has no manuals");
  KORVANE_NEEDS(test::haveTool("enum_chmLib"), "enum_chmLib (Debian package libchm-bin)");
  const std::set<std::string> built = builtNames();
  for (const ManualProject& project : manualProjects()) {
    SCOPED_TRACE(project.compiledFile);
    ASSERT_TRUE(built.count(project.compiledFile));
    std::string listing;
    ASSERT_EQ(runCommand("enum_chmLib " + quoted(fs::path(KORVANE_CONSOLE_DIR) / project.compiledFile), &listing),
              0) << listing;
    for (const std::string& file : project.files)
      EXPECT_NE(listing.find("\t/" + file + "\n"), std::string::npos) << file << " is not in the help file";
  }
}

}  // namespace
}  // namespace korvane
