// The reader on cabinets laid out in ways our writer does not use: new files
// inside a folder continued from another cabinet, files out of order,
// files sharing data, decryption hooks.
#include <gtest/gtest.h>
#include <zlib.h>

#include "packaging/CabTestKit.h"
#include "support/TestMachine.h"

namespace korvane::test::cab {
namespace {

using ::korvane::cab::FileEntry;
using ::korvane::cab::kFlagNextCabinet;
using ::korvane::cab::kFlagPrevCabinet;
using ::korvane::cab::kFolderContinuedFromPrev;
using ::korvane::cab::kFolderContinuedToNext;

class Reader : public ::testing::Test {
 protected:
  fs::path put(const std::string& name, const RawCabinet& cabinet) {
    fs::path file = dir.path() / name;
    writeFile(file, encodeCabinet(cabinet));
    return file;
  }

  static RawCabinet single(const std::string& data, std::vector<FileEntry> files) {
    RawCabinet cabinet;
    cabinet.folders.push_back({tcompTYPE_NONE, storedBlocks(data)});
    cabinet.files = std::move(files);
    return cabinet;
  }

  // Two cabinets: x (40000 bytes) goes on from the first into the second,
  // whose part of the folder also holds y and z; the block at the cut is
  // split when split is set.
  void writeContinuedSet(bool split) {
    std::string data = randomBytes(40000, 1) + textBytes(1000, 2) + textBytes(500, 3);
    x = data.substr(0, 40000);
    y = data.substr(40000, 1000);
    z = data.substr(41000);
    RawCabinet first, second;
    first.header.flags = kFlagNextCabinet;
    first.header.nextCabinet = "two.cab";
    first.header.nextDisk = "Disk 2";
    first.header.setID = 77;
    second.header.flags = kFlagPrevCabinet;
    second.header.prevCabinet = "one.cab";
    second.header.prevDisk = "Disk 1";
    second.header.setID = 77;
    second.header.iCabinet = 1;
    auto blocks = storedBlocks(data);
    RawFolder head{tcompTYPE_NONE, {blocks[0]}}, tail{tcompTYPE_NONE, {blocks[1]}};
    if (split) {
      head.blocks.push_back({blocks[1].payload.substr(0, 100), 0});
      tail.blocks[0].payload.erase(0, 100);
    }
    first.folders.push_back(head);
    second.folders.push_back(tail);
    first.files = {{40000, 0, kFolderContinuedToNext, 1, 2, _A_ARCH, "x"}};
    second.files = {{40000, 0, kFolderContinuedFromPrev, 1, 2, _A_ARCH, "x"},
                    {1000, 40000, 0, 1, 2, _A_ARCH, "y"},
                    {500, 41000, 0, 1, 2, _A_ARCH, "z"}};
    put("one.cab", first);
    put("two.cab", second);
  }

  TempDir dir;
  TestReader reader;
  std::string x, y, z;
};

TEST_F(Reader, NewFilesInAContinuedFolderComeWithTheFirstCabinet) {
  writeContinuedSet(false);
  ASSERT_TRUE(reader.copy(dir.path() / "one.cab")) << reader.error().erfOper;
  ASSERT_EQ(reader.files.size(), 3u);
  EXPECT_TRUE(reader.files["x"].bytes == x);
  EXPECT_TRUE(reader.files["y"].bytes == y);
  EXPECT_TRUE(reader.files["z"].bytes == z);
  ASSERT_TRUE(reader.copy(dir.path() / "two.cab"));
  EXPECT_EQ(reader.partialFiles, (std::vector<std::string>{"x", "y", "z"}));
  EXPECT_EQ(reader.files["y"].times, 1) << "not extracted twice";
}

TEST_F(Reader, ABlockSplitBetweenCabinetsIsJoined) {
  writeContinuedSet(true);
  ASSERT_TRUE(reader.extractSet(dir.path() / "one.cab")) << reader.error().erfOper;
  ASSERT_EQ(reader.files.size(), 3u);
  EXPECT_TRUE(reader.files["x"].bytes == x);
  EXPECT_TRUE(reader.files["z"].bytes == z);
}

TEST_F(Reader, SkippedFilesStillLetLaterOnesDecode) {
  std::string data = textBytes(200000, 4);
  TestWriter writer(dir.path(), "out.cab");
  ASSERT_TRUE(writer.add({"first", data.substr(0, 150000)}));
  ASSERT_TRUE(writer.add({"second", data.substr(150000)}));
  ASSERT_TRUE(writer.finish());
  reader.onCopy = [](const FDINOTIFICATION& note) -> intptr_t {
    return std::string(note.psz1) == "first" ? 0 : -2;
  };
  ASSERT_TRUE(reader.copy(dir.path() / "out.cab"));
  ASSERT_EQ(reader.files.size(), 1u);
  EXPECT_TRUE(reader.files["second"].bytes == data.substr(150000));
}

TEST_F(Reader, FilesListedOutOfOrderAndSharingData) {
  std::string data = randomBytes(100000, 5);
  auto cabinet = single(data, {{50000, 50000, 0, 0, 0, 0, "late"},
                               {100000, 0, 0, 0, 0, 0, "whole"},
                               {100000, 0, 0, 0, 0, 0, "copy"},
                               {10, 99990, 0, 0, 0, 0, "tail"},
                               {5, 3, 0, 0, 0, 0, "early"}});
  ASSERT_TRUE(reader.copy(put("odd.cab", cabinet))) << reader.error().erfOper;
  EXPECT_TRUE(reader.files["late"].bytes == data.substr(50000));
  EXPECT_TRUE(reader.files["whole"].bytes == data);
  EXPECT_TRUE(reader.files["copy"].bytes == data);
  EXPECT_TRUE(reader.files["tail"].bytes == data.substr(99990));
  EXPECT_TRUE(reader.files["early"].bytes == data.substr(3, 5));
}

TEST_F(Reader, BlocksSmallerThanTheWindowKeepTheHistory) {
  // Another writer may end MS-ZIP blocks early; each block may still refer to
  // all of the 32 KiB before it.
  std::string data = textBytes(90000, 6);
  TestWriter writer(dir.path(), "full.cab");
  ASSERT_TRUE(writer.add({"data", data}));
  ASSERT_TRUE(writer.finish());
  // Re-encode the same data as blocks of 10000 bytes with zlib directly.
  RawCabinet cabinet;
  RawFolder folder{tcompTYPE_MSZIP, {}};
  for (size_t start = 0; start < data.size(); start += 10000) {
    z_stream stream{};
    ASSERT_EQ(deflateInit2(&stream, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
    size_t historyStart = start > 32768 ? start - 32768 : 0;
    if (start > 0)
      deflateSetDictionary(&stream, reinterpret_cast<const Bytef*>(data.data() + historyStart),
                           static_cast<uInt>(start - historyStart));
    std::string block = data.substr(start, 10000), out(20000, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(block.data());
    stream.avail_in = static_cast<uInt>(block.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    ASSERT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
    out.resize(out.size() - stream.avail_out);
    deflateEnd(&stream);
    folder.blocks.push_back({"CK" + out, static_cast<uint16_t>(block.size())});
  }
  cabinet.folders.push_back(folder);
  cabinet.files = {{static_cast<uint32_t>(data.size()), 0, 0, 0, 0, 0, "data"}};
  ASSERT_TRUE(reader.copy(put("small.cab", cabinet))) << reader.error().erfOper;
  EXPECT_TRUE(reader.files["data"].bytes == data);
}

int decryptCalls[3];
int xorDecrypt(PFDIDECRYPT request) {
  decryptCalls[request->fdidt]++;
  if (request->fdidt == fdidtNEW_CABINET && request->cabinet.cbHeaderReserve != 12) return -1;
  if (request->fdidt == fdidtNEW_FOLDER && request->folder.cbFolderReserve != 3) return -1;
  if (request->fdidt == fdidtDECRYPT) {
    if (request->decrypt.cbDataReserve != 5) return -1;
    auto* bytes = static_cast<uint8_t*>(request->decrypt.pbData);
    for (unsigned i = 0; i < request->decrypt.cbData; ++i) bytes[i] ^= 0x5A;
  }
  return 0;
}

TEST_F(Reader, TheDecryptionHookSeesReservedAreasAndData) {
  std::string data = randomBytes(70000, 7), scrambled = data;
  for (char& byte : scrambled) byte = static_cast<char>(byte ^ 0x5A);
  RawCabinet cabinet = single(scrambled, {{70000, 0, 0, 0, 0, 0, "secret"}});
  cabinet.header.flags = ::korvane::cab::kFlagReservePresent;
  cabinet.header.cbHeaderReserve = 12;
  cabinet.header.cbFolderReserve = 3;
  cabinet.header.cbDataReserve = 5;
  reader.decrypt = xorDecrypt;
  ASSERT_TRUE(reader.copy(put("secret.cab", cabinet))) << reader.error().erfOper;
  EXPECT_TRUE(reader.files["secret"].bytes == data);
  EXPECT_EQ(decryptCalls[fdidtNEW_CABINET], 1);
  EXPECT_EQ(decryptCalls[fdidtNEW_FOLDER], 1);
  EXPECT_EQ(decryptCalls[fdidtDECRYPT], 3);
}

TEST_F(Reader, IsCabinetReportsTheHeader) {
  RawCabinet cabinet = single("abc", {{3, 0, 0, 0, 0, 0, "a"}});
  cabinet.header.flags = kFlagNextCabinet;
  cabinet.header.nextCabinet = "b.cab";
  cabinet.header.setID = 9;
  cabinet.header.iCabinet = 4;
  fs::path file = put("a.cab", cabinet);
  FDICABINETINFO info{};
  ASSERT_TRUE(reader.isCabinet(file, info));
  EXPECT_EQ(info.cbCabinet, static_cast<int32_t>(fs::file_size(file)));
  EXPECT_EQ(info.cFolders, 1);
  EXPECT_EQ(info.cFiles, 1);
  EXPECT_EQ(info.setID, 9);
  EXPECT_EQ(info.iCabinet, 4);
  EXPECT_FALSE(info.hasprev);
  EXPECT_TRUE(info.hasnext);
  EXPECT_FALSE(info.fReserve);
}

TEST_F(Reader, IsCabinetRefusesOtherFiles) {
  writeFile(dir.path() / "text.txt", "MSCF is not enough");
  FDICABINETINFO info{};
  EXPECT_FALSE(reader.isCabinet(dir.path() / "text.txt", info));
  EXPECT_EQ(reader.error().erfOper, FDIERROR_NOT_A_CABINET);
}

}  // namespace
}  // namespace korvane::test::cab
