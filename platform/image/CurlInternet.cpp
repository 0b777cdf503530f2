#include "platform/image/CurlInternet.h"

#include <curl/curl.h>

#include <chrono>
#include <mutex>
#include <optional>
#include <utility>

#include "platform/Text.h"
#include "platform/image/SharedLibrary.h"

namespace korvane {

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kSettingsKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
constexpr long kMaxRedirects = 10;
constexpr int64_t kFileTimeUnitsPerSecond = 10000000;
constexpr int64_t kFileTimeOf1970 = 116444736000000000;

// libcurl and the thirty libraries it brings are loaded at the first
// transfer, not at every start: loading them took longer than a whole `cab
// extract` of a few hundred files.
struct CurlLibrary {
  CURLcode (*globalInit)(long flags);
  CURL* (*easyInit)();
  void (*easyCleanup)(CURL*);
  CURLcode (*easySetopt)(CURL*, CURLoption, ...);
  CURLcode (*easyPerform)(CURL*);
  CURLcode (*easyGetinfo)(CURL*, CURLINFO, ...);
  const char* (*easyStrerror)(CURLcode);
  char* (*easyEscape)(CURL*, const char*, int);
  void (*freeMemory)(void*);
  curl_slist* (*slistAppend)(curl_slist*, const char*);
  void (*slistFreeAll)(curl_slist*);
};

constexpr const char* kCurlSoname = "libcurl.so.4";

std::optional<CurlLibrary> loadCurl(std::string& error) {
  void* module = dlopen(kCurlSoname, RTLD_NOW | RTLD_LOCAL);
  CurlLibrary curl{};
  const bool bound = module && bindEntry(module, "curl_global_init", curl.globalInit) &&
                     bindEntry(module, "curl_easy_init", curl.easyInit) &&
                     bindEntry(module, "curl_easy_cleanup", curl.easyCleanup) &&
                     bindEntry(module, "curl_easy_setopt", curl.easySetopt) &&
                     bindEntry(module, "curl_easy_perform", curl.easyPerform) &&
                     bindEntry(module, "curl_easy_getinfo", curl.easyGetinfo) &&
                     bindEntry(module, "curl_easy_strerror", curl.easyStrerror) &&
                     bindEntry(module, "curl_easy_escape", curl.easyEscape) &&
                     bindEntry(module, "curl_free", curl.freeMemory) &&
                     bindEntry(module, "curl_slist_append", curl.slistAppend) &&
                     bindEntry(module, "curl_slist_free_all", curl.slistFreeAll);
  if (!bound) {
    error = loadFailure(module, kCurlSoname);
    return std::nullopt;
  }
  curl.globalInit(CURL_GLOBAL_DEFAULT);
  return curl;
}

// The library, loaded once for the process; nullptr (and why) when it cannot be.
const CurlLibrary* curlLibrary(std::string& error) { return loadOnce(loadCurl, error); }

int64_t fileTimeOfUnix(int64_t seconds) { return kFileTimeOf1970 + seconds * kFileTimeUnitsPerSecond; }

// "ftp://host:port/" and the path, each segment escaped; a path from the
// server's root starts with "%2F", as libcurl reads URLs.
std::string ftpUrl(const CurlLibrary& library, CURL* curl, const FtpLogin& login, const std::string& path) {
  const bool ipv6 = login.host.find(':') != std::string::npos;
  std::string url = "ftp://" + (ipv6 ? "[" + login.host + "]" : login.host) + ":" + std::to_string(login.port) + "/";
  std::string_view rest = path;
  if (rest.starts_with('/')) {
    url += "%2F";
    rest.remove_prefix(1);
  }
  size_t start = 0;
  while (start <= rest.size()) {
    const size_t slash = std::min(rest.find('/', start), rest.size());
    const std::string segment(rest.substr(start, slash - start));
    char* escaped = library.easyEscape(curl, segment.c_str(), static_cast<int>(segment.size()));
    url += escaped ? escaped : "";
    library.freeMemory(escaped);
    if (slash < rest.size()) url += "/";
    start = slash + 1;
  }
  return url;
}

// One libcurl transfer: its options, the callbacks into the receiver or the
// sender, the stop and idle checks, and the outcome in our terms.
class CurlTransfer {
 public:
  CurlTransfer(const CurlLibrary& library, const InternetOptions& options, const std::string& proxy,
               curl_slist* connectTo)
      : library_(library), curl_(library.easyInit()), idle_(std::chrono::milliseconds(options.idleTimeoutMs)) {
    errorText_[0] = '\0';
    set(CURLOPT_NOSIGNAL, 1L);
    set(CURLOPT_ERRORBUFFER, errorText_);
    set(CURLOPT_PROTOCOLS_STR, "http,https,ftp");
    set(CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    set(CURLOPT_FOLLOWLOCATION, 1L);
    set(CURLOPT_MAXREDIRS, kMaxRedirects);
    set(CURLOPT_USERAGENT, "WebCopy");
    set(CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(options.connectTimeoutMs));
    // An empty proxy turns the host's proxy variables off as well.
    set(CURLOPT_PROXY, proxy.c_str());
    set(CURLOPT_NOPROXY, "");
    if (!proxy.empty() && !options.proxyUser.empty() && !options.proxyPassword.empty()) {
      set(CURLOPT_PROXYUSERNAME, options.proxyUser.c_str());
      set(CURLOPT_PROXYPASSWORD, options.proxyPassword.c_str());
    }
    // Through a proxy the names are the proxy's to resolve.
    if (connectTo && proxy.empty()) set(CURLOPT_CONNECT_TO, connectTo);
    if (!options.ftpPassive) set(CURLOPT_FTPPORT, "-");
    set(CURLOPT_FILETIME, 1L);
    set(CURLOPT_WRITEFUNCTION, &CurlTransfer::onWrite);
    set(CURLOPT_WRITEDATA, this);
    set(CURLOPT_NOPROGRESS, 0L);
    set(CURLOPT_XFERINFOFUNCTION, &CurlTransfer::onProgress);
    set(CURLOPT_XFERINFODATA, this);
  }
  ~CurlTransfer() { library_.easyCleanup(curl_); }
  CurlTransfer(const CurlTransfer&) = delete;
  CurlTransfer& operator=(const CurlTransfer&) = delete;

  template <typename Value>
  void set(CURLoption option, Value value) {
    library_.easySetopt(curl_, option, value);
  }
  const CurlLibrary& library() const { return library_; }
  CURL* handle() { return curl_; }

  void login(const FtpLogin& account) {
    if (account.user.empty() || account.password.empty()) return;
    set(CURLOPT_USERNAME, account.user.c_str());
    set(CURLOPT_PASSWORD, account.password.c_str());
  }

  void receiveInto(InternetReceiver& receiver) { receiver_ = &receiver; }

  void sendFrom(InternetSender& sender, uint64_t length) {
    sender_ = &sender;
    set(CURLOPT_READFUNCTION, &CurlTransfer::onRead);
    set(CURLOPT_READDATA, this);
    set(CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(length));
  }

  TransferResult run() {
    lastMove_ = Clock::now();
    const CURLcode code = library_.easyPerform(curl_);
    if (code == CURLE_OK && receiver_ && !headGiven_ && !giveHead()) return {TransferEnd::stopped, 0, {}};
    return outcome(code);
  }

  InternetHead head() {
    InternetHead found;
    long status = 0;
    library_.easyGetinfo(curl_, CURLINFO_RESPONSE_CODE, &status);
    if (urlScheme(effectiveUrl()).starts_with("http")) found.status = static_cast<int>(status);
    curl_off_t length = -1;
    if (library_.easyGetinfo(curl_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK && length >= 0)
      found.length = static_cast<uint64_t>(length);
    curl_off_t seconds = -1;
    if (library_.easyGetinfo(curl_, CURLINFO_FILETIME_T, &seconds) == CURLE_OK && seconds >= 0)
      found.lastModified = fileTimeOfUnix(seconds);
    return found;
  }

 private:
  std::string effectiveUrl() {
    char* url = nullptr;
    library_.easyGetinfo(curl_, CURLINFO_EFFECTIVE_URL, &url);
    return url ? url : "";
  }

  bool giveHead() {
    headGiven_ = true;
    if (receiver_->head(head())) return true;
    stopped_ = true;
    return false;
  }

  bool stopRequested() {
    if (receiver_ ? receiver_->stopRequested() : sender_->stopRequested()) stopped_ = true;
    return stopped_;
  }

  static size_t onWrite(char* data, size_t, size_t count, void* self) {
    auto& transfer = *static_cast<CurlTransfer*>(self);
    if (!transfer.receiver_) return count;  // an upload's answer is not kept
    if (!transfer.headGiven_ && !transfer.giveHead()) return CURL_WRITEFUNC_ERROR;
    if (transfer.stopRequested() || !transfer.receiver_->block(std::string_view(data, count))) {
      transfer.stopped_ = true;
      return CURL_WRITEFUNC_ERROR;
    }
    return count;
  }

  static size_t onRead(char* buffer, size_t, size_t count, void* self) {
    auto& transfer = *static_cast<CurlTransfer*>(self);
    if (transfer.stopRequested()) return CURL_READFUNC_ABORT;
    const auto read = transfer.sender_->read(buffer, count);
    if (!read) {
      transfer.readFailed_ = true;
      return CURL_READFUNC_ABORT;
    }
    return *read;
  }

  static int onProgress(void* self, curl_off_t, curl_off_t received, curl_off_t, curl_off_t sent) {
    auto& transfer = *static_cast<CurlTransfer*>(self);
    if (transfer.stopRequested()) return 1;
    const auto now = Clock::now();
    if (received + sent != transfer.moved_) {
      transfer.moved_ = received + sent;
      transfer.lastMove_ = now;
    } else if (now - transfer.lastMove_ > transfer.idle_) {
      transfer.timedOut_ = true;
      return 1;
    }
    return 0;
  }

  TransferResult outcome(CURLcode code) {
    const std::string words = errorText_[0] ? errorText_ : library_.easyStrerror(code);
    const int number = static_cast<int>(code);
    if (code == CURLE_OK) return {TransferEnd::done, 0, {}};
    if (timedOut_) return {TransferEnd::timedOut, number, words};
    if (stopped_) return {TransferEnd::stopped, number, words};
    switch (code) {
      case CURLE_COULDNT_RESOLVE_PROXY:
      case CURLE_COULDNT_RESOLVE_HOST:
      case CURLE_COULDNT_CONNECT:
      case CURLE_OPERATION_TIMEDOUT:
      case CURLE_LOGIN_DENIED:
      case CURLE_FTP_WEIRD_SERVER_REPLY:
      case CURLE_FTP_ACCEPT_FAILED:
      case CURLE_FTP_ACCEPT_TIMEOUT:
      case CURLE_FTP_CANT_GET_HOST:
      case CURLE_FTP_WEIRD_PASV_REPLY:
      case CURLE_FTP_WEIRD_227_FORMAT:
      case CURLE_FTP_PORT_FAILED:
      case CURLE_SSL_CONNECT_ERROR:
      case CURLE_GOT_NOTHING:
        return {TransferEnd::cannotConnect, number, words};
      case CURLE_REMOTE_FILE_NOT_FOUND:
      case CURLE_REMOTE_ACCESS_DENIED:
      case CURLE_FTP_COULDNT_RETR_FILE:
      case CURLE_URL_MALFORMAT:
      case CURLE_UNSUPPORTED_PROTOCOL:
        return {TransferEnd::notFound, number, words};
      case CURLE_PARTIAL_FILE:
      case CURLE_RECV_ERROR:
      case CURLE_SEND_ERROR:
      case CURLE_HTTP2_STREAM:
        return {TransferEnd::incomplete, number, words};
      default:
        return {TransferEnd::failed, number, readFailed_ ? "the file to send could not be read" : words};
    }
  }

  const CurlLibrary& library_;
  CURL* curl_;
  char errorText_[CURL_ERROR_SIZE];
  InternetReceiver* receiver_ = nullptr;
  InternetSender* sender_ = nullptr;
  bool headGiven_ = false;
  bool stopped_ = false;
  bool timedOut_ = false;
  bool readFailed_ = false;
  std::chrono::milliseconds idle_;
  Clock::time_point lastMove_;
  curl_off_t moved_ = 0;
};

// A host map entry as libcurl's connect-to rule: "127.0.0.1" keeps the
// URL's port, "127.0.0.1:8080" or "[::1]:8080" sends it to that port, so
// that a server without rights to port 80 can stand in for a web host.
std::string connectTo(const std::string& name, const std::string& address) {
  const size_t colon = address.rfind(':');
  const bool bracketed = address.starts_with('[');
  const bool namesPort = colon != std::string::npos &&
                         (bracketed ? colon > 0 && address[colon - 1] == ']' : address.find(':') == colon);
  return name + "::" + address + (namesPort ? "" : ":");
}

class CurlInternet : public Internet {
 public:
  CurlInternet(Registry& registry, std::map<std::string, std::string> hostMap)
      : registry_(registry), hostMap_(std::move(hostMap)) {}
  ~CurlInternet() override {
    if (library_) library_->slistFreeAll(connectTo_);
  }
  CurlInternet(const CurlInternet&) = delete;
  CurlInternet& operator=(const CurlInternet&) = delete;

  TransferResult download(const std::string& url, const InternetOptions& options,
                          InternetReceiver& receiver) override {
    return withTransfer(options, proxyFor(url, options), [&](CurlTransfer& transfer) {
      transfer.set(CURLOPT_URL, url.c_str());
      transfer.receiveInto(receiver);
      return transfer.run();
    });
  }

  TransferResult ftpDownload(const FtpLogin& login, const std::string& path, const InternetOptions& options,
                             InternetReceiver& receiver) override {
    return withTransfer(options, ftpProxy(login, options), [&](CurlTransfer& transfer) {
      setFtpTarget(transfer, login, path);
      transfer.receiveInto(receiver);
      return transfer.run();
    });
  }

  TransferResult ftpStat(const FtpLogin& login, const std::string& path, const InternetOptions& options,
                         InternetHead& found) override {
    return withTransfer(options, ftpProxy(login, options), [&](CurlTransfer& transfer) {
      setFtpTarget(transfer, login, path);
      transfer.set(CURLOPT_NOBODY, 1L);
      TransferResult result = transfer.run();
      if (result.ok()) found = transfer.head();
      return result;
    });
  }

  TransferResult ftpUpload(const FtpLogin& login, const std::string& path, uint64_t length,
                           const InternetOptions& options, InternetSender& sender) override {
    return withTransfer(options, ftpProxy(login, options), [&](CurlTransfer& transfer) {
      setFtpTarget(transfer, login, path);
      transfer.set(CURLOPT_UPLOAD, 1L);
      transfer.set(CURLOPT_FTP_CREATE_MISSING_DIRS, static_cast<long>(CURLFTP_CREATE_DIR_RETRY));
      transfer.sendFrom(sender, length);
      return transfer.run();
    });
  }

  TransferResult httpUpload(const std::string& url, const std::string& verb, uint64_t length,
                            const InternetOptions& options, InternetSender& sender) override {
    return withTransfer(options, proxyFor(url, options), [&](CurlTransfer& transfer) {
      transfer.set(CURLOPT_URL, url.c_str());
      transfer.sendFrom(sender, length);
      if (verb == "PUT") {
        transfer.set(CURLOPT_UPLOAD, 1L);
      } else {
        transfer.set(CURLOPT_POST, 1L);
        transfer.set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(length));
      }
      // A file's bytes, not a form; and servers that do not know "Expect:
      // 100-continue" would hold the body back a second.
      curl_slist* headers = transfer.library().slistAppend(nullptr, "Content-Type: application/octet-stream");
      headers = transfer.library().slistAppend(headers, "Expect:");
      transfer.set(CURLOPT_HTTPHEADER, headers);
      TransferResult result = transfer.run();
      transfer.library().slistFreeAll(headers);
      const int status = transfer.head().status;
      if (result.ok() && status >= 300)
        return TransferResult{TransferEnd::failed, status, "HTTP status " + std::to_string(status)};
      return result;
    });
  }

 private:
  // One transfer with libcurl, loaded first if need be; a failure when it cannot be.
  template <typename Work>
  TransferResult withTransfer(const InternetOptions& options, const std::string& proxy, Work work) {
    std::string error;
    const CurlLibrary* library = curlLibrary(error);
    if (!library) return {TransferEnd::failed, 0, error};
    std::call_once(connectToMade_, [&] {
      for (const auto& [name, address] : hostMap_)
        connectTo_ = library->slistAppend(connectTo_, connectTo(name, address).c_str());
      library_ = library;
    });
    CurlTransfer transfer(*library, options, proxy, connectTo_);
    return work(transfer);
  }

  void setFtpTarget(CurlTransfer& transfer, const FtpLogin& login, const std::string& path) {
    transfer.set(CURLOPT_URL, ftpUrl(transfer.library(), transfer.handle(), login, path).c_str());
    transfer.login(login);
  }

  std::string ftpProxy(const FtpLogin& login, const InternetOptions& options) {
    return proxyFor("ftp://" + login.host + "/", options);
  }

  // The component's own proxy serves http and https; without one, the
  // image's Internet Settings decide, as Windows' own settings would.
  std::string proxyFor(const std::string& url, const InternetOptions& options) {
    const std::string scheme = urlScheme(url);
    if (!options.proxy.empty()) return scheme == "ftp" ? std::string() : "http://" + options.proxy;
    const auto enabled = registry_.readValue(RegRoot::CurrentUser, kSettingsKey, "ProxyEnable");
    if (!enabled || enabled->asNumber().value_or(0) == 0) return {};
    const std::string server =
        proxyForScheme(registry_.readString(RegRoot::CurrentUser, kSettingsKey, "ProxyServer").value_or(""), scheme);
    const std::string bypass = registry_.readString(RegRoot::CurrentUser, kSettingsKey, "ProxyOverride").value_or("");
    if (server.empty() || proxyBypassed(urlHost(url), bypass)) return {};
    return server.find("://") == std::string::npos ? "http://" + server : server;
  }

  Registry& registry_;
  std::map<std::string, std::string> hostMap_;
  std::once_flag connectToMade_;  // at the first transfer, with the library
  const CurlLibrary* library_ = nullptr;
  curl_slist* connectTo_ = nullptr;
};

}  // namespace

std::unique_ptr<Internet> makeCurlInternet(Registry& registry, std::map<std::string, std::string> hostMap) {
  return std::make_unique<CurlInternet>(registry, std::move(hostMap));
}

}  // namespace korvane
