// The download engine: one background transfer at a time over WinINet, on a
// worker thread of its own. The worker never touches a window: it posts its
// events to a message-only window of the thread that made the Downloader,
// and the task's event handler runs there.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "platform/handles.h"
#include "platform/text.h"

namespace platform {

// Called on the UI thread: (event type, unused, value, unused, unused);
// type 3 carries the total size in bytes, type 4 says the file is complete.
using DownloadEventHandler = int (*)(int type, int, int value, int, int);

enum DownloadEvent : int { kTotalSize = 3, kComplete = 4 };

// The task record, its twenty members in their fixed order.
struct DownloadTask {
  std::int32_t readSize = 1;                            // 1: bytes asked of each read
  std::string source;                                   // 2: http or https URL
  std::string destination;                              // 3: where the finished file goes
  std::string ftpUser = "anonymous";                    // 4: FTP user (HTTP ignores it)
  std::string ftpPassword = "kelvora@kelvora.example";  // 5: FTP password
  std::int32_t retries = 1;                             // 6: connection attempts before giving up
  std::int32_t startOffset = 0;            // 7: reserved for resuming; the whole file is fetched
  std::int32_t connectTimeoutMs = 20000;   // 8
  std::int32_t sendTimeoutMs = 20000;      // 9
  std::int32_t receiveTimeoutMs = 20000;   // 10: silence that fails a transfer
  std::int32_t retryDelayMs = 1000;        // 11: wait between connection attempts
  std::int32_t writeBufferSize = 20480;    // 12: bytes gathered before each file write
  std::int32_t minimumReadSize = 1024;     // 13: floor of member 1
  std::int32_t speedLimit = 0;             // 14: bytes per second, 0 = no limit
  DownloadEventHandler onEvent = nullptr;  // 15
  std::string reserved16;                  // 16: reserved
  std::int32_t overwrite = 1;              // 17: 1 = replace an existing destination
  std::string fileTypes = ".exe|.rar|.zip|.gif|.jpg|.mp3|.rm";  // 18: allowed destination endings
  std::string proxy;                                            // 19: empty = the system's settings
  std::string userAgent;                                        // 20: empty = the program's own
};

// Every transfer is capped here, whatever else is expected of it.
inline constexpr long long kMaxDownloadBytes = 64LL * 1024 * 1024;

// What a finished file must be before it may replace the destination.
struct DownloadChecks {
  long long size = -1;                    // exact length; -1: whatever the server announces
  long long maxSize = kMaxDownloadBytes;  // more than this fails at once (never above the cap)
  std::string sha256;                     // 64 lowercase hex digits; empty: not checked
  std::string head;                       // the bytes the file must start with
  // Fail when neither the answer nor `size` says how long the file is: a
  // connection that ends early would otherwise look like the whole file.
  bool lengthRequired = false;
};

// What a completed transfer delivered, read on the UI thread after the
// completion event.
struct DownloadResult {
  long long size = 0;
  std::string sha256;  // of the bytes as they arrived, 64 lowercase hex digits
};

class Downloader {
 public:
  // Create on the UI thread: events are delivered to it.
  Downloader();
  ~Downloader();
  Downloader(const Downloader&) = delete;
  Downloader& operator=(const Downloader&) = delete;

  // Starts `task` in the background; the body goes to `tempPath` and is moved
  // to the destination only when whole, answered 200 and as `checks` demands.
  // A transfer fails as soon as it runs past the size it may have. A failed
  // transfer removes the temporary file and sends no completion event. False
  // when a transfer is already running.
  bool start(const DownloadTask& task, const std::string& tempPath, DownloadChecks checks = {});

  // Bytes received so far; 0 or less when no transfer runs. Any thread.
  int received() const { return running_ ? received_.load() : 0; }
  bool running() const { return running_; }
  // The last completed transfer; valid from its completion event on.
  const DownloadResult& result() const { return result_; }

  // Ends a running transfer and returns within about a second, even when the
  // worker is inside a blocked read: closing its session aborts that read on
  // Windows (Wine lets it run to the receive time-out). No event of that
  // transfer is delivered afterwards, even one already queued; a file it
  // finished but whose completion was not yet delivered is deleted. Fills
  // `resume` with what resuming needs: source, destination and bytes so far,
  // one per line. Mode 2 is the only mode. False when there was nothing to stop.
  bool stop(Bytes& resume, int mode);

  // Stops any transfer and joins the worker.
  void shutdown();

 private:
  static LRESULT CALLBACK eventWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void run(DownloadTask task, std::string tempPath, DownloadChecks checks, unsigned generation);
  // Fetches into `file`, which it creates at `tempPath`; true when the file
  // is whole and passes `checks`. `file` stays open for the move.
  bool transfer(const DownloadTask& task, const std::string& tempPath, const DownloadChecks& checks,
                unsigned generation, DownloadResult& result, UniqueFile& file);
  void post(unsigned generation, int type, int value);
  void deliver(WPARAM wParam, LPARAM lParam);
  void join();

  HWND events_ = nullptr;
  std::thread worker_;
  std::atomic<bool> running_{false};
  std::atomic<bool> stopping_{false};
  std::atomic<int> received_{0};
  std::mutex abortMutex_;            // guards the members below it
  HINTERNET abortHandle_ = nullptr;  // the worker's session, closed by stop()
  bool aborted_ = false;
  unsigned generation_ = 0;         // events of older transfers are dropped
  bool completionPending_ = false;  // finished, completion posted, not yet delivered
  DownloadResult result_;
  DownloadEventHandler handler_ = nullptr;
  std::string source_;
  std::string destination_;
};

}  // namespace platform
