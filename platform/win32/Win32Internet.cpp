// Internet transfers through WinInet, the system's own client: it follows
// redirects and uses the system's proxy settings unless given one.
#include "platform/win32/Win32Util.h"  // windows.h before wininet.h

#include <wininet.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace korvane::win32 {

namespace {

constexpr DWORD kBlockSize = 4096;

class InternetHandle {
 public:
  explicit InternetHandle(HINTERNET handle = nullptr) : handle_(handle) {}
  ~InternetHandle() { close(); }
  InternetHandle(InternetHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  InternetHandle& operator=(InternetHandle&& other) noexcept {
    close();
    handle_ = std::exchange(other.handle_, nullptr);
    return *this;
  }
  HINTERNET get() const { return handle_; }
  HINTERNET release() { return std::exchange(handle_, nullptr); }
  explicit operator bool() const { return handle_ != nullptr; }
  // Closing a file handle ends an FTP upload: false when the server did not take it.
  bool close() { return !handle_ || InternetCloseHandle(std::exchange(handle_, nullptr)); }

 private:
  HINTERNET handle_;
};

// The library's words for its error numbers, the system's for the others.
std::string errorText(DWORD code) {
  wchar_t buffer[256] = {};
  const DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                      (code >= INTERNET_ERROR_BASE && code <= INTERNET_ERROR_LAST ? FORMAT_MESSAGE_FROM_HMODULE : 0);
  const DWORD length = FormatMessageW(flags, GetModuleHandleW(L"wininet.dll"), code, 0, buffer, 255, nullptr);
  return trim(narrow(std::wstring_view(buffer, length)));
}

TransferResult failure(TransferEnd end, DWORD code = GetLastError()) {
  return {end, static_cast<int>(code), errorText(code)};
}

constexpr TransferResult kStopped{TransferEnd::stopped, 0, {}};

// The handle a transfer reads or writes, which a stop closes from a watching
// thread: closing it is what ends a call that waits for a silent server,
// where the time-outs would take a minute. Whichever side closes it first
// does, the other leaves it alone. A call that starts just after the close
// fails at once on the dead handle: no other thread makes WinInet handles
// meanwhile, so its number is not given to another.
class StoppableHandle {
 public:
  StoppableHandle(InternetHandle handle, std::function<bool()> stopRequested)
      : handle_(handle.get()), open_(handle.release()), stopRequested_(std::move(stopRequested)),
        watcher_([this] { watch(); }) {}
  ~StoppableHandle() { close(); }
  StoppableHandle(const StoppableHandle&) = delete;
  StoppableHandle& operator=(const StoppableHandle&) = delete;

  HINTERNET get() const { return handle_; }
  // Why a call on the handle failed: the stop, or what the library says.
  TransferResult failed(TransferEnd end) {
    const DWORD code = GetLastError();
    std::lock_guard lock(mutex_);
    return stopped_ ? kStopped : failure(end, code);
  }
  // Ends the watch and closes the handle: false when that failed (an FTP
  // upload the server did not take) or the stop had closed it.
  bool close() {
    {
      std::lock_guard lock(mutex_);
      finished_ = true;
    }
    wake_.notify_all();
    if (watcher_.joinable()) watcher_.join();
    return open_ ? InternetCloseHandle(std::exchange(open_, nullptr)) != FALSE : !stopped_;
  }

 private:
  void watch() {
    std::unique_lock lock(mutex_);
    while (!wake_.wait_for(lock, std::chrono::milliseconds(50), [this] { return finished_; })) {
      lock.unlock();
      const bool stop = stopRequested_();
      lock.lock();
      if (stop && !finished_) {
        InternetCloseHandle(std::exchange(open_, nullptr));
        stopped_ = true;
        return;
      }
    }
  }

  const HINTERNET handle_;  // for the calls; a dead number once closed
  HINTERNET open_;          // for closing; null once closed
  std::function<bool()> stopRequested_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool finished_ = false, stopped_ = false;
  std::thread watcher_;  // last: it starts on the members above
};

TransferEnd endOfConnectError(DWORD code) {
  switch (code) {
    case ERROR_INTERNET_TIMEOUT: return TransferEnd::timedOut;
    case ERROR_INTERNET_NAME_NOT_RESOLVED:
    case ERROR_INTERNET_CANNOT_CONNECT:
    case ERROR_INTERNET_CONNECTION_ABORTED:
    case ERROR_INTERNET_CONNECTION_RESET:
    case ERROR_INTERNET_LOGIN_FAILURE:
    case ERROR_INTERNET_INCORRECT_PASSWORD:
    case ERROR_INTERNET_INCORRECT_USER_NAME: return TransferEnd::cannotConnect;
    default: return TransferEnd::notFound;
  }
}

TransferResult connectFailure() { return failure(endOfConnectError(GetLastError())); }

void setNumber(HINTERNET handle, DWORD option, DWORD value) { InternetSetOptionW(handle, option, &value, sizeof value); }

bool hasProxyLogin(const InternetOptions& options) {
  return !options.proxy.empty() && !options.proxyUser.empty() && !options.proxyPassword.empty();
}

// Credentials set on a session or request go to the proxy alone, never to the server.
void setProxyLogin(HINTERNET handle, const InternetOptions& options) {
  std::wstring user = wide(options.proxyUser), password = wide(options.proxyPassword);
  InternetSetOptionW(handle, INTERNET_OPTION_PROXY_USERNAME, user.data(), static_cast<DWORD>(user.size()));
  InternetSetOptionW(handle, INTERNET_OPTION_PROXY_PASSWORD, password.data(), static_cast<DWORD>(password.size()));
}

// A session of its own for each transfer, with the proxy, its credentials and the time-outs.
InternetHandle openSession(const InternetOptions& options, bool viaProxy) {
  const bool named = viaProxy && !options.proxy.empty();
  const std::wstring proxy = wide(options.proxy);
  InternetHandle session(InternetOpenW(L"WebCopy",
                                       named ? INTERNET_OPEN_TYPE_PROXY
                                             : viaProxy ? INTERNET_OPEN_TYPE_PRECONFIG : INTERNET_OPEN_TYPE_DIRECT,
                                       named ? proxy.c_str() : nullptr, nullptr, 0));
  if (!session) return session;
  setNumber(session.get(), INTERNET_OPTION_CONNECT_TIMEOUT, options.connectTimeoutMs);
  setNumber(session.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, options.idleTimeoutMs);
  setNumber(session.get(), INTERNET_OPTION_SEND_TIMEOUT, options.idleTimeoutMs);
  setNumber(session.get(), INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, options.idleTimeoutMs);
  setNumber(session.get(), INTERNET_OPTION_DATA_SEND_TIMEOUT, options.idleTimeoutMs);
  if (named && hasProxyLogin(options)) setProxyLogin(session.get(), options);
  return session;
}

int64_t fileTimeOf(const FILETIME& time) {
  return static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}

std::optional<std::wstring> queryText(HINTERNET request, DWORD what) {
  std::wstring buffer(256, L'\0');
  DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
  if (!HttpQueryInfoW(request, what, buffer.data(), &size, nullptr)) return std::nullopt;
  buffer.resize(size / sizeof(wchar_t));
  return buffer;
}

std::optional<uint64_t> numberOf(const std::wstring& text) {
  if (text.empty() || text.size() > 19 || text.find_first_not_of(L"0123456789") != std::wstring::npos)
    return std::nullopt;
  return std::stoull(text);
}

InternetHead httpHead(HINTERNET request) {
  InternetHead head;
  DWORD status = 0, size = sizeof status;
  if (HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
    head.status = static_cast<int>(status);
  if (const auto length = queryText(request, HTTP_QUERY_CONTENT_LENGTH)) head.length = numberOf(*length);
  SYSTEMTIME modified{};
  size = sizeof modified;
  FILETIME time{};
  if (HttpQueryInfoW(request, HTTP_QUERY_LAST_MODIFIED | HTTP_QUERY_FLAG_SYSTEMTIME, &modified, &size, nullptr) &&
      SystemTimeToFileTime(&modified, &time))
    head.lastModified = fileTimeOf(time);
  return head;
}

constexpr int kProxyLoginRequired = 407;

// "407 Proxy Authentication Required": the proxy's own words for its refusal.
TransferResult proxyRefused(HINTERNET request) {
  const std::string words = narrow(queryText(request, HTTP_QUERY_STATUS_TEXT).value_or(L""));
  return {TransferEnd::failed, kProxyLoginRequired, trim(std::to_string(kProxyLoginRequired) + " " + words)};
}

// Not every WinInet offers the session's proxy credentials unasked: a proxy
// that asks for them gets them on the request and the request once more (the
// refused answer read away first, so that the connection can carry it).
// nullopt when the request may go on.
std::optional<TransferResult> proxyLoginRefused(HINTERNET request, const InternetOptions& options, InternetHead& head) {
  if (head.status != kProxyLoginRequired || !hasProxyLogin(options)) return std::nullopt;
  std::vector<char> buffer(kBlockSize);
  DWORD read = 0;
  while (InternetReadFile(request, buffer.data(), kBlockSize, &read) && read > 0) {
  }
  setProxyLogin(request, options);
  if (!HttpSendRequestW(request, nullptr, 0, nullptr, 0)) return connectFailure();
  head = httpHead(request);
  if (head.status == kProxyLoginRequired) return proxyRefused(request);
  return std::nullopt;
}

// Hands the head and then the body in blocks to the receiver; the body must
// end cleanly and, where its length was announced, be whole.
TransferResult receive(InternetHandle opened, const InternetHead& head, InternetReceiver& receiver) {
  if (!receiver.head(head)) return kStopped;
  StoppableHandle source(std::move(opened), [&receiver] { return receiver.stopRequested(); });
  std::vector<char> buffer(kBlockSize);
  uint64_t received = 0;
  for (;;) {
    if (receiver.stopRequested()) return kStopped;
    DWORD read = 0;
    if (!InternetReadFile(source.get(), buffer.data(), kBlockSize, &read))
      return source.failed(GetLastError() == ERROR_INTERNET_TIMEOUT ? TransferEnd::timedOut : TransferEnd::incomplete);
    if (read == 0) break;
    received += read;
    if (!receiver.block(std::string_view(buffer.data(), read))) return kStopped;
  }
  if (head.length && received != *head.length) return {TransferEnd::incomplete, 0, "the connection ended early"};
  return {TransferEnd::done, 0, {}};
}

// Reads length bytes from the sender and writes them; false with the result when that fails.
TransferResult send(StoppableHandle& target, uint64_t length, InternetSender& sender) {
  std::vector<char> buffer(kBlockSize);
  uint64_t sent = 0;
  while (sent < length) {
    if (sender.stopRequested()) return kStopped;
    const auto read = sender.read(buffer.data(), kBlockSize);
    if (!read) return {TransferEnd::failed, 0, "the file to send could not be read"};
    if (*read == 0) return {TransferEnd::incomplete, 0, "the file to send ended early"};
    DWORD written = 0;
    if (!InternetWriteFile(target.get(), buffer.data(), static_cast<DWORD>(*read), &written) || written != *read)
      return target.failed(TransferEnd::incomplete);
    sent += written;
  }
  return {TransferEnd::done, 0, {}};
}

// "dir/sub/name": the folder part ("/" for "/name"), empty when there is none.
std::string folderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) { return path.substr(path.rfind('/') + 1); }

class FtpConnection {
 public:
  FtpConnection(const FtpLogin& login, const InternetOptions& options) : session_(openSession(options, false)) {
    if (!session_) return;
    const bool named = !login.user.empty() && !login.password.empty();
    const std::wstring host = wide(login.host), user = wide(login.user), password = wide(login.password);
    connection_ = InternetHandle(InternetConnectW(session_.get(), host.c_str(), login.port,
                                                  named ? user.c_str() : nullptr, named ? password.c_str() : nullptr,
                                                  INTERNET_SERVICE_FTP, options.ftpPassive ? INTERNET_FLAG_PASSIVE : 0,
                                                  0));
  }
  // Logged in and in the folder of path, made first when asked: nullopt, else why not.
  std::optional<TransferResult> enter(const std::string& path, bool make) {
    if (!connection_) return failure(TransferEnd::cannotConnect);
    const std::string folder = folderOf(path);
    if (!(make ? makeFolders(folder) : changeFolder(folder))) return failure(TransferEnd::notFound);
    return std::nullopt;
  }
  // The file of path in the folder entered, for GENERIC_READ or GENERIC_WRITE.
  InternetHandle open(const std::string& path, DWORD access) {
    return InternetHandle(FtpOpenFileW(connection_.get(), wide(nameOf(path)).c_str(), access,
                                       FTP_TRANSFER_TYPE_BINARY | INTERNET_FLAG_RELOAD, 0));
  }

  bool changeFolder(const std::string& folder) {
    return folder.empty() || FtpSetCurrentDirectoryW(connection_.get(), wide(folder).c_str());
  }
  // Each missing folder on the way is made.
  bool makeFolders(const std::string& folder) {
    if (changeFolder(folder)) return true;
    if (folder.starts_with('/') && !changeFolder("/")) return false;
    size_t start = folder.starts_with('/') ? 1 : 0;
    while (start < folder.size()) {
      const size_t slash = std::min(folder.find('/', start), folder.size());
      const std::wstring part = wide(folder.substr(start, slash - start));
      if (!part.empty() && !FtpSetCurrentDirectoryW(connection_.get(), part.c_str()) &&
          !(FtpCreateDirectoryW(connection_.get(), part.c_str()) &&
            FtpSetCurrentDirectoryW(connection_.get(), part.c_str())))
        return false;
      start = slash + 1;
    }
    return true;
  }
  std::optional<InternetHead> find(const std::string& name) {
    WIN32_FIND_DATAW found{};
    InternetHandle search(FtpFindFirstFileW(connection_.get(), wide(name).c_str(), &found, INTERNET_FLAG_RELOAD, 0));
    if (!search) return std::nullopt;
    InternetHead head;
    head.length = (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    head.lastModified = fileTimeOf(found.ftLastWriteTime);
    return head;
  }

 private:
  InternetHandle session_;
  InternetHandle connection_;
};

class Win32Internet : public Internet {
 public:
  TransferResult download(const std::string& url, const InternetOptions& options,
                          InternetReceiver& receiver) override {
    InternetHandle session = openSession(options, true);
    if (!session) return failure(TransferEnd::failed);
    InternetHandle request(InternetOpenUrlW(session.get(), wide(url).c_str(), nullptr, 0,
                                            INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0));
    if (!request) return connectFailure();
    InternetHead head = httpHead(request.get());
    if (urlScheme(url) == "ftp") head.status = 0;
    if (auto refused = proxyLoginRefused(request.get(), options, head)) return *refused;
    return receive(std::move(request), head, receiver);
  }

  TransferResult ftpDownload(const FtpLogin& login, const std::string& path, const InternetOptions& options,
                             InternetReceiver& receiver) override {
    FtpConnection ftp(login, options);
    if (auto failed = ftp.enter(path, false)) return *failed;
    const InternetHead head = ftp.find(nameOf(path)).value_or(InternetHead{});
    InternetHandle file = ftp.open(path, GENERIC_READ);
    if (!file) return failure(TransferEnd::notFound);
    return receive(std::move(file), head, receiver);
  }

  TransferResult ftpStat(const FtpLogin& login, const std::string& path, const InternetOptions& options,
                         InternetHead& found) override {
    FtpConnection ftp(login, options);
    if (auto failed = ftp.enter(path, false)) return *failed;
    const auto head = ftp.find(nameOf(path));
    if (!head) return failure(TransferEnd::notFound);
    found = *head;
    return {TransferEnd::done, 0, {}};
  }

  TransferResult ftpUpload(const FtpLogin& login, const std::string& path, uint64_t length,
                           const InternetOptions& options, InternetSender& sender) override {
    FtpConnection ftp(login, options);
    if (auto failed = ftp.enter(path, true)) return *failed;
    InternetHandle opened = ftp.open(path, GENERIC_WRITE);
    if (!opened) return failure(TransferEnd::notFound);
    StoppableHandle file(std::move(opened), [&sender] { return sender.stopRequested(); });
    const TransferResult sent = send(file, length, sender);
    if (!sent.ok()) return sent;
    // Closing the file is what ends the upload: the server's answer comes then.
    return file.close() ? sent : failure(TransferEnd::incomplete);
  }

  TransferResult httpUpload(const std::string& url, const std::string& verb, uint64_t length,
                            const InternetOptions& options, InternetSender& sender) override {
    if (length > 0xFFFFFFFFu) return {TransferEnd::failed, 0, "too large for one request"};
    InternetHandle session = openSession(options, true);
    if (!session) return failure(TransferEnd::failed);
    const bool secure = urlScheme(url) == "https";
    const INTERNET_PORT port = urlPort(url).value_or(secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT);
    InternetHandle connection(InternetConnectW(session.get(), wide(urlHost(url)).c_str(), port, nullptr, nullptr,
                                               INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) return connectFailure();
    InternetHandle opened(HttpOpenRequestW(connection.get(), wide(verb).c_str(), wide(urlObjectPath(url)).c_str(),
                                           nullptr, nullptr, nullptr,
                                           INTERNET_FLAG_NO_CACHE_WRITE | (secure ? INTERNET_FLAG_SECURE : 0), 0));
    if (!opened) return connectFailure();
    // The body is read once: a proxy that asks for a login gets it with the only request.
    if (hasProxyLogin(options)) setProxyLogin(opened.get(), options);
    StoppableHandle request(std::move(opened), [&sender] { return sender.stopRequested(); });
    INTERNET_BUFFERSW buffers{};
    buffers.dwStructSize = sizeof buffers;
    buffers.dwBufferTotal = static_cast<DWORD>(length);
    if (!HttpSendRequestExW(request.get(), &buffers, nullptr, HSR_INITIATE, 0))
      return request.failed(endOfConnectError(GetLastError()));
    const TransferResult sent = send(request, length, sender);
    if (!sent.ok()) return sent;
    if (!HttpEndRequestW(request.get(), nullptr, 0, 0)) return request.failed(TransferEnd::failed);
    const int status = httpHead(request.get()).status;
    if (status == kProxyLoginRequired) return proxyRefused(request.get());
    if (status >= 300) return {TransferEnd::failed, status, "HTTP status " + std::to_string(status)};
    return sent;
  }
};

}  // namespace

std::unique_ptr<Internet> makeInternet() { return std::make_unique<Win32Internet>(); }

}  // namespace korvane::win32
