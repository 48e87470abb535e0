#include "support/http_server.h"

#include <ws2tcpip.h>

#include <cstdio>
#include <cstring>

namespace testing_support {
namespace {

bool sendAll(SOCKET s, const char* data, std::size_t size) {
  while (size > 0) {
    const int n = ::send(s, data, static_cast<int>(size), 0);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

const char* reason(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 302:
      return "Found";
    case 404:
      return "Not Found";
    case 500:
      return "Internal Server Error";
    default:
      return "Status";
  }
}

}  // namespace

Response answer(int status, std::string body) {
  Response r;
  r.status = status;
  r.body = std::move(body);
  return r;
}

HttpServer::HttpServer(unsigned short port) {
  WSADATA data;
  ::WSAStartup(MAKEWORD(2, 2), &data);
  listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (listener_ == INVALID_SOCKET) return;
  BOOL exclusive = TRUE;
  ::setsockopt(listener_, SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
               reinterpret_cast<const char*>(&exclusive), sizeof exclusive);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = ::htons(port);
  address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener_, 16) != 0) {
    ::closesocket(listener_);
    listener_ = INVALID_SOCKET;
    return;
  }
  acceptor_ = std::thread([this] { acceptLoop(); });
}

HttpServer::~HttpServer() {
  stop_ = true;
  if (acceptor_.joinable()) acceptor_.join();
  for (std::thread& t : workers_) t.join();
  if (listener_ != INVALID_SOCKET) ::closesocket(listener_);
  ::WSACleanup();
}

void HttpServer::route(const std::string& path, Response response) {
  std::lock_guard lock(mutex_);
  routes_[path] = std::move(response);
}

void HttpServer::answerAll(Response response) {
  std::lock_guard lock(mutex_);
  answerAll_ = true;
  all_ = std::move(response);
}

int HttpServer::hits(const std::string& path) const {
  std::lock_guard lock(mutex_);
  const auto it = hits_.find(path);
  return it == hits_.end() ? 0 : it->second;
}

int HttpServer::answered(const std::string& path) const {
  std::lock_guard lock(mutex_);
  const auto it = answered_.find(path);
  return it == answered_.end() ? 0 : it->second;
}

int HttpServer::hungUp(const std::string& path) const {
  std::lock_guard lock(mutex_);
  const auto it = hungUp_.find(path);
  return it == hungUp_.end() ? 0 : it->second;
}

void HttpServer::acceptLoop() {
  while (!stop_) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(listener_, &set);
    timeval wait = {0, 100000};
    if (::select(0, &set, nullptr, nullptr, &wait) <= 0) continue;
    SOCKET client = ::accept(listener_, nullptr, nullptr);
    if (client == INVALID_SOCKET) continue;
    workers_.emplace_back([this, client] { serve(client); });
  }
}

void HttpServer::serve(SOCKET client) {
  // Read up to the end of the request head.
  std::string request;
  char buffer[4096];
  while (request.find("\r\n\r\n") == std::string::npos && !stop_) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(client, &set);
    timeval wait = {0, 100000};
    if (::select(0, &set, nullptr, nullptr, &wait) <= 0) continue;
    const int n = ::recv(client, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    request.append(buffer, n);
  }
  const auto firstSpace = request.find(' ');
  const auto secondSpace = request.find(' ', firstSpace + 1);
  const std::string path = firstSpace == std::string::npos
                               ? std::string()
                               : request.substr(firstSpace + 1, secondSpace - firstSpace - 1);
  Response response;
  bool found = false;
  {
    std::lock_guard lock(mutex_);
    ++hits_[path];
    if (answerAll_) {
      response = all_;
      found = true;
    } else if (const auto it = routes_.find(path); it != routes_.end()) {
      response = it->second;
      found = true;
    }
  }
  if (!found) {
    response.status = 404;
    response.body = "<html>not here</html>";
  }
  if (response.hang) {
    while (!stop_ && !released_) ::Sleep(50);
    ::closesocket(client);
    return;
  }
  while (response.answerOnRelease && !stop_ && !released_) ::Sleep(50);
  for (unsigned waited = 0; waited < response.answerAfterMs && !stop_; waited += 50) ::Sleep(50);
  std::string head = "HTTP/1.1 " + std::to_string(response.status) + " " + reason(response.status) +
                     "\r\nConnection: close\r\n";
  if (response.chunked) {
    head += "Transfer-Encoding: chunked\r\n";
  } else {
    const long long length =
        response.announce >= 0 ? response.announce : static_cast<long long>(response.body.size());
    head += "Content-Length: " + std::to_string(length) + "\r\n";
  }
  for (const auto& [name, value] : response.headers) head += name + ": " + value + "\r\n";
  head += "\r\n";
  bool ok = true;
  if (response.trickleHead) {
    for (std::size_t i = 0; ok && i < head.size() && !stop_; ++i) {
      ok = sendAll(client, head.data() + i, 1);
      ::Sleep(response.pieceDelayMs);
    }
  } else {
    ok = sendAll(client, head.data(), head.size());
  }
  std::size_t sent = 0;
  const std::size_t limit =
      response.dropAfter >= 0 ? static_cast<std::size_t>(response.dropAfter) : response.body.size();
  while (ok && sent < limit && !stop_) {
    const std::size_t n = std::min(response.pieceSize, limit - sent);
    if (response.chunked) {
      char size[32];
      std::snprintf(size, sizeof size, "%zx\r\n", n);
      ok = sendAll(client, size, std::strlen(size)) &&
           sendAll(client, response.body.data() + sent, n) && sendAll(client, "\r\n", 2);
    } else {
      ok = sendAll(client, response.body.data() + sent, n);
    }
    sent += n;
    if (response.pieceDelayMs) ::Sleep(response.pieceDelayMs);
  }
  if (ok && response.stallAtDrop) {
    while (!stop_) ::Sleep(50);
  }
  if (ok && response.chunked && response.dropAfter < 0) sendAll(client, "0\r\n\r\n", 5);
  ::shutdown(client, SD_SEND);
  {
    std::lock_guard lock(mutex_);
    ++answered_[path];
  }
  // Until the client lets go (what it still sends is read and dropped), or
  // the server stops.
  while (!stop_) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(client, &set);
    timeval wait = {0, 50000};
    const int ready = ::select(0, &set, nullptr, nullptr, &wait);
    if (ready == 0) continue;
    if (ready < 0 || ::recv(client, buffer, sizeof buffer, 0) <= 0) {
      std::lock_guard lock(mutex_);
      ++hungUp_[path];
      break;
    }
  }
  ::closesocket(client);
}

}  // namespace testing_support
