// Libraries that only some commands need (libcurl, libhivex) are loaded when
// first used, so that the program starts and works without them.
#pragma once

#include <dlfcn.h>

#include <optional>
#include <string>

namespace korvane {

// Points function at the library's entry point of that name; false when it has none.
template <typename Function>
bool bindEntry(void* module, const char* name, Function& function) {
  function = reinterpret_cast<Function>(dlsym(module, name));
  return function != nullptr;
}

// Why the library could not be loaded or bound; closes it when it was opened.
inline std::string loadFailure(void* module, const char* soname) {
  const char* why = dlerror();
  if (module) dlclose(module);
  return std::string(soname) + " could not be loaded: " + (why ? why : "an entry point is missing");
}

// The library that load gives, loaded once for the process; nullptr (and why)
// when it cannot be. One per library type.
template <typename Library>
const Library* loadOnce(std::optional<Library> (*load)(std::string&), std::string& error) {
  static std::string loadError;
  static const std::optional<Library> library = load(loadError);
  error = loadError;
  return library ? &*library : nullptr;
}

}  // namespace korvane
