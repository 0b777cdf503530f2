// Helpers shared by the Windows platform files: UTF-8 <-> UTF-16 at the API
// boundary, optional system functions and calls that fill growing buffers.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Machine.h"
#include "platform/Text.h"

namespace korvane::win32 {

inline std::wstring wide(std::string_view utf8) {
  const std::u16string units = utf8ToUtf16(utf8);
  return std::wstring(units.begin(), units.end());
}

inline std::string narrow(std::wstring_view text) { return utf16ToUtf8(std::u16string(text.begin(), text.end())); }

// A function that older Windows versions lack; nullptr there.
template <typename Function>
Function systemFunction(const wchar_t* module, const char* name) {
  HMODULE handle = GetModuleHandleW(module);
  if (!handle) return nullptr;
  // Through the generic function pointer type, which the compiler accepts for any signature.
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(handle, name)));
}

// For the many "fill this buffer, return the length" functions: calls
// fill(buffer, capacity) with growing buffers until the result fits and
// returns the text, empty when fill returns 0. A result of capacity - reserve
// or more counts as truncated (reserve 0 suits the functions that answer a
// short buffer with the size they need).
template <typename Fill>
std::wstring fillGrowing(Fill fill, DWORD reserve) {
  constexpr DWORD limit = 1u << 24;  // far beyond any real answer; stops a runaway
  for (DWORD capacity = 264; capacity <= limit; capacity *= 2) {
    std::wstring buffer(capacity, L'\0');
    const DWORD length = fill(buffer.data(), capacity);
    if (length + reserve < capacity) {
      buffer.resize(length);
      return buffer;
    }
  }
  return {};
}

// The program's arguments after its name, in UTF-8. The narrow argv of main
// holds them in the ANSI code page, which loses what that page lacks.
inline std::vector<std::string> commandLineArguments() {
  int count = 0;
  LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  for (int k = 1; words && k < count; ++k) arguments.push_back(narrow(words[k]));
  if (words) LocalFree(words);
  return arguments;
}

inline std::optional<std::string> nonEmpty(const std::wstring& text) {
  if (text.empty()) return std::nullopt;
  return narrow(text);
}

// True for a 32-bit process on 64-bit Windows.
bool runningUnderWow64();

// A 32-bit process on 64-bit Windows sees the 32-bit system folder where the
// machine's drivers are not. Paths under the system folder go through the
// "Sysnative" alias instead; turning the redirection off for the whole process
// would break the loading of system DLLs later on.
class SystemFolderRedirect {
 public:
  static const SystemFolderRedirect& instance();
  std::string toNative(const std::string& path) const;
  std::string fromNative(const std::string& path) const;

 private:
  SystemFolderRedirect();
  std::string systemFolder_, alias_;  // both empty when nothing is redirected
};

std::unique_ptr<Registry> makeRegistry();
std::unique_ptr<ProfileFiles> makeProfileFiles();
std::unique_ptr<FileSystem> makeFileSystem();
std::unique_ptr<SystemInfo> makeSystemInfo();
std::unique_ptr<Environment> makeEnvironment();
std::unique_ptr<CodePages> makeCodePages();
std::unique_ptr<Shell> makeShell();
std::unique_ptr<NetworkShares> makeShares();
std::unique_ptr<Clock> makeClock();
std::unique_ptr<Internet> makeInternet();
std::unique_ptr<Printer> makePrinter();

}  // namespace korvane::win32
