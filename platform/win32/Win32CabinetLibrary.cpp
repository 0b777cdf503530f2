// The system's cabinet.dll.
#include "platform/CabinetLibrary.h"

#include "platform/win32/Win32Util.h"

namespace korvane {

CabinetModule loadCabinetModule(uint32_t& systemError) {
  HMODULE module = LoadLibraryW(L"cabinet.dll");
  systemError = module ? 0 : GetLastError();
  return module;
}

CabinetProc cabinetEntryPoint(CabinetModule module, const char* name, uint32_t& systemError) {
  // Through the generic function pointer type, which the compiler accepts for any signature.
  auto proc = reinterpret_cast<CabinetProc>(GetProcAddress(static_cast<HMODULE>(module), name));
  systemError = proc ? 0 : GetLastError();
  return proc;
}

void freeCabinetModule(CabinetModule module) { FreeLibrary(static_cast<HMODULE>(module)); }

}  // namespace korvane
