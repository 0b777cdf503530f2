// The database image: a cabinet put into the two-piece picture layout comes
// back whole, and what is not a sound database image is told apart.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>

#include "packaging/CabTestKit.h"
#include "update/DatabaseImage.h"

namespace korvane {
namespace {

using test::cab::RawFile;
using test::cab::RawOptions;
using test::cab::rawCabinet;
using ::testing::ElementsAre;

class DatabaseImageTest : public test::cab::CabTest {
 protected:
  const std::string head_ = std::string("GIF89a") + std::string(kPictureHeadSize - 6, '\x21');

  DatabaseImageCheck checkImage(const std::string& image) {
    put(at("image.PNF"), image);
    return checkDatabaseImage(files(), at("image.PNF"), at("image.ini"));
  }
};

TEST_F(DatabaseImageTest, ComposedImageReassemblesToItsCabinet) {
  // An MS-ZIP cabinet spanning several 64 KiB blocks, and a stored one
  // shorter than the piece at the image's end.
  putAll(at("db"), {{"DBxxxXP.inf", test::cab::randomBytes(150000, 3)}, {"notes.txt", "sample"}});
  writeCabinet(at("big.cab"), at("db"));
  const std::string big = get(at("big.cab"));
  const std::string small = rawCabinet({{"DBxxx98.inf", "line\r\n"}});
  ASSERT_GT(big.size(), 3 * kCabinetHeadSize);
  ASSERT_LT(small.size(), kCabinetHeadSize);

  for (const std::string& cabinet : {big, small}) {
    const std::string image = composeDatabaseImage(head_, cabinet);
    EXPECT_EQ(image.substr(0, kPictureHeadSize), head_);
    EXPECT_EQ(image.size(), kPictureHeadSize + std::max<size_t>(cabinet.size(), kCabinetHeadSize));
    const DatabaseImageCheck check = checkImage(image);
    EXPECT_TRUE(check.valid()) << static_cast<int>(check.fault);
    EXPECT_EQ(get(at("image.ini")).substr(0, cabinet.size()), cabinet);
  }
  EXPECT_THAT(checkImage(composeDatabaseImage(head_, big)).names, ElementsAre("DBxxxXP.inf", "notes.txt"));
  EXPECT_THROW(composeDatabaseImage(head_ + "x", small), std::invalid_argument);
}

TEST_F(DatabaseImageTest, FaultsOfFetchedImagesAreTold) {
  const std::string good = rawCabinet({{"DBxxxXP.inf", std::string(30000, 'x')}});
  const std::string html = "<html><body>404 Not Found</body></html>";
  RawOptions flipped, continued;
  flipped.flipDataByte = 20000;
  continued.nextCabinet = "next.cab";
  const std::pair<std::string, DatabaseImageFault> cases[] = {
      {std::string(kSmallestDatabaseImage - 1, 'x'), DatabaseImageFault::TooSmall},
      {html + std::string(kSmallestDatabaseImage, ' '), DatabaseImageFault::NotACabinet},
      {composeDatabaseImage(head_, good.substr(0, good.size() - 1000)), DatabaseImageFault::Damaged},
      {composeDatabaseImage(head_, rawCabinet({{"DBxxxXP.inf", std::string(30000, 'x')}}, flipped)),
       DatabaseImageFault::Damaged},
      {composeDatabaseImage(head_, rawCabinet({{"DBxxxXP.inf", "x"}}, continued)),
       DatabaseImageFault::Continued},
      {composeDatabaseImage(head_, rawCabinet({{"readme.txt", "x"}, {"DB\\DBxxxXP.inf", "y"}})),
       DatabaseImageFault::NoDatabaseFile},
  };
  for (const auto& [image, fault] : cases) {
    const DatabaseImageCheck check = checkImage(image);
    EXPECT_EQ(check.fault, fault) << image.substr(0, 40);
    EXPECT_TRUE(check.names.empty());
  }
  EXPECT_EQ(checkDatabaseImage(files(), at("missing.PNF"), at("missing.ini")).fault, DatabaseImageFault::Unreadable);

  // Far too large: caught by its size, before anything is reassembled.
  const std::unique_ptr<OpenFile> huge = files().openFile(at("huge.PNF"), OpenFor::NewFile);
  ASSERT_TRUE(huge && huge->writeAt(kLargestDatabaseImage, "x", 1));
  EXPECT_EQ(checkDatabaseImage(files(), at("huge.PNF"), at("huge.ini")).fault, DatabaseImageFault::TooLarge);
  EXPECT_FALSE(files().exists(at("huge.ini")));
}

}  // namespace
}  // namespace korvane
