#include "platform/http.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>
#include <utility>

#include "build_config.h"
#include "platform/handles.h"
#include "platform/ui_post.h"
#include "platform/url.h"

namespace platform {
namespace {

constexpr int kMaxRedirects = 5;

bool isRedirect(DWORD status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

}  // namespace

SessionHandle::SessionHandle(InternetSession& session, HINTERNET handle) noexcept
    : session_(&session), handle_(handle) {}

SessionHandle::SessionHandle(SessionHandle&& other) noexcept
    : session_(std::exchange(other.session_, nullptr)),
      handle_(std::exchange(other.handle_, nullptr)) {}

SessionHandle& SessionHandle::operator=(SessionHandle&& other) noexcept {
  if (this != &other) {
    reset();
    session_ = std::exchange(other.session_, nullptr);
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

void SessionHandle::reset() noexcept {
  if (session_ && handle_) session_->close(handle_);
  session_ = nullptr;
  handle_ = nullptr;
}

InternetSession::InternetSession(const HttpTimeouts& timeouts, const std::string& userAgent,
                                 const std::string& proxy, const WinInetApi& api)
    : api_(api), timeouts_(timeouts) {
  if (!api_) return;
  const std::string ownAgent = std::string("Kelvora/") + build_config::kVersion;
  session_ =
      api_.InternetOpenA(userAgent.empty() ? ownAgent.c_str() : userAgent.c_str(),
                         proxy.empty() ? INTERNET_OPEN_TYPE_PRECONFIG : INTERNET_OPEN_TYPE_PROXY,
                         proxy.empty() ? nullptr : proxy.c_str(), nullptr, 0);
  if (session_) setTimeouts(session_);
}

InternetSession::~InternetSession() {
  std::lock_guard lock(mutex_);
  if (aborted_ || !session_) return;
  // Children first, newest first; then the session itself.
  for (auto it = open_.rbegin(); it != open_.rend(); ++it) api_.InternetCloseHandle(*it);
  open_.clear();
  api_.InternetCloseHandle(session_);
}

InternetSession::operator bool() const {
  std::lock_guard lock(mutex_);
  return session_ && !aborted_;
}

void InternetSession::abort() noexcept {
  std::lock_guard lock(mutex_);
  if (aborted_ || !session_) {
    aborted_ = true;
    return;
  }
  aborted_ = true;
  api_.InternetCloseHandle(session_);
  open_.clear();  // closed with the session: never again by their owners
}

SessionHandle InternetSession::adopt(HINTERNET handle) {
  if (!handle) return {};
  std::lock_guard lock(mutex_);
  // Opened from the session that the abort closed, and closed with it.
  if (aborted_) return {};
  open_.push_back(handle);
  return SessionHandle(*this, handle);
}

void InternetSession::close(HINTERNET handle) noexcept {
  std::lock_guard lock(mutex_);
  const auto it = std::find(open_.begin(), open_.end(), handle);
  if (it == open_.end()) return;  // the abort closed it
  open_.erase(it);
  api_.InternetCloseHandle(handle);
}

HINTERNET InternetSession::live(HINTERNET handle) const {
  std::lock_guard lock(mutex_);
  if (aborted_ || !handle) return nullptr;
  if (handle == session_ || std::find(open_.begin(), open_.end(), handle) != open_.end()) {
    return handle;
  }
  return nullptr;
}

void InternetSession::setTimeouts(HINTERNET handle) const {
  DWORD value = timeouts_.connectMs;
  api_.InternetSetOptionA(handle, INTERNET_OPTION_CONNECT_TIMEOUT, &value, sizeof value);
  value = timeouts_.sendMs;
  api_.InternetSetOptionA(handle, INTERNET_OPTION_SEND_TIMEOUT, &value, sizeof value);
  value = timeouts_.receiveMs;
  api_.InternetSetOptionA(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &value, sizeof value);
}

// One GET of `url`, redirects not followed. nullopt when no answer came;
// the answer's status is in the result, its Location header in `location`.
std::optional<HttpRequest> InternetSession::sendGet(const std::string& url, std::string& location) {
  char host[256] = {};
  char path[2048] = {};
  URL_COMPONENTSA parts = {};
  parts.dwStructSize = sizeof parts;
  parts.lpszHostName = host;
  parts.dwHostNameLength = sizeof host;
  parts.lpszUrlPath = path;
  parts.dwUrlPathLength = sizeof path;
  if (!api_.InternetCrackUrlA(url.c_str(), 0, 0, &parts)) return std::nullopt;
  const bool https = parts.nScheme == INTERNET_SCHEME_HTTPS;

  HttpRequest http;
  // Each handle is taken anew for each call: after an abort there is none.
  const HINTERNET session = live(session_);
  if (!session) return std::nullopt;
  // Time-outs go on every handle: WinINet implementations differ in what they inherit.
  http.connection = adopt(api_.InternetConnectA(session, host, parts.nPort, nullptr, nullptr,
                                                INTERNET_SERVICE_HTTP, 0, 0));
  HINTERNET connection = live(http.connection.get());
  if (!connection) return std::nullopt;
  setTimeouts(connection);

  // Redirects are followed by get(), which looks where each one leads.
  DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE |
                INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_AUTH |
                INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_NO_AUTO_REDIRECT;
  if (https) flags |= INTERNET_FLAG_SECURE;
  const char* accept[] = {"*/*", nullptr};
  connection = live(http.connection.get());
  if (!connection) return std::nullopt;
  http.request = adopt(api_.HttpOpenRequestA(connection, "GET", path[0] ? path : "/", nullptr,
                                             nullptr, accept, flags, 0));
  HINTERNET request = live(http.request.get());
  if (!request) return std::nullopt;
  setTimeouts(request);
  if (!(request = live(request)) || !api_.HttpSendRequestA(request, nullptr, 0, nullptr, 0)) {
    return std::nullopt;
  }

  DWORD size = sizeof http.status;
  if (!(request = live(request)) ||
      !api_.HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &http.status,
                           &size, nullptr)) {
    return std::nullopt;
  }
  char header[2048] = {};
  size = sizeof header - 1;
  if (isRedirect(http.status) && (request = live(request)) &&
      api_.HttpQueryInfoA(request, HTTP_QUERY_LOCATION, header, &size, nullptr)) {
    location.assign(header, size);
  }
  char length[32] = {};
  size = sizeof length - 1;
  if ((request = live(request)) &&
      api_.HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, length, &size, nullptr)) {
    http.contentLength = std::strtoll(length, nullptr, 10);
  }
  return http;
}

std::optional<HttpRequest> InternetSession::get(const std::string& url, DWORD* statusOut) {
  if (statusOut) *statusOut = 0;
  // Every URL fetched passes the redirect rule from the one before it; the
  // first from itself, which lets only http and https through.
  std::string previous = url;
  std::string current = url;
  for (int hop = 0; hop <= kMaxRedirects; ++hop) {
    if (!redirectAllowed(previous, current)) return std::nullopt;
    std::string location;
    std::optional<HttpRequest> http = sendGet(current, location);
    if (!http) return std::nullopt;
    if (statusOut) *statusOut = http->status;
    if (isRedirect(http->status)) {
      // Resolved here; the rule at the top of the loop decides where it may lead.
      char combined[2048] = {};
      DWORD size = sizeof combined;
      const bool resolved =
          !location.empty() &&
          api_.InternetCombineUrlA(current.c_str(), location.c_str(), combined, &size, 0);
      if (!resolved) return std::nullopt;
      previous = std::exchange(current, std::string(combined, size));
      continue;
    }
    if (http->status != 200) return std::nullopt;
    return http;
  }
  return std::nullopt;
}

bool InternetSession::read(const HttpRequest& http, char* buffer, DWORD size, DWORD& got) {
  got = 0;
  const HINTERNET request = live(http.request.get());
  return request && api_.InternetReadFile(request, buffer, size, &got);
}

namespace {

// What the fetching thread and the deadline share. Whichever comes first
// answers; the deadline also aborts the session.
struct AsyncFetch {
  explicit AsyncFetch(std::function<void(std::optional<Bytes>)> callback)
      : done(std::move(callback)) {}
  std::function<void(std::optional<Bytes>)> done;
  std::atomic<bool> answered{false};
  std::mutex mutex;  // guards the two members below
  std::unique_ptr<InternetSession> session;
  bool expired = false;

  void answer(std::optional<Bytes> body) {
    if (answered.exchange(true)) return;
    postToUi([done = done, body = std::move(body)]() mutable { done(std::move(body)); });
  }
};

void CALLBACK onDeadline(void* context, BOOLEAN) {
  auto* fetch = static_cast<AsyncFetch*>(context);
  {
    std::lock_guard lock(fetch->mutex);
    fetch->expired = true;
    if (fetch->session) fetch->session->abort();
  }
  fetch->answer(std::nullopt);
}

std::optional<Bytes> fetchBody(InternetSession& session, const std::string& url,
                               std::size_t maxBytes, ULONGLONG deadline) {
  std::optional<HttpRequest> http = session.get(url);
  if (!http || http->contentLength > static_cast<long long>(maxBytes)) return std::nullopt;
  Bytes body;
  char buffer[8192];
  for (;;) {
    DWORD got = 0;
    if (::GetTickCount64() >= deadline || !session.read(*http, buffer, sizeof buffer, got)) {
      return std::nullopt;
    }
    if (got == 0) break;
    if (body.size() + got > maxBytes) return std::nullopt;
    body.append(buffer, got);
  }
  // A body cut short is not the file the server announced.
  if (http->contentLength >= 0 && static_cast<long long>(body.size()) != http->contentLength) {
    return std::nullopt;
  }
  return body;
}

}  // namespace

void httpGetAsync(const std::string& url, std::size_t maxBytes, const HttpTimeouts& timeouts,
                  DWORD deadlineMs, std::function<void(std::optional<Bytes>)> done) {
  auto fetch = std::make_shared<AsyncFetch>(std::move(done));
  const ULONGLONG deadline = ::GetTickCount64() + deadlineMs;
  try {
    std::thread([fetch, url, maxBytes, timeouts, deadline, deadlineMs] {
      try {
        UniqueTimer timer;
        ::CreateTimerQueueTimer(timer.put(), nullptr, onDeadline, fetch.get(), deadlineMs, 0,
                                WT_EXECUTEONLYONCE);
        // Made here, not on the UI thread: loading WinINet takes a while.
        auto made = std::make_unique<InternetSession>(timeouts);
        InternetSession* session = made.get();
        {
          std::lock_guard lock(fetch->mutex);
          if (fetch->expired) made->abort();
          fetch->session = std::move(made);
        }
        fetch->answer(fetchBody(*session, url, maxBytes, deadline));
        // The timer goes here, waiting for a callback under way: it uses `fetch`.
      } catch (...) {
        fetch->answer(std::nullopt);
      }
    }).detach();
  } catch (...) {
    fetch->answer(std::nullopt);
  }
}

}  // namespace platform
