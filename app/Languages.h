// The six interface languages and the message catalogue.
#pragma once

#include <array>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace korvane {

// In catalogue order.
enum class Lang { English, French, Spanish, Russian, Chinese, ChineseTW };
constexpr size_t kLanguageCount = 6;

// The language names kept in CurrentLanguage and Korvane.ini.
constexpr std::array<std::string_view, kLanguageCount> kLanguageNames = {
    "English", "French", "Spanish", "Russian", "Chinese", "Chinese(Taiwan Province)"};

// The language a name stands for (exact, case-sensitive); nullopt for any other text.
std::optional<Lang> languageOf(std::string_view name);
// The same, with the name typed by a person: case does not matter.
std::optional<Lang> languageNamed(std::string_view name);
std::string_view languageName(Lang lang);
// The 8-bit code page of a language's texts.
unsigned languageCodePage(Lang lang);

// Message keys; the texts are in app/catalogue/*.inc.
enum class Msg {
#define KORVANE_MESSAGE(key, ...) key,
#include "app/catalogue/All.inc"
#undef KORVANE_MESSAGE
  Count
};

// The text of a message in a language; several lines are separated by "\n".
std::string_view message(Msg msg, Lang lang);
// The message in the language a name stands for; nullopt when the name is not
// one of the six, where per-language messages are not shown.
std::optional<std::string> message(Msg msg, std::string_view languageName);

// The text with each "%s" or "%d" replaced by the next argument, in order.
std::string formatMessage(std::string_view text, std::initializer_list<std::string> arguments);

}  // namespace korvane
