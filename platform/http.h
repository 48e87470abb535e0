// HTTP GET of a small file into memory over WinINet. Blocking; any thread.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/handles.h"
#include "platform/system_library.h"
#include "platform/text.h"

namespace platform {

struct InternetHandleTraits {
  using pointer = HINTERNET;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer h) noexcept { winInet().InternetCloseHandle(h); }
};
using UniqueInternet = UniqueHandle<InternetHandleTraits>;

struct HttpTimeouts {
  DWORD connectMs = 5000;
  DWORD sendMs = 5000;
  DWORD receiveMs = 5000;
};

// A WinINet session with the system's proxy settings and the time-outs.
// Closing it from another thread aborts whatever its requests are blocked in.
// `proxy` empty: the system's settings. Empty when wininet.dll cannot be
// loaded from the system folder.
UniqueInternet openSession(const HttpTimeouts& timeouts, const std::string& userAgent = {},
                           const std::string& proxy = {});

// An HTTP GET that has been sent and answered 200. Declared before the
// request so that the request is closed first.
struct HttpRequest {
  UniqueInternet connection;
  UniqueInternet request;
  long long contentLength = -1;  // -1 when the server did not say (chunked)
};

// Sends a fresh GET for `url` (http or https; no cache) on `session`, with
// the time-outs set on every handle, following up to five redirects where
// redirectAllowed() lets them. nullopt unless the server answered 200; `status` (when given) gets
// the status of any answer, 0 when none came.
std::optional<HttpRequest> openGet(HINTERNET session, const std::string& url,
                                   const HttpTimeouts& timeouts, DWORD* status = nullptr);

// The whole body of a 200 answer, at most `maxBytes`; nullopt on any failure,
// any other status, a larger body, or when the whole fetch (connect, send,
// every read) is not done within `deadlineMs`, however the server paces its
// bytes. Returns by the deadline: a fetch still blocked then is abandoned to
// a thread of its own, which ends when WinINet lets go of it.
std::optional<Bytes> httpGet(const std::string& url, std::size_t maxBytes,
                             const HttpTimeouts& timeouts = {}, DWORD deadlineMs = 10000);

}  // namespace platform
