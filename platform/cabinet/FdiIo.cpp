#include "platform/cabinet/FdiIo.h"

#include <algorithm>
#include <climits>
#include <cstdio>

namespace korvane::cab {

namespace {

constexpr size_t kLargestCall = 1u << 30;

FDIERROR errorFor(ParseError error) {
  switch (error) {
    case ParseError::NotACabinet: return FDIERROR_NOT_A_CABINET;
    case ParseError::UnknownVersion: return FDIERROR_UNKNOWN_CABINET_VERSION;
    case ParseError::Corrupt: break;
  }
  return FDIERROR_CORRUPT_CABINET;
}

}  // namespace

void failFdi(FDIERROR code) { throw FdiFailure{code}; }

intptr_t FdiIo::open(const std::string& path) {
  std::string name = path;
  return cb_.open(name.data(), _O_BINARY | _O_RDONLY | _O_SEQUENTIAL, 0);
}

size_t FdiIo::readUpTo(intptr_t hf, uint8_t* buffer, size_t size) {
  size_t done = 0;
  while (done < size) {
    unsigned wanted = static_cast<unsigned>(std::min(size - done, kLargestCall));
    unsigned got = cb_.read(hf, buffer + done, wanted);
    if (got == 0 || got == UINT_MAX || got > wanted) break;
    done += got;
  }
  return done;
}

void FdiIo::readExactly(intptr_t hf, uint8_t* buffer, size_t size, FDIERROR onShort) {
  if (readUpTo(hf, buffer, size) != size) failFdi(onShort);
}

void FdiIo::seek(intptr_t hf, uint32_t offset, FDIERROR onFailure) {
  if (offset > INT32_MAX || cb_.seek(hf, static_cast<int32_t>(offset), SEEK_SET) != static_cast<int32_t>(offset))
    failFdi(onFailure);
}

int32_t FdiIo::size(intptr_t hf) {
  int32_t end = cb_.seek(hf, 0, SEEK_END);
  return end < 0 ? -1 : end;
}

void FdiIo::write(intptr_t hf, ByteView data) {
  while (!data.empty()) {
    unsigned wanted = static_cast<unsigned>(std::min(data.size(), kLargestCall));
    if (cb_.write(hf, const_cast<uint8_t*>(data.data()), wanted) != wanted) failFdi(FDIERROR_TARGET_FILE);
    data = data.subspan(wanted);
  }
}

CabinetFile::CabinetFile(FdiIo& io, std::string folder, std::string name)
    : io_(io), folder_(std::move(folder)), name_(std::move(name)) {
  try {
    readTables();
    checkFiles();
  } catch (...) {
    release();
    throw;
  }
}

CabinetFile::~CabinetFile() { release(); }

intptr_t CabinetFile::handle() {
  if (hf_ == -1) hf_ = io_.open(folder_ + name_);
  if (hf_ == -1) failFdi(FDIERROR_CABINET_NOT_FOUND);
  return hf_;
}

void CabinetFile::release() {
  if (hf_ != -1) io_.close(hf_);
  hf_ = -1;
}

void CabinetFile::readTables() {
  intptr_t hf = handle();
  int32_t fileSize = io_.size(hf);
  if (fileSize < 0) failFdi(FDIERROR_NOT_A_CABINET);
  uint32_t size = static_cast<uint32_t>(fileSize);

  Bytes head(std::min<size_t>(size, kMaxHeaderSize));
  io_.seek(hf, 0, FDIERROR_NOT_A_CABINET);
  io_.readExactly(hf, head.data(), head.size(), FDIERROR_NOT_A_CABINET);
  ParsedHeader parsed = parseHeader(head);
  if (!parsed.header) failFdi(errorFor(parsed.error));
  header_ = *parsed.header;
  headerReserve_.assign(parsed.reserve.begin(), parsed.reserve.end());

  uint64_t tableStart = header_.encodedSize();
  uint64_t tableSize = uint64_t{header_.cFolders} * header_.folderEntrySize();
  if (tableStart + tableSize > size) failFdi(FDIERROR_CORRUPT_CABINET);
  folderTable_.resize(static_cast<size_t>(tableSize));
  io_.seek(hf, static_cast<uint32_t>(tableStart), FDIERROR_CORRUPT_CABINET);
  io_.readExactly(hf, folderTable_.data(), folderTable_.size(), FDIERROR_CORRUPT_CABINET);
  auto folders = parseFolders(folderTable_, header_);
  if (!folders) failFdi(FDIERROR_CORRUPT_CABINET);
  folders_ = std::move(*folders);

  if (header_.cFiles == 0) return;
  if (header_.coffFiles >= size) failFdi(FDIERROR_CORRUPT_CABINET);
  uint64_t most = uint64_t{header_.cFiles} * (kFileFixedSize + kMaxNameLength + 1);
  Bytes table(static_cast<size_t>(std::min<uint64_t>(size - header_.coffFiles, most)));
  io_.seek(hf, header_.coffFiles, FDIERROR_CORRUPT_CABINET);
  io_.readExactly(hf, table.data(), table.size(), FDIERROR_CORRUPT_CABINET);
  auto files = parseFiles(table, header_.cFiles);
  if (!files) failFdi(FDIERROR_CORRUPT_CABINET);
  files_ = std::move(*files);
}

void CabinetFile::checkFiles() const {
  for (const FileEntry& file : files_) {
    bool continuationAllowed = (!file.continuedFromPrev() || header_.hasPrev()) &&
                               (!file.continuedToNext() || header_.hasNext());
    bool fitsFolder = uint64_t{file.uoffFolderStart} + file.cbFile <= UINT32_MAX && file.cbFile <= INT32_MAX;
    if (!continuationAllowed || !fitsFolder || folderOf(file) >= folders_.size()) failFdi(FDIERROR_CORRUPT_CABINET);
  }
}

ByteView CabinetFile::folderReserve(size_t folder) const {
  return ByteView(folderTable_).subspan(folder * header_.folderEntrySize() + kFolderFixedSize,
                                        header_.cbFolderReserve);
}

bool CabinetFile::continuesFolder() const {
  return header_.hasPrev() &&
         std::any_of(files_.begin(), files_.end(), [](const FileEntry& file) { return file.continuedFromPrev(); });
}

bool CabinetFile::folderGoesOn() const {
  return header_.hasNext() &&
         std::any_of(files_.begin(), files_.end(), [](const FileEntry& file) { return file.continuedToNext(); });
}

size_t CabinetFile::folderOf(const FileEntry& file) const {
  if (file.continuedFromPrev()) return 0;
  if (file.continuedToNext()) return folders_.empty() ? 0 : folders_.size() - 1;
  return file.iFolder;
}

FDIERROR readCabinetInfo(FdiIo& io, intptr_t hf, PFDICABINETINFO info) {
  Bytes head(kMaxHeaderSize);
  head.resize(io.readUpTo(hf, head.data(), head.size()));
  ParsedHeader parsed = parseHeader(head);
  if (!parsed.header) return errorFor(parsed.error);
  const Header& header = *parsed.header;
  *info = FDICABINETINFO{static_cast<int32_t>(std::min<uint32_t>(header.cbCabinet, INT32_MAX)),
                         header.cFolders,
                         header.cFiles,
                         header.setID,
                         header.iCabinet,
                         header.hasReserve(),
                         header.hasPrev(),
                         header.hasNext()};
  return FDIERROR_NONE;
}

}  // namespace korvane::cab
