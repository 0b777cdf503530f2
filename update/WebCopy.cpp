#include "update/WebCopy.h"

#include <chrono>
#include <cmath>
#include <thread>

#include "platform/Text.h"

namespace korvane {

namespace {

constexpr size_t kNetworkBlock = 4096;
constexpr size_t kCopyBlock = 16384;
// FILETIME of 30 Dec 1899, where date-times count from, in days since 1601.
constexpr double kDaysFrom1601To1899 = 109205;
constexpr double kFileTimeUnitsPerDay = 864000000000.0;

double dateOfFileTime(int64_t fileTime) { return static_cast<double>(fileTime) / kFileTimeUnitsPerDay - kDaysFrom1601To1899; }

// Words with their "%s" or "%d" replaced by the subject.
std::string filled(const std::string& words, const std::string& subject) {
  for (const char* mark : {"%s", "%d"})
    if (const size_t at = words.find(mark); at != std::string::npos)
      return words.substr(0, at) + subject + words.substr(at + 2);
  return words + subject;
}

// n in thousandths or millionths with two decimals, rounded half up.
std::string scaledText(uint64_t n, uint64_t unit, const std::string& separator) {
  const uint64_t hundredths = n / (unit / 100) + (n % (unit / 100) >= unit / 200 ? 1 : 0);
  const uint64_t fraction = hundredths % 100;
  return std::to_string(hundredths / 100) + separator + (fraction < 10 ? "0" : "") + std::to_string(fraction);
}

std::string amountText(uint64_t n, const std::string& separator, const std::string& bytes, const std::string& kb,
                       const std::string& mb) {
  if (n < 1000) return std::to_string(n) + bytes;
  if (n < 1000000) return scaledText(n, 1000, separator) + kb;
  return scaledText(n, 1000000, separator) + mb;
}

// Round to the nearest integer, halves to even.
long double roundEven(long double value) { return std::nearbyint(value); }

// The last segment of a path or URL: after the last "/", then after the last "\".
std::string lastSegment(const std::string& text) {
  std::string rest = text.substr(text.find_last_of('/') == std::string::npos ? 0 : text.find_last_of('/') + 1);
  return rest.substr(rest.find_last_of('\\') == std::string::npos ? 0 : rest.find_last_of('\\') + 1);
}

}  // namespace

std::string transferSizeText(uint64_t bytes, const std::string& decimalSeparator, const TWebCopyTexts& texts) {
  return amountText(bytes, decimalSeparator, texts[TWebCopyTexts::Bytes], texts[TWebCopyTexts::Kb],
                    texts[TWebCopyTexts::Mb]);
}

std::string transferRateText(uint64_t bytesPerSecond, const std::string& decimalSeparator,
                             const TWebCopyTexts& texts) {
  return amountText(bytesPerSecond, decimalSeparator, texts[TWebCopyTexts::RateBytes], texts[TWebCopyTexts::RateKb],
                    texts[TWebCopyTexts::RateMb]);
}

std::string transferTimeLeftText(uint64_t elapsedMs, uint64_t done, uint64_t total, const TWebCopyTexts& texts) {
  if (done == 0 || total == 0 || done >= total) return {};
  const long double remaining = roundEven(static_cast<long double>(elapsedMs) * (total - done) / done);
  const long double seconds = roundEven(remaining / 1000);
  const long double minutes = roundEven(seconds / 60);
  const long double hours = roundEven(minutes / 60);
  const auto whole = [](long double value) { return std::to_string(static_cast<uint64_t>(value)); };
  if (minutes == 0 && hours == 0) return whole(seconds) + texts[TWebCopyTexts::Seconds];
  if (hours > 0) {
    const auto allMinutes = static_cast<uint64_t>(minutes);
    return std::to_string(allMinutes / 60) + texts[TWebCopyTexts::Hours] + std::to_string(allMinutes % 60);
  }
  return whole(minutes) + texts[TWebCopyTexts::Minutes];
}

std::string urlFileName(const std::string& url) {
  const size_t scheme = url.find("://");
  const size_t pathStart = scheme == std::string::npos ? 0 : url.find('/', scheme + 3);
  if (pathStart == std::string::npos) return {};
  const std::string path = url.substr(pathStart, url.find_first_of("?#", pathStart) - pathStart);
  return lastSegment(path);
}

class DownloadTarget;
class FileSender;

// One run of the item list, on the worker thread.
class WebCopyRun {
 public:
  explicit WebCopyRun(TWebCopy& copy)
      : copy_(copy),
        machine_(copy.machine_),
        files_(machine_.files()),
        texts_(copy.Texts),
        decimalSeparator_(machine_.system().localeFormats().decimalSeparator) {
    state_.caption = copy_.DlgCaption + " ...";
    state_.fileLine = copy_.DlgFileLabel;
    state_.progressLine = copy_.DlgProgressLabel;
    state_.rateLine = copy_.DlgRateLabel;
    state_.timeLine = copy_.DlgTimeLabel;
    state_.showTime = copy_.ShowTime;
    options_.proxy = copy_.Proxy;
    options_.proxyUser = copy_.ProxyUserID;
    options_.proxyPassword = copy_.ProxyPassword;
    options_.ftpPassive = copy_.FTPPassive;
    options_.connectTimeoutMs = copy_.ConnectTimeout;
    options_.idleTimeoutMs = copy_.IdleTimeout;
  }

  void runAll();

 private:
  friend class DownloadTarget;
  friend class FileSender;

  struct Current {
    TWebCopyItem& item;
    double workingDate;
    bool notNewer = false;
  };

  bool runItem(Current& current);
  bool httpDownload(Current& current);
  bool ftpDownload(Current& current);
  bool fileCopy(Current& current);
  bool copyFile(Current& current, const std::string& source, const std::string& target);
  // The share of a copy, connected with the item's user; false after reporting.
  bool shareConnected(const TWebCopyItem& item);
  bool shareReleased(const TWebCopyItem& item);
  // Reports a share that would not connect or let go; false.
  bool shareFailed(const std::string& share, const std::string& reason);
  bool ftpUpload(Current& current);
  bool httpUpload(Current& current);

  void setTexts(const Current& current, const std::string& fileName);
  void showProgress(uint64_t done, uint64_t total);
  void show() {
    if (copy_.Dialog && copy_.ShowDialog) copy_.Dialog->changed(state_);
  }
  uint64_t tick() const { return machine_.clock().tickMilliseconds(); }

  void error(int code, const std::string& info) {
    if (copy_.OnError) copy_.OnError(copy_, code);
    if (copy_.OnErrorInfo) copy_.OnErrorInfo(copy_, code, info);
  }
  void error(int code, TWebCopyTexts::Text text, const std::string& subject) {
    error(code, filled(texts_[text], subject));
  }
  void urlNotFound(const std::string& url) {
    if (copy_.OnURLNotFound) copy_.OnURLNotFound(copy_, url);
  }
  // The failures of the transfer itself; those before it are reported where they happen.
  void transferFailed(const TransferResult& result, const std::string& subject) {
    if (result.end == TransferEnd::incomplete) return error(wceIncomplete, TWebCopyTexts::Incomplete, subject);
    if (result.end == TransferEnd::timedOut) return error(wceTimedOut, TWebCopyTexts::TimedOut, subject);
    if (result.end != TransferEnd::stopped)
      error(result.errorCode, filled(texts_[TWebCopyTexts::TransferFailed], subject) + ": " + result.message);
  }
  // Not strictly newer than the working date: the item is skipped. A source
  // without a date counts as newer.
  bool skippedAsNotNewer(Current& current, std::optional<int64_t> sourceTime, const std::string& name) {
    if (!current.item.CopyNewerOnly || !sourceTime) return false;
    const double date = dateOfFileTime(*sourceTime);
    const double reference = current.workingDate;
    current.workingDate = date;
    if (date > reference) return false;
    current.notNewer = true;
    if (copy_.OnNoNewFileFound) copy_.OnNoNewFileFound(copy_, name, date, date);
    return true;
  }
  // The name the item gives its file, or empty after reporting a name that
  // could lead out of the target folder.
  std::string targetName(const TWebCopyItem& item, const std::string& sourceName) {
    const std::string name = item.TargetFilename.empty() ? sourceName : item.TargetFilename;
    if (nameStaysInFolder(name)) return name;
    error(wceUnsafeName, TWebCopyTexts::UnsafeName, name);
    return {};
  }
  bool overwriteAllowed(const std::string& target) {
    bool allow = true;
    if (files_.exists(target) && copy_.OnCopyOverWrite) copy_.OnCopyOverWrite(copy_, target, allow);
    return allow;
  }
  bool makeFolderPath(const std::string& folder) { return folder.empty() || files_.forceDirectories(folder); }
  // The new file takes the target's place only when it is whole: a failed
  // transfer leaves an existing target as it was.
  bool putInPlace(const std::string& temporary, const std::string& target) {
    if (files_.exists(target) && !files_.deleteFile(target)) return false;
    return files_.moveFile(temporary, target);
  }
  bool cancelled() const { return copy_.cancelled_; }
  // For the dialog's open buttons.
  void remember(const std::string& file, const std::string& folder) {
    copy_.lastTargetFile_ = file;
    copy_.lastTargetFolder_ = folder;
  }
  // No login, or no such file or folder: reported; true when it was one of these.
  bool reportedFtpFailure(const TransferResult& result, const TWebCopyItem& item);
  // An upload succeeds when the server took every byte of the file.
  bool uploaded(const TransferResult& result, const FileSender& sender, const std::string& subject);

  TWebCopy& copy_;
  Machine& machine_;
  FileSystem& files_;
  const TWebCopyTexts& texts_;
  std::string decimalSeparator_;  // the user's, for sizes and rates
  InternetOptions options_;
  TWebCopyDialogState state_;
  size_t index_ = 0;        // of the item in the collection
  int counter_ = 0;         // 1-based among the active items
  int activeCount_ = 0;
  uint64_t startTick_ = 0;  // of the item's transfer loop
};

// The receiving end of a download: a temporary file beside the target,
// put in the target's place once every byte has arrived.
class DownloadTarget : public InternetReceiver {
 public:
  // name: the source's, fileName: the target's, checked.
  DownloadTarget(WebCopyRun& run, WebCopyRun::Current& current, std::string name, std::string fileName, bool http)
      : run_(run), current_(current), name_(std::move(name)), fileName_(std::move(fileName)), http_(http) {}
  ~DownloadTarget() override {
    if (!temporary_.empty()) run_.files_.deleteFile(temporary_);
  }
  DownloadTarget(const DownloadTarget&) = delete;
  DownloadTarget& operator=(const DownloadTarget&) = delete;

  bool head(const InternetHead& head) override {
    refused_ = true;
    if (http_ && head.status >= 300) {
      run_.error(head.status, TWebCopyTexts::HttpError, std::to_string(head.status));
      return false;
    }
    if (run_.skippedAsNotNewer(current_, head.lastModified, name_)) return false;
    const TWebCopyItem& item = current_.item;
    target_ = joinPath(item.TargetDir, fileName_);
    run_.remember(target_, item.TargetDir);
    if (!run_.overwriteAllowed(target_)) return false;
    const std::string folder = parentPath(target_);
    const auto temporary = run_.makeFolderPath(folder)
                               ? run_.files_.tempFileName(folder.empty() ? "." : folder, "kvw")
                               : std::nullopt;
    if (!temporary) {
      run_.error(wceCannotCreateTarget, http_ ? TWebCopyTexts::CannotCreateFile : TWebCopyTexts::CannotCreateTarget,
                 target_);
      return false;
    }
    temporary_ = *temporary;
    total_ = head.length.value_or(0);
    run_.startTick_ = run_.tick();
    refused_ = false;
    return true;
  }

  bool block(std::string_view bytes) override {
    if (!run_.files_.appendFile(temporary_, std::string(bytes))) {
      refused_ = true;
      run_.error(wceWriteError, TWebCopyTexts::WriteError, target_);
      return false;
    }
    done_ += bytes.size();
    run_.showProgress(done_, total_);
    return !run_.cancelled();
  }

  bool stopRequested() override { return run_.cancelled(); }

  // After a whole transfer: the file in place.
  bool finish(const TransferResult& result, const std::string& subject) {
    if (refused_) return false;
    if (!result.ok()) {
      run_.transferFailed(result, subject);
      return false;
    }
    if (run_.cancelled()) return false;
    if (!run_.putInPlace(temporary_, target_)) {
      run_.error(wceCannotCreateTarget, http_ ? TWebCopyTexts::CannotCreateFile : TWebCopyTexts::CannotCreateTarget,
                 target_);
      return false;
    }
    temporary_.clear();
    return true;
  }

  // Whether the transfer ended before the receiver was asked anything.
  bool reachedHead() const { return !target_.empty() || refused_; }

 private:
  WebCopyRun& run_;
  WebCopyRun::Current& current_;
  std::string name_, fileName_;
  bool http_;
  bool refused_ = false;  // this side ended the transfer, and said why
  std::string target_, temporary_;
  uint64_t done_ = 0, total_ = 0;
};

// The sending end of an upload: a local file in blocks.
class FileSender : public InternetSender {
 public:
  FileSender(WebCopyRun& run, std::string path, uint64_t total)
      : run_(run), path_(std::move(path)), total_(total) {}

  std::optional<size_t> read(char* buffer, size_t size) override {
    const auto part = run_.files_.readFilePart(path_, done_, std::min(size, kNetworkBlock));
    if (!part) {
      readFailed = true;
      return std::nullopt;
    }
    std::copy(part->begin(), part->end(), buffer);
    done_ += part->size();
    run_.showProgress(done_, total_);
    return part->size();
  }
  bool stopRequested() override { return run_.cancelled(); }
  bool whole() const { return done_ == total_; }
  bool readFailed = false;

 private:
  WebCopyRun& run_;
  std::string path_;
  uint64_t total_;
  uint64_t done_ = 0;
};

void WebCopyRun::runAll() {
  for (size_t k = 0; k < copy_.Items.Count(); ++k)
    if (copy_.Items[k].Active) ++activeCount_;
  for (index_ = 0; index_ < copy_.Items.Count(); ++index_) {
    TWebCopyItem& item = copy_.Items[index_];
    if (!item.Active) continue;
    ++counter_;
    if (copy_.OnFileStart) copy_.OnFileStart(copy_, static_cast<int>(index_));
    const bool upload = item.Protocol == wpFtpUpload || item.Protocol == wpHttpUpload;
    state_.caption = (item.Protocol == wpFile ? copy_.DlgCopying : upload ? copy_.DlgUpload : copy_.DlgDwnload) + " ...";
    Current current{item, item.FileDate};
    const bool success = runItem(current);
    item.SourceDate = current.workingDate;
    item.Succeeded = success && !cancelled();
    item.NotNewer = current.notNewer;
    if (cancelled()) break;
    if (copy_.OnFileDone) copy_.OnFileDone(copy_, static_cast<int>(index_));
  }
  if (copy_.OnCopyDone) copy_.OnCopyDone(copy_);
}

bool WebCopyRun::runItem(Current& current) {
  switch (current.item.Protocol) {
    case wpHttp: return httpDownload(current);
    case wpFtp: return ftpDownload(current);
    case wpFile: return fileCopy(current);
    case wpFtpUpload: return ftpUpload(current);
    case wpHttpUpload: return httpUpload(current);
  }
  return false;
}

void WebCopyRun::setTexts(const Current& current, const std::string& fileName) {
  const TWebCopyItem& item = current.item;
  const std::string counter = copy_.Items.Count() < 2 ? std::string()
                                                      : std::to_string(counter_) + " " + copy_.DlgFileOfLabel + " " +
                                                            std::to_string(activeCount_) + " : ";
  std::string place;
  switch (item.Protocol) {
    case wpHttp:
    case wpHttpUpload: place = urlHost(item.URL); break;
    case wpFtp:
    case wpFtpUpload: place = item.FTPHost; break;
    case wpFile: place = item.FTPHost.empty() ? parentPath(item.URL) : item.FTPHost; break;
  }
  const std::string& direction = item.Protocol == wpFtpUpload ? copy_.DlgToServerLabel : copy_.DlgFromServerLabel;
  state_.fileLine = copy_.DlgFileLabel + " " + counter + fileName + " " + direction + " " + place;
  state_.position = 0;
  state_.progressLine = copy_.DlgProgressLabel;
  state_.rateLine = copy_.DlgRateLabel;
  state_.timeLine = copy_.DlgTimeLabel;
  show();
}

void WebCopyRun::showProgress(uint64_t done, uint64_t total) {
  const std::string& separator = decimalSeparator_;
  std::string progress = copy_.DlgProgressLabel + " " + transferSizeText(done, separator, texts_);
  if (total > 0) {
    state_.position = static_cast<int>(roundEven(static_cast<long double>(done) * 100 / total));
    progress += texts_[TWebCopyTexts::SizeOf] + transferSizeText(total, separator, texts_);
  }
  state_.progressLine = progress;
  if (copy_.OnCopyProgress) copy_.OnCopyProgress(copy_, counter_, done, total);
  if (copy_.ShowCompletion) {
    const TWebCopyItem& item = copy_.Items[index_];
    const bool upload = item.Protocol == wpFtpUpload || item.Protocol == wpHttpUpload;
    const std::string& word = item.Protocol == wpFile ? copy_.DlgCopying : upload ? copy_.DlgUpload : copy_.DlgDwnload;
    state_.caption = word + " : " + std::to_string(state_.position) + "% " + copy_.DlgCompleted;
  }
  const uint64_t elapsed = tick() - startTick_;
  const auto rate = static_cast<uint64_t>(roundEven(static_cast<long double>(done) / (elapsed + 1) * 1000));
  state_.rateLine = copy_.DlgRateLabel + " " + transferRateText(rate, separator, texts_);
  state_.timeLine = copy_.DlgTimeLabel + " " + transferTimeLeftText(elapsed, done, total, texts_);
  show();
}

bool WebCopyRun::httpDownload(Current& current) {
  const TWebCopyItem& item = current.item;
  const std::string name = urlFileName(item.URL);
  state_.clip = 257;
  setTexts(current, name);
  const std::string fileName = targetName(item, name);
  if (fileName.empty()) return false;
  DownloadTarget target(*this, current, name, fileName, true);
  const TransferResult result = machine_.internet().download(item.URL, options_, target);
  if (!target.reachedHead() && (result.end == TransferEnd::cannotConnect || result.end == TransferEnd::notFound)) {
    urlNotFound(item.URL);
    return false;
  }
  return target.finish(result, item.URL);
}

bool WebCopyRun::ftpDownload(Current& current) {
  const TWebCopyItem& item = current.item;
  const std::string name = lastSegment(item.URL);
  setTexts(current, name);
  const std::string fileName = targetName(item, name);
  if (fileName.empty()) return false;
  const FtpLogin login{item.FTPHost, static_cast<uint16_t>(item.FTPPort), item.FTPUserID, item.FTPPassword};
  DownloadTarget target(*this, current, name, fileName, false);
  const TransferResult result = machine_.internet().ftpDownload(login, item.URL, options_, target);
  if (!target.reachedHead() && reportedFtpFailure(result, item)) return false;
  return target.finish(result, item.URL);
}

bool WebCopyRun::fileCopy(Current& current) {
  const TWebCopyItem& item = current.item;
  state_.clip = 0;
  setTexts(current, lastSegment(item.URL));
  const std::string source = item.FTPHost.empty() ? item.URL : joinPath(item.FTPHost, item.URL);
  const std::string name = targetName(item, lastSegment(item.URL));
  if (name.empty()) return false;
  const std::string target = joinPath(item.TargetDir, name);
  remember(target, item.TargetDir);
  if (!item.FTPHost.empty() && !shareConnected(item)) return false;
  const bool copied = copyFile(current, source, target);
  // The share is let go on every way out, and a failure to do so fails the item.
  return shareReleased(item) && copied;
}

bool WebCopyRun::shareConnected(const TWebCopyItem& item) {
  std::string reason;
  return machine_.shares().connect(item.FTPHost, item.FTPUserID, item.FTPPassword, reason) ||
         shareFailed(item.FTPHost, reason);
}

bool WebCopyRun::shareReleased(const TWebCopyItem& item) {
  std::string reason;
  return item.FTPHost.empty() || machine_.shares().disconnect(item.FTPHost, true, reason) ||
         shareFailed(item.FTPHost, reason);
}

bool WebCopyRun::shareFailed(const std::string& share, const std::string& reason) {
  if (copy_.OnConnectError) copy_.OnConnectError(copy_);
  error(wceCannotConnect, filled(texts_[TWebCopyTexts::CannotConnect], share) + ": " + reason);
  return false;
}

bool WebCopyRun::copyFile(Current& current, const std::string& source, const std::string& target) {
  if (files_.sameFile(source, target)) {
    error(wceIdenticalFiles, TWebCopyTexts::IdenticalFiles, source);
    return false;
  }
  const auto entry = files_.stat(source);
  if (!entry || entry->isDirectory()) {
    error(wceCannotOpenSource, TWebCopyTexts::CannotOpenSource, source);
    return false;
  }
  if (skippedAsNotNewer(current, entry->writeTime, source)) return false;
  if (entry->size == 0) {
    error(wceZeroLength, TWebCopyTexts::ZeroLength, source);
    return false;
  }
  if (!overwriteAllowed(target)) return false;
  const std::string folder = parentPath(target);
  const auto temporary = makeFolderPath(folder) ? files_.tempFileName(folder.empty() ? "." : folder, "kvw")
                                                : std::nullopt;
  if (!temporary) {
    error(wceCannotCreateTarget, TWebCopyTexts::CannotCreateTarget, target);
    return false;
  }
  startTick_ = tick();
  uint64_t done = 0;
  bool whole = true;
  while (done < entry->size && !cancelled()) {
    const auto block = files_.readFilePart(source, done, kCopyBlock);
    if (!block || block->empty()) {
      error(wceReadError, TWebCopyTexts::ReadError, source);
      whole = false;
      break;
    }
    if (!files_.appendFile(*temporary, *block)) {
      error(wceWriteError, TWebCopyTexts::WriteError, target);
      whole = false;
      break;
    }
    done += block->size();
    showProgress(done, entry->size);
  }
  if (whole && !cancelled() && putInPlace(*temporary, target)) return true;
  files_.deleteFile(*temporary);
  return false;
}

bool WebCopyRun::ftpUpload(Current& current) {
  const TWebCopyItem& item = current.item;
  state_.clip = 258;
  setTexts(current, lastSegment(item.URL));
  const std::string name = targetName(item, lastSegment(item.URL));
  if (name.empty()) return false;
  const std::string remote = item.TargetDir.empty() ? name
                             : item.TargetDir.back() == '/' ? item.TargetDir + name
                                                            : item.TargetDir + "/" + name;
  const FtpLogin login{item.FTPHost, static_cast<uint16_t>(item.FTPPort), item.FTPUserID, item.FTPPassword};
  remember(item.URL, item.TargetDir);
  const auto local = files_.stat(item.URL);
  if (!local || local->isDirectory()) {
    error(wceCannotOpenSource, TWebCopyTexts::CannotOpenSource, item.URL);
    return false;
  }
  if (item.CopyNewerOnly) {
    InternetHead found;
    const TransferResult looked = machine_.internet().ftpStat(login, remote, options_, found);
    if (looked.end == TransferEnd::cannotConnect) {
      error(wceCannotConnect, TWebCopyTexts::CannotConnectFtp, item.FTPHost);
      return false;
    }
    if (looked.ok() && skippedAsNotNewer(current, found.lastModified, name)) return false;
  }
  startTick_ = tick();
  FileSender sender(*this, item.URL, local->size);
  const TransferResult result = machine_.internet().ftpUpload(login, remote, local->size, options_, sender);
  if (sender.readFailed) {
    error(wceReadError, TWebCopyTexts::ReadError, item.URL);
    return false;
  }
  if (reportedFtpFailure(result, item)) return false;
  return uploaded(result, sender, item.URL);
}

bool WebCopyRun::reportedFtpFailure(const TransferResult& result, const TWebCopyItem& item) {
  if (result.end == TransferEnd::cannotConnect) {
    error(wceCannotConnect, TWebCopyTexts::CannotConnectFtp, item.FTPHost);
    return true;
  }
  if (result.end != TransferEnd::notFound) return false;
  urlNotFound(item.URL);
  return true;
}

bool WebCopyRun::uploaded(const TransferResult& result, const FileSender& sender, const std::string& subject) {
  if (!result.ok()) {
    transferFailed(result, subject);
    return false;
  }
  if (sender.whole()) return true;
  error(wceIncomplete, TWebCopyTexts::Incomplete, subject);
  return false;
}

bool WebCopyRun::httpUpload(Current& current) {
  const TWebCopyItem& item = current.item;
  const std::string name = urlFileName(item.URL);
  state_.clip = 258;
  setTexts(current, name);
  const std::string local = joinPath(item.TargetDir, item.TargetFilename.empty() ? name : item.TargetFilename);
  remember(local, item.TargetDir);
  const auto entry = files_.stat(local);
  if (!entry || entry->isDirectory()) {
    error(wceCannotOpenSource, TWebCopyTexts::CannotOpenSource, local);
    return false;
  }
  startTick_ = tick();
  FileSender sender(*this, local, entry->size);
  const TransferResult result = machine_.internet().httpUpload(item.URL, item.HTTPCommand == hcPut ? "PUT" : "POST",
                                                               entry->size, options_, sender);
  if (sender.readFailed) {
    error(wceReadError, TWebCopyTexts::ReadError, local);
    return false;
  }
  if (result.end == TransferEnd::cannotConnect || result.end == TransferEnd::notFound) {
    error(wceCannotConnect, TWebCopyTexts::CannotConnect, urlHost(item.URL));
    return false;
  }
  if (result.end == TransferEnd::failed && result.errorCode >= 300 && result.errorCode < 600) {
    error(result.errorCode, TWebCopyTexts::HttpError, std::to_string(result.errorCode));
    return false;
  }
  return uploaded(result, sender, item.URL);
}

// The worker: runs the list once, then tells the caller it is done.
class TWCopyThread {
 public:
  explicit TWCopyThread(TWebCopy& copy)
      : thread_([this, &copy] {
          copy.run();
          done_ = true;
        }) {}
  ~TWCopyThread() { thread_.join(); }
  TWCopyThread(const TWCopyThread&) = delete;
  TWCopyThread& operator=(const TWCopyThread&) = delete;
  bool done() const { return done_; }

 private:
  std::atomic<bool> done_{false};
  std::thread thread_;
};

TWebCopy::TWebCopy(Machine& machine) : machine_(machine) {}
TWebCopy::~TWebCopy() = default;

void TWebCopy::run() { WebCopyRun(*this).runAll(); }

void TWebCopy::Execute() {
  cancelled_ = false;
  lastTargetFile_.clear();
  lastTargetFolder_.clear();
  TWebCopyDialog* dialog = ShowDialog ? Dialog : nullptr;
  if (dialog) dialog->opened(*this);
  {
    TWCopyThread worker(*this);
    while (!worker.done()) {
      if (ProcessMessages) ProcessMessages();
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  if (dialog) dialog->finished(cancelled_);
}

void TWebCopy::Cancel() {
  if (OnCopyCancel) OnCopyCancel(*this);
  cancelled_ = true;
}

}  // namespace korvane
