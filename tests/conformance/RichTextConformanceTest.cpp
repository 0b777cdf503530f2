// Setup.DIY's rich text: what the platform writes reads back, and our reader
// takes the lines out of the envelopes rich edit controls and editors write.
#include "conformance/ConformanceSupport.h"
#include "platform/RichText.h"

namespace korvane::test {
namespace {

class RichTextConformance : public ConformanceTest {
 protected:
  std::unique_ptr<RichText> rich = makeRichText(machine());
  std::string plain(const std::string& document) { return richTextToPlainText(document, machine().codePages()); }
};

TEST_F(RichTextConformance, TwoLinesRoundTripThroughThePlatform) {
  const std::string path = scratchPath("Setup.DIY");
  ASSERT_TRUE(rich->writePlainText(path, "pci\\ven_10de&dev_0322\noem3.inf"));
  EXPECT_EQ(rich->readPlainText(path).value_or("?"), "pci\\ven_10de&dev_0322\noem3.inf");
  // What the platform wrote is rich text that our own reader understands too:
  // under Wine this is the rich edit control's own envelope.
  const std::string bytes = files().readFile(path).value_or("");
  EXPECT_EQ(bytes.rfind("{\\rtf", 0), 0u) << bytes;
  EXPECT_EQ(plain(bytes), "pci\\ven_10de&dev_0322\noem3.inf") << ::testing::PrintToString(bytes);
}

TEST_F(RichTextConformance, EmptyFirstLineAndBracesSurvive) {
  const std::string path = scratchPath("Setup.DIY");
  ASSERT_TRUE(rich->writePlainText(path, "\n{odd}.inf"));
  EXPECT_EQ(rich->readPlainText(path).value_or("?"), "\n{odd}.inf");
  EXPECT_EQ(plain(files().readFile(path).value_or("")), "\n{odd}.inf");
}

TEST_F(RichTextConformance, MissingFileIsNoText) { EXPECT_FALSE(rich->readPlainText(scratchPath("none.diy"))); }

TEST_F(RichTextConformance, ReaderTakesTheLinesOfOtherEnvelopes) {
  // An early rich edit control's envelope, with a colour table and \line breaks.
  EXPECT_EQ(plain("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 MS Sans Serif;}}{\\colortbl ;\\red0\\green0"
                  "\\blue0;}\r\n\\pard\\plain\\f0\\fs16 usb\\\\vid_1f3d\\par\r\nmouse.inf\\par\r\n}"),
            "usb\\vid_1f3d\nmouse.inf");
  // A word processor's envelope: generator destination, style sheet, Unicode escapes.
  EXPECT_EQ(plain("{\\rtf1\\ansi\\ansicpg1252\\uc1{\\fonttbl{\\f0 Arial;}}{\\stylesheet{\\s0 Normal;}}"
                  "{\\*\\generator Some Editor 1.0;}\\viewkind4\\pard "
                  "caf\\u233?\\par drv.inf\\par}"),
            "caf\u00e9\ndrv.inf");
  // GB2312 bytes in the control's own code page.
  EXPECT_EQ(plain("{\\rtf1\\ansi\\ansicpg936\\deff0{\\fonttbl{\\f0\\fcharset134 MS Sans Serif;}}"
                  "\\pard\\f0\\fs16 \\'c7\\'fd\\'b6\\'af\\par x.inf\\par}"),
            "\u9a71\u52a8\nx.inf");
  // The envelope one rich edit control writes: its format ends the last line,
  // and a NUL follows the document.
  EXPECT_EQ(plain(std::string("{\\rtf1\\ansi\\ansicpg1252\\uc1\\deff0{\\fonttbl{\\f0\\fcharset0 System;}}\r\n"
                              "{\\colortbl;}\r\n{\\*\\generator Some Riched 2.0;}\r\n\\pard\\sl-240\\slmult1 "
                              "\\b\\fs18\\f0 pci\\\\ven_10de\\par\r\noem3.inf\\fs16\\f1 \\par\r\n}") +
                  '\0'),
            "pci\\ven_10de\noem3.inf");
  // A file that is not rich text at all loads as plain text.
  EXPECT_EQ(plain("acpi\\pnp0303\r\nkbd.inf"), "acpi\\pnp0303\r\nkbd.inf");
}

TEST_F(RichTextConformance, BrokenDocumentsGiveTextNotCrashes) {
  EXPECT_EQ(plain("{\\rtf1 unterminated \\'4"), "unterminated 4") << "a cut escape is left as text";
  EXPECT_EQ(plain("{\\rtf1 }}}} a"), "") << "nothing after the end of the document is text";
  EXPECT_EQ(plain(std::string("{\\rtf1") + std::string(5000, '{') + "deep"), "deep");
  EXPECT_EQ(plain("{\\rtf1 \\u-3? x}"), "\uFFFD x");
}

}  // namespace
}  // namespace korvane::test
