// The folder dialog of Backup All: which folder the drivers go to.
#pragma once

#include <optional>
#include <string>

#include "app/View.h"

namespace korvane {

class TForm3 {
 public:
  // The texts come in the current language; Result starts as the preset.
  TForm3(View& view, FolderDialog texts) : view_(view), texts_(std::move(texts)) {}

  std::string Result;
  // OK: the folder box without its trailing backslash; closing the window:
  // Result; Cancel: nullopt, so that no folder name can stand for Cancel.
  std::optional<std::string> ShowModal();

 private:
  View& view_;
  FolderDialog texts_;
};

}  // namespace korvane
