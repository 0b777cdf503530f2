// The cabinet library's compression (FCI) and decompression (FDI) interfaces
// as the program uses them. The Windows build binds these entry points to the
// system's cabinet.dll; the Linux build implements them in platform/cabinet.
//
// Integer widths are those of the Windows interface (long and ULONG are 32
// bits there), so the same declarations describe the DLL's entry points and
// callbacks on Windows and our own implementation everywhere else.
#pragma once

#include <cstdint>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#define DIAMONDAPI __cdecl
#else
#define DIAMONDAPI
#endif

// ---------------------------------------------------------------------------
// Shared by both interfaces

// Flags the library passes to the caller's open callbacks: the values of the
// Windows C runtime.
#ifndef _WIN32
#define _O_RDONLY 0x0000
#define _O_WRONLY 0x0001
#define _O_RDWR 0x0002
#define _O_APPEND 0x0008
#define _O_RANDOM 0x0010
#define _O_SEQUENTIAL 0x0020
#define _O_TEMPORARY 0x0040
#define _O_NOINHERIT 0x0080
#define _O_CREAT 0x0100
#define _O_TRUNC 0x0200
#define _O_EXCL 0x0400
#define _O_SHORT_LIVED 0x1000
#define _O_TEXT 0x4000
#define _O_BINARY 0x8000
#define _S_IREAD 0x0100
#define _S_IWRITE 0x0080
// File attributes as stored in a cabinet.
#define _A_RDONLY 0x01
#define _A_HIDDEN 0x02
#define _A_SYSTEM 0x04
#define _A_ARCH 0x20
#endif
#define _A_EXEC 0x40         // run the file after extraction
#define _A_NAME_IS_UTF 0x80  // the stored name is UTF-8

#define CB_MAX_CHUNK 32768          // uncompressed bytes in one data block
#define CB_MAX_DISK 0x7fffffffL     // largest cabinet
#define CB_MAX_FILENAME 256         // name in cabinet, with its NUL
#define CB_MAX_CABINET_NAME 256
#define CB_MAX_CAB_PATH 256
#define CB_MAX_DISK_NAME 256

// Compression type of a folder: method in the low nibble, parameters above.
typedef uint16_t TCOMP;
#define tcompMASK_TYPE 0x000F
#define tcompTYPE_NONE 0x0000
#define tcompTYPE_MSZIP 0x0001
#define tcompTYPE_QUANTUM 0x0002
#define tcompTYPE_LZX 0x0003
#define tcompBAD 0x000F
#define tcompMASK_LZX_WINDOW 0x1F00
#define tcompLZX_WINDOW_LO 0x0F00
#define tcompLZX_WINDOW_HI 0x1500
#define tcompSHIFT_LZX_WINDOW 8
#define tcompMASK_QUANTUM_LEVEL 0x00F0
#define tcompQUANTUM_LEVEL_LO 0x0010
#define tcompQUANTUM_LEVEL_HI 0x0070
#define tcompSHIFT_QUANTUM_LEVEL 4
#define tcompMASK_QUANTUM_MEM 0x1F00
#define tcompQUANTUM_MEM_LO 0x0A00
#define tcompQUANTUM_MEM_HI 0x1500
#define tcompSHIFT_QUANTUM_MEM 8
#define tcompMASK_RESERVED 0xE000

constexpr TCOMP CompressionTypeFromTCOMP(TCOMP tc) { return tc & tcompMASK_TYPE; }
constexpr unsigned LZXCompressionWindowFromTCOMP(TCOMP tc) {
  return (tc & tcompMASK_LZX_WINDOW) >> tcompSHIFT_LZX_WINDOW;
}
constexpr TCOMP TCOMPfromLZXWindow(unsigned windowBits) {
  return static_cast<TCOMP>((windowBits << tcompSHIFT_LZX_WINDOW) | tcompTYPE_LZX);
}
constexpr TCOMP TCOMPfromTypeLevelMemory(unsigned type, unsigned level, unsigned memory) {
  return static_cast<TCOMP>((memory << tcompSHIFT_QUANTUM_MEM) | (level << tcompSHIFT_QUANTUM_LEVEL) |
                            type);
}

// cabinet.dll packs its structures to 4 bytes in 32-bit Windows only; the
// 64-bit library uses the natural layout.
#if defined(_WIN32) && !defined(_WIN64)
#pragma pack(push, 4)
#endif

// Error record filled in by every failing call.
typedef struct {
  int erfOper;  // FCIERROR or FDIERROR code
  int erfType;  // error code of the C runtime or the system, if any
  int fError;   // non-zero when an error occurred
} ERF, *PERF;

// ---------------------------------------------------------------------------
// FCI: building cabinets

typedef enum {
  FCIERR_NONE,
  FCIERR_OPEN_SRC,         // failure opening file to be stored in cabinet
  FCIERR_READ_SRC,         // failure reading file to be stored in cabinet
  FCIERR_ALLOC_FAIL,       // out of memory
  FCIERR_TEMP_FILE,        // could not create a temporary file
  FCIERR_BAD_COMPR_TYPE,   // unknown compression type
  FCIERR_CAB_FILE,         // could not create or write the cabinet file
  FCIERR_USER_ABORT,       // a callback asked to stop
  FCIERR_MCI_FAIL,         // failure compressing data
  FCIERR_CAB_FORMAT_LIMIT  // a size or count exceeds what the format holds
} FCIERROR;

// Cabinet parameters: the caller fills one in for FCICreate and updates it
// from the get-next-cabinet callback.
typedef struct {
  uint32_t cb;                // largest size of one cabinet
  uint32_t cbFolderThresh;    // compressed size at which a new folder begins
  unsigned cbReserveCFHeader; // bytes reserved in the cabinet header
  unsigned cbReserveCFFolder; // bytes reserved in each folder entry
  unsigned cbReserveCFData;   // bytes reserved in each data block
  int iCab;                   // cabinet number
  int iDisk;                  // disk number
  int fFailOnIncompressible;  // fail when a block does not compress
  uint16_t setID;             // cabinet set identifier
  char szDisk[CB_MAX_DISK_NAME];
  char szCab[CB_MAX_CABINET_NAME];
  char szCabPath[CB_MAX_CAB_PATH];  // folder of the cabinet, with a trailing separator
} CCAB, *PCCAB;

typedef void* HFCI;

typedef void*(DIAMONDAPI* PFNFCIALLOC)(uint32_t cb);
typedef void(DIAMONDAPI* PFNFCIFREE)(void* memory);
typedef intptr_t(DIAMONDAPI* PFNFCIOPEN)(char* pszFile, int oflag, int pmode, int* err, void* pv);
typedef unsigned(DIAMONDAPI* PFNFCIREAD)(intptr_t hf, void* memory, unsigned cb, int* err, void* pv);
typedef unsigned(DIAMONDAPI* PFNFCIWRITE)(intptr_t hf, void* memory, unsigned cb, int* err, void* pv);
typedef int(DIAMONDAPI* PFNFCICLOSE)(intptr_t hf, int* err, void* pv);
typedef int32_t(DIAMONDAPI* PFNFCISEEK)(intptr_t hf, int32_t dist, int seektype, int* err, void* pv);
typedef int(DIAMONDAPI* PFNFCIDELETE)(char* pszFile, int* err, void* pv);
// A new cabinet is needed: pccab holds the previous one's parameters with
// iCab already advanced; return FALSE to stop.
typedef int(DIAMONDAPI* PFNFCIGETNEXTCABINET)(PCCAB pccab, uint32_t cbPrevCab, void* pv);
// A file (or, with fContinuation, the continued part of one) has been placed
// in the cabinet pccab describes; return -1 to stop.
typedef int(DIAMONDAPI* PFNFCIFILEPLACED)(PCCAB pccab, char* pszFile, int32_t cbFile, int fContinuation,
                                          void* pv);
// Opens a source file for reading and reports its DOS date, time and
// attributes; returns the handle or -1.
typedef intptr_t(DIAMONDAPI* PFNFCIGETOPENINFO)(char* pszName, uint16_t* pdate, uint16_t* ptime,
                                                uint16_t* pattribs, int* err, void* pv);
#define statusFile 0     // a data block was compressed: cb1 compressed, cb2 uncompressed size
#define statusFolder 1   // a folder was copied into the cabinet: cb1 copied, cb2 total
#define statusCabinet 2  // a cabinet was written: cb1 estimated, cb2 actual size
// Returns -1 to stop; for statusCabinet the desired cabinet size (at least cb2).
typedef int32_t(DIAMONDAPI* PFNFCISTATUS)(unsigned typeStatus, uint32_t cb1, uint32_t cb2, void* pv);
// Fills in the name of a temporary file that does not exist yet.
typedef int(DIAMONDAPI* PFNFCIGETTEMPFILE)(char* pszTempName, int cbTempName, void* pv);

HFCI DIAMONDAPI FCICreate(PERF perf, PFNFCIFILEPLACED pfnfcifp, PFNFCIALLOC pfna, PFNFCIFREE pfnf,
                          PFNFCIOPEN pfnopen, PFNFCIREAD pfnread, PFNFCIWRITE pfnwrite, PFNFCICLOSE pfnclose,
                          PFNFCISEEK pfnseek, PFNFCIDELETE pfndelete, PFNFCIGETTEMPFILE pfnfcigtf,
                          PCCAB pccab, void* pv);
int DIAMONDAPI FCIAddFile(HFCI hfci, char* pszSourceFile, char* pszFileName, int fExecute,
                          PFNFCIGETNEXTCABINET pfnfcignc, PFNFCISTATUS pfnfcis, PFNFCIGETOPENINFO pfnfcigoi,
                          TCOMP typeCompress);
int DIAMONDAPI FCIFlushCabinet(HFCI hfci, int fGetNextCab, PFNFCIGETNEXTCABINET pfnfcignc,
                               PFNFCISTATUS pfnfcis);
int DIAMONDAPI FCIFlushFolder(HFCI hfci, PFNFCIGETNEXTCABINET pfnfcignc, PFNFCISTATUS pfnfcis);
int DIAMONDAPI FCIDestroy(HFCI hfci);

// ---------------------------------------------------------------------------
// FDI: reading cabinets

typedef enum {
  FDIERROR_NONE,
  FDIERROR_CABINET_NOT_FOUND,
  FDIERROR_NOT_A_CABINET,
  FDIERROR_UNKNOWN_CABINET_VERSION,
  FDIERROR_CORRUPT_CABINET,
  FDIERROR_ALLOC_FAIL,
  FDIERROR_BAD_COMPR_TYPE,
  FDIERROR_MDI_FAIL,  // the compressed data does not decode
  FDIERROR_TARGET_FILE,
  FDIERROR_RESERVE_MISMATCH,
  FDIERROR_WRONG_CABINET,
  FDIERROR_USER_ABORT,
  FDIERROR_EOF
} FDIERROR;

#define cpuUNKNOWN (-1)
#define cpu80286 0
#define cpu80386 1

typedef struct {
  int32_t cbCabinet;  // size recorded in the header
  uint16_t cFolders;
  uint16_t cFiles;
  uint16_t setID;
  uint16_t iCabinet;  // number in the set, from 0
  int fReserve;       // the cabinet has reserved areas
  int hasprev;        // continues an earlier cabinet
  int hasnext;        // is continued by a later cabinet
} FDICABINETINFO, *PFDICABINETINFO;

typedef enum { fdidtNEW_CABINET, fdidtNEW_FOLDER, fdidtDECRYPT } FDIDECRYPTTYPE;

typedef struct {
  FDIDECRYPTTYPE fdidt;
  void* pvUser;
  union {
    struct {
      void* pHeaderReserve;
      uint16_t cbHeaderReserve;
      uint16_t setID;
      int iCabinet;
    } cabinet;
    struct {
      void* pFolderReserve;
      uint16_t cbFolderReserve;
      uint16_t iFolder;
    } folder;
    struct {
      void* pDataReserve;
      uint16_t cbDataReserve;
      void* pbData;
      uint16_t cbData;
      int fSplit;          // the block continues in the next cabinet
      uint16_t cbPartial;  // bytes of the block given earlier, when it began in the previous cabinet
    } decrypt;
  };
} FDIDECRYPT, *PFDIDECRYPT;

typedef enum {
  fdintCABINET_INFO,     // a cabinet was opened
  fdintPARTIAL_FILE,     // a file whose data began in an earlier cabinet
  fdintCOPY_FILE,        // a file is about to be extracted: return its handle, 0 to skip, -1 to stop
  fdintCLOSE_FILE_INFO,  // a file's data is complete: close it and set its date and attributes
  fdintNEXT_CABINET,     // the next cabinet of the set is needed
  fdintENUMERATE
} FDINOTIFICATIONTYPE;

// Meaning of the fields by notification:
//   CABINET_INFO:    psz1 next cabinet, psz2 next disk, psz3 cabinet folder, setID, iCabinet
//   PARTIAL_FILE:    psz1 file name, psz2 cabinet and psz3 disk where it began
//   COPY_FILE:       psz1 file name, cb size, date, time, attribs, iFolder
//   CLOSE_FILE_INFO: psz1 file name, hf, date, time, attribs, iFolder, cb = 1 to run it
//   NEXT_CABINET:    psz1 cabinet name, psz2 disk name, psz3 folder (a CB_MAX_CAB_PATH
//                    buffer the callback may change), fdie why it is asked for
typedef struct {
  int32_t cb;
  char* psz1;
  char* psz2;
  char* psz3;
  void* pv;  // the pvUser given to FDICopy
  intptr_t hf;
  uint16_t date;
  uint16_t time;
  uint16_t attribs;
  uint16_t setID;
  uint16_t iCabinet;
  uint16_t iFolder;
  FDIERROR fdie;
} FDINOTIFICATION, *PFDINOTIFICATION;

#if defined(_WIN32) && !defined(_WIN64)
#pragma pack(pop)
#endif

typedef void* HFDI;

typedef void*(DIAMONDAPI* PFNALLOC)(uint32_t cb);
typedef void(DIAMONDAPI* PFNFREE)(void* pv);
typedef intptr_t(DIAMONDAPI* PFNOPEN)(char* pszFile, int oflag, int pmode);
typedef unsigned(DIAMONDAPI* PFNREAD)(intptr_t hf, void* pv, unsigned cb);
typedef unsigned(DIAMONDAPI* PFNWRITE)(intptr_t hf, void* pv, unsigned cb);
typedef int(DIAMONDAPI* PFNCLOSE)(intptr_t hf);
typedef int32_t(DIAMONDAPI* PFNSEEK)(intptr_t hf, int32_t dist, int seektype);
typedef intptr_t(DIAMONDAPI* PFNFDINOTIFY)(FDINOTIFICATIONTYPE fdint, PFDINOTIFICATION pfdin);
typedef int(DIAMONDAPI* PFNFDIDECRYPT)(PFDIDECRYPT pfdid);

HFDI DIAMONDAPI FDICreate(PFNALLOC pfnalloc, PFNFREE pfnfree, PFNOPEN pfnopen, PFNREAD pfnread,
                          PFNWRITE pfnwrite, PFNCLOSE pfnclose, PFNSEEK pfnseek, int cpuType, PERF perf);
int DIAMONDAPI FDIIsCabinet(HFDI hfdi, intptr_t hf, PFDICABINETINFO pfdici);
// Extracts the files of pszCabPath + pszCabinet (pszCabPath ends with a
// separator or is empty), following the set into later cabinets while a
// folder continues there.
int DIAMONDAPI FDICopy(HFDI hfdi, char* pszCabinet, char* pszCabPath, int flags, PFNFDINOTIFY pfnfdin,
                       PFNFDIDECRYPT pfnfdid, void* pvUser);
int DIAMONDAPI FDIDestroy(HFDI hfdi);
