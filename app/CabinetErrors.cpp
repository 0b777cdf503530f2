#include "app/CabinetErrors.h"

#include <cstdio>
#include <utility>

namespace korvane {

namespace {

std::string text(Msg msg, Lang lang) { return std::string(message(msg, lang)); }

std::string hex4(int value) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%.4X", static_cast<unsigned>(value));
  return digits;
}

constexpr std::pair<uint32_t, Msg> kSystemTexts[] = {
    {kErrorFileNotFound, Msg::SysErrFileNotFound},       {kErrorPathNotFound, Msg::SysErrPathNotFound},
    {kErrorAccessDenied, Msg::SysErrAccessDenied},       {kErrorInvalidHandle, Msg::SysErrInvalidHandle},
    {kErrorNotEnoughMemory, Msg::SysErrNotEnoughMemory}, {kErrorWriteFault, Msg::SysErrWriteFault},
    {kErrorReadFault, Msg::SysErrReadFault},             {kErrorFileExists, Msg::SysErrFileExists},
    {kErrorInvalidParameter, Msg::SysErrInvalidParameter},
    {kErrorNegativeSeek, Msg::SysErrNegativeSeek},       {kErrorModuleNotFound, Msg::SysErrModuleNotFound},
    {kErrorProcedureNotFound, Msg::SysErrProcedureNotFound}, {kErrorFilenameTooLong, Msg::SysErrFilenameTooLong},
};

// By FCIERROR code 0 to 9.
constexpr Msg kFciTexts[] = {Msg::CabNoError,          Msg::CabCannotOpenFile,       Msg::CabCannotReadFile,
                             Msg::CabOutOfMemory,      Msg::CabCannotCreateTempFile, Msg::CabUnknownCompression,
                             Msg::CabCannotCreateFile, Msg::CabUserAbort,            Msg::CabCompressFailed,
                             Msg::CabFormatLimit};

// By FDIERROR code 0 to 12.
constexpr Msg kFdiTexts[] = {Msg::CabNoError,           Msg::FdiCabinetNotFound, Msg::FdiNotACabinet,
                             Msg::FdiUnknownVersion,    Msg::FdiCorruptCabinet,  Msg::FdiOutOfMemory,
                             Msg::CabUnknownCompression, Msg::FdiDecompressFailed, Msg::FdiTargetFile,
                             Msg::FdiReserveMismatch,   Msg::FdiWrongCabinet,    Msg::FdiUserAbort,
                             Msg::FdiEndOfFile};

template <size_t N>
Msg byCode(const Msg (&texts)[N], int code, Msg otherwise) {
  return code >= 0 && static_cast<size_t>(code) < N ? texts[code] : otherwise;
}

}  // namespace

std::string systemErrorText(uint32_t code, Lang lang) {
  for (const auto& [known, msg] : kSystemTexts)
    if (known == code) return text(msg, lang);
  return {};
}

std::string systemErrorMessage(const ESystemError& error, Lang lang) {
  const uint32_t code = error.Code();
  const std::string reason = code == 0 ? text(Msg::CabOsCallFailed, lang) : systemErrorText(code, lang);
  return formatMessage(message(Msg::CabSystemError, lang), {std::to_string(code), reason});
}

std::string cabinetErrorMessage(const ESTCabinet& error, Lang lang) {
  if (!error.ErrorPresent()) return text(Msg::CabError, lang);
  std::string out =
      text(byCode(kFciTexts, error.ErrorCode(), Msg::CabError), lang) + " [0x" + hex4(error.ErrorCode()) + "]";
  const int reason = error.SystemErrorCode();
  if (reason != 0) out += ".\n" + systemErrorText(static_cast<uint32_t>(reason), lang) + " [0x" + hex4(reason) + "].";
  return out;
}

std::string fdiErrorText(const ERF& error, Lang lang) {
  if (!error.fError) return text(Msg::CabNoError, lang);
  std::string out = text(byCode(kFdiTexts, error.erfOper, Msg::FdiError), lang);
  if (error.erfType != 0) {
    const std::string reason = systemErrorText(static_cast<uint32_t>(error.erfType), lang);
    out += ": " + (reason.empty() ? "[0x" + hex4(error.erfType) + "]" : reason);
  }
  return out;
}

std::string commandErrorText(const std::exception& error) {
  if (const auto* cabinet = dynamic_cast<const ESTCabinet*>(&error)) return cabinetErrorMessage(*cabinet, Lang::English);
  if (const auto* system = dynamic_cast<const ESystemError*>(&error)) return systemErrorMessage(*system, Lang::English);
  return error.what();
}

}  // namespace korvane
