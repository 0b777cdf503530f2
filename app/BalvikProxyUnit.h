// The proxy dialog: a check box for the system's own Internet settings and
// four edits for a proxy of one's own. It keeps the state of its controls;
// a face shows it modally through View::showProxyDialog.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "app/Controls.h"
#include "app/Languages.h"

namespace korvane {

class TForm2 {
 public:
  // The controls where the dialog places them, in English.
  TForm2();
  // The captions of a language.
  void SetLanguage(Lang lang);

  std::string Caption;
  static constexpr int ClientWidth = 283, ClientHeight = 166;
  TControl CheckBox1, Label1, Edit1, Label2, Edit2, Label3, Edit3, Label4, Edit4, Button1;
  // An edit's text is its Caption; Edit4 shows its text as "*" only.

  // The edits' texts as OK took them.
  std::string Address, Port, Login, Password;

  // After the box was ticked or unticked: the labels and edits are usable
  // only while it is not ticked.
  void CheckBox1Click();
  // OK; the face then closes the dialog.
  void Button1Click();
  // Every control with its name, in tab order.
  std::vector<std::pair<const char*, TControl*>> ControlList();
};

}  // namespace korvane
