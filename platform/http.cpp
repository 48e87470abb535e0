#include "platform/http.h"

namespace platform {
namespace {

void setTimeouts(HINTERNET handle, const HttpTimeouts& timeouts) {
  DWORD value = timeouts.connectMs;
  ::InternetSetOptionA(handle, INTERNET_OPTION_CONNECT_TIMEOUT, &value, sizeof value);
  value = timeouts.sendMs;
  ::InternetSetOptionA(handle, INTERNET_OPTION_SEND_TIMEOUT, &value, sizeof value);
  value = timeouts.receiveMs;
  ::InternetSetOptionA(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &value, sizeof value);
}

}  // namespace

UniqueInternet openSession(const HttpTimeouts& timeouts, const std::string& userAgent,
                           const std::string& proxy) {
  UniqueInternet session(
      ::InternetOpenA(userAgent.empty() ? "Kelvora/1.2" : userAgent.c_str(),
                      proxy.empty() ? INTERNET_OPEN_TYPE_PRECONFIG : INTERNET_OPEN_TYPE_PROXY,
                      proxy.empty() ? nullptr : proxy.c_str(), nullptr, 0));
  if (session) setTimeouts(session.get(), timeouts);
  return session;
}

std::optional<HttpRequest> openGet(HINTERNET session, const std::string& url,
                                   const HttpTimeouts& timeouts, DWORD* statusOut) {
  if (statusOut) *statusOut = 0;
  char host[256] = {};
  char path[2048] = {};
  URL_COMPONENTSA parts = {};
  parts.dwStructSize = sizeof parts;
  parts.lpszHostName = host;
  parts.dwHostNameLength = sizeof host;
  parts.lpszUrlPath = path;
  parts.dwUrlPathLength = sizeof path;
  if (!::InternetCrackUrlA(url.c_str(), 0, 0, &parts)) return std::nullopt;
  const bool https = parts.nScheme == INTERNET_SCHEME_HTTPS;
  if (!https && parts.nScheme != INTERNET_SCHEME_HTTP) return std::nullopt;

  HttpRequest http;
  // Time-outs go on every handle: WinINet implementations differ in what they inherit.
  http.connection.reset(::InternetConnectA(session, host, parts.nPort, nullptr, nullptr,
                                           INTERNET_SERVICE_HTTP, 0, 0));
  if (!http.connection) return std::nullopt;
  setTimeouts(http.connection.get(), timeouts);

  DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE |
                INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_AUTH |
                INTERNET_FLAG_KEEP_CONNECTION;
  if (https) flags |= INTERNET_FLAG_SECURE;
  const char* accept[] = {"*/*", nullptr};
  http.request.reset(::HttpOpenRequestA(http.connection.get(), "GET", path[0] ? path : "/", nullptr,
                                        nullptr, accept, flags, 0));
  if (!http.request) return std::nullopt;
  setTimeouts(http.request.get(), timeouts);
  if (!::HttpSendRequestA(http.request.get(), nullptr, 0, nullptr, 0)) return std::nullopt;

  DWORD status = 0;
  DWORD size = sizeof status;
  if (!::HttpQueryInfoA(http.request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER,
                        &status, &size, nullptr)) {
    return std::nullopt;
  }
  if (statusOut) *statusOut = status;
  if (status != 200) return std::nullopt;
  char length[32] = {};
  size = sizeof length - 1;
  if (::HttpQueryInfoA(http.request.get(), HTTP_QUERY_CONTENT_LENGTH, length, &size, nullptr)) {
    http.contentLength = std::strtoll(length, nullptr, 10);
  }
  return http;
}

std::optional<Bytes> httpGet(const std::string& url, std::size_t maxBytes,
                             const HttpTimeouts& timeouts) {
  UniqueInternet session = openSession(timeouts);
  if (!session) return std::nullopt;
  auto http = openGet(session.get(), url, timeouts);
  if (!http) return std::nullopt;
  if (http->contentLength > static_cast<long long>(maxBytes)) return std::nullopt;
  Bytes body;
  char buffer[8192];
  for (;;) {
    DWORD got = 0;
    if (!::InternetReadFile(http->request.get(), buffer, sizeof buffer, &got)) {
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

}  // namespace platform
