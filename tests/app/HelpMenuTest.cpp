// The Help menu and the about box on machine images: what reaches the shell
// (the image's actions.log), and the manual fetched through a loopback proxy.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "app/AboutUnit.h"
#include "app/AppTestSupport.h"
#include "app/ManualFiles.h"
#include "support/LoopbackServer.h"

namespace korvane::test {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kProgramFolder = "C:\\Program Files\\Korvane";

std::string opened(const std::string& target) { return "execute\topen\t" + target + "\t\t\t1"; }

// The built help file of that name; empty when the build made none.
std::string builtManualBytes(const std::string& name) {
  std::ifstream in(fs::path(KORVANE_BINARY_DIR) / "cli" / name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A window whose Internet goes through a proxy on the loopback address that
// answers every request with what `pages` holds for its path, 404 otherwise.
struct HelpWindow : StartedWindow {
  std::map<std::string, std::string> pages;
  std::vector<std::string> requested;
  LoopbackServer proxy;

  TForm1& startOnline() {
    proxy.server.Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
      requested.push_back(request.target);
      const auto page = pages.find(request.target.substr(request.target.rfind('/')));
      if (page == pages.end()) {
        response.status = 404;
        return;
      }
      response.set_content(page->second, "application/octet-stream");
    });
    proxy.start();
    start().WC1.Proxy = "127.0.0.1:" + std::to_string(proxy.port);
    return *form;
  }
  fs::path programFile(const std::string& name) const { return image.root() / "drive_c/Program Files/Korvane" / name; }
};

TEST(Manual, EachLanguageOpensItsPresentManualWithoutATransfer) {
  const std::vector<std::pair<void (TForm1::*)(), std::string>> languages = {
      {&TForm1::English1Click, "ManuelEN.chm"}, {&TForm1::French1Click, "ManuelFR.chm"},
      {&TForm1::Spanish1Click, "ManuelES.chm"}, {&TForm1::Russian1Click, "ManuelEN.chm"},
      {&TForm1::Chinese1Click, "ManuelCN.chm"}, {&TForm1::ChineseTWClick, "ManuelZH.chm"}};
  for (const auto& [choose, name] : languages) {
    HelpWindow w;
    w.image.file("Program Files\\Korvane\\" + name, "present, whatever it holds");
    TForm1& form = w.startOnline();
    (form.*choose)();
    form.Manual1Click();
    EXPECT_THAT(w.image.actions(), ElementsAre(opened(std::string(kProgramFolder) + "\\" + name))) << name;
    EXPECT_THAT(w.requested, IsEmpty()) << name;
    EXPECT_FALSE(form.CommandFailed);
  }
}

TEST(Manual, MissingManualIsFetchedFromTheWebSiteAndOpenedWhenItIsTheBuilds) {
  const std::string manual = builtManualBytes("ManuelEN.chm");
  if (builtManuals().empty() || manual.empty()) GTEST_SKIP() << "this build compiled no manual (chmcmd missing)";
  HelpWindow w;
  w.pages["/ManuelEN.chm"] = manual;
  TForm1& form = w.startOnline();
  form.Manual1Click();
  EXPECT_THAT(w.requested, ElementsAre("http://www.example.com/ManuelEN.chm"));
  EXPECT_EQ(fs::file_size(w.programFile("ManuelEN.chm")), manual.size());
  EXPECT_THAT(w.image.actions(), ElementsAre(opened(std::string(kProgramFolder) + "\\ManuelEN.chm")));
  EXPECT_EQ(form.WC1.DlgCaption, "Downloading the user manual");
}

TEST(Manual, FetchedFileThatIsNoBuiltManualIsDeletedAndNothingOpens) {
  for (const bool served : {true, false}) {  // other bytes, then a 404
    HelpWindow w;
    if (served) w.pages["/ManuelFR.chm"] = "<script>not our manual</script>";
    TForm1& form = w.startOnline();
    form.French1Click();
    form.Manual1Click();
    EXPECT_THAT(w.requested, ElementsAre("http://www.example.com/ManuelFR.chm"));
    EXPECT_FALSE(fs::exists(w.programFile("ManuelFR.chm"))) << "a later click fetches it again";
    EXPECT_THAT(w.image.actions(), IsEmpty());
    EXPECT_THAT(w.view.entries("message: "),
                ElementsAre("Impossible de télécharger le manuel ManuelFR.chm. Vérifiez la connexion à Internet et "
                            "les paramètres du proxy, puis réessayez."));
    EXPECT_TRUE(form.CommandFailed);
  }
}

TEST(HelpLinks, WebSiteAndMailGoThroughTheShell) {
  StartedWindow w;
  TForm1& form = w.start();
  form.Homepage1Click();
  form.Chinese1Click();
  form.Homepage2Click();
  form.ChineseTWClick();
  form.Writetome1Click();
  EXPECT_THAT(w.image.actions(),
              ElementsAre(opened("http://www.example.com"), opened("http://www.example.com/cn/index.html"),
                          opened("mailto:support@example.com?subject=Korvane%203.11%20%5BChinese%28Taiwan%20"
                                 "Province%29%5D")));
}

TEST(AboutBox, MailLineAnswersTheMouseAndBothLinesOpenTheirAddress) {
  StartedWindow w;
  TForm1& form = w.start();
  std::vector<std::string> seen;
  w.view.aboutDialogs.push_back([&](TAbout& about) {
    seen.push_back(about.MailLabel.Caption);
    about.MailLabelMouseEnter();
    seen.push_back(about.MailLabel.Caption);
    about.MailLabelMouseLeave();
    seen.push_back(about.MailLabel.Caption);
    about.WebLabelMouseEnter();
    EXPECT_TRUE(about.WebLabelItalic);
    about.WebLabelMouseLeave();
    EXPECT_FALSE(about.WebLabelItalic);
    about.MailLabelClick();
    about.WebLabelClick();
    about.SupportButtonClick();
  });
  form.About1Click();
  EXPECT_THAT(w.view.entries("about: "), ElementsAre("About Korvane"));
  EXPECT_THAT(seen, ElementsAre("E-mail: info@example.com", "<<<Click me to send an E-mail to the author>>>",
                                "E-mail: info@example.com"));
  EXPECT_THAT(w.image.actions(),
              ElementsAre(opened("mailto:info@example.com?subject=Korvane%20V3.11%20support"),
                          opened("http://www.example.com"),
                          opened("mailto:support@example.com?subject=Korvane%20V3.11%20support")));
}

TEST(AboutBox, RussianMailLineIsWhiteAndMailsItsOwnAddress) {
  StartedWindow w;
  TForm1& form = w.start();
  form.Russian1Click();
  w.view.aboutDialogs.push_back([](TAbout& about) {
    EXPECT_TRUE(about.MailLabelWhite);
    EXPECT_EQ(about.MailLabel.Caption, "Поддержка на русском языке: ru@example.com");
    about.MailLabelClick();
  });
  form.About1Click();
  EXPECT_THAT(w.image.actions(), ElementsAre(opened("mailto:ru@example.com?subject=Korvane%20V3.11%20support")));
}

}  // namespace
}  // namespace korvane::test
