// The download engine: one background transfer at a time over WinINet, on a
// worker thread of its own. The worker never touches a window: its events
// reach the UI thread through platform/ui_post, where the task's event
// handler runs.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/download_failure.h"
#include "platform/handles.h"
#include "platform/http.h"
#include "platform/text.h"
#include "platform/ui_post.h"

namespace platform {

// The event types: 3 carries the total size in bytes, 4 says the file is
// complete (its size and hash are in result()), 5 says the transfer failed
// (the value is a DownloadFailure).
enum DownloadEvent : int { kTotalSize = 3, kComplete = 4, kFailed = 5 };

// Called on the UI thread: (event type, unused, value, unused, unused).
using DownloadEventHandler = std::function<int(int type, int, int value, int, int)>;

// The task record, its twenty members in their fixed order.
struct DownloadTask {
  std::int32_t readSize = 1;                            // 1: bytes asked of each read
  std::string source;                                   // 2: http or https URL
  std::string destination;                              // 3: where the finished file goes
  std::string ftpUser = "anonymous";                    // 4: FTP user (HTTP ignores it)
  std::string ftpPassword = "kelvora@kelvora.example";  // 5: FTP password
  std::int32_t retries = 1;                             // 6: connection attempts before giving up
  std::int32_t startOffset = 0;           // 7: reserved for resuming; the whole file is fetched
  std::int32_t connectTimeoutMs = 20000;  // 8
  std::int32_t sendTimeoutMs = 20000;     // 9
  std::int32_t receiveTimeoutMs = 20000;  // 10: silence that fails a transfer
  std::int32_t retryDelayMs = 1000;       // 11: wait between connection attempts
  std::int32_t writeBufferSize = 20480;   // 12: bytes gathered before each file write
  std::int32_t minimumReadSize = 1024;    // 13: floor of member 1
  std::int32_t speedLimit = 0;            // 14: bytes per second, 0 = no limit
  DownloadEventHandler onEvent;           // 15
  std::string reserved16;                 // 16: reserved
  std::int32_t overwrite = 1;             // 17: 1 = replace an existing destination
  std::string fileTypes = ".exe|.rar|.zip|.gif|.jpg|.mp3|.rm";  // 18: allowed destination endings
  std::string proxy;                                            // 19: empty = the system's settings
  std::string userAgent;                                        // 20: empty = the program's own
};

// Every transfer is capped here, whatever else is expected of it.
inline constexpr long long kMaxDownloadBytes = 64LL * 1024 * 1024;

// The longest stop() waits for a worker that is still inside a read.
inline constexpr unsigned kStopWaitMs = 1000;

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

// How the last transfer ended, read on the UI thread from its end event on.
struct DownloadResult {
  long long size = 0;
  std::string sha256;  // of the bytes as they arrived, 64 lowercase hex digits
  std::optional<DownloadFailure> failure;
  unsigned long status = 0;  // the server's last answer; 0 when none came
};

class Downloader {
 public:
  // On the UI thread, with the UI post open: events are delivered there.
  Downloader();
  ~Downloader();
  Downloader(const Downloader&) = delete;
  Downloader& operator=(const Downloader&) = delete;

  // Starts `task` in the background; the body goes to `tempPath` (made anew,
  // never through a link) and is moved to the destination only when whole,
  // answered 200 and as `checks` demands. Every transfer ends in exactly one
  // event: complete or failed. False when a transfer is already running.
  bool start(const DownloadTask& task, const std::string& tempPath, DownloadChecks checks = {});

  // Bytes received so far; 0 or less when no transfer runs. Any thread.
  int received() const { return running_ ? received_.load() : 0; }
  // Whether a transfer's worker is still at work.
  bool running() const { return running_; }
  // The last transfer that ended; valid from its end event on.
  const DownloadResult& result() const { return result_; }

  // Ends a running transfer and returns within about a second, even when the
  // worker is inside a blocked read: aborting its session ends that read on
  // Windows (Wine lets it run to the receive time-out). No event of that
  // transfer is delivered afterwards, even one already queued; a file it
  // finished but whose completion was not yet delivered is deleted. Fills
  // `resume` with what resuming needs: source, destination and bytes so far,
  // one per line. Mode 2 is the only mode. False when there was nothing to stop.
  bool stop(Bytes& resume, int mode);

  // Stops any transfer and joins the worker.
  void shutdown();

 private:
  void run(DownloadTask task, std::string tempPath, DownloadChecks checks, unsigned generation);
  // The steps of a transfer, each with the reason it failed, if it did.
  std::optional<DownloadFailure> connect(const DownloadTask& task, InternetSession& session,
                                         std::optional<HttpRequest>& http, DownloadResult& result);
  std::optional<DownloadFailure> announce(const HttpRequest& http, const DownloadChecks& checks,
                                          unsigned generation, long long& expected);
  std::optional<DownloadFailure> receive(const DownloadTask& task, const std::string& tempPath,
                                         InternetSession& session, const HttpRequest& http,
                                         const DownloadChecks& checks, long long expected,
                                         UniqueFile& file, DownloadResult& result);
  std::optional<DownloadFailure> settle(const DownloadTask& task, const std::string& tempPath,
                                        UniqueFile& file);
  // UI thread: hands an event of transfer `generation` to the task's handler.
  void deliver(unsigned generation, int type, int value, DownloadResult result);
  void post(unsigned generation, int type, int value, DownloadResult result = {});
  void join();
  // Worker: waits `milliseconds` or until stopped; true when stopped.
  bool waitUnlessStopped(DWORD milliseconds) const;

  LifeToken life_ = makeLifeToken();  // closures for a destroyed engine are dropped
  std::thread worker_;
  std::atomic<bool> running_{false};
  std::atomic<bool> stopping_{false};
  // Set with stopping_: the worker's waits (between attempts, under a speed
  // limit) end on it at once. Manual reset; cleared by start().
  UniqueKernelHandle stopEvent_{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  // Set by the worker as it ends (running_ false); stop() waits on it.
  UniqueKernelHandle endedEvent_{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  std::atomic<int> received_{0};
  // UI thread only:
  unsigned generation_ = 0;  // events of older transfers are dropped
  DownloadResult result_;
  DownloadEventHandler handler_;
  std::string source_;
  std::string destination_;
  // Shared with the worker:
  std::mutex mutex_;                          // guards the members below it
  std::shared_ptr<InternetSession> session_;  // the running transfer's, for stop()
  bool completionPending_ = false;            // finished, completion posted, not yet delivered
};

}  // namespace platform
