// The proxy dialog and the update list's Cancel: what the dialog shows, how
// its box rules the fields, and what reaches the transfer component and
// Korvane.ini.
#include <gtest/gtest.h>

#include "app/AppTestSupport.h"
#include "app/BalvikProxyUnit.h"

namespace korvane::test {
namespace {

const std::string kManualProxy =
    "[Proxy]\r\nAddress=10.0.0.1\r\nPort=8080\r\nAuthLoginName=anna\r\nAuthPassword=s3cret\r\nAutoProxy=Non\r\n";

// What the dialog showed when it opened.
struct Shown {
  std::string caption, box;
  bool checked = false, editsEnabled = false, labelsEnabled = false;
  std::string address, port, login, password;
};

Shown shownBy(const TForm2& dialog) {
  return {dialog.Caption,        dialog.CheckBox1.Caption, dialog.CheckBox1.Checked,
          dialog.Edit1.Enabled && dialog.Edit4.Enabled,   dialog.Label1.Enabled && dialog.Label4.Enabled,
          dialog.Edit1.Caption,  dialog.Edit2.Caption,     dialog.Edit3.Caption,
          dialog.Edit4.Caption};
}

std::string storedProxy(const ImageBuilder& image, const char* key) {
  return image.reopen()->profiles().readString("Korvane.ini", "Proxy", key, "?");
}

TEST(ProxyDialog, OpensWithTheSettingsInTheCurrentLanguage) {
  const std::pair<const char*, const char*> boxes[] = {
      {"English", "Use the proxy in Internet Settings (Recommended)"},
      {"French", "Utiliser serveur proxy automatiquement."},
      {"Spanish", "Utilizar proxy server automaticamente."},
      {"Russian", "Use the proxy in Internet Settings (Recommended)"},
      {"Chinese", "使用 Internet 设置中的代理服务器（推荐）"},
      {"Chinese(Taiwan Province)", "使用 Internet 設置中的代理服務器（推薦）"}};
  for (const auto& [language, box] : boxes) {
    StartedWindow w;
    w.image.file("WINDOWS\\Korvane.ini", kManualProxy + "[Interface]\r\nLanguage=" + language + "\r\n");
    TForm1& form = w.start();
    Shown shown;
    w.view.proxyDialogs.push_back([&](TForm2& dialog) { shown = shownBy(dialog); });
    ASSERT_TRUE(form.Click("Proxysettings1"));
    EXPECT_EQ(shown.caption, form.Control("Proxysettings1").Caption) << language;
    EXPECT_EQ(shown.box, box) << language;
    EXPECT_FALSE(shown.checked);
    EXPECT_TRUE(shown.editsEnabled && shown.labelsEnabled) << "a proxy of one's own is edited";
    EXPECT_EQ(shown.address + "|" + shown.port + "|" + shown.login + "|" + shown.password,
              "10.0.0.1|8080|anna|s3cret");
  }
}

TEST(ProxyDialog, TickingTheBoxDisablesTheFieldsAndClearsTheAppliedProxy) {
  StartedWindow w;
  w.image.file("WINDOWS\\Korvane.ini", kManualProxy);
  TForm1& form = w.start();
  ASSERT_EQ(form.WC1.Proxy, "10.0.0.1:8080");
  bool disabledAfterTick = false;
  w.view.proxyDialogs.push_back([&](TForm2& dialog) {
    dialog.CheckBox1.Checked = true;
    dialog.CheckBox1Click();
    disabledAfterTick = !dialog.Label2.Enabled && !dialog.Edit2.Enabled && !dialog.Label3.Enabled &&
                        !dialog.Edit3.Enabled;
    dialog.Button1Click();
  });
  form.Proxysettings1Click();
  EXPECT_TRUE(disabledAfterTick);
  EXPECT_EQ(form.AutoProxy, "Oui");
  EXPECT_EQ(form.WC1.Proxy + form.WC1.ProxyUserID + form.WC1.ProxyPassword, "")
      << "the system's settings leave no proxy of ours, nor its login";
  EXPECT_EQ(storedProxy(w.image, "AutoProxy"), "Non") << "the file changes only at shutdown";
  ASSERT_TRUE(form.FormCloseQuery());
  EXPECT_EQ(storedProxy(w.image, "AutoProxy"), "Oui");
  EXPECT_EQ(storedProxy(w.image, "Address"), "10.0.0.1") << "kept for later, though not used";
  EXPECT_EQ(storedProxy(w.image, "AuthPassword"), "s3cret");
}

TEST(ProxyDialog, ClosingByTheCloseBoxKeepsTheEditsAsOkDoes) {
  StartedWindow w;
  TForm1& form = w.start();
  w.view.proxyDialogs.push_back([](TForm2& dialog) {
    EXPECT_TRUE(dialog.CheckBox1.Checked) << "AutoProxy is Oui by default";
    EXPECT_FALSE(dialog.Edit1.Enabled);
    dialog.CheckBox1.Checked = false;
    dialog.CheckBox1Click();
    EXPECT_TRUE(dialog.Edit1.Enabled && dialog.Label4.Enabled);
    dialog.Edit1.Caption = "proxy.example";
    dialog.Edit2.Caption = "3128";
    dialog.Edit3.Caption = "bob";
    dialog.Edit4.Caption = "pa55";
  });
  form.Proxysettings1Click();
  EXPECT_EQ(form.AutoProxy, "Non");
  EXPECT_EQ(form.WC1.Proxy, "proxy.example:3128");
  EXPECT_EQ(form.WC1.ProxyUserID, "bob");
  EXPECT_EQ(form.WC1.ProxyPassword, "pa55");
  ASSERT_TRUE(form.FormCloseQuery());
  EXPECT_EQ(storedProxy(w.image, "Address"), "proxy.example");
  EXPECT_EQ(storedProxy(w.image, "Port"), "3128");
  EXPECT_EQ(storedProxy(w.image, "AuthLoginName"), "bob");
  EXPECT_EQ(storedProxy(w.image, "AuthPassword"), "pa55");
  EXPECT_EQ(storedProxy(w.image, "AutoProxy"), "Non");
  for (const auto& line : w.view.log) EXPECT_EQ(line.find("pa55"), std::string::npos) << line;
}

TEST(UpdateList, CancelGoesBackToTheDriverListAndClearsTheMemo) {
  StartedWindow w;
  TForm1& form = w.start();
  form.ListView2.Add({"Candidate", "1.0", "2.0", "http://x/d.zip", "100%"});
  form.ListView2.Visible = true;
  form.ListView1.Visible = false;
  form.Control("BitBtn6").Visible = true;
  form.Control("BitBtn7").Visible = true;
  ASSERT_FALSE(form.Memo1.empty()) << "start-up wrote the system details";
  ASSERT_TRUE(form.Click("BitBtn7"));
  EXPECT_TRUE(form.Memo1.empty());
  EXPECT_FALSE(form.ListView2.Visible);
  EXPECT_TRUE(form.ListView1.Visible);
  EXPECT_FALSE(form.Control("BitBtn6").Visible);
  EXPECT_FALSE(form.Control("BitBtn7").Visible);
  EXPECT_EQ(form.ListView2.Count(), 1u) << "the candidates stay until the next check";
}

}  // namespace
}  // namespace korvane::test
