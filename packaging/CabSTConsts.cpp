#include "packaging/CabSTConsts.h"

namespace korvane {

namespace {

std::string cabinetErrorSummary(const ERF& error, bool fromCompression) {
  std::string summary = fromCompression ? "cabinet writer error " : "cabinet reader error ";
  summary += std::to_string(error.erfOper);
  if (error.erfType != 0) summary += ", system error " + std::to_string(error.erfType);
  return summary;
}

}  // namespace

ESystemError::ESystemError(uint32_t code)
    : std::runtime_error("system error " + std::to_string(code)), code_(code) {}

ESTCabinet::ESTCabinet(const ERF& error, bool fromCompression)
    : std::runtime_error(cabinetErrorSummary(error, fromCompression)),
      error_(error),
      fromCompression_(fromCompression) {}

ERF cabinetFileError(uint32_t systemError) { return ERF{FCIERR_CAB_FILE, static_cast<int>(systemError), 1}; }

}  // namespace korvane
