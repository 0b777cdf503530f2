// The process-wide binding of the cabinet library's nine entry points,
// looked up by name on first use.
#pragma once

#include "platform/CabinetInterface.h"

namespace korvane {

struct TCabinetLibrary {
  decltype(&::FCICreate) FCICreate = nullptr;
  decltype(&::FCIAddFile) FCIAddFile = nullptr;
  decltype(&::FCIFlushCabinet) FCIFlushCabinet = nullptr;
  decltype(&::FCIFlushFolder) FCIFlushFolder = nullptr;
  decltype(&::FCIDestroy) FCIDestroy = nullptr;
  decltype(&::FDICreate) FDICreate = nullptr;
  decltype(&::FDIIsCabinet) FDIIsCabinet = nullptr;
  decltype(&::FDICopy) FDICopy = nullptr;
  decltype(&::FDIDestroy) FDIDestroy = nullptr;
};

// The bound library. The first call loads it; a library or an entry point
// that is missing raises ESystemError and leaves it unloaded, so that a
// later call tries again. Freed when the program ends.
const TCabinetLibrary& CabinetLibrary();

}  // namespace korvane
