#include "platform/download.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <vector>

#include "platform/hash.h"
#include "platform/hex.h"
#include "platform/in_place.h"

namespace platform {
namespace {

std::string lower(std::string text) {
  for (char& c : text) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
  return text;
}

bool allowedType(const std::string& destination, const std::string& types) {
  if (types.empty()) return true;
  const std::string name = lower(destination);
  std::size_t begin = 0;
  while (begin <= types.size()) {
    const std::size_t end = std::min(types.find('|', begin), types.size());
    const std::string ending = lower(types.substr(begin, end - begin));
    if (!ending.empty() && name.size() >= ending.size() &&
        name.compare(name.size() - ending.size(), ending.size(), ending) == 0) {
      return true;
    }
    begin = end + 1;
  }
  return false;
}

DWORD positive(std::int32_t value, DWORD fallback) {
  return value > 0 ? static_cast<DWORD>(value) : fallback;
}

// SHA-256 of what the transfer writes, computed on a thread of its own while
// the transfer waits for the network, so that hashing costs it no time.
class HashBehind {
 public:
  HashBehind() : thread_([this] { work(); }) {}
  ~HashBehind() { finish(); }
  HashBehind(const HashBehind&) = delete;
  HashBehind& operator=(const HashBehind&) = delete;

  // Takes the bytes (the caller's buffer is left empty); waits while too
  // much is queued, so that memory stays bounded.
  void add(std::string& bytes) {
    std::unique_lock lock(mutex_);
    room_.wait(lock, [&] { return queued_ < kMaxQueued; });
    queued_ += bytes.size();
    chunks_.push_back(std::move(bytes));
    bytes.clear();
    ready_.notify_one();
  }
  // The 32-byte digest of everything added; empty when hashing failed. Once.
  std::string finish() {
    {
      std::lock_guard lock(mutex_);
      if (done_) return digest_;
      done_ = true;
      ready_.notify_one();
    }
    if (thread_.joinable()) thread_.join();
    return digest_;
  }

 private:
  static constexpr std::size_t kMaxQueued = 4 << 20;

  void work() {
    Sha256 hash;
    for (;;) {
      std::string chunk;
      {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [&] { return !chunks_.empty() || done_; });
        if (chunks_.empty()) break;
        chunk = std::move(chunks_.front());
        chunks_.pop_front();
        queued_ -= chunk.size();
        room_.notify_one();
      }
      hash.update(chunk);
    }
    digest_ = hash.finish();
  }

  std::mutex mutex_;
  std::condition_variable ready_, room_;
  std::deque<std::string> chunks_;
  std::size_t queued_ = 0;
  bool done_ = false;
  std::string digest_;  // written by the thread before it ends
  std::thread thread_;
};

}  // namespace

Downloader::Downloader() = default;

Downloader::~Downloader() {
  shutdown();
}

bool Downloader::waitUnlessStopped(DWORD milliseconds) const {
  return stopping_ || ::WaitForSingleObject(stopEvent_.get(), milliseconds) == WAIT_OBJECT_0;
}

void Downloader::join() {
  if (worker_.joinable()) worker_.join();
}

void Downloader::post(unsigned generation, int type, int value, DownloadResult result) {
  postToUi(guarded(life_, [this, generation, type, value, result = std::move(result)]() mutable {
    deliver(generation, type, value, std::move(result));
  }));
}

void Downloader::deliver(unsigned generation, int type, int value, DownloadResult result) {
  // A stopped transfer's events, queued before the stop, are dropped.
  if (generation != generation_) return;
  if (type == kComplete || type == kFailed) {
    if (type == kComplete) {
      std::lock_guard lock(mutex_);
      if (!completionPending_) return;
      completionPending_ = false;
    }
    join();  // its worker posted this as its last act
    result_ = std::move(result);
  }
  if (handler_) handler_(type, 0, value, 0, 0);
}

bool Downloader::start(const DownloadTask& task, const std::string& tempPath,
                       DownloadChecks checks) {
  if (running_) return false;
  join();
  handler_ = task.onEvent;
  source_ = task.source;
  destination_ = task.destination;
  received_ = 0;
  stopping_ = false;
  ::ResetEvent(stopEvent_.get());
  ::ResetEvent(endedEvent_.get());
  const unsigned generation = ++generation_;
  checks.maxSize = std::min(checks.maxSize, kMaxDownloadBytes);
  {
    std::lock_guard lock(mutex_);
    completionPending_ = false;
  }
  running_ = true;
  try {
    worker_ = std::thread(&Downloader::run, this, task, tempPath, std::move(checks), generation);
  } catch (...) {
    running_ = false;
    return false;
  }
  return true;
}

void Downloader::run(DownloadTask task, std::string tempPath, DownloadChecks checks,
                     unsigned generation) {
  // Made here, not on the UI thread: loading WinINet takes a while. stop()
  // finds it through session_.
  const HttpTimeouts timeouts = {positive(task.connectTimeoutMs, 20000),
                                 positive(task.sendTimeoutMs, 20000),
                                 positive(task.receiveTimeoutMs, 20000)};
  DownloadResult result;
  UniqueFile file;  // the temporary file, held from its creation to its move
  std::optional<DownloadFailure> failure;
  try {
    auto session = std::make_shared<InternetSession>(timeouts, task.userAgent, task.proxy);
    {
      std::lock_guard lock(mutex_);
      if (stopping_) session->abort();
      session_ = session;
    }
    std::optional<HttpRequest> http;
    long long expected = -1;
    failure = !allowedType(task.destination, task.fileTypes)
                  ? DownloadFailure::Write
                  : connect(task, *session, http, result);
    if (!failure) failure = announce(*http, checks, generation, expected);
    if (!failure) {
      failure = receive(task, tempPath, *session, *http, checks, expected, file, result);
    }
    http.reset();  // its handles go before the session can
    if (!failure) failure = settle(task, tempPath, file);
  } catch (...) {
    failure = DownloadFailure::Write;
  }
  if (file) deleteOpenFile(file.get());
  file.reset();
  {
    std::lock_guard lock(mutex_);
    session_.reset();
    if (stopping_) {
      // stop() came meanwhile: nobody wants the file now, nor hears of it.
      if (!failure) removeInPlace(task.destination);
      failure = DownloadFailure::Stopped;
    } else if (!failure) {
      completionPending_ = true;
    }
  }
  result.failure = failure;
  const int value = failure ? static_cast<int>(*failure) : 0;
  running_ = false;
  ::SetEvent(endedEvent_.get());
  post(generation, failure ? kFailed : kComplete, value, std::move(result));
}

std::optional<DownloadFailure> Downloader::connect(const DownloadTask& task,
                                                   InternetSession& session,
                                                   std::optional<HttpRequest>& http,
                                                   DownloadResult& result) {
  const int attempts = std::max(1, task.retries);
  for (int attempt = 0; attempt < attempts && !stopping_; ++attempt) {
    DWORD status = 0;
    http = session.get(task.source, &status);
    result.status = status;
    if (http || status != 0) break;  // an answer other than 200 is final
    if (waitUnlessStopped(static_cast<DWORD>(positive(task.retryDelayMs, 0)))) break;
  }
  if (stopping_) return DownloadFailure::Stopped;
  return http ? std::nullopt : std::optional(DownloadFailure::Status);
}

std::optional<DownloadFailure> Downloader::announce(const HttpRequest& http,
                                                    const DownloadChecks& checks,
                                                    unsigned generation, long long& expected) {
  const long long announced = http.contentLength;
  if (announced > checks.maxSize || announced > INT32_MAX) return DownloadFailure::TooLong;
  // Announced shorter than the offered file: another file, not the one signed for.
  if (checks.size >= 0 && announced >= 0 && announced != checks.size) {
    return announced > checks.size ? DownloadFailure::TooLong : DownloadFailure::Hash;
  }
  if (checks.lengthRequired && announced < 0 && checks.size < 0) return DownloadFailure::Short;
  expected = announced >= 0 ? announced : checks.size;
  if (expected >= 0) post(generation, kTotalSize, static_cast<int>(expected));
  return std::nullopt;
}

std::optional<DownloadFailure> Downloader::receive(const DownloadTask& task,
                                                   const std::string& tempPath,
                                                   InternetSession& session,
                                                   const HttpRequest& http,
                                                   const DownloadChecks& checks, long long expected,
                                                   UniqueFile& file, DownloadResult& result) {
  // Never through a link someone left at the name; held unshared until it is moved.
  file = createInPlace(tempPath, GENERIC_WRITE, 0);
  if (!file) return DownloadFailure::Write;
  const std::size_t readSize = std::clamp<std::size_t>(
      std::max<std::int32_t>(task.readSize, task.minimumReadSize), 1, 1 << 20);
  const std::size_t flushAt =
      std::clamp<std::size_t>(positive(task.writeBufferSize, 0), readSize, 16 << 20);
  std::vector<char> buffer(readSize);
  std::string pending;
  pending.reserve(flushAt + readSize);
  std::string head;
  HashBehind hash;
  long long total = 0;
  const ULONGLONG begin = ::GetTickCount64();
  for (;;) {
    DWORD got = 0;
    if (!session.read(http, buffer.data(), static_cast<DWORD>(readSize), got) || stopping_) {
      return stopping_ ? DownloadFailure::Stopped : DownloadFailure::Short;
    }
    if (got == 0) break;
    pending.append(buffer.data(), got);
    total += got;
    // Stop at the first byte past what the file may have.
    if (total > checks.maxSize || (checks.size >= 0 && total > checks.size)) {
      return DownloadFailure::TooLong;
    }
    if (head.size() < checks.head.size()) {
      head.append(buffer.data(), std::min<std::size_t>(got, checks.head.size() - head.size()));
      if (checks.head.compare(0, head.size(), head) != 0) return DownloadFailure::Head;
    }
    received_ = static_cast<int>(total);
    // Written, then hashed behind the transfer: one hash call per write.
    if (pending.size() >= flushAt) {
      if (!writeAll(file.get(), pending)) return DownloadFailure::Write;
      hash.add(pending);
      pending.reserve(flushAt + readSize);
    }
    if (task.speedLimit > 0) {
      const ULONGLONG due = begin + static_cast<ULONGLONG>(total * 1000 / task.speedLimit);
      const ULONGLONG now = ::GetTickCount64();
      if (now < due && waitUnlessStopped(static_cast<DWORD>(due - now))) {
        return DownloadFailure::Stopped;
      }
    }
  }
  if (!writeAll(file.get(), pending) || !::FlushFileBuffers(file.get())) {
    return DownloadFailure::Write;
  }
  // A connection that ended early is not the file the server announced.
  if (expected >= 0 && total != expected) return DownloadFailure::Short;
  if (head != checks.head) return DownloadFailure::Head;
  hash.add(pending);
  const std::string digest = hash.finish();
  if (digest.empty()) return DownloadFailure::Hash;
  result.size = total;
  result.sha256 = toHex(digest);
  if (!checks.sha256.empty() && result.sha256 != checks.sha256) return DownloadFailure::Hash;
  return std::nullopt;
}

std::optional<DownloadFailure> Downloader::settle(const DownloadTask& task,
                                                  const std::string& tempPath, UniqueFile& file) {
  if (!task.overwrite &&
      ::GetFileAttributesA(task.destination.c_str()) != INVALID_FILE_ATTRIBUTES) {
    return DownloadFailure::Write;
  }
  if (!moveInto(std::move(file), task.destination)) {
    removeInPlace(tempPath);
    return DownloadFailure::Write;
  }
  return std::nullopt;
}

bool Downloader::stop(Bytes& resume, int mode) {
  if (mode != 2) return false;
  bool stopped = false;
  ++generation_;  // drops whatever of this transfer is still queued
  {
    std::lock_guard lock(mutex_);
    if (completionPending_) {
      // Finished, but the program has not heard of it: it never will.
      completionPending_ = false;
      removeInPlace(destination_);
      stopped = true;
    }
    if (running_) {
      stopping_ = true;
      ::SetEvent(stopEvent_.get());
      if (session_) session_->abort();
      stopped = true;
    }
  }
  if (!stopped) return false;
  if (running_) ::WaitForSingleObject(endedEvent_.get(), kStopWaitMs);
  if (!running_) join();
  resume = source_ + "\r\n" + destination_ + "\r\n" + std::to_string(received_.load());
  return true;
}

void Downloader::shutdown() {
  if (running_) {
    Bytes ignored;
    stop(ignored, 2);
  }
  join();
}

}  // namespace platform
