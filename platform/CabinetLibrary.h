// The cabinet library as a module whose entry points are looked up by name:
// the system's cabinet.dll on Windows, our own FCI/FDI on Linux.
#pragma once

#include <cstdint>

namespace korvane {

// Any entry point, to be cast to its own type by the caller.
using CabinetProc = void (*)();
using CabinetModule = void*;

// Null with the system's error code when the library cannot be loaded.
CabinetModule loadCabinetModule(uint32_t& systemError);
// Null with the system's error code when the module lacks the name.
CabinetProc cabinetEntryPoint(CabinetModule module, const char* name, uint32_t& systemError);
void freeCabinetModule(CabinetModule module);

}  // namespace korvane
