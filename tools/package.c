#include "package.h"

#include "../platform/DeviceNames.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

/* The cabinet library's decompression interface (cabinet.dll). Declared here
 * rather than taken from <fdi.h>: mingw's header packs the structures to 4
 * bytes on 64-bit Windows too, where the system's library lays them out
 * naturally, and FDICopy then reads the notifications wrongly. */
#define DIAMONDAPI __cdecl
#ifndef _WIN64
#pragma pack(push, 4)
#endif
typedef struct {
    int erfOper;
    int erfType;
    BOOL fError;
} ERF;
typedef enum {
    fdintCABINET_INFO,
    fdintPARTIAL_FILE,
    fdintCOPY_FILE,
    fdintCLOSE_FILE_INFO,
    fdintNEXT_CABINET,
    fdintENUMERATE
} FDINOTIFICATIONTYPE;
typedef struct {
    LONG cb;
    char *psz1, *psz2, *psz3;
    void *pv;
    INT_PTR hf;
    USHORT date, time, attribs, setID, iCabinet, iFolder;
    int fdie;
} FDINOTIFICATION;
#ifndef _WIN64
#pragma pack(pop)
#endif
typedef void *HFDI;
HFDI DIAMONDAPI FDICreate(void *(DIAMONDAPI *alloc)(ULONG), void(DIAMONDAPI *release)(void *),
                          INT_PTR(DIAMONDAPI *open)(char *, int, int), UINT(DIAMONDAPI *read)(INT_PTR, void *, UINT),
                          UINT(DIAMONDAPI *write)(INT_PTR, void *, UINT), int(DIAMONDAPI *close)(INT_PTR),
                          LONG(DIAMONDAPI *seek)(INT_PTR, LONG, int), int cpuType, ERF *error);
BOOL DIAMONDAPI FDICopy(HFDI fdi, char *cabinet, char *cabinetPath, int flags,
                        INT_PTR(DIAMONDAPI *notify)(FDINOTIFICATIONTYPE, FDINOTIFICATION *), void *decrypt,
                        void *context);
BOOL DIAMONDAPI FDIDestroy(HFDI fdi);

enum { FDI_CPU_UNKNOWN = -1, FDI_NAME_IS_UTF8 = 0x80 };
enum {
    FDIERROR_CABINET_NOT_FOUND = 1,
    FDIERROR_NOT_A_CABINET,
    FDIERROR_UNKNOWN_CABINET_VERSION,
    FDIERROR_CORRUPT_CABINET,
    FDIERROR_ALLOC_FAIL,
    FDIERROR_BAD_COMPR_TYPE,
    FDIERROR_MDI_FAIL,
    FDIERROR_TARGET_FILE,
    FDIERROR_RESERVE_MISMATCH,
    FDIERROR_WRONG_CABINET,
    FDIERROR_USER_ABORT
};

/* ------------------------------------------------------------------------ */
/* Finding the cabinet */

/* The fixed part of a cabinet's header. */
enum { CABINET_HEADER_SIZE = 36, CABINET_PREVIOUS = 0x0001, CABINET_NEXT = 0x0002 };

static BOOL ReadAt(HANDLE file, ULONGLONG offset, void *buffer, DWORD size)
{
    LARGE_INTEGER position;
    position.QuadPart = (LONGLONG)offset;
    DWORD read = 0;
    return SetFilePointerEx(file, position, NULL, FILE_BEGIN) && ReadFile(file, buffer, size, &read, NULL) &&
           read == size;
}

static ULONG LittleEndian32(const BYTE *bytes)
{
    return (ULONG)bytes[0] | (ULONG)bytes[1] << 8 | (ULONG)bytes[2] << 16 | (ULONG)bytes[3] << 24;
}

static USHORT LittleEndian16(const BYTE *bytes)
{
    return (USHORT)(bytes[0] | bytes[1] << 8);
}

/* Where the PE image ends in the file: after its headers and the raw data of
 * its last section. 0 when the file is no PE image. */
static ULONGLONG ImageEnd(HANDLE file, ULONGLONG fileSize)
{
    IMAGE_DOS_HEADER dos;
    DWORD signature;
    IMAGE_FILE_HEADER header;
    if (!ReadAt(file, 0, &dos, sizeof dos) || dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew < (LONG)sizeof dos ||
        (ULONGLONG)dos.e_lfanew + sizeof signature + sizeof header > fileSize ||
        !ReadAt(file, (ULONGLONG)dos.e_lfanew, &signature, sizeof signature) || signature != IMAGE_NT_SIGNATURE ||
        !ReadAt(file, (ULONGLONG)dos.e_lfanew + sizeof signature, &header, sizeof header) ||
        header.NumberOfSections == 0 || header.NumberOfSections > 96)
        return 0;
    ULONGLONG table = (ULONGLONG)dos.e_lfanew + sizeof signature + sizeof header + header.SizeOfOptionalHeader;
    ULONGLONG end = table + (ULONGLONG)header.NumberOfSections * sizeof(IMAGE_SECTION_HEADER);
    for (WORD index = 0; index < header.NumberOfSections && end <= fileSize; index++) {
        IMAGE_SECTION_HEADER section;
        if (!ReadAt(file, table + (ULONGLONG)index * sizeof section, &section, sizeof section))
            return 0;
        ULONGLONG sectionEnd = (ULONGLONG)section.PointerToRawData + section.SizeOfRawData;
        if (section.SizeOfRawData > 0 && sectionEnd > end)
            end = sectionEnd;
    }
    return end <= fileSize ? end : 0;
}

int FindAppendedCabinet(HANDLE file, AppendedCabinet *cabinet)
{
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size)) {
        SayError(L"The package's size is unknown", GetLastError());
        return TOOL_NO_INPUT;
    }
    ULONGLONG fileSize = (ULONGLONG)size.QuadPart, end = ImageEnd(file, fileSize);
    BYTE header[CABINET_HEADER_SIZE];
    if (end == 0) {
        SayLine(L"The package is damaged: it is no complete Windows program.");
        return TOOL_BAD_PACKAGE;
    }
    if (fileSize - end < CABINET_HEADER_SIZE || !ReadAt(file, end, header, sizeof header) ||
        memcmp(header, "MSCF", 4) != 0) {
        SayLine(L"This package carries no drivers: no cabinet follows the program.");
        return TOOL_NO_INPUT;
    }
    ULONG length = LittleEndian32(header + 8);
    USHORT flags = LittleEndian16(header + 30);
    if (length < CABINET_HEADER_SIZE || length > 0x7FFFFFFF) {
        SayLine(L"The package's cabinet is damaged: its header gives an impossible length.");
        return TOOL_BAD_PACKAGE;
    }
    if (length > fileSize - end) {
        SayFormat(L"The package's cabinet is truncated: it should hold %lu bytes, the file has %I64u.\r\n", length,
                  fileSize - end);
        return TOOL_BAD_PACKAGE;
    }
    if (flags & (CABINET_PREVIOUS | CABINET_NEXT)) {
        SayLine(L"The package's cabinet is part of a set of cabinets; it cannot be installed alone.");
        return TOOL_BAD_PACKAGE;
    }
    cabinet->file = file;
    cabinet->offset = end;
    cabinet->length = length;
    cabinet->files = LittleEndian16(header + 28);
    return TOOL_DONE;
}

/* ------------------------------------------------------------------------ */
/* Entry names */

BOOL IsSafeEntryName(const wchar_t *name)
{
    if (*name == L'\0' || *name == L'\\' || *name == L'/')
        return FALSE;
    const wchar_t *component = name;
    for (const wchar_t *c = name;; c++) {
        if (*c == L'\\' || *c == L'/' || *c == L'\0') {
            size_t length = (size_t)(c - component);
            /* Windows drops trailing dots and blanks, so "..." and ". ." lead up too. */
            if (length == 0 || component[length - 1] == L'.' || component[length - 1] == L' ' ||
                korvane_is_device_name(component, length))
                return FALSE;
            if (*c == L'\0')
                return TRUE;
            component = c + 1;
        } else if (*c < 0x20 || wcschr(L"<>:\"|?*", *c)) {
            return FALSE;  /* ":" also names drives and alternate streams */
        }
    }
}

/* ------------------------------------------------------------------------ */
/* Extraction */

/* What the library's handles stand for: the cabinet, read inside its bounds
 * only, or a file being extracted, written up to its declared size only. */
typedef struct {
    HANDLE handle;
    BOOL isCabinet;
    ULONGLONG position;
    ULONG expected, written;
} FdiFile;

/* The library's callbacks take no context of their own. */
static struct {
    const AppendedCabinet *cabinet;
    const wchar_t *folder;
    unsigned extracted;
    FdiFile *openFile;
    wchar_t problem[MAX_PATH + 128]; /* why a callback stopped the library */
} extraction;

static char cabinetName[] = "package.cab";

static void SetProblem(const wchar_t *format, ...)
{
    const size_t room = sizeof extraction.problem / sizeof extraction.problem[0];
    va_list arguments;
    va_start(arguments, format);
    _vsnwprintf(extraction.problem, room, format, arguments);
    va_end(arguments);
    extraction.problem[room - 1] = L'\0';
}

static void *DIAMONDAPI FdiAlloc(ULONG size)
{
    return HeapAlloc(GetProcessHeap(), 0, size);
}

static void DIAMONDAPI FdiFree(void *memory)
{
    HeapFree(GetProcessHeap(), 0, memory);
}

static FdiFile *NewFdiFile(HANDLE handle, BOOL isCabinet, ULONG expected)
{
    FdiFile *file = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof *file);
    if (file) {
        file->handle = handle;
        file->isCabinet = isCabinet;
        file->expected = expected;
    }
    return file;
}

/* The library opens only the cabinet: the name it was given. */
static INT_PTR DIAMONDAPI FdiOpen(char *name, int flags, int mode)
{
    (void)flags;
    (void)mode;
    FdiFile *file = strcmp(name, cabinetName) == 0 ? NewFdiFile(extraction.cabinet->file, TRUE, 0) : NULL;
    return file ? (INT_PTR)file : -1;
}

static UINT DIAMONDAPI FdiRead(INT_PTR handle, void *buffer, UINT size)
{
    FdiFile *file = (FdiFile *)handle;
    if (!file->isCabinet)
        return (UINT)-1;
    ULONGLONG left = extraction.cabinet->length - file->position;
    DWORD wanted = size < left ? size : (DWORD)left;
    if (wanted > 0 && !ReadAt(file->handle, extraction.cabinet->offset + file->position, buffer, wanted))
        return (UINT)-1;
    file->position += wanted;
    return wanted;
}

static UINT DIAMONDAPI FdiWrite(INT_PTR handle, void *buffer, UINT size)
{
    FdiFile *file = (FdiFile *)handle;
    DWORD written = 0;
    if (file->isCabinet)
        return (UINT)-1;
    if (size > file->expected - file->written) {
        SetProblem(L"a file holds more data than its entry declares");
        return (UINT)-1;
    }
    if (!WriteFile(file->handle, buffer, size, &written, NULL) || written != size)
        return (UINT)-1;
    file->written += written;
    return written;
}

static int DIAMONDAPI FdiClose(INT_PTR handle)
{
    FdiFile *file = (FdiFile *)handle;
    if (file == extraction.openFile)
        extraction.openFile = NULL;
    if (!file->isCabinet)
        CloseHandle(file->handle);
    HeapFree(GetProcessHeap(), 0, file);
    return 0;
}

static LONG DIAMONDAPI FdiSeek(INT_PTR handle, LONG distance, int origin)
{
    FdiFile *file = (FdiFile *)handle;
    LONGLONG base = origin == SEEK_CUR ? (LONGLONG)file->position
                  : origin == SEEK_END ? (LONGLONG)extraction.cabinet->length
                                       : 0;
    LONGLONG target = base + distance;
    if (!file->isCabinet || target < 0 || target > (LONGLONG)extraction.cabinet->length)
        return -1;
    file->position = (ULONGLONG)target;
    return (LONG)target;
}

/* Creates the folders between the extraction folder and path's file. */
static void CreateParentFolders(wchar_t *path)
{
    size_t start = (size_t)lstrlenW(extraction.folder) + 1;
    for (wchar_t *c = path + start; *c; c++) {
        if (*c == L'\\') {
            *c = L'\0';
            CreateDirectoryW(path, NULL);
            *c = L'\\';
        }
    }
}

static INT_PTR OpenExtractedFile(const FDINOTIFICATION *entry)
{
    wchar_t name[MAX_PATH], path[MAX_PATH];
    UINT codePage = entry->attribs & FDI_NAME_IS_UTF8 ? CP_UTF8 : CP_ACP;
    if (!entry->psz1 || !MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, entry->psz1, -1, name, MAX_PATH)) {
        SetProblem(L"the cabinet names a file in unreadable characters");
        return -1;
    }
    if (!IsSafeEntryName(name)) {
        SetProblem(L"the cabinet holds an unsafe file name: %ls", name);
        return -1;
    }
    for (wchar_t *c = name; *c; c++)
        if (*c == L'/')
            *c = L'\\';
    if (!JoinPath(path, extraction.folder, name)) {
        SetProblem(L"a file name is too long: %ls", name);
        return -1;
    }
    CreateParentFolders(path);
    HANDLE handle = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    FdiFile *file = handle != INVALID_HANDLE_VALUE ? NewFdiFile(handle, FALSE, (ULONG)entry->cb) : NULL;
    if (!file) {
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
        SetProblem(L"%ls could not be written", path);
        return -1;
    }
    extraction.openFile = file;
    return (INT_PTR)file;
}

static INT_PTR FinishExtractedFile(const FDINOTIFICATION *entry)
{
    FdiFile *file = (FdiFile *)entry->hf;
    BOOL complete = file->written == file->expected;
    FdiClose(entry->hf);
    if (!complete) {
        SetProblem(L"a file is shorter than its entry declares");
        return FALSE;
    }
    extraction.extracted++;
    return TRUE;
}

static INT_PTR DIAMONDAPI FdiNotify(FDINOTIFICATIONTYPE type, FDINOTIFICATION *notification)
{
    switch (type) {
    case fdintCOPY_FILE:
        return OpenExtractedFile(notification);
    case fdintCLOSE_FILE_INFO:
        return FinishExtractedFile(notification);
    case fdintPARTIAL_FILE:
    case fdintNEXT_CABINET:
        SetProblem(L"a file continues in another cabinet");
        return -1;
    default:
        return 0;
    }
}

static const wchar_t *FdiErrorText(int error)
{
    switch (error) {
    case FDIERROR_NOT_A_CABINET:
        return L"it is no cabinet";
    case FDIERROR_UNKNOWN_CABINET_VERSION:
        return L"its format version is unknown";
    case FDIERROR_BAD_COMPR_TYPE:
        return L"it uses an unknown compression method";
    case FDIERROR_ALLOC_FAIL:
        return L"there is not enough memory";
    case FDIERROR_TARGET_FILE:
        return L"a file could not be written";
    default:
        return L"it is damaged";
    }
}

BOOL ExtractCabinet(const AppendedCabinet *cabinet, const wchar_t *folder)
{
    ERF error = { 0, 0, FALSE };
    ZeroMemory(&extraction, sizeof extraction);
    extraction.cabinet = cabinet;
    extraction.folder = folder;
    HFDI fdi = FDICreate(FdiAlloc, FdiFree, FdiOpen, FdiRead, FdiWrite, FdiClose, FdiSeek, FDI_CPU_UNKNOWN, &error);
    if (!fdi) {
        SayLine(L"The system's cabinet library could not be started.");
        return FALSE;
    }
    char emptyPath[] = "";
    BOOL copied = FDICopy(fdi, cabinetName, emptyPath, 0, FdiNotify, NULL, NULL);
    FDIDestroy(fdi);
    if (extraction.openFile) /* the library stopped inside a file and left it open */
        FdiClose((INT_PTR)extraction.openFile);
    if (copied && extraction.extracted != cabinet->files)
        SetProblem(L"it holds fewer files than its header declares");
    if (!copied || extraction.problem[0]) {
        SayFormat(L"The package's cabinet cannot be extracted: %ls.\r\n",
                  extraction.problem[0] ? extraction.problem : FdiErrorText(error.erfOper));
        return FALSE;
    }
    SayFormat(L"Extracted %u files into %ls.\r\n", extraction.extracted, folder);
    return TRUE;
}
