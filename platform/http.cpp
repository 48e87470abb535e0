#include "platform/http.h"

#include "build_config.h"
#include "platform/url.h"

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace platform {
namespace {

void setTimeouts(HINTERNET handle, const HttpTimeouts& timeouts) {
  DWORD value = timeouts.connectMs;
  winInet().InternetSetOptionA(handle, INTERNET_OPTION_CONNECT_TIMEOUT, &value, sizeof value);
  value = timeouts.sendMs;
  winInet().InternetSetOptionA(handle, INTERNET_OPTION_SEND_TIMEOUT, &value, sizeof value);
  value = timeouts.receiveMs;
  winInet().InternetSetOptionA(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &value, sizeof value);
}

}  // namespace

UniqueInternet openSession(const HttpTimeouts& timeouts, const std::string& userAgent,
                           const std::string& proxy) {
  const WinInetApi& api = winInet();
  if (!api) return {};
  const std::string ownAgent = std::string("Kelvora/") + build_config::kVersion;
  UniqueInternet session(
      api.InternetOpenA(userAgent.empty() ? ownAgent.c_str() : userAgent.c_str(),
                        proxy.empty() ? INTERNET_OPEN_TYPE_PRECONFIG : INTERNET_OPEN_TYPE_PROXY,
                        proxy.empty() ? nullptr : proxy.c_str(), nullptr, 0));
  if (session) setTimeouts(session.get(), timeouts);
  return session;
}

namespace {

constexpr int kMaxRedirects = 5;

bool isRedirect(DWORD status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// One GET of `url`, redirects not followed. nullopt when no answer came;
// `status` gets the answer's status and `location` its Location header.
std::optional<HttpRequest> sendGet(HINTERNET session, const std::string& url,
                                   const HttpTimeouts& timeouts, DWORD& status,
                                   std::string& location) {
  const WinInetApi& api = winInet();
  char host[256] = {};
  char path[2048] = {};
  URL_COMPONENTSA parts = {};
  parts.dwStructSize = sizeof parts;
  parts.lpszHostName = host;
  parts.dwHostNameLength = sizeof host;
  parts.lpszUrlPath = path;
  parts.dwUrlPathLength = sizeof path;
  if (!api.InternetCrackUrlA(url.c_str(), 0, 0, &parts)) return std::nullopt;
  const bool https = parts.nScheme == INTERNET_SCHEME_HTTPS;
  if (!https && parts.nScheme != INTERNET_SCHEME_HTTP) return std::nullopt;

  HttpRequest http;
  // Time-outs go on every handle: WinINet implementations differ in what they inherit.
  http.connection.reset(api.InternetConnectA(session, host, parts.nPort, nullptr, nullptr,
                                             INTERNET_SERVICE_HTTP, 0, 0));
  if (!http.connection) return std::nullopt;
  setTimeouts(http.connection.get(), timeouts);

  // Redirects are followed by openGet, which looks where each one leads.
  DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE |
                INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_AUTH |
                INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_NO_AUTO_REDIRECT;
  if (https) flags |= INTERNET_FLAG_SECURE;
  const char* accept[] = {"*/*", nullptr};
  http.request.reset(api.HttpOpenRequestA(http.connection.get(), "GET", path[0] ? path : "/",
                                          nullptr, nullptr, accept, flags, 0));
  if (!http.request) return std::nullopt;
  setTimeouts(http.request.get(), timeouts);
  if (!api.HttpSendRequestA(http.request.get(), nullptr, 0, nullptr, 0)) return std::nullopt;

  DWORD size = sizeof status;
  if (!api.HttpQueryInfoA(http.request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER,
                          &status, &size, nullptr)) {
    return std::nullopt;
  }
  char header[2048] = {};
  size = sizeof header - 1;
  if (isRedirect(status) &&
      api.HttpQueryInfoA(http.request.get(), HTTP_QUERY_LOCATION, header, &size, nullptr)) {
    location.assign(header, size);
  }
  char length[32] = {};
  size = sizeof length - 1;
  if (api.HttpQueryInfoA(http.request.get(), HTTP_QUERY_CONTENT_LENGTH, length, &size, nullptr)) {
    http.contentLength = std::strtoll(length, nullptr, 10);
  }
  return http;
}

// A Location header taken relative to the URL that answered with it.
std::string resolve(const std::string& base, const std::string& location) {
  char combined[2048] = {};
  DWORD size = sizeof combined;
  if (!winInet().InternetCombineUrlA(base.c_str(), location.c_str(), combined, &size, 0)) {
    return {};
  }
  return std::string(combined, size);
}

}  // namespace

std::optional<HttpRequest> openGet(HINTERNET session, const std::string& url,
                                   const HttpTimeouts& timeouts, DWORD* statusOut) {
  if (statusOut) *statusOut = 0;
  std::string current = url;
  for (int hop = 0; hop <= kMaxRedirects; ++hop) {
    DWORD status = 0;
    std::string location;
    std::optional<HttpRequest> http = sendGet(session, current, timeouts, status, location);
    if (!http) return std::nullopt;
    if (isRedirect(status)) {
      // Where a redirect may not lead (https to plain http), there is no answer.
      const std::string next = location.empty() ? std::string() : resolve(current, location);
      if (next.empty() || !redirectAllowed(current, next)) return std::nullopt;
      current = next;
      continue;
    }
    if (statusOut) *statusOut = status;
    if (status != 200) return std::nullopt;
    return http;
  }
  return std::nullopt;
}

namespace {

// What the caller and the fetching thread share. Whoever sets `abandoned`
// closes the session; the thread then drops its own handles unclosed, since
// closing the session closed them.
struct Fetch {
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  bool abandoned = false;
  std::optional<Bytes> body;
};

std::optional<Bytes> readBody(HttpRequest& http, std::size_t maxBytes, ULONGLONG deadline) {
  if (http.contentLength > static_cast<long long>(maxBytes)) return std::nullopt;
  Bytes body;
  char buffer[8192];
  for (;;) {
    DWORD got = 0;
    if (::GetTickCount64() >= deadline ||
        !winInet().InternetReadFile(http.request.get(), buffer, sizeof buffer, &got)) {
      return std::nullopt;
    }
    if (got == 0) break;
    if (body.size() + got > maxBytes) return std::nullopt;
    body.append(buffer, got);
  }
  // A body cut short is not the file the server announced.
  if (http.contentLength >= 0 && static_cast<long long>(body.size()) != http.contentLength) {
    return std::nullopt;
  }
  return body;
}

}  // namespace

std::optional<Bytes> httpGet(const std::string& url, std::size_t maxBytes,
                             const HttpTimeouts& timeouts, DWORD deadlineMs) {
  const ULONGLONG deadline = ::GetTickCount64() + deadlineMs;
  UniqueInternet session = openSession(timeouts);
  if (!session) return std::nullopt;
  auto fetch = std::make_shared<Fetch>();
  const HINTERNET shared = session.get();
  try {
    std::thread([fetch, shared, url, maxBytes, timeouts, deadline] {
      std::optional<HttpRequest> http;
      std::optional<Bytes> body;
      try {
        http = openGet(shared, url, timeouts);
        if (http) body = readBody(*http, maxBytes, deadline);
      } catch (...) {
        body.reset();
      }
      std::lock_guard lock(fetch->mutex);
      if (http && fetch->abandoned) {
        http->request.release();
        http->connection.release();
      }
      http.reset();
      fetch->body = std::move(body);
      fetch->done = true;
      fetch->finished.notify_all();
    }).detach();
  } catch (...) {
    return std::nullopt;
  }
  std::unique_lock lock(fetch->mutex);
  const auto left = std::chrono::milliseconds(deadline - std::min(deadline, ::GetTickCount64()));
  if (fetch->finished.wait_for(lock, left, [&] { return fetch->done; })) {
    return std::move(fetch->body);
  }
  // Closing the session aborts a call blocked in it (Wine lets such a call
  // run to its own time-out; the thread ends then).
  fetch->abandoned = true;
  lock.unlock();
  session.reset();
  return std::nullopt;
}

}  // namespace platform
