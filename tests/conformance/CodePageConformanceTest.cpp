// Conversions between UTF-8 and the 8-bit code pages of the six interface
// languages' systems, on our image layer and on the system's tables alike.
#include "conformance/ConformanceSupport.h"

namespace korvane::test {
namespace {

class CodePageConformance : public ConformanceTest {
 protected:
  CodePages& codePages() { return machine().codePages(); }
};

struct Sample {
  unsigned codePage;
  std::string bytes;
  std::string utf8;
};

const Sample kSamples[] = {
    {1252, "caf\xE9 \x80", "caf\xC3\xA9 \xE2\x82\xAC"},             // French text and the euro sign
    {1251, "\xC4\xF0\xE0\xE9\xE2\xE5\xF0", "Драйвер"},            // Russian
    {936, "\xC7\xFD\xB6\xAF", "\xE9\xA9\xB1\xE5\x8A\xA8"},         // Simplified Chinese (GB2312)
    {950, "\xC5\x58\xB0\xCA", "\xE9\xA9\x85\xE5\x8B\x95"},         // Traditional Chinese (Big5)
};

TEST_F(CodePageConformance, ConvertsBothWays) {
  for (const auto& sample : kSamples) {
    EXPECT_EQ(codePages().toUtf8(sample.bytes, sample.codePage), sample.utf8) << sample.codePage;
    EXPECT_EQ(codePages().fromUtf8(sample.utf8, sample.codePage), sample.bytes) << sample.codePage;
  }
}

TEST_F(CodePageConformance, EmptyTextConvertsToEmptyText) {
  EXPECT_EQ(codePages().toUtf8("", 1252), "");
  EXPECT_EQ(codePages().fromUtf8("", 936), "");
}

// Windows-1252 gives its five unassigned bytes the C1 control characters.
TEST_F(CodePageConformance, UnassignedWindows1252BytesBecomeControlCharacters) {
  EXPECT_EQ(codePages().toUtf8("\x81\x8D\x8F\x90\x9D", 1252), "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D");
}

TEST_F(CodePageConformance, BrokenDoubleByteTextFails) {
  EXPECT_FALSE(codePages().toUtf8("\xC7", 936)) << "a lead byte without its trail byte";
  EXPECT_FALSE(codePages().toUtf8("ab\xC5", 950));
}

TEST_F(CodePageConformance, CharactersOutsideTheCodePageFail) {
  EXPECT_FALSE(codePages().fromUtf8("Драйвер", 1252));
  EXPECT_FALSE(codePages().fromUtf8("caf\xC3\xA9", 1251));
  EXPECT_FALSE(codePages().fromUtf8("\xE2\x98\x83", 936)) << "a snowman has no GB2312 code";
}

TEST_F(CodePageConformance, MalformedUtf8Fails) {
  EXPECT_FALSE(codePages().fromUtf8("abc\xC3", 1252));
  EXPECT_FALSE(codePages().fromUtf8("\xFF\xFE", 1252));
}

}  // namespace
}  // namespace korvane::test
