#include "app/Languages.h"

#include "platform/Text.h"

namespace korvane {

namespace {

using Texts = std::array<std::string_view, kLanguageCount>;

// One row per message, in the order of Msg; columns in the order of Lang.
constexpr Texts kCatalogue[] = {
#define KORVANE_MESSAGE(key, ...) {__VA_ARGS__},
#include "app/catalogue/All.inc"
#undef KORVANE_MESSAGE
};
static_assert(std::size(kCatalogue) == static_cast<size_t>(Msg::Count), "one catalogue row per message");

}  // namespace

std::optional<Lang> languageOf(std::string_view name) {
  for (size_t k = 0; k < kLanguageCount; ++k)
    if (kLanguageNames[k] == name) return static_cast<Lang>(k);
  return std::nullopt;
}

std::optional<Lang> languageNamed(std::string_view name) {
  for (size_t k = 0; k < kLanguageCount; ++k)
    if (equalsIgnoreCase(kLanguageNames[k], name)) return static_cast<Lang>(k);
  return std::nullopt;
}

std::string_view languageName(Lang lang) { return kLanguageNames[static_cast<size_t>(lang)]; }

unsigned languageCodePage(Lang lang) {
  switch (lang) {
    case Lang::Russian: return 1251;
    case Lang::Chinese: return 936;
    case Lang::ChineseTW: return 950;
    default: return 1252;
  }
}

std::string_view message(Msg msg, Lang lang) {
  return kCatalogue[static_cast<size_t>(msg)][static_cast<size_t>(lang)];
}

std::optional<std::string> message(Msg msg, std::string_view name) {
  const auto lang = languageOf(name);
  if (!lang) return std::nullopt;
  return std::string(message(msg, *lang));
}

std::string formatMessage(std::string_view text, std::initializer_list<std::string> arguments) {
  std::string out;
  auto next = arguments.begin();
  for (size_t k = 0; k < text.size(); ++k) {
    const bool placeholder = text[k] == '%' && k + 1 < text.size() && (text[k + 1] == 's' || text[k + 1] == 'd');
    if (placeholder && next != arguments.end()) {
      out += *next++;
      ++k;
    } else {
      out += text[k];
    }
  }
  return out;
}

}  // namespace korvane
