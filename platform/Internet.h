// Internet transfers as the core sees them: HTTP(S) and FTP downloads and
// uploads, streamed in blocks through the caller's receiver or sender. The
// Windows build speaks WinInet; machine images speak through libcurl.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korvane {

struct InternetOptions {
  // "host:port" of an HTTP proxy; empty: the machine's own Internet settings.
  std::string proxy;
  // Given to the proxy only, never to the server a URL names.
  std::string proxyUser;
  std::string proxyPassword;
  bool ftpPassive = false;
  uint32_t connectTimeoutMs = 30000;
  // A transfer that moves nothing for this long fails.
  uint32_t idleTimeoutMs = 60000;
};

struct FtpLogin {
  std::string host;
  uint16_t port = 21;
  // Anonymous unless both are given.
  std::string user;
  std::string password;
};

// What a server says about what it is about to send.
struct InternetHead {
  int status = 0;                       // HTTP status; 0 for FTP
  std::optional<uint64_t> length;       // announced length
  std::optional<int64_t> lastModified;  // FILETIME, as the server gives it
};

class InternetReceiver {
 public:
  virtual ~InternetReceiver() = default;
  // Once, before the first block (also for an empty body); false stops the transfer.
  virtual bool head(const InternetHead& head) = 0;
  // False stops the transfer.
  virtual bool block(std::string_view bytes) = 0;
  // Polled while waiting for the network too, possibly from another thread:
  // true stops the transfer.
  virtual bool stopRequested() = 0;
};

class InternetSender {
 public:
  virtual ~InternetSender() = default;
  // Up to size bytes into buffer; 0 at the end, nullopt when reading failed.
  virtual std::optional<size_t> read(char* buffer, size_t size) = 0;
  // As the receiver's.
  virtual bool stopRequested() = 0;
};

enum class TransferEnd {
  done,           // every byte arrived or was accepted
  stopped,        // the receiver, the sender or the stop request ended it
  cannotConnect,  // no connection, or the login was refused
  notFound,       // the file or folder named is not there (or a URL nobody answers)
  incomplete,     // the connection ended before all the data moved
  timedOut,       // nothing moved for the idle time
  failed          // anything else, with the library's words
};

struct TransferResult {
  TransferEnd end = TransferEnd::failed;
  int errorCode = 0;    // the library's or the system's number, 0 when none
  std::string message;  // the library's words; never holds a password
  bool ok() const { return end == TransferEnd::done; }
};

class Internet {
 public:
  virtual ~Internet() = default;
  // Fetches a whole http, https or ftp URL, following redirects as browsers do
  // (a few, http and https only). Statuses of 300 and more reach the receiver
  // like any other.
  virtual TransferResult download(const std::string& url, const InternetOptions& options,
                                  InternetReceiver& receiver) = 0;
  // Logs in, changes to the folder of path (a failed change fails) and
  // fetches the file. A path starting with "/" is from the server's root,
  // else from the login folder.
  virtual TransferResult ftpDownload(const FtpLogin& login, const std::string& path, const InternetOptions& options,
                                     InternetReceiver& receiver) = 0;
  // The size and date of a remote file; notFound when it is not there.
  virtual TransferResult ftpStat(const FtpLogin& login, const std::string& path, const InternetOptions& options,
                                 InternetHead& found) = 0;
  // Stores length bytes as path, creating its missing folders.
  virtual TransferResult ftpUpload(const FtpLogin& login, const std::string& path, uint64_t length,
                                   const InternetOptions& options, InternetSender& sender) = 0;
  // Sends length bytes to an http(s) URL with the verb ("POST", "PUT"); the
  // status comes back, a status of 300 or more as a failure with its number.
  virtual TransferResult httpUpload(const std::string& url, const std::string& verb, uint64_t length,
                                    const InternetOptions& options, InternetSender& sender) = 0;
};

// Helpers shared by the implementations.
// The scheme of a URL in lower case ("http"), empty when it has none.
std::string urlScheme(std::string_view url);
// The host of a URL: after "scheme://" and any "user:password@" of the
// authority (an "@" in the path does not count), before the port; an IPv6
// address keeps its brackets. Empty when there is none.
std::string urlHost(std::string_view url);
// The port the URL names, or nullopt for the scheme's own.
std::optional<uint16_t> urlPort(std::string_view url);
// From the first "/" after the authority (with query), "/" when there is none.
std::string urlObjectPath(std::string_view url);
// "ProxyOverride" of Internet Settings: "<local>" for names without a dot,
// else patterns with "*", separated by ";"; case does not matter.
bool proxyBypassed(std::string_view host, std::string_view overrideList);
// The proxy for a scheme in "ProxyServer" of Internet Settings: one
// "host:port" for every scheme, or "http=host:port;ftp=..." per scheme.
std::string proxyForScheme(std::string_view proxyServer, std::string_view scheme);

}  // namespace korvane
