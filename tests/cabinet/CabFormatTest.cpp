// The record encoding, the block checksum and the block encoder.
#include <gtest/gtest.h>

#include "packaging/CabTestKit.h"
#include "platform/cabinet/BlockEncoder.h"
#include "platform/CabFormat.h"
#include "platform/cabinet/MsZip.h"

namespace korvane::test::cab {
namespace {

using namespace ::korvane::cab;

TEST(CabChecksum, WordsAreCombinedByXor) {
  Bytes words = {0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x80};
  EXPECT_EQ(checksum(words, 0), 0x80000003u);
  EXPECT_EQ(checksum(words, 0x80000003u), 0u);
}

TEST(CabChecksum, TailBytesCountMostSignificantFirst) {
  EXPECT_EQ(checksum(Bytes{0x11, 0x22, 0x33}, 0), 0x112233u);
  EXPECT_EQ(checksum(Bytes{0x11, 0x22}, 0), 0x1122u);
  EXPECT_EQ(checksum(Bytes{0xAA, 0xBB, 0xCC, 0xDD, 0x11}, 0), 0xDDCCBBAAu ^ 0x11u);
  EXPECT_EQ(checksum(Bytes{}, 7), 7u);
}

TEST(CabRecords, HeaderWithEverythingRoundTrips) {
  Header header;
  header.flags = kFlagPrevCabinet | kFlagNextCabinet | kFlagReservePresent;
  header.cFolders = 2;
  header.cFiles = 3;
  header.setID = 0xBEEF;
  header.iCabinet = 4;
  header.cbHeaderReserve = 10;
  header.cbFolderReserve = 2;
  header.cbDataReserve = 1;
  header.prevCabinet = "prev.cab";
  header.prevDisk = "Disk 3";
  header.nextCabinet = "next.cab";
  header.nextDisk = "";
  header.coffFiles = 1234;
  header.cbCabinet = 99999;
  Bytes encoded;
  appendHeader(encoded, header);
  EXPECT_EQ(encoded.size(), header.encodedSize());
  ParsedHeader parsed = parseHeader(encoded);
  ASSERT_TRUE(parsed.header);
  EXPECT_EQ(parsed.header->prevCabinet, "prev.cab");
  EXPECT_EQ(parsed.header->prevDisk, "Disk 3");
  EXPECT_EQ(parsed.header->nextCabinet, "next.cab");
  EXPECT_EQ(parsed.header->nextDisk, "");
  EXPECT_EQ(parsed.header->setID, 0xBEEF);
  EXPECT_EQ(parsed.header->coffFiles, 1234u);
  EXPECT_EQ(parsed.header->cbDataReserve, 1);
  EXPECT_EQ(parsed.reserve.size(), 10u);
  EXPECT_EQ(parsed.header->encodedSize(), encoded.size());
}

TEST(CabRecords, ShortOrForeignHeaders) {
  Bytes encoded;
  appendHeader(encoded, Header{});
  EXPECT_EQ(parseHeader(ByteView(encoded).first(35)).error, ParseError::NotACabinet);
  encoded[25] = 9;
  EXPECT_EQ(parseHeader(encoded).error, ParseError::UnknownVersion);
}

// Blocks encoded side by side are byte for byte the blocks encoded one by
// one, and decode back in order.
TEST(CabBlockEncoder, ParallelOutputIsTheSequentialOutput) {
  std::string text = textBytes(40 * 32768 + 500, 1) + randomBytes(3 * 32768, 2);
  ByteView data(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  std::vector<BlockJob> jobs;
  for (size_t start = 0; start < data.size(); start += 32768)
    jobs.push_back({data.subspan(start > 32768 ? start - 32768 : 0, start > 32768 ? 32768 : start),
                    data.subspan(start, std::min<size_t>(32768, data.size() - start))});
  BlockEncoder parallel(tcompTYPE_MSZIP);
  std::vector<Bytes> together;
  ASSERT_EQ(parallel.encode(jobs, together), EncodeResult::Ok);

  MsZipDecoder decoder;
  Bytes history;
  for (size_t i = 0; i < jobs.size(); ++i) {
    BlockEncoder alone(tcompTYPE_MSZIP);
    std::vector<Bytes> single;
    ASSERT_EQ(alone.encode(std::span<const BlockJob>(&jobs[i], 1), single), EncodeResult::Ok);
    EXPECT_TRUE(single[0] == together[i]) << i;
    EXPECT_LE(together[i].size(), kMsZipMaxEncoded);
    Bytes out(jobs[i].data.size());
    ASSERT_TRUE(decoder.decode(history, together[i], out)) << i;
    EXPECT_TRUE(std::equal(out.begin(), out.end(), jobs[i].data.begin())) << i;
    history.assign(jobs[i].data.begin(), jobs[i].data.end());
  }
}

}  // namespace
}  // namespace korvane::test::cab
