// The about box: the program's name and purpose, an e-mail line, a web-site
// line and a Support button. It keeps the state of its controls and opens
// its links through the shell; a face shows it modally through View::showAbout.
#pragma once

#include <string>

#include "app/Controls.h"
#include "app/Languages.h"
#include "platform/Shell.h"

namespace korvane {

// A mailto link whose subject is percent-encoded, so that blanks, brackets
// and any language's letters reach the mail program as they were.
std::string mailLink(const std::string& address, const std::string& subject);

// Hands a web or mail link to the shell's default action, shown normally.
bool openLink(Shell& shell, const std::string& link);

class TAbout {
 public:
  TAbout(Shell& shell, Lang lang);

  std::string Caption;
  TControl Label1;      // the program's name and version
  TControl Label2;      // what it does
  TControl MailLabel;   // the e-mail line
  TControl WebLabel;    // the web site's address
  TControl SupportButton, OkButton;
  bool MailLabelWhite = false;  // the Russian line is white
  bool WebLabelItalic = false;  // the web line is bold, and italic under the mouse

  void MailLabelMouseEnter();
  void MailLabelMouseLeave();
  void MailLabelClick();
  void WebLabelMouseEnter() { WebLabelItalic = true; }
  void WebLabelMouseLeave() { WebLabelItalic = false; }
  void WebLabelClick();
  void SupportButtonClick();

 private:
  Shell& shell_;
  Lang lang_;
  std::string savedMailText_;
};

}  // namespace korvane
