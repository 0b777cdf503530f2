// The registry: values of every kind Korvane reads or writes, enumeration
// order and tree deletion, on our image layer and on the real functions alike.
#include "conformance/ConformanceSupport.h"

namespace korvane::test {
namespace {

using Strings = std::vector<std::string>;
constexpr RegRoot kUser = RegRoot::CurrentUser;

class RegistryConformance : public ConformanceTest {
 protected:
  // A key of its own per test, so that runs and tests never see each other's leftovers.
  RegistryConformance() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    base_ = std::string("Software\\KorvaneTest\\") + info->name();
    registry().deleteTree(kUser, base_);
  }
  ~RegistryConformance() override { registry().deleteTree(kUser, base_); }

  Registry& registry() { return machine().registry(); }
  std::string key(const std::string& below = "") const { return below.empty() ? base_ : base_ + "\\" + below; }

  void expectRoundTrip(const std::string& name, const RegValue& value) {
    ASSERT_TRUE(registry().writeValue(kUser, key(), name, value)) << name;
    const auto back = registry().readValue(kUser, key(), name);
    ASSERT_TRUE(back) << name;
    EXPECT_EQ(back->type, value.type) << name;
    EXPECT_EQ(back->data, value.data) << name;
  }

 private:
  std::string base_;
};

TEST_F(RegistryConformance, StringKindsKeepTypeAndBytes) {
  expectRoundTrip("Plain", RegValue::fromString("Network adapter"));
  expectRoundTrip("Expand", RegValue::fromString("%SystemRoot%\\system32\\drivers", RegType::ExpandString));
  expectRoundTrip("Multi", RegValue::fromMultiString({"PCI\\VEN_8086", "PCI\\CC_0200"}));
  expectRoundTrip("Empty", RegValue::fromString(""));
  expectRoundTrip("Wide", RegValue::fromString("Ж\xC3\xA9\xE4\xB8\xAD"));
  expectRoundTrip("", RegValue::fromString("the default value"));
  EXPECT_EQ(registry().readString(kUser, key(), "Expand"), "%SystemRoot%\\system32\\drivers")
      << "expandable strings come back unexpanded";
  EXPECT_EQ(registry().readValue(kUser, key(), "Multi")->asMultiString(), (Strings{"PCI\\VEN_8086", "PCI\\CC_0200"}));
}

TEST_F(RegistryConformance, NumbersAndBinaryKeepTypeAndBytes) {
  expectRoundTrip("Dword", RegValue::fromDword(0x80000001u));
  expectRoundTrip("Qword", RegValue::fromQword(0x0123456789ABCDEFull));
  expectRoundTrip("Binary", RegValue{static_cast<uint32_t>(RegType::Binary), {0x00, 0xFF, 0x00, 0x7F, 0x01}});
  expectRoundTrip("NoBytes", RegValue{static_cast<uint32_t>(RegType::Binary), {}});
  expectRoundTrip("None", RegValue{static_cast<uint32_t>(RegType::None), {0x42}});
  EXPECT_EQ(registry().readValue(kUser, key(), "Dword")->asNumber(), 0x80000001u);
  EXPECT_EQ(registry().readValue(kUser, key(), "Qword")->asNumber(), 0x0123456789ABCDEFull);
}

TEST_F(RegistryConformance, RewritingAValueMayChangeItsType) {
  ASSERT_TRUE(registry().writeString(kUser, key(), "Mode", "text"));
  ASSERT_TRUE(registry().writeValue(kUser, key(), "Mode", RegValue::fromDword(7)));
  const auto value = registry().readValue(kUser, key(), "Mode");
  ASSERT_TRUE(value);
  EXPECT_EQ(value->type, static_cast<uint32_t>(RegType::Dword));
  EXPECT_EQ(value->asNumber(), 7u);
  EXPECT_EQ(registry().valueNames(kUser, key()), (Strings{"Mode"}));
}

TEST_F(RegistryConformance, WritesCreateTheKeysOnTheWay) {
  ASSERT_TRUE(registry().writeString(kUser, key("Class\\{4D36E972}\\0000"), "DriverDesc", "Adapter"));
  EXPECT_TRUE(registry().keyExists(kUser, key("Class")));
  EXPECT_TRUE(registry().keyExists(kUser, key("Class\\{4D36E972}")));
  EXPECT_EQ(registry().readString(kUser, key("Class\\{4D36E972}\\0000"), "DriverDesc"), "Adapter");
  ASSERT_TRUE(registry().createKey(kUser, key("Empty\\Below")));
  EXPECT_EQ(registry().subkeyNames(kUser, key("Empty\\Below")), Strings{});
  EXPECT_EQ(registry().valueNames(kUser, key("Empty\\Below")), Strings{});
}

TEST_F(RegistryConformance, KeyAndValueNamesIgnoreCaseAndKeepTheirSpelling) {
  ASSERT_TRUE(registry().writeString(kUser, key("MixedCase"), "ValueName", "v"));
  EXPECT_TRUE(registry().keyExists(kUser, key("MIXEDCASE")));
  EXPECT_EQ(registry().readString(kUser, key("mixedcase"), "VALUENAME"), "v");
  EXPECT_EQ(registry().subkeyNames(kUser, key()), (Strings{"MixedCase"}));
  EXPECT_EQ(registry().valueNames(kUser, key("MixedCase")), (Strings{"ValueName"}));
}

TEST_F(RegistryConformance, PathMayStartWithABackslash) {
  std::string leading = key("Lead");
  leading.insert(0, 1, '\\');
  ASSERT_TRUE(registry().writeString(kUser, leading, "Name", "x"));
  EXPECT_EQ(registry().readString(kUser, key("Lead"), "Name"), "x");
  EXPECT_TRUE(registry().keyExists(kUser, leading));
}

TEST_F(RegistryConformance, MissingKeysAndValuesAreReportedAsMissing) {
  EXPECT_FALSE(registry().keyExists(kUser, key()));
  EXPECT_FALSE(registry().subkeyNames(kUser, key()));
  EXPECT_FALSE(registry().valueNames(kUser, key()));
  EXPECT_FALSE(registry().readValue(kUser, key(), "Anything"));
  ASSERT_TRUE(registry().createKey(kUser, key()));
  EXPECT_FALSE(registry().readValue(kUser, key(), "Anything"));
  EXPECT_FALSE(registry().readString(kUser, key(), "Anything"));
  EXPECT_FALSE(registry().deleteValue(kUser, key(), "Anything"));
}

// Subkeys come sorted without regard to case, whatever the order of creation.
TEST_F(RegistryConformance, SubkeysEnumerateInNameOrder) {
  for (const char* name : {"Zeta", "alpha", "0010", "Beta", "0002", "0001"})
    ASSERT_TRUE(registry().createKey(kUser, key(name))) << name;
  EXPECT_EQ(registry().subkeyNames(kUser, key()), (Strings{"0001", "0002", "0010", "alpha", "Beta", "Zeta"}));
}

// Value order is the registry's own (Windows: order of creation, Wine: sorted),
// so only the names count.
TEST_F(RegistryConformance, ValuesEnumerateEachNameOnce) {
  for (const char* name : {"Zeta", "alpha", "Beta"}) ASSERT_TRUE(registry().writeString(kUser, key(), name, name));
  ASSERT_TRUE(registry().writeString(kUser, key(), "ALPHA", "rewritten"));
  EXPECT_EQ(sorted(registry().valueNames(kUser, key()).value_or(Strings{})), (Strings{"Beta", "Zeta", "alpha"}));
  EXPECT_EQ(registry().readString(kUser, key(), "alpha"), "rewritten");
  ASSERT_TRUE(registry().deleteValue(kUser, key(), "Alpha"));
  EXPECT_EQ(sorted(registry().valueNames(kUser, key()).value_or(Strings{})), (Strings{"Beta", "Zeta"}));
  EXPECT_FALSE(registry().readValue(kUser, key(), "alpha"));
}

TEST_F(RegistryConformance, LongNamesAndLargeValuesComeBackWhole) {
  const std::string longKey(255, 'k');  // the longest key name the registry takes
  const std::string longValueName(1000, 'n');
  RegValue large{static_cast<uint32_t>(RegType::Binary), std::vector<uint8_t>(100000)};
  for (size_t k = 0; k < large.data.size(); ++k) large.data[k] = static_cast<uint8_t>(k * 13);
  ASSERT_TRUE(registry().writeValue(kUser, key(longKey), longValueName, large));
  EXPECT_EQ(registry().subkeyNames(kUser, key()), (Strings{longKey}));
  EXPECT_EQ(registry().valueNames(kUser, key(longKey)), (Strings{longValueName}));
  EXPECT_EQ(registry().readValue(kUser, key(longKey), longValueName), large);
}

TEST_F(RegistryConformance, DeleteTreeRemovesTheKeyWithEverythingBelow) {
  ASSERT_TRUE(registry().writeString(kUser, key("Enum\\PCI\\VEN_1\\3&1"), "Driver", "x"));
  ASSERT_TRUE(registry().writeString(kUser, key("Enum\\PCI\\VEN_2"), "Driver", "y"));
  ASSERT_TRUE(registry().writeString(kUser, key("Enum"), "Count", "2"));
  ASSERT_TRUE(registry().writeString(kUser, key("Sibling"), "Keep", "z"));
  ASSERT_TRUE(registry().deleteTree(kUser, key("Enum")));
  EXPECT_FALSE(registry().keyExists(kUser, key("Enum")));
  EXPECT_FALSE(registry().keyExists(kUser, key("Enum\\PCI\\VEN_1\\3&1")));
  EXPECT_EQ(registry().readString(kUser, key("Sibling"), "Keep"), "z");
  EXPECT_EQ(registry().subkeyNames(kUser, key()), (Strings{"Sibling"}));
}

TEST_F(RegistryConformance, DeleteTreeOfAMissingKeyFails) {
  EXPECT_FALSE(registry().deleteTree(kUser, key("NotThere")));
}

TEST_F(RegistryConformance, DeleteTreeRefusesAWholeRoot) {
  ASSERT_TRUE(registry().writeString(kUser, key(), "Mark", "still here"));
  EXPECT_FALSE(registry().deleteTree(kUser, ""));
  EXPECT_FALSE(registry().deleteTree(kUser, "\\"));
  EXPECT_EQ(registry().readString(kUser, key(), "Mark"), "still here");
}

}  // namespace
}  // namespace korvane::test
