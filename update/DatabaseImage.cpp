#include "update/DatabaseImage.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <stdexcept>

#include "packaging/CabCheck.h"
#include "platform/CabFormat.h"
#include "update/DatabaseText.h"

namespace korvane {

namespace {

constexpr size_t kBlockSize = 65536;

// Copies count bytes from one file to another, a block at a time.
bool copyRange(OpenFile& from, uint64_t fromOffset, OpenFile& to, uint64_t toOffset, uint64_t count) {
  std::vector<char> block(kBlockSize);
  while (count > 0) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(count, kBlockSize));
    const std::optional<size_t> got = from.readAt(fromOffset, block.data(), want);
    if (!got || *got != want || !to.writeAt(toOffset, block.data(), want)) return false;
    fromOffset += want;
    toOffset += want;
    count -= want;
  }
  return true;
}

std::optional<uint64_t> fileSize(FileSystem& files, const std::string& path) {
  const std::unique_ptr<OpenFile> file = files.openFile(path, OpenFor::Reading);
  return file ? file->size() : std::nullopt;
}

DatabaseImageFault cabinetFault(FDIERROR error) {
  switch (error) {
    case FDIERROR_NONE: return DatabaseImageFault::None;
    case FDIERROR_NOT_A_CABINET:
    case FDIERROR_UNKNOWN_CABINET_VERSION: return DatabaseImageFault::NotACabinet;
    default: return DatabaseImageFault::Damaged;
  }
}

// The header and file names of a reassembled cabinet.
DatabaseImageCheck readCabinetNames(FileSystem& files, const std::string& cabinetPath) {
  const std::unique_ptr<OpenFile> file = files.openFile(cabinetPath, OpenFor::Reading);
  if (!file) return {DatabaseImageFault::Unreadable, {}};
  std::vector<uint8_t> head(cab::kMaxHeaderSize);
  const std::optional<size_t> got = file->readAt(0, head.data(), head.size());
  if (!got) return {DatabaseImageFault::Unreadable, {}};
  head.resize(*got);
  const cab::ParsedHeader parsed = cab::parseHeader(head);
  if (!parsed.header)
    return {parsed.error == cab::ParseError::Corrupt ? DatabaseImageFault::Damaged : DatabaseImageFault::NotACabinet,
            {}};
  const cab::Header& header = *parsed.header;
  if (header.hasPrev() || header.hasNext()) return {DatabaseImageFault::Continued, {}};
  std::vector<uint8_t> table(size_t{header.cFiles} * (cab::kFileFixedSize + cab::kMaxNameLength + 1));
  const std::optional<size_t> tableBytes = file->readAt(header.coffFiles, table.data(), table.size());
  if (!tableBytes) return {DatabaseImageFault::Unreadable, {}};
  table.resize(*tableBytes);
  const auto entries = cab::parseFiles(table, header.cFiles);
  if (!entries) return {DatabaseImageFault::Damaged, {}};
  DatabaseImageCheck check;
  for (const cab::FileEntry& entry : *entries) check.names.push_back(entry.name);
  return check;
}

}  // namespace

std::string composeDatabaseImage(std::string_view pictureHead, std::string_view cabinet) {
  if (pictureHead.size() != kPictureHeadSize)
    throw std::invalid_argument("the picture head of a database image must be 4361 bytes long");
  std::string padded(cabinet);
  if (padded.size() < kCabinetHeadSize) padded.resize(kCabinetHeadSize, '\0');
  std::string image(pictureHead);
  image.append(padded, kCabinetHeadSize);
  image.append(padded, 0, kCabinetHeadSize);
  return image;
}

bool reassembleDatabaseCabinet(FileSystem& files, const std::string& imagePath, const std::string& cabinetPath) {
  const std::unique_ptr<OpenFile> image = files.openFile(imagePath, OpenFor::Reading);
  const std::optional<uint64_t> size = image ? image->size() : std::nullopt;
  if (!size || *size < kSmallestDatabaseImage) return false;
  if (files.exists(cabinetPath) && !files.deleteFile(cabinetPath)) return false;
  const std::unique_ptr<OpenFile> cabinet = files.openFile(cabinetPath, OpenFor::NewFile);
  return cabinet && copyRange(*image, *size - kCabinetHeadSize, *cabinet, 0, kCabinetHeadSize) &&
         copyRange(*image, kPictureHeadSize, *cabinet, kCabinetHeadSize, *size - kPictureHeadSize);
}

DatabaseImageCheck checkDatabaseImage(FileSystem& files, const std::string& imagePath,
                                      const std::string& cabinetPath) {
  const std::optional<uint64_t> size = fileSize(files, imagePath);
  if (!size) return {DatabaseImageFault::Unreadable, {}};
  if (*size < kSmallestDatabaseImage) return {DatabaseImageFault::TooSmall, {}};
  if (*size > kLargestDatabaseImage) return {DatabaseImageFault::TooLarge, {}};
  if (!reassembleDatabaseCabinet(files, imagePath, cabinetPath)) return {DatabaseImageFault::Unreadable, {}};
  DatabaseImageCheck check = readCabinetNames(files, cabinetPath);
  if (check.valid()) check.fault = cabinetFault(checkCabinetFile(files, cabinetPath));
  if (check.valid() && std::none_of(check.names.begin(), check.names.end(), [](const std::string& name) {
        return isDatabaseFileName(name);
      }))
    check.fault = DatabaseImageFault::NoDatabaseFile;
  if (!check.valid()) check.names.clear();
  return check;
}

}  // namespace korvane
