// HTTP GET of a small file into memory over WinINet. Blocking; any thread.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

#include <windows.h>
#include <wininet.h>

#include "platform/handles.h"
#include "platform/text.h"

namespace update {

struct InternetHandleTraits {
  using pointer = HINTERNET;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer h) noexcept { ::InternetCloseHandle(h); }
};
using UniqueInternet = platform::UniqueHandle<InternetHandleTraits>;

struct HttpTimeouts {
  DWORD connectMs = 5000;
  DWORD sendMs = 5000;
  DWORD receiveMs = 5000;
};

// An HTTP GET that has been sent and answered 200: session, connection and
// request handles, closed in reverse order.
struct HttpRequest {
  UniqueInternet session;
  UniqueInternet connection;
  UniqueInternet request;
  long long contentLength = -1;  // -1 when the server did not say (chunked)
};

// Sends a fresh GET for `url` (http or https; no cache, redirects followed,
// the system's proxy settings) with the time-outs set on every handle.
// nullopt unless the server answered 200.
std::optional<HttpRequest> openGet(const std::string& url, const HttpTimeouts& timeouts);

// The whole body of a 200 answer, at most `maxBytes`; nullopt on any failure,
// any other status, or a larger body.
std::optional<platform::Bytes> httpGet(const std::string& url, std::size_t maxBytes,
                                       const HttpTimeouts& timeouts = {});

}  // namespace update
