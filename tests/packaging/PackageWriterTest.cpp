// The package services on their own: what a stopped run and a failed join
// leave behind.
#include "packaging/CabTestKit.h"
#include "packaging/PackageWriter.h"

namespace korvane::test::cab {
namespace {

using PackageWriter = CabTest;

TEST_F(PackageWriter, AnInstallerIsWholeOrNotThere) {
  const std::string stub = randomBytes(150000, 1), cabinet = randomBytes(70000, 2);
  put(at("stub.exe"), stub);
  put(at("driver.cab"), cabinet);
  EXPECT_FALSE(joinInstaller(files(), at("stub.exe"), at("missing.cab"), at("half.exe")));
  EXPECT_FALSE(files().exists(at("half.exe"))) << "half an installer was left";
  EXPECT_FALSE(joinInstaller(files(), at("missing.exe"), at("driver.cab"), at("none.exe")));
  EXPECT_FALSE(files().exists(at("none.exe")));
  EXPECT_TRUE(get(at("driver.cab")) == cabinet) << "a failed join must keep the cabinet";

  ASSERT_TRUE(joinInstaller(files(), at("stub.exe"), at("driver.cab"), at("driver.exe")));
  EXPECT_TRUE(get(at("driver.exe")) == stub + cabinet);
  EXPECT_FALSE(files().exists(at("driver.cab")));
}

TEST_F(PackageWriter, ACabinetDroppedBeforeItIsFinishedIsNotWritten) {
  putAll(at("src"), {{"a.inf", textBytes(5000, 1)}, {"a.sys", randomBytes(5000, 2)}});
  {
    PackageCabinet package(machine(), at("out\\all.cab"));
    package.addFiles(at("src"), {"a.inf", "a.sys"});
  }
  EXPECT_FALSE(files().exists(at("out\\all.cab")));

  PackageCabinet package(machine(), at("out\\all.cab"));
  package.addFiles(at("src"), {"a.inf", "a.sys"});
  ASSERT_EQ(package.finish(), PackResult::Written);
  TSTCabReader reader(machine());
  reader.ExtractFiles(at("out\\all.cab"), at("back"));
  EXPECT_EQ(filesBelow(at("back")), (std::vector<std::string>{"a.inf", "a.sys"}));
}

}  // namespace
}  // namespace korvane::test::cab
