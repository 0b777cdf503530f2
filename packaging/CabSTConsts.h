// Types, error codes and exceptions of the cabinet writer and reader.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "platform/CabinetInterface.h"

namespace korvane {

enum TSTCabCompressionType { cctNone, cctMsZip, cctLzx };

// LZX window size exponent.
using TSTCabLzxLevel = unsigned;
constexpr TSTCabLzxLevel kLzxLevelLowest = 15;
constexpr TSTCabLzxLevel kLzxLevelHighest = 21;

enum TSTCabReaderOption : unsigned { croExecuteOnExtract = 0x1, croDontOverwriteReadOnlyFiles = 0x2 };
using TSTCabReaderOptions = unsigned;  // a set of TSTCabReaderOption bits

// The library's own types under the names the components' events use.
using TCCAB = CCAB;
using TFDIERROR = FDIERROR;
using TFDINOTIFICATIONTYPE = FDINOTIFICATIONTYPE;
using TFDINOTIFICATION = FDINOTIFICATION;

// The system error codes the components' file callbacks report.
enum SystemErrorCode : uint32_t {
  kErrorFileNotFound = 2,
  kErrorPathNotFound = 3,
  kErrorAccessDenied = 5,
  kErrorInvalidHandle = 6,
  kErrorNotEnoughMemory = 8,
  kErrorWriteFault = 29,
  kErrorReadFault = 30,
  kErrorFileExists = 80,
  kErrorInvalidParameter = 87,
  kErrorNegativeSeek = 131,
  kErrorModuleNotFound = 126,
  kErrorProcedureNotFound = 127,
  kErrorFilenameTooLong = 206,
};

// A failed operating-system call: the binding of the cabinet library or the
// search of the files to add. what() is a technical text; those who show it
// to a person choose the sentence by the code.
class ESystemError : public std::runtime_error {
 public:
  explicit ESystemError(uint32_t code);
  uint32_t Code() const { return code_; }

 private:
  uint32_t code_;
};

// A failure of the cabinet library, from its error record. what() is a
// technical text; those who show it to a person choose the sentence by the codes.
class ESTCabinet : public std::runtime_error {
 public:
  explicit ESTCabinet(const ERF& error, bool fromCompression = true);
  int ErrorCode() const { return error_.erfOper; }
  int SystemErrorCode() const { return error_.erfType; }
  bool ErrorPresent() const { return error_.fError != 0; }
  bool FromCompression() const { return fromCompression_; }

 private:
  ERF error_;
  bool fromCompression_;
};

// The error record the components raise when the library cannot be asked.
ERF cabinetFileError(uint32_t systemError = 0);

}  // namespace korvane
