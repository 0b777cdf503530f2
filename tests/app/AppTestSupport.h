// Building blocks of the main-window tests: registry text for driver
// instances and a started main window on an image.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "app/BalvikMain.h"
#include "support/ScriptedView.h"
#include "support/TestMachine.h"

namespace korvane::test {

inline const std::string kNTClassKey = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Class";

// One registry key with string values, as export text.
inline std::string regKey(const std::string& key, const std::map<std::string, std::string>& values = {}) {
  std::string text = "[" + key + "]\r\n";
  for (const auto& [name, value] : values) text += "\"" + name + "\"=\"" + value + "\"\r\n";
  return text + "\r\n";
}

// A driver instance below the NT class root.
inline std::string driver(const std::string& deviceClass, const std::string& instance,
                          const std::map<std::string, std::string>& values) {
  return regKey(kNTClassKey + "\\" + deviceClass + "\\" + instance, values);
}

struct StartedWindow {
  ImageBuilder image;
  ScriptedView view;
  std::unique_ptr<TForm1> form;

  TForm1& start() {
    form = std::make_unique<TForm1>(image.open(), view);
    form->FormCreate();
    return *form;
  }
  // The caption column of the driver list, in list order.
  std::vector<std::string> captions() const {
    std::vector<std::string> out;
    for (size_t row = 0; row < form->ListView1.Count(); ++row) out.push_back(form->ListView1.Text(row, 0));
    return out;
  }
};

}  // namespace korvane::test
