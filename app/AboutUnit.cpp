#include "app/AboutUnit.h"

#include "app/Addresses.h"

namespace korvane {

namespace {

constexpr const char* kSupportSubject = "Korvane V3.11 support";
constexpr int kShowNormal = 1;

bool isUnreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
         c == '_' || c == '~';
}

std::string percentEncoded(const std::string& text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const unsigned char c : text) {
    if (isUnreserved(c)) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

}  // namespace

std::string mailLink(const std::string& address, const std::string& subject) {
  return "mailto:" + address + "?subject=" + percentEncoded(subject);
}

bool openLink(Shell& shell, const std::string& link) { return shell.execute("open", link, "", "", kShowNormal); }

TAbout::TAbout(Shell& shell, Lang lang) : shell_(shell), lang_(lang) {
  const auto text = [lang](Msg msg) { return std::string(message(msg, lang)); };
  Caption = text(Msg::AboutCaption);
  Label1.Caption = "Korvane 3.11";
  Label2.Caption = text(Msg::AboutDescription);
  MailLabelWhite = lang == Lang::Russian;
  MailLabel.Caption = MailLabelWhite ? formatMessage(text(Msg::AboutRussianMailLine), {addresses::kRussianMail})
                                     : formatMessage(text(Msg::AboutMailLine), {addresses::kInfoMail});
  WebLabel.Caption = addresses::kHomepage;
  SupportButton.Caption = text(Msg::AboutSupport);
  OkButton.Caption = text(Msg::AboutClose);
  Label1.SetBounds(16, 12, 288, 20);
  Label2.SetBounds(16, 38, 288, 32);
  MailLabel.SetBounds(16, 78, 288, 16);
  WebLabel.SetBounds(16, 100, 288, 16);
  SupportButton.SetBounds(16, 128, 90, 25);
  OkButton.SetBounds(214, 128, 90, 25);
}

void TAbout::MailLabelMouseEnter() {
  // A second enter without a leave keeps the text saved first.
  if (savedMailText_.empty()) savedMailText_ = MailLabel.Caption;
  MailLabel.Caption = message(Msg::AboutMailHover, lang_);
}

void TAbout::MailLabelMouseLeave() {
  if (savedMailText_.empty()) return;
  MailLabel.Caption = savedMailText_;
  savedMailText_.clear();
}

void TAbout::MailLabelClick() {
  openLink(shell_, mailLink(MailLabelWhite ? addresses::kRussianMail : addresses::kInfoMail, kSupportSubject));
}

void TAbout::WebLabelClick() { openLink(shell_, addresses::kHomepage); }

void TAbout::SupportButtonClick() { openLink(shell_, mailLink(addresses::kSupportMail, kSupportSubject)); }

}  // namespace korvane
