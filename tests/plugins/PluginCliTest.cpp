// korvane outlook ... and korvane favorites ...: exit 0 only when the command did its work.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "plugins/PluginsTestSupport.h"
#include "support/HostCommand.h"

namespace korvane::test {
namespace {

struct CliRun {
  int status;
  std::string output;
};

// The console program on the image; its input is empty, or one empty line with pressEnter.
CliRun korvane(SampleWindow& w, const std::string& arguments, bool pressEnter = false) {
  CliRun run;
  run.status = runCommand(std::string(pressEnter ? "echo | " : "") + KORVANE_CLI + " --machine " +
                              quoted(w.host.path()) + " " + arguments + (pressEnter ? "" : " </dev/null"),
                          &run.output);
  return run;
}

TEST(PluginCli, EachCommandSucceedsOnlyWhenItDidItsWork) {
  SampleWindow w("win98");
  const auto mail = snapshot(w.onC("WINDOWS/Application Data/Identities"));
  CliRun run = korvane(w, "outlook backup");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_THAT(run.output, ::testing::HasSubstr("OK!  C:\\Korvane\\Outlook 10.12.26.CAB"));
  fs::remove_all(w.onC("WINDOWS/Application Data/Identities"));
  run = korvane(w, "outlook restore 'C:\\Korvane\\Outlook 10.12.26.CAB'");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(snapshot(w.onC("WINDOWS/Application Data/Identities")), mail);
  run = korvane(w, "outlook restore 'C:\\Korvane\\Outlook 1.1.99.CAB'");
  EXPECT_EQ(run.status, 2) << run.output;

  EXPECT_EQ(korvane(w, "favorites backup").status, 0);
  fs::remove_all(w.onC("WINDOWS/Favorites"));
  run = korvane(w, "favorites restore --folder 'C:\\Korvane\\IE Favorites'");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(snapshot(w.onC("WINDOWS/Favorites")), snapshot(w.onC("Korvane/IE Favorites")));
  run = korvane(w, "favorites restore 'C:\\'");
  EXPECT_EQ(run.status, 2) << run.output;
  EXPECT_THAT(run.output, ::testing::HasSubstr("C:\\ is a whole drive."));
  fs::remove_all(w.onC("WINDOWS/Favorites"));
  run = korvane(w, "favorites restore", true);
  EXPECT_EQ(run.status, 0) << "Enter at the prompt takes the folder offered: " << run.output;
  EXPECT_EQ(snapshot(w.onC("WINDOWS/Favorites")), snapshot(w.onC("Korvane/IE Favorites")));
  EXPECT_EQ(korvane(w, "favorites fetch").status, 2);
}

}  // namespace
}  // namespace korvane::test
