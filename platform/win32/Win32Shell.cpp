// The shell through SHFileOperationW and ShellExecuteW; the clipboard.
#include "platform/win32/Win32Util.h"

#include <shellapi.h>

#include <algorithm>
#include <cstring>

namespace korvane::win32 {

namespace {

// The shell's list form: every name ended by a NUL, a second NUL after the
// last. Paths under the system folder go through the 64-bit view's alias.
std::wstring nulSeparatedList(const std::vector<std::string>& paths) {
  const SystemFolderRedirect& redirect = SystemFolderRedirect::instance();
  std::wstring list;
  for (const auto& path : paths) {
    list += wide(redirect.toNative(path));
    list.push_back(L'\0');
  }
  list.push_back(L'\0');
  return list;
}

class Win32Shell : public Shell {
 public:
  ShellFileResult fileOperation(const ShellFileOperation& operation) override {
    const std::wstring from = nulSeparatedList(operation.from);
    const std::wstring to = nulSeparatedList(operation.to);
    const std::wstring title = wide(operation.progressTitle);
    SHFILEOPSTRUCTW record{};
    record.hwnd = nullptr;
    record.wFunc = operation.function;
    record.pFrom = from.c_str();
    record.pTo = to.c_str();
    record.fFlags = static_cast<FILEOP_FLAGS>(operation.flags);
    record.lpszProgressTitle = title.c_str();
    ShellFileResult result;
    result.code = SHFileOperationW(&record);
    result.aborted = record.fAnyOperationsAborted != FALSE;
    // Asked for with fofWantMappingHandle; nobody reads it, but it must be freed.
    if (record.hNameMappings) SHFreeNameMappings(record.hNameMappings);
    return result;
  }

  bool hasRecycleBin() override { return true; }

  bool open(const std::string& target) override {
    const std::wstring path = wide(SystemFolderRedirect::instance().toNative(target));
    const auto code = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return code > 32;  // smaller values are the shell's error codes
  }

  bool execute(const std::string& verb, const std::string& file, const std::string& parameters,
               const std::string& folder, int showCommand) override {
    // The redirect needs the bare path; the shell takes it without quotes too.
    std::string bare = file;
    if (bare.size() >= 2 && bare.front() == '"' && bare.back() == '"') bare = bare.substr(1, bare.size() - 2);
    const std::wstring path = wide(SystemFolderRedirect::instance().toNative(bare));
    const std::wstring verbW = wide(verb), parametersW = wide(parameters), folderW = wide(folder);
    const auto code = reinterpret_cast<INT_PTR>(ShellExecuteW(
        GetActiveWindow(), verbW.c_str(), path.c_str(), parametersW.empty() ? nullptr : parametersW.c_str(),
        folderW.empty() ? nullptr : folderW.c_str(), showCommand));
    return code > 32;
  }

  // As Unicode text, and as text in the system's code page for programs of
  // the Windows 95 family that read only that.
  bool copyToClipboard(const std::string& text) override {
    if (!OpenClipboard(GetActiveWindow())) return false;
    EmptyClipboard();
    const std::wstring unicode = wide(text);
    const bool placed = placeOnClipboard(CF_UNICODETEXT, unicode.c_str(), (unicode.size() + 1) * sizeof(wchar_t));
    const int ansiSize = WideCharToMultiByte(CP_ACP, 0, unicode.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<size_t>(std::max(ansiSize, 1)), '\0');
    if (ansiSize > 0) WideCharToMultiByte(CP_ACP, 0, unicode.c_str(), -1, ansi.data(), ansiSize, nullptr, nullptr);
    placeOnClipboard(CF_TEXT, ansi.c_str(), ansi.size());
    CloseClipboard();
    return placed;
  }

 private:
  // The clipboard owns the memory once it takes it.
  static bool placeOnClipboard(UINT format, const void* bytes, size_t size) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    void* locked = memory ? GlobalLock(memory) : nullptr;
    if (!locked) {
      if (memory) GlobalFree(memory);
      return false;
    }
    std::memcpy(locked, bytes, size);
    GlobalUnlock(memory);
    if (SetClipboardData(format, memory)) return true;
    GlobalFree(memory);
    return false;
  }
};

}  // namespace

std::unique_ptr<Shell> makeShell() { return std::make_unique<Win32Shell>(); }

}  // namespace korvane::win32
