// The pieces under the cabinet components: paths and names, DOS time
// stamps, the open-flag mapping, the file table, messages and the binding.
#include "packaging/CabFiles.h"
#include "packaging/CabIntf.h"
#include "packaging/CabNames.h"
#include "packaging/CabTestKit.h"
#include "support/DeviceNameList.h"

namespace korvane::test::cab {
namespace {

TEST(CabPaths, JoiningPutsExactlyOneBackslashBetween) {
  EXPECT_EQ(catPath("C:\\a", "b.inf"), "C:\\a\\b.inf");
  EXPECT_EQ(catPath("C:\\a\\", "b.inf"), "C:\\a\\b.inf");
  EXPECT_EQ(catPath("C:\\a\\", "\\b.inf"), "C:\\a\\b.inf");
  EXPECT_EQ(catPath("C:\\a", "\\b.inf"), "C:\\a\\b.inf");
  EXPECT_EQ(catPath("", "b.inf"), "b.inf");
  EXPECT_EQ(catPath("C:\\a", ""), "C:\\a");
  EXPECT_EQ(withTrailingBackslash("C:\\a"), "C:\\a\\");
  EXPECT_EQ(withTrailingBackslash("C:\\a\\"), "C:\\a\\");
  EXPECT_EQ(withTrailingBackslash(""), "");
}

TEST(CabPaths, TemplatesReplaceEveryStar) {
  EXPECT_EQ(fillTemplate("Disk*", 3), "Disk3");
  EXPECT_EQ(fillTemplate("*-of-*", 12), "12-of-12");
  EXPECT_EQ(fillTemplate("plain", 5), "plain");
}

class CabExpand : public CabTest {};

TEST_F(CabExpand, NamesAreExpandedAgainstTheCurrentFolder) {
  ASSERT_TRUE(files().setCurrentDirectory(at("")));
  const std::string current = withoutTrailingBackslash(at(""));
  const std::string drive = current.substr(0, 2);
  EXPECT_EQ(expandFileName(files(), "x.cab"), current + "\\x.cab");
  EXPECT_EQ(expandFileName(files(), ".\\sub\\..\\x.cab"), current + "\\x.cab");
  EXPECT_EQ(expandFileName(files(), "a/b.cab"), current + "\\a\\b.cab");
  EXPECT_EQ(expandFileName(files(), "\\top.cab"), drive + "\\top.cab");
  EXPECT_EQ(expandFileName(files(), drive + "name.cab"), current + "\\name.cab");
  EXPECT_EQ(expandFileName(files(), "C:\\a\\.\\b\\..\\c.cab"), "C:\\a\\c.cab");
  EXPECT_EQ(expandFileName(files(), "C:\\..\\..\\c.cab"), "C:\\c.cab");
  EXPECT_EQ(expandFileName(files(), "Q:\\dir\\"), "Q:\\dir\\");
  EXPECT_EQ(expandFileName(files(), "\\\\server\\share\\x.cab"), "\\\\server\\share\\x.cab");
}

TEST(CabNames, NamesThatStayInsideTheTarget) {
  for (const char* name : {"a.inf", "sub\\a.inf", "sub/deeper/a.sys", "..a", "a...b", ".hidden", "LPT10.txt",
                           "x\\CONFIG.SYS"})
    EXPECT_TRUE(entryNameStaysInside(name)) << name;
  for (const char* name : {"", "..", ".", "..\\x", "../x", "a\\..\\..\\x", "a\\..", "C:\\x", "C:x", "\\x", "/x",
                           "\\\\server\\share\\x", "a\\\\b", "a\\", "...", ". .\\x", "a:stream", "a*b", "a?b",
                           "a<b", "a|b", "a\"b", "tab\there", "con.d\\x", "sub\\PRN", "a..", "a.txt.", "a.txt ",
                           "sub.\\x"})
    EXPECT_FALSE(entryNameStaysInside(name)) << name;
  // The same rule for devices as the package stub's and the driver file search's.
  for (const char* name : kDeviceNames) {
    EXPECT_FALSE(entryNameStaysInside(name)) << name;
    EXPECT_FALSE(entryNameStaysInside(std::string("sub\\") + name)) << name;
  }
  for (const char* name : kNamesLikeDevices) EXPECT_TRUE(entryNameStaysInside(name)) << name;
}

TEST(CabTimes, DosFieldsOfKnownTimes) {
  const int64_t april2025 = 133889379260000000;  // 2025-04-12 13:25:26 UTC
  const auto dos = dosTimeOf(april2025);
  ASSERT_TRUE(dos.has_value());
  EXPECT_EQ(dos->date, 0x5A8C);
  EXPECT_EQ(dos->time, 0x6B2D);
  EXPECT_EQ(fileTimeOf(*dos), april2025);
  // Odd seconds round down: DOS counts in two-second steps.
  EXPECT_EQ(fileTimeOf(*dosTimeOf(april2025 + 10000000)), april2025);
  const int64_t start = 119600064000000000;  // 1980-01-01 00:00:00
  EXPECT_EQ(dosTimeOf(start)->date, 0x0021);
  EXPECT_EQ(dosTimeOf(start)->time, 0);
  EXPECT_EQ(fileTimeOf(DosTime{0xFF9F, 0xBF7D}), 159992927980000000);  // 2107-12-31 23:59:58
}

TEST(CabTimes, TimesDosCannotHold) {
  EXPECT_FALSE(dosTimeOf(119600064000000000 - 1).has_value());  // before 1980
  EXPECT_FALSE(dosTimeOf(159992927980000000 + 30000000).has_value());  // after 2107
  EXPECT_FALSE(dosTimeOf(-5).has_value());
  EXPECT_FALSE(fileTimeOf(DosTime{0x5A0C, 0}).has_value());                          // month 0
  EXPECT_FALSE(fileTimeOf(DosTime{(45 << 9) | (13 << 5) | 1, 0}).has_value());       // month 13
  EXPECT_FALSE(fileTimeOf(DosTime{(45 << 9) | (2 << 5) | 29, 0}).has_value());       // 2025-02-29
  EXPECT_TRUE(fileTimeOf(DosTime{(44 << 9) | (2 << 5) | 29, 0}).has_value());        // 2024-02-29
  EXPECT_FALSE(fileTimeOf(DosTime{0x5A8C, 24 << 11}).has_value());                   // 24:00
  EXPECT_FALSE(fileTimeOf(DosTime{0x5A8C, (60 << 5)}).has_value());                  // minute 60
  EXPECT_FALSE(fileTimeOf(DosTime{0x5A8C, 30}).has_value());                         // second 60
}

TEST(CabOpenFlags, MappedAsTheLibraryMeansThem) {
  const CabOpenMode read = cabOpenMode(_O_RDONLY | _O_BINARY);
  EXPECT_TRUE(read.read);
  EXPECT_FALSE(read.write);
  EXPECT_EQ(read.disposition, CabDisposition::OpenExisting);
  EXPECT_FALSE(cabOpenMode(_O_WRONLY).read);
  EXPECT_TRUE(cabOpenMode(_O_WRONLY).write);
  EXPECT_TRUE(cabOpenMode(_O_RDWR).read && cabOpenMode(_O_RDWR).write);
  EXPECT_TRUE(cabOpenMode(_O_WRONLY | _O_RDWR).read && cabOpenMode(_O_WRONLY | _O_RDWR).write);
  EXPECT_EQ(cabOpenMode(_O_CREAT | _O_EXCL).disposition, CabDisposition::CreateNew);
  EXPECT_EQ(cabOpenMode(_O_CREAT | _O_EXCL | _O_TRUNC).disposition, CabDisposition::CreateNew);
  EXPECT_EQ(cabOpenMode(_O_CREAT | _O_TRUNC).disposition, CabDisposition::CreateAlways);
  EXPECT_EQ(cabOpenMode(_O_TRUNC).disposition, CabDisposition::TruncateExisting);
  EXPECT_EQ(cabOpenMode(_O_CREAT).disposition, CabDisposition::OpenAlways);
  EXPECT_EQ(cabOpenMode(_O_EXCL).disposition, CabDisposition::OpenExisting);
  EXPECT_TRUE(cabOpenMode(_O_CREAT | _O_SHORT_LIVED).temporaryAttribute);
  EXPECT_FALSE(cabOpenMode(_O_SHORT_LIVED).temporaryAttribute);
  EXPECT_TRUE(cabOpenMode(_O_RANDOM).randomAccess);
  EXPECT_TRUE(cabOpenMode(_O_SEQUENTIAL).sequentialScan);
  EXPECT_TRUE(cabOpenMode(_O_CREAT | _O_TEMPORARY).deleteOnClose);
  EXPECT_FALSE(cabOpenMode(_O_TEMPORARY).deleteOnClose);
  EXPECT_TRUE(cabOpenMode(_O_APPEND).append);
}

class CabFileTable : public CabTest {
 protected:
  intptr_t open(const std::string& path, int oflag, uint32_t& error) {
    return CabFiles::open(files(), path, cabOpenMode(oflag), error);
  }
  void close(intptr_t hf) {
    uint32_t error = 0;
    EXPECT_EQ(CabFiles::close(hf, error), 0) << error;
  }
  const size_t before_ = CabFiles::openCount();
  ~CabFileTable() override { EXPECT_EQ(CabFiles::openCount(), before_) << "a test left files open"; }
};

TEST_F(CabFileTable, DispositionsAgainstWhatIsOnDisk) {
  put(at("old.bin"), "old");
  uint32_t error = 0;
  EXPECT_EQ(open(at("old.bin"), _O_RDWR | _O_CREAT | _O_EXCL, error), -1);
  EXPECT_EQ(error, kErrorFileExists);
  EXPECT_EQ(open(at("none.bin"), _O_RDONLY, error), -1);
  EXPECT_EQ(error, kErrorFileNotFound);
  EXPECT_EQ(open(at("nowhere\\none.bin"), _O_RDONLY, error), -1);
  EXPECT_EQ(error, kErrorPathNotFound);
  EXPECT_EQ(open(at("none.bin"), _O_WRONLY | _O_TRUNC, error), -1);
  EXPECT_EQ(error, kErrorFileNotFound);
  EXPECT_EQ(open(at("nowhere\\new.bin"), _O_WRONLY | _O_CREAT, error), -1);
  EXPECT_EQ(error, kErrorPathNotFound);

  intptr_t hf = open(at("old.bin"), _O_WRONLY | _O_CREAT | _O_TRUNC, error);
  ASSERT_NE(hf, -1);
  EXPECT_EQ(get(at("old.bin")), "");  // emptied when opened, as the system does
  close(hf);
  hf = open(at("made.bin"), _O_RDWR | _O_CREAT | _O_EXCL, error);
  ASSERT_NE(hf, -1);
  EXPECT_TRUE(files().exists(at("made.bin")));
  close(hf);
}

TEST_F(CabFileTable, ReadWriteSeekAndAppend) {
  put(at("data.bin"), "abcdef");
  uint32_t error = 0;
  intptr_t hf = open(at("data.bin"), _O_RDWR, error);
  ASSERT_NE(hf, -1);
  char buffer[16] = {};
  EXPECT_EQ(CabFiles::read(hf, buffer, 4, error), 4u);
  EXPECT_EQ(std::string(buffer, 4), "abcd");
  EXPECT_EQ(CabFiles::seek(hf, -1, SEEK_END, error), 5);
  EXPECT_EQ(CabFiles::write(hf, "XYZ", 3, error), 3u);
  EXPECT_EQ(CabFiles::seek(hf, 0, SEEK_CUR, error), 8);
  EXPECT_EQ(CabFiles::seek(hf, 10, SEEK_SET, error), 10);
  EXPECT_EQ(CabFiles::write(hf, "!", 1, error), 1u);
  EXPECT_EQ(CabFiles::read(hf, buffer, 4, error), 0u);  // at the end
  EXPECT_EQ(CabFiles::seek(hf, -20, SEEK_CUR, error), -1);
  EXPECT_EQ(error, kErrorNegativeSeek);
  EXPECT_EQ(CabFiles::seek(hf, 0, 7, error), -1);
  EXPECT_EQ(error, kErrorInvalidParameter);
  EXPECT_EQ(CabFiles::size(hf), uint64_t{11});
  close(hf);
  EXPECT_EQ(get(at("data.bin")), std::string("abcdeXYZ\0\0!", 11));

  hf = open(at("data.bin"), _O_WRONLY | _O_APPEND, error);
  ASSERT_NE(hf, -1);
  EXPECT_EQ(CabFiles::write(hf, "+", 1, error), 1u);
  EXPECT_EQ(CabFiles::read(hf, buffer, 1, error), UINT_MAX);  // opened for writing only
  EXPECT_EQ(error, kErrorAccessDenied);
  close(hf);
  EXPECT_EQ(get(at("data.bin")), std::string("abcdeXYZ\0\0!+", 12));
}

TEST_F(CabFileTable, ReadOnlyFilesRefuseWriters) {
  put(at("locked.bin"), "keep");
  ASSERT_TRUE(files().setAttributes(at("locked.bin"), faReadOnly));
  uint32_t error = 0;
  EXPECT_EQ(open(at("locked.bin"), _O_WRONLY | _O_CREAT | _O_TRUNC, error), -1);
  EXPECT_EQ(error, kErrorAccessDenied);
  intptr_t hf = open(at("locked.bin"), _O_RDONLY, error);
  ASSERT_NE(hf, -1);
  EXPECT_EQ(CabFiles::write(hf, "x", 1, error), UINT_MAX);
  EXPECT_EQ(error, kErrorAccessDenied);
  close(hf);
  EXPECT_EQ(get(at("locked.bin")), "keep");
  ASSERT_TRUE(files().setAttributes(at("locked.bin"), faNormal));
}

TEST_F(CabFileTable, TemporaryFilesGoWhenClosedAndDiscardedHandlesAreGone) {
  uint32_t error = 0;
  intptr_t hf = open(at("temp.bin"), _O_RDWR | _O_CREAT | _O_EXCL | _O_TEMPORARY, error);
  ASSERT_NE(hf, -1);
  EXPECT_EQ(CabFiles::write(hf, "scratch", 7, error), 7u);
  close(hf);
  EXPECT_FALSE(files().exists(at("temp.bin")));

  hf = open(at("kept.bin"), _O_WRONLY | _O_CREAT | _O_TRUNC, error);
  ASSERT_NE(hf, -1);
  EXPECT_EQ(CabFiles::write(hf, "unfinished", 10, error), 10u);
  CabFiles::discard(hf);
  CabFiles::discard(hf);
  EXPECT_EQ(CabFiles::close(hf, error), -1);
  EXPECT_EQ(error, kErrorInvalidHandle);
  EXPECT_EQ(CabFiles::read(hf, &error, 1, error), UINT_MAX);
}

TEST(CabMessages, WriterErrors) {
  EXPECT_EQ(cabinetErrorMessage(ESTCabinet(ERF{FCIERR_CAB_FILE, 0, 0}), Lang::English), "FCI error");
  EXPECT_EQ(cabinetErrorMessage(ESTCabinet(ERF{FCIERR_ALLOC_FAIL, 0, 1}), Lang::English), "Out of memory in FCI [0x0003]");
  EXPECT_EQ(cabinetErrorMessage(ESTCabinet(ERF{42, 0, 1}), Lang::English), "FCI error [0x002A]");
  EXPECT_EQ(cabinetErrorMessage(ESTCabinet(ERF{FCIERR_TEMP_FILE, 5, 1}), Lang::English),
               "Could not create a temporary file [0x0004].\nAccess is denied. [0x0005].");
  EXPECT_EQ(cabinetErrorMessage(ESTCabinet(ERF{FCIERR_READ_SRC, 0x1234, 1}), Lang::English),
               "Failure reading file to be stored in cabinet [0x0002].\n [0x1234].");
  EXPECT_EQ(cabinetErrorMessage(ESTCabinet(ERF{FCIERR_MCI_FAIL, 8, 1}), Lang::Russian),
            "Ошибка сжатия данных [0x0008].\nНедостаточно памяти для обработки команды. [0x0008].");
  EXPECT_EQ(cabinetErrorMessage(ESTCabinet(ERF{FCIERR_USER_ABORT, 0, 1}), Lang::Chinese), "客户程序请求中止 [0x0007]");
}

TEST(CabMessages, SystemAndReaderErrors) {
  EXPECT_EQ(systemErrorMessage(ESystemError(0), Lang::English), "System Error.  Code: 0.\nA call to an OS function failed");
  EXPECT_EQ(systemErrorMessage(ESystemError(126), Lang::English), "System Error.  Code: 126.\nThe specified module could not be found.");
  EXPECT_EQ(systemErrorMessage(ESystemError(9999), Lang::English), "System Error.  Code: 9999.\n");
  EXPECT_EQ(systemErrorMessage(ESystemError(127), Lang::ChineseTW), "系統錯誤。  代碼：127。\n找不到指定的程序。");
  EXPECT_EQ(fdiErrorText(ERF{}, Lang::English), "No error");
  EXPECT_EQ(fdiErrorText(ERF{FDIERROR_CORRUPT_CABINET, 0, 1}, Lang::English), "Corrupt cabinet");
  EXPECT_EQ(fdiErrorText(ERF{FDIERROR_TARGET_FILE, 29, 1}, Lang::English),
            "Failure writing to target file: The system cannot write to the specified device.");
  EXPECT_EQ(fdiErrorText(ERF{FDIERROR_BAD_COMPR_TYPE, 0, 1}, Lang::French), "Type de compression inconnu");
  EXPECT_EQ(fdiErrorText(ERF{99, 4321, 1}, Lang::English), "FDI error: [0x10E1]");
}

TEST(CabMessages, TheErrorBoxWordsCabinetFailuresAndShowsOthersAsRaised) {
  EXPECT_EQ(commandErrorText(ESTCabinet(ERF{FCIERR_CAB_FILE, 2, 1})),
            "Could not create cabinet file [0x0006].\nThe system cannot find the file specified. [0x0002].");
  EXPECT_EQ(commandErrorText(ESystemError(3)), "System Error.  Code: 3.\nThe system cannot find the path specified.");
  EXPECT_EQ(commandErrorText(std::runtime_error("disk full")), "disk full");
}

TEST(CabBinding, EveryEntryPointIsBoundOnce) {
  const TCabinetLibrary& library = CabinetLibrary();
  EXPECT_EQ(&library, &CabinetLibrary());
  EXPECT_NE(library.FCICreate, nullptr);
  EXPECT_NE(library.FCIAddFile, nullptr);
  EXPECT_NE(library.FCIFlushCabinet, nullptr);
  EXPECT_NE(library.FCIFlushFolder, nullptr);
  EXPECT_NE(library.FCIDestroy, nullptr);
  EXPECT_NE(library.FDICreate, nullptr);
  EXPECT_NE(library.FDIIsCabinet, nullptr);
  EXPECT_NE(library.FDICopy, nullptr);
  EXPECT_NE(library.FDIDestroy, nullptr);
}

}  // namespace
}  // namespace korvane::test::cab
