#include "platform/cabinet/MsZip.h"

namespace korvane::cab {

namespace {

constexpr uint8_t kBlockSignature[2] = {'C', 'K'};
// Level 5 with the history carried between blocks gives smaller cabinets
// than level 6 without it, at less cost.
constexpr int kLevel = 5;
constexpr int kMemoryLevel = 8;
constexpr int kRawDeflateWindow = -15;

ByteView lastPart(ByteView history) {
  return history.size() > kMsZipHistory ? history.last(kMsZipHistory) : history;
}

// Data that does not compress goes into one stored deflate block.
size_t storedSize(ByteView block) { return sizeof kBlockSignature + 5 + block.size(); }

void store(ByteView block, Bytes& out) {
  uint16_t length = static_cast<uint16_t>(block.size());
  out.assign(std::begin(kBlockSignature), std::end(kBlockSignature));
  out.push_back(0x01);  // final block, stored
  append16(out, length);
  append16(out, static_cast<uint16_t>(~length));
  out.insert(out.end(), block.begin(), block.end());
}

}  // namespace

MsZipEncoder::MsZipEncoder() {
  ready_ = deflateInit2(&stream_, kLevel, Z_DEFLATED, kRawDeflateWindow, kMemoryLevel, Z_DEFAULT_STRATEGY) == Z_OK;
}

MsZipEncoder::~MsZipEncoder() {
  if (ready_) deflateEnd(&stream_);
}

bool MsZipEncoder::encode(ByteView history, ByteView block, Bytes& out) {
  if (!ready_ || deflateReset(&stream_) != Z_OK) return false;
  ByteView dictionary = lastPart(history);
  if (!dictionary.empty() &&
      deflateSetDictionary(&stream_, dictionary.data(), static_cast<uInt>(dictionary.size())) != Z_OK)
    return false;
  out.resize(sizeof kBlockSignature + deflateBound(&stream_, static_cast<uLong>(block.size())));
  out[0] = kBlockSignature[0];
  out[1] = kBlockSignature[1];
  stream_.next_in = const_cast<Bytef*>(block.data());
  stream_.avail_in = static_cast<uInt>(block.size());
  stream_.next_out = out.data() + sizeof kBlockSignature;
  stream_.avail_out = static_cast<uInt>(out.size() - sizeof kBlockSignature);
  if (deflate(&stream_, Z_FINISH) != Z_STREAM_END) return false;
  out.resize(out.size() - stream_.avail_out);
  if (out.size() > storedSize(block)) store(block, out);
  return true;
}

MsZipDecoder::MsZipDecoder() { ready_ = inflateInit2(&stream_, kRawDeflateWindow) == Z_OK; }

MsZipDecoder::~MsZipDecoder() {
  if (ready_) inflateEnd(&stream_);
}

bool MsZipDecoder::decode(ByteView history, ByteView encoded, std::span<uint8_t> out) {
  if (!ready_ || encoded.size() < sizeof kBlockSignature || encoded[0] != kBlockSignature[0] ||
      encoded[1] != kBlockSignature[1] || inflateReset(&stream_) != Z_OK)
    return false;
  ByteView dictionary = lastPart(history);
  if (!dictionary.empty() &&
      inflateSetDictionary(&stream_, dictionary.data(), static_cast<uInt>(dictionary.size())) != Z_OK)
    return false;
  stream_.next_in = const_cast<Bytef*>(encoded.data() + sizeof kBlockSignature);
  stream_.avail_in = static_cast<uInt>(encoded.size() - sizeof kBlockSignature);
  stream_.next_out = out.data();
  stream_.avail_out = static_cast<uInt>(out.size());
  int status = inflate(&stream_, Z_SYNC_FLUSH);
  if (stream_.avail_out != 0 || (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR)) return false;
  if (status == Z_STREAM_END) return true;
  // The block is full: any further byte means it holds more than declared.
  // Writers that end a block without a final deflate block are accepted as
  // long as nothing but framing follows.
  uint8_t spare = 0;
  stream_.next_out = &spare;
  stream_.avail_out = 1;
  do {
    status = inflate(&stream_, Z_SYNC_FLUSH);
  } while (status == Z_OK && stream_.avail_out == 1);
  if (stream_.avail_out == 0) return false;
  return status == Z_STREAM_END || (status == Z_BUF_ERROR && stream_.avail_in == 0);
}

}  // namespace korvane::cab
