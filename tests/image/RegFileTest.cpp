#include "platform/image/RegFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdint>

#include "platform/image/IconvCodePages.h"

namespace korvane {
namespace {

using namespace std::string_literals;

constexpr const char* kHeader5 = "Windows Registry Editor Version 5.00";

std::string utf16File(const std::string& utf8) { return "\xFF\xFE" + utf8ToUtf16leBytes(utf8); }

// "xx,xx,..." for bytes, as a person would type them into an export.
std::string hexList(const std::vector<uint8_t>& bytes) {
  std::string out;
  char digits[4];
  for (size_t k = 0; k < bytes.size(); ++k) {
    std::snprintf(digits, sizeof digits, "%02x", bytes[k]);
    out += (k ? "," : "") + std::string(digits);
  }
  return out;
}

std::string repeated(const std::string& piece, size_t count) {
  std::string out;
  for (size_t k = 0; k < count; ++k) out += piece;
  return out;
}

RegValue typed(uint32_t type, std::vector<uint8_t> data) { return RegValue{type, std::move(data)}; }

class RegFileTest : public ::testing::Test {
 protected:
  std::vector<RegFileKey> parseOk(const std::string& bytes) {
    std::string error;
    auto keys = parseRegFile(bytes, "test.reg", codePages, error);
    EXPECT_TRUE(keys) << error;
    return keys ? *keys : std::vector<RegFileKey>{};
  }
  std::string parseError(const std::string& bytes) {
    std::string error;
    EXPECT_FALSE(parseRegFile(bytes, "bad.reg", codePages, error)) << "accepted:\n" << bytes;
    return error;
  }
  static std::optional<RegValue> valueOf(const RegFileKey& key, const std::string& name) {
    for (const auto& v : key.values)
      if (v.name == name) return v.value;
    ADD_FAILURE() << "no value " << name;
    return std::nullopt;
  }
  IconvCodePages codePages{1252};
};

TEST_F(RegFileTest, ReadsEveryValueFormOfAVersion5File) {
  const RegValue expand = RegValue::fromString("%SystemRoot%\\system32", RegType::ExpandString);
  const RegValue multi = RegValue::fromMultiString({"one", "two"});
  const std::string text = std::string(kHeader5) +
                           "\r\n\r\n"
                           "; a comment line\r\n"
                           "[HKEY_LOCAL_MACHINE\\SYSTEM\\Test]\r\n"
                           "@=\"default\"\r\n"
                           "\"Quoted\"=\"say \\\"hi\\\" at C:\\\\WINDOWS\\\\\"\r\n"
                           "\"Number\"=dword:0000abcd\r\n"
                           "\"Bytes\"=hex:01,ff,7A\r\n"
                           "\"Empty\"=hex:\r\n"
                           "\"Expand\"=hex(2):" + hexList(expand.data) + "\r\n"
                           "\"Multi\"=hex(7):" + hexList(multi.data) + "\r\n"
                           "\"Big\"=hex(b):08,07,06,05,04,03,02,01\r\n"
                           "\"None\"=hex(0):\r\n"
                           "\"Odd\"=hex(2a):10,20\r\n"
                           "  \"Indented\" = \"yes\"\r\n";
  const auto keys = parseOk(utf16File(text));
  ASSERT_EQ(keys.size(), 1u);
  const RegFileKey& key = keys[0];
  EXPECT_EQ(key.root, RegRoot::LocalMachine);
  EXPECT_EQ(key.path, (std::vector<std::string>{"SYSTEM", "Test"}));
  EXPECT_FALSE(key.remove);
  ASSERT_EQ(key.values.size(), 11u);
  EXPECT_EQ(key.values[0].name, "");
  EXPECT_EQ(valueOf(key, ""), RegValue::fromString("default"));
  EXPECT_EQ(valueOf(key, "Quoted"), RegValue::fromString("say \"hi\" at C:\\WINDOWS\\"));
  EXPECT_EQ(valueOf(key, "Number"), RegValue::fromDword(0xabcd));
  EXPECT_EQ(valueOf(key, "Bytes"), typed(3, {0x01, 0xff, 0x7a}));
  EXPECT_EQ(valueOf(key, "Empty"), typed(3, {}));
  EXPECT_EQ(valueOf(key, "Expand"), expand);
  EXPECT_EQ(valueOf(key, "Multi"), multi);
  EXPECT_EQ(valueOf(key, "Big"), RegValue::fromQword(0x0102030405060708ull));
  EXPECT_EQ(valueOf(key, "None"), typed(0, {}));
  EXPECT_EQ(valueOf(key, "Odd"), typed(0x2a, {0x10, 0x20}));
  EXPECT_EQ(valueOf(key, "Indented"), RegValue::fromString("yes"));
}

TEST_F(RegFileTest, JoinsContinuationLines) {
  const std::string text = std::string(kHeader5) +
                           "\n\n[HKLM\\K]\n"
                           "\"Folded\"=hex:01,02,\\\n"
                           "      03,04,\\\n"
                           "\t05\n"
                           "\"BreakFirst\"=hex(3):\\\n"
                           "  aa,bb\n"
                           "\"After\"=dword:00000001\n";
  const auto keys = parseOk(text);
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(valueOf(keys[0], "Folded"), typed(3, {1, 2, 3, 4, 5}));
  EXPECT_EQ(valueOf(keys[0], "BreakFirst"), typed(3, {0xaa, 0xbb}));
  EXPECT_EQ(valueOf(keys[0], "After"), RegValue::fromDword(1));
}

TEST_F(RegFileTest, ReadsRegedit4EightBitText) {
  // "Café" and "é" in code page 1252; hex(2)/hex(7) hold 8-bit text in such files.
  const std::string text =
      "REGEDIT4\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\Caf\xE9]\r\n"
      "\"Name\"=\"Caf\xE9\"\r\n"
      "\"Path\"=hex(2):25,77,69,6e,64,69,72,25,5c,e9,00\r\n"
      "\"List\"=hex(7):61,00,e9,74,e9,00,00\r\n"
      "\"Raw\"=hex:e9,00\r\n";
  const auto keys = parseOk(text);
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(keys[0].root, RegRoot::CurrentUser);
  EXPECT_EQ(keys[0].path, (std::vector<std::string>{"Software", "Caf\u00e9"}));
  EXPECT_EQ(valueOf(keys[0], "Name"), RegValue::fromString("Caf\u00e9"));
  EXPECT_EQ(valueOf(keys[0], "Path"), RegValue::fromString("%windir%\\\u00e9", RegType::ExpandString));
  EXPECT_EQ(valueOf(keys[0], "List"), RegValue::fromMultiString({"a", "\u00e9t\u00e9"}));
  EXPECT_EQ(valueOf(keys[0], "Raw"), typed(3, {0xe9, 0x00}));  // binary stays as it is
}

TEST_F(RegFileTest, Version5HexStringsAreAlreadyUtf16) {
  const RegValue cyrillic = RegValue::fromString("\u0414\u0440\u0430\u0439\u0432\u0435\u0440", RegType::ExpandString);
  const std::string text = std::string(kHeader5) + "\n[HKLM\\K]\n\"V\"=hex(2):" + hexList(cyrillic.data) + "\n";
  EXPECT_EQ(valueOf(parseOk(text)[0], "V"), cyrillic);
}

TEST_F(RegFileTest, ReadsUtf8WithByteOrderMarkAndEightBitVersion5) {
  const std::string body = "\n[HKLM\\Caf\u00e9]\n\"\u00c9t\u00e9\"=\"\u0436\"\n";
  const auto fromUtf8 = parseOk("\xEF\xBB\xBF" + std::string(kHeader5) + body);
  ASSERT_EQ(fromUtf8.size(), 1u);
  EXPECT_EQ(fromUtf8[0].path[0], "Caf\u00e9");
  EXPECT_EQ(valueOf(fromUtf8[0], "\u00c9t\u00e9"), RegValue::fromString("\u0436"));

  const auto eightBit = parseOk(std::string(kHeader5) + "\n[HKLM\\Caf\xE9]\n\"A\"=\"\xC9t\xE9\"\n");
  ASSERT_EQ(eightBit.size(), 1u);
  EXPECT_EQ(eightBit[0].path[0], "Caf\u00e9");
  EXPECT_EQ(valueOf(eightBit[0], "A"), RegValue::fromString("\u00c9t\u00e9"));
}

TEST_F(RegFileTest, ReadsDeletionsAndShortRootNames) {
  const std::string text = std::string(kHeader5) +
                           "\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Old]\n"
                           "[HKCU\\Keep]\n\"Gone\"=-\n@=-\n"
                           "[HKCR\\.txt]\n[HKU\\S-1-5-18]\n[HKCC\\System]\n[HKEY_LOCAL_MACHINE]\n";
  const auto keys = parseOk(text);
  ASSERT_EQ(keys.size(), 6u);
  EXPECT_TRUE(keys[0].remove);
  EXPECT_EQ(keys[0].path, (std::vector<std::string>{"SOFTWARE", "Old"}));
  EXPECT_FALSE(keys[1].remove);
  EXPECT_EQ(keys[1].values, (std::vector<RegFileValue>{{"Gone", std::nullopt}, {"", std::nullopt}}));
  EXPECT_EQ(keys[2].root, RegRoot::ClassesRoot);
  EXPECT_EQ(keys[3].root, RegRoot::Users);
  EXPECT_EQ(keys[4].root, RegRoot::CurrentConfig);
  EXPECT_TRUE(keys[5].path.empty());
}

TEST_F(RegFileTest, KeepsBracketsAndSpacesInsideKeyNames) {
  const auto keys = parseOk(std::string(kHeader5) + "\n[HKLM\\a]b\\ c ]\n");
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(keys[0].path, (std::vector<std::string>{"a]b", " c "}));
}

struct BrokenCase {
  const char* label;
  std::string text;
  int line;
  const char* what;
};

TEST_F(RegFileTest, BrokenFilesFailNamingFileAndLine) {
  const std::string h = std::string(kHeader5) + "\n";
  const BrokenCase cases[] = {
      {"unknown header", "Windows Registry Editor Version 6.00\n[HKLM\\K]\n", 1, "unknown header"},
      {"no header", "", 1, "no header"},
      {"header not first", "\n" + h, 1, "unknown header"},
      {"value before key", h + "\"a\"=\"b\"\n", 2, "before any key"},
      {"unknown root", h + "\n[HKEY_LOCAL_MACHIN\\X]\n", 3, "unknown root key"},
      {"no closing bracket", h + "[HKLM\\X\n", 2, "closing ']'"},
      {"empty key name", h + "[HKLM\\X\\\\Y]\n", 2, "empty key name"},
      {"trailing backslash in key", h + "[HKLM\\X\\]\n", 2, "empty key name"},
      {"deleting a root", h + "[-HKLM]\n", 2, "root key cannot be deleted"},
      {"unterminated string", h + "[HKLM\\X]\n\"a\"=\"open\n", 3, "unterminated string"},
      {"unterminated name", h + "[HKLM\\X]\n\"a=\"x\"\n", 3, "'=' expected"},
      {"unknown escape", h + "[HKLM\\X]\n\"a\"=\"C:\\WINDOWS\"\n", 3, "unknown escape"},
      {"text after string", h + "[HKLM\\X]\n\"a\"=\"x\" y\n", 3, "after the closing quote"},
      {"missing equals", h + "[HKLM\\X]\n\"a\" \"x\"\n", 3, "'=' expected"},
      {"bad hex digit", h + "[HKLM\\X]\n\"a\"=hex:01,0g\n", 3, "bad hex byte '0g'"},
      {"hex byte too long", h + "[HKLM\\X]\n\"a\"=hex:0102\n", 3, "bad hex byte"},
      {"bad hex on continuation", h + "[HKLM\\X]\n\"a\"=hex:01,\\\n  02,\\\n  zz\n", 5, "bad hex byte 'zz'"},
      {"missing byte", h + "[HKLM\\X]\n\"a\"=hex:01,,02\n", 3, "missing hex byte"},
      {"trailing comma", h + "[HKLM\\X]\n\"a\"=hex:01,\n", 3, "missing hex byte"},
      {"continuation at end", h + "[HKLM\\X]\n\"a\"=hex:01,\\", 3, "past the end of the file"},
      {"bad type", h + "[HKLM\\X]\n\"a\"=hex(q):01\n", 3, "bad value type"},
      {"type without colon", h + "[HKLM\\X]\n\"a\"=hex(2)01\n", 3, "bad value type"},
      {"type too large", h + "[HKLM\\X]\n\"a\"=hex(123456789):01\n", 3, "bad value type"},
      {"dword too long", h + "[HKLM\\X]\n\"a\"=dword:123456789\n", 3, "bad dword"},
      {"dword not hex", h + "[HKLM\\X]\n\"a\"=dword:12x4\n", 3, "bad dword"},
      {"dword empty", h + "[HKLM\\X]\n\"a\"=dword:\n", 3, "bad dword"},
      {"unknown data", h + "[HKLM\\X]\n\"a\"=qword:1\n", 3, "unknown value data"},
      {"deleted key with value", h + "[-HKLM\\X]\n\"a\"=\"b\"\n", 3, "deleted key"},
      {"stray text", h + "[HKLM\\X]\nhello\n", 3, "unexpected text"},
      {"NUL in line", h + "[HKLM\\X]\n\"a\"=\"b\0c\"\n"s, 3, "NUL"},
      {"bad UTF-8", "\xEF\xBB\xBF" + h + "[HKLM\\X]\n\"a\"=\"\xC3\"\n", 3, "not valid UTF-8"},
      {"too deep", h + "[HKLM" + repeated("\\k", kMaxRegKeyDepth + 1) + "]\n", 2, "deeper than"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string error = parseError(c.text);
    EXPECT_EQ(error.rfind("bad.reg:" + std::to_string(c.line) + ": ", 0), 0u) << error;
    EXPECT_NE(error.find(c.what), std::string::npos) << error;
  }
}

TEST_F(RegFileTest, TextOutsideTheCodePageFailsNamingTheLine) {
  // A lead byte of code page 936 without its second byte is no text at all.
  codePages = IconvCodePages{936};
  for (const std::string& bytes : {std::string("REGEDIT4\n[HKLM\\X]\n\"a\"=\"\x81\"\n"),
                                   std::string("REGEDIT4\n[HKLM\\X]\n\"a\"=hex(2):81,00\n")}) {
    const std::string error = parseError(bytes);
    EXPECT_EQ(error.rfind("bad.reg:3: ", 0), 0u) << error;
    EXPECT_NE(error.find("code page 936"), std::string::npos) << error;
  }
}

TEST_F(RegFileTest, UnassignedSingleByteValuesLoadAsWindowsMapsThem) {
  const auto keys = parseOk("REGEDIT4\n[HKLM\\X]\n\"a\"=\"\x81\"\n");
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(valueOf(keys[0], "a"), RegValue::fromString("\u0081"));
}

TEST_F(RegFileTest, BrokenUtf16FileReportsTheLine) {
  const std::string error =
      parseError(utf16File(std::string(kHeader5) + "\r\n\r\n[HKLM\\X]\r\n\"a\"=dword:1\r\n\"b\"=dword:zz\r\n"));
  EXPECT_EQ(error.rfind("bad.reg:5: ", 0), 0u) << error;
}

TEST_F(RegFileTest, WritesVersion5AsRegeditDoes) {
  const std::vector<RegFileKey> keys = {
      {RegRoot::LocalMachine, {"SYSTEM", "Test"}, false,
       {{"", RegValue::fromString("d")},
        {"Path", RegValue::fromString("C:\\\"x\"")},
        {"Count", RegValue::fromDword(0x1a)},
        {"Bin", typed(3, {0x00, 0xab})},
        {"Gone", std::nullopt}}},
      {RegRoot::CurrentUser, {"Old"}, true, {}},
  };
  const std::string expected = std::string(kHeader5) +
                               "\r\n\r\n"
                               "[HKEY_LOCAL_MACHINE\\SYSTEM\\Test]\r\n"
                               "@=\"d\"\r\n"
                               "\"Path\"=\"C:\\\\\\\"x\\\"\"\r\n"
                               "\"Count\"=dword:0000001a\r\n"
                               "\"Bin\"=hex:00,ab\r\n"
                               "\"Gone\"=-\r\n"
                               "\r\n"
                               "[-HKEY_CURRENT_USER\\Old]\r\n"
                               "\r\n";
  EXPECT_EQ(writeRegFile(keys), utf16File(expected));
}

TEST_F(RegFileTest, FoldsLongHexLinesAtEightyColumns) {
  const RegValue path = RegValue::fromString("system32\\DRIVERS\\AFD.SYS", RegType::ExpandString);
  const std::string expected = std::string(kHeader5) +
                               "\r\n\r\n[HKEY_LOCAL_MACHINE\\S]\r\n"
                               "\"ImagePath\"=hex(2):73,00,79,00,73,00,74,00,65,00,6d,00,33,00,32,00,5c,00,44,00,\\\r\n"
                               "  52,00,49,00,56,00,45,00,52,00,53,00,5c,00,41,00,46,00,44,00,2e,00,53,00,59,\\\r\n"
                               "  00,53,00,00,00\r\n\r\n";
  EXPECT_EQ(writeRegFile({{RegRoot::LocalMachine, {"S"}, false, {{"ImagePath", path}}}}), utf16File(expected));
}

TEST_F(RegFileTest, FoldedLinesStayWithinEightyColumns) {
  std::vector<uint8_t> data(1000);
  for (size_t k = 0; k < data.size(); ++k) data[k] = static_cast<uint8_t>(k);
  const std::string name(100, 'n');  // longer than a line on its own
  const std::string file = writeRegFile({{RegRoot::LocalMachine, {"S"}, false, {{name, typed(3, data)}}}});
  const auto lines = splitLines(utf16leBytesToUtf8(file.substr(2)));
  size_t folded = 0;
  for (size_t k = 3; k + 1 < lines.size() && !lines[k].empty(); ++k) {
    if (k > 3) {
      EXPECT_EQ(lines[k].substr(0, 2), "  ");
      EXPECT_LE(lines[k].size(), 80u) << lines[k];
    }
    folded += lines[k].back() == '\\';
  }
  EXPECT_GT(folded, 10u);
}

TEST_F(RegFileTest, WriterUsesHexForStringsTheQuotedFormCannotHold) {
  const RegValue unterminated = typed(1, {'a', 0});
  const RegValue twoLines = RegValue::fromString("a\r\nb");
  const RegValue innerNul = typed(1, {'a', 0, 0, 0, 'b', 0, 0, 0});
  const RegValue shortDword = typed(4, {1, 2});
  const std::string text = utf16leBytesToUtf8(writeRegFile(
      {{RegRoot::LocalMachine, {"K"}, false,
        {{"u", unterminated}, {"t", twoLines}, {"n", innerNul}, {"d", shortDword}}}}).substr(2));
  EXPECT_NE(text.find("\"u\"=hex(1):61,00\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\"t\"=hex(1):"), std::string::npos) << text;
  EXPECT_NE(text.find("\"n\"=hex(1):"), std::string::npos) << text;
  EXPECT_NE(text.find("\"d\"=hex(4):01,02\r\n"), std::string::npos) << text;
}

TEST_F(RegFileTest, RoundTripKeepsEveryType) {
  std::vector<uint8_t> longData(300);
  for (size_t k = 0; k < longData.size(); ++k) longData[k] = static_cast<uint8_t>(255 - k);
  std::vector<RegFileValue> values = {
      {"", RegValue::fromString("default")},
      {"Str", RegValue::fromString("back\\slash \"quote\" \u00e9\u0436\u4e2d\U0001F600")},
      {"EmptyStr", RegValue::fromString("")},
      {"Expand", RegValue::fromString("%SystemRoot%\\x", RegType::ExpandString)},
      {"Multi", RegValue::fromMultiString({"a", "\u00e9", "c d"})},
      {"Dword", RegValue::fromDword(0xfedcba98)},
      {"Qword", RegValue::fromQword(0x0123456789abcdefull)},
      {"Binary", typed(3, longData)},
      {"EmptyBinary", typed(3, {})},
      {"None", typed(0, {})},
      {"BigEndian", typed(5, {0, 0, 0, 1})},
      {"Link", RegValue::fromString("\\Registry\\Machine", RegType::Link)},
      {"Resources", typed(8, {1, 2, 3})},
      {"Descriptor", typed(9, {4})},
      {"Requirements", typed(10, {5, 6})},
      {"Custom", typed(0xffff0001, {7})},
      {"Unterminated", typed(1, {'x', 0})},
      {"OddLength", typed(2, {'x', 0, 'y'})},
      {"Lines", RegValue::fromString("one\ntwo")},
      {"quote\"and\\slash", RegValue::fromDword(0)},
      {"@", RegValue::fromString("not the default")},
      {"Deleted", std::nullopt},
  };
  const std::vector<RegFileKey> keys = {
      {RegRoot::LocalMachine, {"SYSTEM", "CurrentControlSet", "Enum", "PCI"}, false, {}},
      {RegRoot::LocalMachine, {"Caf\u00e9", "\u041a\u043b\u044e\u0447", "a]b", " spaced "}, false, values},
      {RegRoot::ClassesRoot, {}, false, {{"RootValue", RegValue::fromDword(1)}}},
      {RegRoot::Users, {"Old"}, true, {}},
  };
  EXPECT_EQ(parseOk(writeRegFile(keys)), keys);
}

}  // namespace
}  // namespace korvane
