// The transfer component: copies a list of files between this machine and
// servers (HTTP and FTP, both ways) or shares, one after the other, on a
// worker thread while the caller keeps its window alive. It reports through
// its events and the items' results, and feeds a progress dialog that the
// front end supplies.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "platform/Machine.h"

namespace korvane {

enum TWebCopyProtocol : uint8_t { wpHttp = 0, wpFtp = 1, wpFile = 2, wpFtpUpload = 3, wpHttpUpload = 4 };
enum TWebCopyHTTPCommand : uint8_t { hcPost = 0, hcPut = 1 };

struct TWebCopyItem {
  bool Active = true;
  bool CopyNewerOnly = false;  // only a source strictly newer than FileDate; one without a date counts as newer
  double FileDate = 0;         // days since 30 Dec 1899, the fraction the time of day
  std::string FTPHost;         // FTP server, or the \\host\share of a copy
  std::string FTPUserID;
  std::string FTPPassword;
  int FTPPort = 21;
  TWebCopyHTTPCommand HTTPCommand = hcPost;
  TWebCopyProtocol Protocol = wpHttp;
  std::string TargetDir;
  std::string TargetFilename;  // empty: the last segment of URL
  std::string URL;
  // Results of the last run.
  bool Succeeded = false;
  bool NotNewer = false;
  double SourceDate = 0;
};

// References to items stay valid while others are added.
class TWebCopyItems {
 public:
  TWebCopyItem& Add() { return items_.emplace_back(); }
  void Clear() { items_.clear(); }
  size_t Count() const { return items_.size(); }
  TWebCopyItem& operator[](size_t index) { return items_[index]; }
  const TWebCopyItem& operator[](size_t index) const { return items_[index]; }

 private:
  std::deque<TWebCopyItem> items_;
};

// Error codes besides an HTTP status (300 or more) and the library's or
// system's own numbers.
enum TWebCopyError : int {
  wceIdenticalFiles = 0, wceCannotOpenSource = 1, wceZeroLength = 2, wceCannotCreateTarget = 3, wceReadError = 4,
  wceWriteError = 5, wceCannotConnect = 6, wceIncomplete = 7, wceTimedOut = 8, wceUnsafeName = 9
};

// The words of the component's texts, English by default; callers put in
// their language's. "%s" stands for the file or host, "%d" for a number.
struct TWebCopyTexts {
  enum Text {
    IdenticalFiles, CannotOpenSource, ZeroLength, CannotCreateFile, CannotCreateTarget, ReadError, WriteError,
    CannotConnect, CannotConnectFtp, HttpError, Incomplete, TimedOut, UnsafeName, TransferFailed,
    Bytes, Kb, Mb, SizeOf, RateBytes, RateKb, RateMb, Seconds, Minutes, Hours, Count
  };
  std::array<std::string, Count> words = {
      "Cannot copy identical files %s", "Cannot open source file %s", "Zero length source file %s",
      "Cannot create file %s", "Cannot create target file %s", "Error reading source file %s",
      "Error writing to destination file %s", "Cannot connect to server %s", "Cannot connect to FTP server %s",
      "Returned http error code %d", "The transfer ended before all the data arrived: %s",
      "The transfer stopped: nothing arrived for too long from %s", "Not a file name that can be used: %s",
      "The transfer of %s failed", " bytes", " Kb", " Mb", " of ", " bytes/sec", " Kb/sec", " Mb/sec", " sec.",
      " minutes", "h "};
  std::string operator[](Text text) const { return words[text]; }
};

// What the progress dialog shows, after every change.
struct TWebCopyDialogState {
  std::string caption;
  std::string fileLine, progressLine, rateLine, timeLine;
  int position = 0;  // of 100
  int clip = 257;    // 257 download, 258 upload, 0 the system's copy animation
  bool showTime = false;
};

class TWebCopy;

// The progress dialog of a front end: the window's, the terminal's line.
class TWebCopyDialog {
 public:
  virtual ~TWebCopyDialog() = default;
  // On the caller's thread before the run starts; Cancel stops the run.
  virtual void opened(TWebCopy& copy) = 0;
  // On the worker thread.
  virtual void changed(const TWebCopyDialogState& state) = 0;
  // On the caller's thread after the run; with the open buttons the dialog
  // stays until the user closes it (ProcessMessages is pumped meanwhile).
  virtual void finished(bool cancelled) = 0;
};

class TWCopyThread;

class TWebCopy {
 public:
  explicit TWebCopy(Machine& machine);
  ~TWebCopy();
  TWebCopy(const TWebCopy&) = delete;
  TWebCopy& operator=(const TWebCopy&) = delete;

  bool AlwaysOnTop = false;
  std::string DlgCaption = "Downloading";
  std::string DlgCompleted = "completed";
  std::string DlgFileLabel = "File :";
  std::string DlgFileOfLabel = "of";
  std::string DlgFromServerLabel = "from";
  std::string DlgToServerLabel = "to";
  std::string DlgProgressLabel = "Progress :";
  std::string DlgRateLabel = "Transfer rate :";
  std::string DlgTimeLabel = "Estimated time left :";
  std::string DlgCopying = "Copying";
  std::string DlgDwnload = "Downloading";
  std::string DlgUpload = "Uploading";
  bool FTPPassive = false;
  TWebCopyItems Items;
  std::string Proxy;  // host, colon and port; empty: the system's Internet settings
  std::string ProxyUserID;  // given to the proxy only
  std::string ProxyPassword;
  bool ShowDialog = true;
  bool ShowOpenFile = false;
  bool ShowOpenFolder = false;
  bool ShowCompletion = false;
  bool ShowTime = false;
  uint32_t ConnectTimeout = 30000;  // milliseconds
  uint32_t IdleTimeout = 60000;     // milliseconds without data before a transfer fails
  TWebCopyTexts Texts;
  TWebCopyDialog* Dialog = nullptr;              // none: nothing shown
  std::function<void()> ProcessMessages;         // the caller's message pump

  std::function<void(TWebCopy& Sender)> OnConnectError;
  std::function<void(TWebCopy& Sender)> OnCopyCancel;
  std::function<void(TWebCopy& Sender)> OnCopyDone;
  std::function<void(TWebCopy& Sender, const std::string& tgtfile, bool& allow)> OnCopyOverWrite;
  std::function<void(TWebCopy& Sender, int fileidx, uint64_t size, uint64_t totsize)> OnCopyProgress;
  std::function<void(TWebCopy& Sender, int ErrorCode)> OnError;
  std::function<void(TWebCopy& Sender, int ErrorCode, const std::string& ErrorInfo)> OnErrorInfo;
  std::function<void(TWebCopy& Sender, int idx)> OnFileDone;
  std::function<void(TWebCopy& Sender, int idx)> OnFileStart;
  std::function<void(TWebCopy& Sender, const std::string& url)> OnURLNotFound;
  std::function<void(TWebCopy& Sender, const std::string& tgtfile, double curdate, double newdate)> OnNoNewFileFound;

  // Runs every active item and returns when the worker has ended.
  void Execute();
  // The dialog's Cancel: the running item stops at its next block, no other starts.
  void Cancel();
  bool Cancelled() const { return cancelled_; }
  // For the dialog's open buttons.
  const std::string& LastTargetFile() const { return lastTargetFile_; }
  const std::string& LastTargetFolder() const { return lastTargetFolder_; }

 private:
  friend class TWCopyThread;
  friend class WebCopyRun;
  void run();

  Machine& machine_;
  std::atomic<bool> cancelled_{false};
  std::string lastTargetFile_, lastTargetFolder_;
};

// The texts of the progress dialog, shared with tests.
std::string transferSizeText(uint64_t bytes, const std::string& decimalSeparator, const TWebCopyTexts& texts);
std::string transferRateText(uint64_t bytesPerSecond, const std::string& decimalSeparator,
                             const TWebCopyTexts& texts);
std::string transferTimeLeftText(uint64_t elapsedMs, uint64_t done, uint64_t total, const TWebCopyTexts& texts);
// The name a URL gives a file: its last segment, without query or fragment.
std::string urlFileName(const std::string& url);

}  // namespace korvane
