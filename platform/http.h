// HTTP GET over WinINet: one owner for an abortable session, used by the
// version fetch and by the download engine. Workers only; results reach the
// UI thread through platform/ui_post.
#pragma once

#include <cstdlib>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/system_library.h"
#include "platform/text.h"

namespace platform {

struct HttpTimeouts {
  DWORD connectMs = 5000;
  DWORD sendMs = 5000;
  DWORD receiveMs = 5000;
};

class InternetSession;

// A handle of a session (connection or request), move-only. It is closed
// through its session, which skips it once an abort has closed the session
// (see InternetSession).
class SessionHandle {
 public:
  SessionHandle() noexcept = default;
  SessionHandle(InternetSession& session, HINTERNET handle) noexcept;
  ~SessionHandle() { reset(); }
  SessionHandle(SessionHandle&& other) noexcept;
  SessionHandle& operator=(SessionHandle&& other) noexcept;
  SessionHandle(const SessionHandle&) = delete;
  SessionHandle& operator=(const SessionHandle&) = delete;

  HINTERNET get() const noexcept { return handle_; }
  explicit operator bool() const noexcept { return handle_ != nullptr; }
  void reset() noexcept;

 private:
  InternetSession* session_ = nullptr;
  HINTERNET handle_ = nullptr;
};

// An HTTP GET that has been sent and answered 200. The request is declared
// after the connection, so that it is closed first.
struct HttpRequest {
  SessionHandle connection;
  SessionHandle request;
  long long contentLength = -1;  // -1 when the server did not say (chunked)
  DWORD status = 0;              // of the last answer; 0 when none came
};

// A WinINet session (the system's proxy settings unless `proxy` is given)
// whose work one worker does and any thread may abort. `api` is the WinINet
// table (tests count closes through their own).
//
// The one rule for its handles: closing the session closes every handle
// opened from it (WinINet invalidates a handle's children with it; Wine's
// invalidate_handle does so "as native does"). So each handle is closed
// once: by its owner while the session is open, or by the abort with the
// session, and by nobody after the abort. That holds for a handle that a
// call under way hands over after the abort too: it is dropped, not closed
// (at worst it leaks; a second close could hit a value WinINet has already
// given to someone else). The worker takes a handle for a call only under
// the lock, and only before the abort; an abort during a call is what ends
// it (on Windows).
class InternetSession {
 public:
  explicit InternetSession(const HttpTimeouts& timeouts, const std::string& userAgent = {},
                           const std::string& proxy = {}, const WinInetApi& api = winInet());
  ~InternetSession();
  InternetSession(const InternetSession&) = delete;
  InternetSession& operator=(const InternetSession&) = delete;

  // False when WinINet could not be loaded or opened, or after abort().
  explicit operator bool() const;
  const WinInetApi& api() const { return api_; }

  // Any thread: closes the session, which ends whatever call its worker is
  // blocked in (on Windows; Wine lets it run to its time-out). Every later
  // call of the worker fails. Idempotent.
  void abort() noexcept;

  // Sends a fresh GET for `url` (http or https, else no answer; no cache),
  // with the time-outs set on every handle, following up to five redirects
  // where redirectAllowed() lets them. nullopt unless the server answered 200;
  // `status` (when given) gets the status of the last answer, 0 when none.
  std::optional<HttpRequest> get(const std::string& url, DWORD* status = nullptr);

  // One read of up to `size` bytes; false on failure or after an abort.
  bool read(const HttpRequest& http, char* buffer, DWORD size, DWORD& got);

 private:
  friend class SessionHandle;
  SessionHandle adopt(HINTERNET handle);
  void close(HINTERNET handle) noexcept;
  // `handle` (the session's own or one it holds open) for one call; null
  // after the abort or once its owner closed it.
  HINTERNET live(HINTERNET handle) const;
  void setTimeouts(HINTERNET handle) const;
  std::optional<HttpRequest> sendGet(const std::string& url, std::string& location);

  const WinInetApi& api_;
  HttpTimeouts timeouts_;
  mutable std::mutex mutex_;  // guards the members below
  HINTERNET session_ = nullptr;
  std::vector<HINTERNET> open_;  // handles of the session not yet closed
  bool aborted_ = false;
};

// Fetches the whole body of a 200 answer, at most `maxBytes`, on a thread of
// its own. `done` runs once, on the UI thread (through postToUi), with the
// body, or nullopt on any failure, any other status, a larger body, or when
// the whole fetch is not done within `deadlineMs`, however the server paces
// its bytes: then the session is aborted and `done` runs at the deadline,
// whatever WinINet still does with the abandoned call. UI thread.
void httpGetAsync(const std::string& url, std::size_t maxBytes, const HttpTimeouts& timeouts,
                  DWORD deadlineMs, std::function<void(std::optional<Bytes>)> done);

}  // namespace platform
