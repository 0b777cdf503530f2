// Version record, processor, names, folders and language of the running system;
// its environment, its code-page tables and its clock.
#include "platform/win32/Win32Util.h"

#include <shellapi.h>

#include <climits>
#include <mutex>
#include <vector>

namespace korvane::win32 {

bool runningUnderWow64() {
  using IsWow64 = BOOL(WINAPI*)(HANDLE, PBOOL);
  static const bool wow64 = [] {
    const auto isWow64Process = systemFunction<IsWow64>(L"kernel32.dll", "IsWow64Process");
    BOOL result = FALSE;
    return isWow64Process && isWow64Process(GetCurrentProcess(), &result) && result;
  }();
  return wow64;
}

namespace {

class Win32SystemInfo : public SystemInfo {
 public:
  // From Windows 8.1 on, GetVersionEx answers 6.2 to a program whose manifest
  // does not name the newer systems; ntdll's RtlGetVersion always tells the
  // truth. The 95 family has no RtlGetVersion.
  std::optional<VersionRecord> version() override {
    using RtlGetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
    static const auto rtlGetVersion = systemFunction<RtlGetVersion>(L"ntdll.dll", "RtlGetVersion");
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    const bool known = rtlGetVersion ? rtlGetVersion(&info) == 0 : GetVersionExW(&info) != FALSE;
    if (!known) return std::nullopt;
    return VersionRecord{info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber,
                         narrow(info.szCSDVersion)};
  }

  // Systems before NT 4 SP6 reject the extended record's size.
  std::optional<uint8_t> productType() override {
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info))) return std::nullopt;
    return info.wProductType;
  }

  // The machine's processor even for a 32-bit process on 64-bit Windows.
  ProcessorInfo processor() override {
    using NativeSystemInfo = void(WINAPI*)(LPSYSTEM_INFO);
    static const auto nativeSystemInfo = systemFunction<NativeSystemInfo>(L"kernel32.dll", "GetNativeSystemInfo");
    SYSTEM_INFO info{};
    if (nativeSystemInfo)
      nativeSystemInfo(&info);
    else
      GetSystemInfo(&info);
    return ProcessorInfo{info.wProcessorArchitecture, info.wProcessorLevel, info.dwNumberOfProcessors};
  }

  // The 95 family only, where the ANSI call is the one that works.
  bool plusInstalled() override {
    const auto record = version();
    if (!record || record->platformId != platformWindows) return false;
    return SystemParametersInfoA(SPI_GETWINDOWSEXTENSION, 1, nullptr, 0) != FALSE;
  }

  std::optional<std::string> computerName() override {
    return nonEmpty(fillGrowing(
        [](wchar_t* buffer, DWORD size) {
          DWORD length = size;
          if (GetComputerNameW(buffer, &length)) return length;
          return GetLastError() == ERROR_BUFFER_OVERFLOW ? size : 0;  // size: grow and ask again
        },
        0));
  }

  std::optional<std::string> userName() override {
    return nonEmpty(fillGrowing(
        [](wchar_t* buffer, DWORD size) {
          DWORD length = size;  // counts the terminating NUL
          if (GetUserNameW(buffer, &length)) return length > 0 ? length - 1 : 0;
          return GetLastError() == ERROR_INSUFFICIENT_BUFFER ? size : 0;
        },
        0));
  }

  std::optional<std::string> windowsDirectory() override { return nonEmpty(fillGrowing(GetWindowsDirectoryW, 0)); }
  std::optional<std::string> systemDirectory() override { return nonEmpty(fillGrowing(GetSystemDirectoryW, 0)); }

  // A path that does not fit comes back cut to the buffer's size.
  std::optional<std::string> programFolder() override {
    const std::wstring program = fillGrowing(
        [](wchar_t* buffer, DWORD size) { return GetModuleFileNameW(nullptr, buffer, size); }, 1);
    const size_t slash = program.find_last_of(L'\\');
    if (slash == std::wstring::npos) return std::nullopt;
    return narrow(program.substr(0, slash));
  }

  uint16_t defaultLanguageId() override { return GetSystemDefaultLangID(); }

  std::optional<std::string> languageName(uint16_t languageId) override {
    std::wstring name = fillGrowing(
        [languageId](wchar_t* buffer, DWORD size) { return VerLanguageNameW(languageId, buffer, size); }, 1);
    // Some versions count the terminating NUL in the length they return.
    while (!name.empty() && name.back() == L'\0') name.pop_back();
    return nonEmpty(name);
  }

  LocaleFormats localeFormats() override {
    LocaleFormats formats;
    localeText(LOCALE_SSHORTDATE, formats.shortDate);
    localeText(LOCALE_STIMEFORMAT, formats.longTime);
    localeText(LOCALE_S1159, formats.amDesignator);
    localeText(LOCALE_S2359, formats.pmDesignator);
    localeText(LOCALE_SDECIMAL, formats.decimalSeparator);
    return formats;
  }

  int screenWidth() override { return GetSystemMetrics(SM_CXSCREEN); }
  int screenHeight() override { return GetSystemMetrics(SM_CYSCREEN); }
  unsigned setErrorMode(unsigned mode) override { return SetErrorMode(mode); }

  std::vector<DriveInfo> drives() override {
    std::vector<DriveInfo> present;
    const DWORD letters = GetLogicalDrives();
    for (int k = 0; k < 26; ++k) {
      if (!(letters & (1u << k))) continue;
      const char letter = static_cast<char>('A' + k);
      const std::wstring root = {static_cast<wchar_t>(letter), L':', L'\\'};
      SHFILEINFOW info{};
      const bool named = SHGetFileInfoW(root.c_str(), 0, &info, sizeof info, SHGFI_DISPLAYNAME) != 0;
      present.push_back({letter, GetDriveTypeW(root.c_str()), named ? narrow(info.szDisplayName) : narrow(root)});
    }
    return present;
  }

  bool restartWindows(unsigned flags) override {
    const auto record = version();
    if (record && record->platformId == platformNT) enableShutdownPrivilege();
    return ExitWindowsEx(flags, 0) != FALSE;
  }

 private:
  // The user's value, if the system has one.
  static void localeText(LCTYPE type, std::string& value) {
    const int size = GetLocaleInfoW(LOCALE_USER_DEFAULT, type, nullptr, 0);  // counts the terminating NUL
    if (size <= 1) return;
    std::wstring text(static_cast<size_t>(size), L'\0');
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, type, text.data(), size) != size) return;
    text.resize(static_cast<size_t>(size - 1));
    value = narrow(text);
  }

  // Without it NT refuses to end the session for a program.
  static void enableShutdownPrivilege() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return;
    TOKEN_PRIVILEGES privileges{};
    if (LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &privileges.Privileges[0].Luid)) {
      privileges.PrivilegeCount = 1;
      privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
      TOKEN_PRIVILEGES previous{};
      DWORD previousSize = sizeof previous;
      AdjustTokenPrivileges(token, FALSE, &privileges, sizeof previous, &previous, &previousSize);
    }
    CloseHandle(token);
  }
};

class Win32Environment : public Environment {
 public:
  std::optional<std::string> get(const std::string& name) override {
    const std::wstring wName = wide(name);
    SetLastError(ERROR_SUCCESS);
    const std::wstring value = fillGrowing(
        [&](wchar_t* buffer, DWORD size) { return GetEnvironmentVariableW(wName.c_str(), buffer, size); }, 0);
    // 0 means both "empty" and "not set"; only the error code tells them apart.
    if (value.empty() && GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
    return narrow(value);
  }
};

// Code pages whose conversions take no flags at all (UTF-7, UTF-8, symbols,
// ISO-2022 and a few others): MultiByteToWideChar rejects them there.
bool takesNoFlags(unsigned codePage) {
  return codePage == 42 || codePage == CP_UTF7 || codePage == CP_UTF8 || (codePage >= 50220 && codePage <= 50229) ||
         (codePage >= 57002 && codePage <= 57011);
}

class Win32CodePages : public CodePages {
 public:
  unsigned ansiCodePage() override { return GetACP(); }

  // Bytes that are not valid in the code page fail the conversion.
  std::optional<std::string> toUtf8(std::string_view bytes, unsigned codePage) override {
    if (bytes.empty()) return std::string();
    if (bytes.size() > INT_MAX) return std::nullopt;
    const DWORD flags = takesNoFlags(codePage) ? 0 : MB_ERR_INVALID_CHARS;
    const int length = static_cast<int>(bytes.size());
    const int units = MultiByteToWideChar(codePage, flags, bytes.data(), length, nullptr, 0);
    if (units <= 0) return std::nullopt;
    std::wstring text(static_cast<size_t>(units), L'\0');
    if (MultiByteToWideChar(codePage, flags, bytes.data(), length, text.data(), units) != units) return std::nullopt;
    return narrow(text);
  }

  // Characters the code page cannot hold fail the conversion instead of
  // turning into '?' or a look-alike.
  std::optional<std::string> fromUtf8(std::string_view utf8, unsigned codePage) override {
    const std::wstring text = wide(utf8);
    if (narrow(text) != utf8) return std::nullopt;  // malformed UTF-8
    if (text.empty()) return std::string();
    if (text.size() > INT_MAX) return std::nullopt;
    const bool plain = takesNoFlags(codePage);
    const DWORD flags = plain ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultOut = plain ? nullptr : &usedDefault;
    const int length = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(codePage, flags, text.data(), length, nullptr, 0, nullptr, usedDefaultOut);
    if (size <= 0 || usedDefault) return std::nullopt;
    std::string bytes(static_cast<size_t>(size), '\0');
    if (WideCharToMultiByte(codePage, flags, text.data(), length, bytes.data(), size, nullptr, usedDefaultOut) != size ||
        usedDefault)
      return std::nullopt;
    return bytes;
  }
};

// The 32-bit tick count wraps after 49.7 days; where GetTickCount64 is
// missing (before Vista) the wraps are counted here.
class Win32Clock : public Clock {
 public:
  uint64_t tickMilliseconds() override {
    using TickCount64 = ULONGLONG(WINAPI*)();
    static const auto tickCount64 = systemFunction<TickCount64>(L"kernel32.dll", "GetTickCount64");
    if (tickCount64) return tickCount64();
    const std::lock_guard<std::mutex> lock(mutex_);  // the transfer thread reads the clock too
    const DWORD ticks = GetTickCount();
    if (ticks < lastTicks_) wraps_ += uint64_t{1} << 32;
    lastTicks_ = ticks;
    return wraps_ + ticks;
  }

  double now() override {
    SYSTEMTIME local{};
    GetLocalTime(&local);
    FILETIME time{};
    SystemTimeToFileTime(&local, &time);
    const uint64_t units = (uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
    constexpr double kUnitsPerDay = 864000000000.0;
    constexpr double kDaysFrom1601To1899 = 109205.0;  // 1 January 1601 to 30 December 1899
    return static_cast<double>(units) / kUnitsPerDay - kDaysFrom1601To1899;
  }

 private:
  std::mutex mutex_;
  DWORD lastTicks_ = 0;
  uint64_t wraps_ = 0;
};

}  // namespace

std::unique_ptr<SystemInfo> makeSystemInfo() { return std::make_unique<Win32SystemInfo>(); }
std::unique_ptr<Environment> makeEnvironment() { return std::make_unique<Win32Environment>(); }
std::unique_ptr<CodePages> makeCodePages() { return std::make_unique<Win32CodePages>(); }
std::unique_ptr<Clock> makeClock() { return std::make_unique<Win32Clock>(); }

}  // namespace korvane::win32
