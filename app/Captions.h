// The captions, menu texts and column titles of the main window in the six
// languages, set by the language commands.
#pragma once

#include <array>
#include <span>
#include <string_view>

#include "app/Languages.h"

namespace korvane {

struct CaptionRow {
  std::string_view control;  // a control name, or "ListView1:N" for column N
  std::array<std::string_view, kLanguageCount> texts;
};

std::span<const CaptionRow> CaptionTable();

}  // namespace korvane
