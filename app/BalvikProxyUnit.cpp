#include "app/BalvikProxyUnit.h"

#include "app/BalvikMain.h"

namespace korvane {

namespace {

constexpr const char* kDialogFont = "MS Sans Serif";

}  // namespace

TForm2::TForm2() {
  CheckBox1.SetBounds(13, 8, 259, 17);
  CheckBox1.Checked = true;
  Label1.SetBounds(12, 37, 126, 13);
  Edit1.SetBounds(140, 33, 121, 21);
  Label2.SetBounds(12, 61, 126, 13);
  Edit2.SetBounds(140, 61, 121, 21);
  Label3.SetBounds(12, 91, 126, 13);
  Edit3.SetBounds(140, 88, 121, 21);
  Label4.SetBounds(12, 116, 126, 13);
  Edit4.SetBounds(140, 112, 121, 21);
  Button1.SetBounds(120, 139, 49, 25);
  for (auto& [name, control] : ControlList()) {
    control->FontName = kDialogFont;
    control->FontSize = 8;
  }
  SetLanguage(Lang::English);
  CheckBox1Click();
}

void TForm2::SetLanguage(Lang lang) {
  Caption = message(Msg::ProxyDialogCaption, lang);
  CheckBox1.Caption = message(Msg::ProxyUseSystemSettings, lang);
  Label1.Caption = message(Msg::ProxyAddressLabel, lang);
  Label2.Caption = message(Msg::ProxyPortLabel, lang);
  Label3.Caption = message(Msg::ProxyUserLabel, lang);
  Label4.Caption = message(Msg::ProxyPasswordLabel, lang);
  Button1.Caption = message(Msg::ProxyOk, lang);
}

void TForm2::CheckBox1Click() {
  for (TControl* control : {&Label1, &Edit1, &Label2, &Edit2, &Label3, &Edit3, &Label4, &Edit4})
    control->Enabled = !CheckBox1.Checked;
}

void TForm2::Button1Click() {
  Address = Edit1.Caption;
  Port = Edit2.Caption;
  Login = Edit3.Caption;
  Password = Edit4.Caption;
}

std::vector<std::pair<const char*, TControl*>> TForm2::ControlList() {
  return {{"CheckBox1", &CheckBox1}, {"Label1", &Label1}, {"Edit1", &Edit1}, {"Label2", &Label2},
          {"Edit2", &Edit2},         {"Label3", &Label3}, {"Edit3", &Edit3}, {"Label4", &Label4},
          {"Edit4", &Edit4},         {"Button1", &Button1}};
}

void TForm1::Proxysettings1Click() {
  TForm2 dialog;
  if (const auto lang = languageOf(CurrentLanguage)) dialog.SetLanguage(*lang);
  dialog.Edit1.Caption = ProxyAddress;
  dialog.Edit2.Caption = ProxyPort;
  dialog.Edit3.Caption = ProxyLogin;
  dialog.Edit4.Caption = ProxyAuthPassword;
  dialog.CheckBox1.Checked = AutoProxy == "Oui";
  dialog.CheckBox1Click();
  view_.showProxyDialog(dialog);
  // The close box keeps the edits as OK does.
  ProxyAddress = dialog.Edit1.Caption;
  ProxyPort = dialog.Edit2.Caption;
  ProxyLogin = dialog.Edit3.Caption;
  ProxyAuthPassword = dialog.Edit4.Caption;
  AutoProxy = dialog.CheckBox1.Checked ? "Oui" : "Non";
  ApplyProxy();
}

}  // namespace korvane
