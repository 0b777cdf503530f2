// Connections to network shares through the network-connection functions.
#include "platform/win32/Win32Util.h"

#include <winnetwk.h>

namespace korvane::win32 {

namespace {

// The system's own words for a failure, which name the cause (bad password,
// unknown host) better than a number would.
std::string failureText(DWORD code) {
  wchar_t* text = nullptr;
  if (code == ERROR_EXTENDED_ERROR) {
    DWORD providerCode = 0;
    wchar_t description[512] = {}, provider[256] = {};
    if (WNetGetLastErrorW(&providerCode, description, 512, provider, 256) == NO_ERROR && description[0])
      return narrow(description);
  }
  const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  const DWORD length = FormatMessageW(flags, nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message = length && text ? std::wstring(text, length) : std::wstring();
  if (text) LocalFree(text);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
    message.pop_back();
  return message.empty() ? "error " + std::to_string(code) : narrow(message);
}

bool succeeded(DWORD code, const std::string& what, std::string& error) {
  if (code == NO_ERROR) return true;
  error = what + ": " + failureText(code);
  return false;
}

class Win32Shares : public NetworkShares {
 public:
  // No user and no password: the current user's own credentials.
  bool connect(const std::string& share, const std::string& user, const std::string& password,
               std::string& error) override {
    std::wstring remote = wide(share);
    const std::wstring wideUser = wide(user), widePassword = wide(password);
    const bool ownCredentials = user.empty() && password.empty();
    NETRESOURCEW resource{};
    resource.dwType = RESOURCETYPE_DISK;
    resource.lpRemoteName = remote.data();
    const DWORD code = WNetAddConnection2W(&resource, ownCredentials ? nullptr : widePassword.c_str(),
                                           user.empty() ? nullptr : wideUser.c_str(), 0);
    return succeeded(code, "cannot connect to the network share " + share, error);
  }

  bool disconnect(const std::string& share, bool force, std::string& error) override {
    const DWORD code = WNetCancelConnection2W(wide(share).c_str(), 0, force ? TRUE : FALSE);
    return succeeded(code, "cannot disconnect the network share " + share, error);
  }
};

}  // namespace

std::unique_ptr<NetworkShares> makeShares() { return std::make_unique<Win32Shares>(); }

}  // namespace korvane::win32
