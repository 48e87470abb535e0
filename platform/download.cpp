#include "platform/download.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "platform/handles.h"
#include "platform/hash.h"
#include "platform/hex.h"
#include "platform/http.h"
#include "platform/in_place.h"
#include "platform/pause.h"

namespace platform {
namespace {

constexpr char kEventClass[] = "KelvoraDownloadEvents";
constexpr UINT kEventMessage = WM_APP + 40;
constexpr UINT kDoneMessage = WM_APP + 41;
constexpr unsigned kGenerationMask = 0xFFFFFF;  // what fits above the event type in wParam

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

}  // namespace

Downloader::Downloader() {
  HINSTANCE instance = ::GetModuleHandleA(nullptr);
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &Downloader::eventWindowProc;
  wc.hInstance = instance;
  wc.lpszClassName = kEventClass;
  ::RegisterClassExA(&wc);  // fails harmlessly when already registered
  events_ = ::CreateWindowExA(0, kEventClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance,
                              nullptr);
  if (events_) ::SetWindowLongPtrA(events_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Downloader::~Downloader() {
  shutdown();
  if (events_) {
    ::SetWindowLongPtrA(events_, GWLP_USERDATA, 0);
    ::DestroyWindow(events_);
  }
}

LRESULT CALLBACK Downloader::eventWindowProc(HWND hwnd, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
  auto* self = reinterpret_cast<Downloader*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (self && message == kEventMessage) {
    try {
      self->deliver(wParam, lParam);
    } catch (...) {  // nothing may unwind through the system's frames
    }
    return 0;
  }
  if (self && message == kDoneMessage) {
    if (!self->running_) self->join();
    return 0;
  }
  return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

// The event type goes in the low byte of wParam, the transfer's generation above it.
void Downloader::post(unsigned generation, int type, int value) {
  if (events_) {
    const WPARAM tagged = static_cast<WPARAM>(generation & kGenerationMask) << 8 | (type & 0xFF);
    ::PostMessageA(events_, kEventMessage, tagged, value);
  }
}

void Downloader::deliver(WPARAM wParam, LPARAM lParam) {
  const int type = static_cast<int>(wParam & 0xFF);
  {
    std::lock_guard lock(abortMutex_);
    // A stopped transfer's events, queued before the stop, are dropped.
    if ((static_cast<unsigned>(wParam >> 8) & kGenerationMask) != (generation_ & kGenerationMask)) {
      return;
    }
    if (type == kComplete) {
      if (!completionPending_) return;
      completionPending_ = false;
    }
  }
  if (handler_) handler_(type, 0, static_cast<int>(lParam), 0, 0);
}

void Downloader::join() {
  if (worker_.joinable()) worker_.join();
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
  unsigned generation = 0;
  {
    std::lock_guard lock(abortMutex_);
    aborted_ = false;
    completionPending_ = false;
    generation = ++generation_;
  }
  checks.maxSize = std::min(checks.maxSize, kMaxDownloadBytes);
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
  DownloadResult result;
  UniqueFile file;  // the temporary file, held from its creation to its move
  bool ok = false;
  try {
    ok = transfer(task, tempPath, checks, generation, result, file);
  } catch (...) {
    ok = false;
  }
  if (ok && !task.overwrite &&
      ::GetFileAttributesA(task.destination.c_str()) != INVALID_FILE_ATTRIBUTES) {
    ok = false;
  }
  if (ok) {
    ok = moveInto(std::move(file), tempPath, task.destination);
    if (!ok) removeInPlace(tempPath);
  } else if (file) {
    deleteOpenFile(file.get());
  }
  file.reset();
  {
    std::lock_guard lock(abortMutex_);
    if (ok && aborted_) {
      // stop() came while the file was being moved: nobody wants it now.
      removeInPlace(task.destination);
    } else if (ok) {
      result_ = std::move(result);
      completionPending_ = true;
      post(generation, kComplete, 0);
    }
  }
  running_ = false;
  if (events_) ::PostMessageA(events_, kDoneMessage, 0, 0);
}

bool Downloader::transfer(const DownloadTask& task, const std::string& tempPath,
                          const DownloadChecks& checks, unsigned generation, DownloadResult& result,
                          UniqueFile& file) {
  if (!allowedType(task.destination, task.fileTypes)) return false;
  const HttpTimeouts timeouts = {positive(task.connectTimeoutMs, 20000),
                                 positive(task.sendTimeoutMs, 20000),
                                 positive(task.receiveTimeoutMs, 20000)};
  UniqueInternet session = openSession(timeouts, task.userAgent, task.proxy);
  if (!session) return false;
  {
    std::lock_guard lock(abortMutex_);
    if (aborted_) return false;
    abortHandle_ = session.get();
  }
  std::optional<HttpRequest> http;
  bool ok = false;
  [&] {
    const int attempts = std::max(1, task.retries);
    for (int attempt = 0; attempt < attempts && !stopping_; ++attempt) {
      DWORD status = 0;
      http = openGet(session.get(), task.source, timeouts, &status);
      if (http || status != 0) break;  // an answer other than 200 is final
      for (DWORD waited = 0; waited < positive(task.retryDelayMs, 0) && !stopping_; waited += 50) {
        pause(50);
      }
    }
    if (!http || stopping_ || http->contentLength > INT32_MAX) return;
    const long long announced = http->contentLength;
    if (announced > checks.maxSize ||
        (checks.size >= 0 && announced >= 0 && announced != checks.size)) {
      return;
    }
    if (checks.lengthRequired && announced < 0 && checks.size < 0) return;
    const long long expected = announced >= 0 ? announced : checks.size;
    if (expected >= 0) post(generation, kTotalSize, static_cast<int>(expected));

    // Never through a link someone left at the name; held unshared until it is moved.
    file = createInPlace(tempPath, GENERIC_WRITE, 0);
    if (!file) return;
    const std::size_t readSize = std::clamp<std::size_t>(
        std::max<std::int32_t>(task.readSize, task.minimumReadSize), 1, 1 << 20);
    const std::size_t flushAt =
        std::clamp<std::size_t>(positive(task.writeBufferSize, 0), readSize, 16 << 20);
    std::vector<char> buffer(readSize);
    std::string pending;
    pending.reserve(flushAt + readSize);
    std::string head;
    Sha256 hash;
    long long total = 0;
    const ULONGLONG begin = ::GetTickCount64();
    for (;;) {
      DWORD got = 0;
      if (!winInet().InternetReadFile(http->request.get(), buffer.data(),
                                      static_cast<DWORD>(readSize), &got) ||
          stopping_) {
        return;
      }
      if (got == 0) break;
      pending.append(buffer.data(), got);
      total += got;
      // Stop at the first byte past what the file may have.
      if (total > checks.maxSize || (checks.size >= 0 && total > checks.size)) return;
      if (head.size() < checks.head.size()) {
        head.append(buffer.data(), std::min<std::size_t>(got, checks.head.size() - head.size()));
        if (checks.head.compare(0, head.size(), head) != 0) return;
      }
      received_ = static_cast<int>(total);
      // Hashed as it is written: one CNG call per write, not per read.
      if (pending.size() >= flushAt) {
        hash.update(pending);
        if (!writeAll(file.get(), pending)) return;
        pending.clear();
      }
      if (task.speedLimit > 0) {
        const ULONGLONG due = begin + static_cast<ULONGLONG>(total * 1000 / task.speedLimit);
        while (::GetTickCount64() < due && !stopping_) pause(10);
      }
    }
    hash.update(pending);
    if (!writeAll(file.get(), pending)) return;
    // A connection that ended early is not the file the server announced.
    if (expected >= 0 && total != expected) return;
    if (head != checks.head) return;
    const std::string digest = hash.finish();
    if (digest.empty()) return;
    result.size = total;
    result.sha256 = toHex(digest);
    if (!checks.sha256.empty() && result.sha256 != checks.sha256) return;
    ok = ::FlushFileBuffers(file.get()) != 0;
  }();

  std::lock_guard lock(abortMutex_);
  abortHandle_ = nullptr;
  if (aborted_) {
    // stop() closed the session, and with it every handle below it.
    if (http) {
      http->request.release();
      http->connection.release();
    }
    session.release();
    return false;
  }
  return ok;
}

bool Downloader::stop(Bytes& resume, int mode) {
  if (mode != 2) return false;
  bool stopped = false;
  {
    std::lock_guard lock(abortMutex_);
    ++generation_;  // drops whatever of this transfer is still queued
    if (completionPending_) {
      // Finished, but the program has not heard of it: it never will.
      completionPending_ = false;
      removeInPlace(destination_);
      stopped = true;
    }
    if (running_) {
      stopping_ = true;
      aborted_ = true;
      if (abortHandle_) winInet().InternetCloseHandle(abortHandle_);
      abortHandle_ = nullptr;
      stopped = true;
    }
  }
  if (!stopped) return false;
  for (int i = 0; i < 100 && running_; ++i) pause(10);
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
