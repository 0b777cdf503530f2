// Digests of the standard test messages, fed whole and in uneven pieces, and
// of files larger than one read block; reference digests from sha256sum.
#include "platform/Sha256.h"

#include "conformance/ConformanceSupport.h"

namespace korvane::test {
namespace {

struct KnownDigest {
  std::string message;
  const char* digest;
};

const KnownDigest kKnown[] = {
    {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
    {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
    // 56 bytes: the length no longer fits the first padding block.
    {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
     "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
};

TEST(Sha256, KnownMessagesWholeAndInPieces) {
  for (const auto& known : kKnown) {
    EXPECT_EQ(sha256Hex(known.message), known.digest) << known.message.size() << " bytes";
    Sha256 pieces;
    for (size_t at = 0, step = 1; at < known.message.size(); at += step, step = step % 97 + 13)
      pieces.add(std::string_view(known.message).substr(at, step));
    EXPECT_EQ(pieces.hexDigest(), known.digest) << known.message.size() << " bytes in pieces";
  }
}

class Sha256File : public ConformanceTest {};

TEST_F(Sha256File, FilesLargerThanOneReadBlock) {
  std::string everyByte;
  for (int i = 0; i < 256; ++i) everyByte += char(i);
  std::string large;
  for (int i = 0; i < 4099; ++i) large += everyByte;  // just over 1 MiB: two reads
  ASSERT_TRUE(files().writeFile(scratchPath("large.bin"), large));
  EXPECT_EQ(sha256OfFile(files(), scratchPath("large.bin")),
            "94df93bd19ecda40a8c3554f6cd4030e1ae324cfbf4ab25855ca94cab992ad3c");
  ASSERT_TRUE(files().writeFile(scratchPath("aaa.bin"), std::string(3000000, 'a')));
  EXPECT_EQ(sha256OfFile(files(), scratchPath("aaa.bin")),
            "2a152c894398719c0570f83fac34ac03a0f6e8e474b995c2403aa5434f7b9dd4");
  EXPECT_EQ(sha256OfFile(files(), scratchPath("missing.bin")), std::nullopt);
  ASSERT_TRUE(files().createDirectory(scratchPath("folder")));
  EXPECT_EQ(sha256OfFile(files(), scratchPath("folder")), std::nullopt);
}

}  // namespace
}  // namespace korvane::test
