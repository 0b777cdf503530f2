// Our own FCI/FDI (platform/cabinet), linked into the program: "loading" it
// always succeeds and the entry points are found in a table.
#include <cstring>

#include "platform/CabinetLibrary.h"
#include "platform/CabinetInterface.h"

namespace korvane {

namespace {

constexpr uint32_t kProcedureNotFound = 127;  // the code Windows gives for a missing entry point

struct EntryPoint {
  const char* name;
  CabinetProc proc;
};

template <typename Function>
CabinetProc generic(Function* function) {
  return reinterpret_cast<CabinetProc>(function);
}

const EntryPoint kEntryPoints[] = {
    {"FCICreate", generic(&FCICreate)},         {"FCIAddFile", generic(&FCIAddFile)},
    {"FCIFlushCabinet", generic(&FCIFlushCabinet)}, {"FCIFlushFolder", generic(&FCIFlushFolder)},
    {"FCIDestroy", generic(&FCIDestroy)},       {"FDICreate", generic(&FDICreate)},
    {"FDIIsCabinet", generic(&FDIIsCabinet)},   {"FDICopy", generic(&FDICopy)},
    {"FDIDestroy", generic(&FDIDestroy)},
};

int linkedModule;  // its address stands for the module

}  // namespace

CabinetModule loadCabinetModule(uint32_t& systemError) {
  systemError = 0;
  return &linkedModule;
}

CabinetProc cabinetEntryPoint(CabinetModule module, const char* name, uint32_t& systemError) {
  systemError = kProcedureNotFound;
  if (module != &linkedModule || name == nullptr) return nullptr;
  for (const EntryPoint& entry : kEntryPoints) {
    if (std::strcmp(entry.name, name) != 0) continue;
    systemError = 0;
    return entry.proc;
  }
  return nullptr;
}

void freeCabinetModule(CabinetModule) {}

}  // namespace korvane
