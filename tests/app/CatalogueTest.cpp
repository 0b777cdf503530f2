// The message catalogue as a whole: every message exists in all six languages,
// takes the same arguments in each, and fits the code page it is shown in.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/Languages.h"
#include "platform/image/IconvCodePages.h"

namespace korvane::test {
namespace {

constexpr const char* kKeyNames[] = {
#define KORVANE_MESSAGE(key, ...) #key,
#include "app/catalogue/All.inc"
#undef KORVANE_MESSAGE
};

constexpr Lang kLanguages[] = {Lang::English, Lang::French,  Lang::Spanish,
                               Lang::Russian, Lang::Chinese, Lang::ChineseTW};

const char* keyName(Msg msg) { return kKeyNames[static_cast<size_t>(msg)]; }

std::vector<Msg> allMessages() {
  std::vector<Msg> messages;
  for (size_t k = 0; k < static_cast<size_t>(Msg::Count); ++k) messages.push_back(static_cast<Msg>(k));
  return messages;
}

// Texts that are empty on purpose: a piece that some word orders do not need,
// or a value that only some languages have.
const std::map<Msg, std::set<Lang>>& emptyOnPurpose() {
  static const std::map<Msg, std::set<Lang>> empty = {
      {Msg::DevicesFoundPrefix, {Lang::English, Lang::French, Lang::Spanish}},
      {Msg::FavoritesFolderName, {Lang::English, Lang::Russian, Lang::Chinese, Lang::ChineseTW}},
      {Msg::WebSitePage, {Lang::English, Lang::French, Lang::Spanish, Lang::Russian, Lang::ChineseTW}},
  };
  return empty;
}

// Messages shown together with the same arguments: each argument sits in one of
// them, and which one depends on the language's word order.
const std::vector<std::vector<Msg>>& sharedArguments() {
  static const std::vector<std::vector<Msg>> groups = {{Msg::DownloadAskHead, Msg::DownloadAskTail}};
  return groups;
}

// The kinds of the placeholders in order, e.g. "sd" for "%s ... %d".
std::string placeholders(std::string_view text) {
  std::string kinds;
  for (size_t k = 0; k + 1 < text.size(); ++k)
    if (text[k] == '%' && (text[k + 1] == 's' || text[k + 1] == 'd')) kinds += text[++k];
  return kinds;
}

std::string placeholders(const std::vector<Msg>& group, Lang lang) {
  std::string kinds;
  for (Msg msg : group) kinds += placeholders(message(msg, lang));
  return kinds;
}

bool inSharedGroup(Msg msg) {
  for (const auto& group : sharedArguments())
    for (Msg member : group)
      if (member == msg) return true;
  return false;
}

TEST(Catalogue, EveryMessageHasATextInEveryLanguageUnlessEmptyOnPurpose) {
  for (Msg msg : allMessages()) {
    const auto purpose = emptyOnPurpose().find(msg);
    for (Lang lang : kLanguages) {
      const bool mayBeEmpty = purpose != emptyOnPurpose().end() && purpose->second.count(lang) > 0;
      EXPECT_EQ(message(msg, lang).empty(), mayBeEmpty) << keyName(msg) << " in " << languageName(lang);
    }
  }
}

TEST(Catalogue, EveryLanguageTakesTheSameArgumentsInTheSameOrder) {
  for (Msg msg : allMessages()) {
    if (inSharedGroup(msg)) continue;
    const std::string english = placeholders(message(msg, Lang::English));
    for (Lang lang : kLanguages)
      EXPECT_EQ(placeholders(message(msg, lang)), english) << keyName(msg) << " in " << languageName(lang);
  }
  for (const auto& group : sharedArguments()) {
    const std::string english = placeholders(group, Lang::English);
    EXPECT_FALSE(english.empty()) << keyName(group.front()) << " and the rest of its group carry the arguments";
    for (Lang lang : kLanguages)
      EXPECT_EQ(placeholders(group, lang), english) << keyName(group.front()) << " in " << languageName(lang);
  }
}

// Lines are separated by "\n"; a carriage return stands only before a line
// feed. (The two-line tool-button captions with a lone "\r" are captions, not
// messages.)
TEST(Catalogue, NoTextHasACarriageReturnOfItsOwn) {
  for (Msg msg : allMessages())
    for (Lang lang : kLanguages) {
      const std::string_view text = message(msg, lang);
      bool loneReturn = false;
      for (size_t k = 0; k < text.size(); ++k)
        loneReturn = loneReturn || (text[k] == '\r' && (k + 1 == text.size() || text[k + 1] != '\n'));
      EXPECT_FALSE(loneReturn) << keyName(msg) << " in " << languageName(lang);
    }
}

// Code page 936 as the C library knows it is GBK; the Simplified Chinese texts
// must keep to its GB2312 part, which every Chinese system shows.
bool isGb2312(std::string_view bytes) {
  for (size_t k = 0; k < bytes.size(); ++k) {
    const auto lead = static_cast<unsigned char>(bytes[k]);
    if (lead < 0x80) continue;
    if (k + 1 >= bytes.size()) return false;
    const auto trail = static_cast<unsigned char>(bytes[++k]);
    if (lead < 0xA1 || lead > 0xF7 || trail < 0xA1 || trail > 0xFE) return false;
  }
  return true;
}

TEST(Catalogue, EveryTextFitsTheCodePageOfItsLanguage) {
  IconvCodePages codePages{1252};
  for (Msg msg : allMessages())
    for (Lang lang : kLanguages) {
      const std::string text(message(msg, lang));
      const unsigned codePage = languageCodePage(lang);
      const auto bytes = codePages.fromUtf8(text, codePage);
      ASSERT_TRUE(bytes.has_value()) << keyName(msg) << " in " << languageName(lang) << " does not fit code page "
                                     << codePage;
      EXPECT_EQ(codePages.toUtf8(*bytes, codePage), text) << keyName(msg) << " in " << languageName(lang);
      EXPECT_TRUE(lang != Lang::Chinese || isGb2312(*bytes)) << keyName(msg) << " leaves GB2312";
    }
}

// The checks above must be able to fail: they see through the code pages.
TEST(Catalogue, CodePageCheckRejectsCharactersOutsideTheLanguage) {
  IconvCodePages codePages{1252};
  EXPECT_FALSE(codePages.fromUtf8("Сохранить", languageCodePage(Lang::French)).has_value());
  EXPECT_FALSE(codePages.fromUtf8("備份", languageCodePage(Lang::Russian)).has_value());
  const auto traditional = codePages.fromUtf8("驅動", languageCodePage(Lang::Chinese));
  ASSERT_TRUE(traditional.has_value()) << "GBK holds traditional characters";
  EXPECT_FALSE(isGb2312(*traditional));
  EXPECT_EQ(placeholders("%s of %d, 100%"), "sd");
}

// The notice comes right before the question whether to restart: none of
// the languages may announce a restart of its own, in minutes or seconds.
TEST(Catalogue, RestartNoticesAnnounceNoRestartOfTheirOwn) {
  for (Lang lang : {Lang::English, Lang::French, Lang::Spanish, Lang::Russian, Lang::Chinese, Lang::ChineseTW}) {
    EXPECT_EQ(message(Msg::RestartNotice, lang).find_first_of("0123456789"), std::string::npos)
        << message(Msg::RestartNotice, lang);
    if (lang != Lang::Spanish) {
      EXPECT_EQ(message(Msg::RestoreAllRestartNotice, lang), message(Msg::RestartNotice, lang));
    }
  }
}

}  // namespace
}  // namespace korvane::test
