// A small HTTP/1.1 server on 127.0.0.1 inside the test process, with the
// fault modes the updater must survive. Each connection gets one answer and
// is closed. Stops and joins all its threads in the destructor.
#pragma once

#include <winsock2.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace testing_support {

struct Response {
  int status = 200;
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;  // extra ones, e.g. Location
  bool hang = false;         // read the request, answer nothing until releaseHung(), then close
  bool chunked = false;      // Transfer-Encoding: chunked
  long long announce = -1;   // Content-Length to announce (-1: the body's size)
  long long dropAfter = -1;  // close after this many body bytes (-1: send all)
  bool stallAtDrop = false;  // at dropAfter, go silent instead of closing
  std::size_t pieceSize = 65536;  // bytes per send
  unsigned pieceDelayMs = 0;      // pause after each piece (throttling)
  bool trickleHead = false;       // the head too, one byte per piece delay
  unsigned answerAfterMs = 0;     // silence after the request before any answer
  bool answerOnRelease = false;   // silence until releaseHung(), then the answer
};

// What the test builds ask for (their update server is 127.0.0.1 on this
// port, one port per architecture).
inline constexpr unsigned short kTestPort = KELVORA_TEST_PORT;
inline constexpr char kVersionPath[] = "/kelvora/version.txt";
inline constexpr char kExePath[] = "/kelvora/Kelvora.exe";

// An answer with `status` and `body` and nothing special.
Response answer(int status, std::string body);

class HttpServer {
 public:
  explicit HttpServer(unsigned short port = kTestPort);
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  bool listening() const { return listener_ != INVALID_SOCKET; }
  void route(const std::string& path, Response response);
  int hits(const std::string& path) const;
  // Requests for `path` whose answer has been sent in full (or cut as asked).
  int answered(const std::string& path) const;
  // Of those, the ones whose client has since closed the connection: it is
  // done with the answer (a WinINet client, once its request handle is gone).
  int hungUp(const std::string& path) const;
  // Answers every request from now on with `response`, whatever its path.
  void answerAll(Response response);
  // Hung connections are closed without an answer, now and from now on.
  void releaseHung() { released_ = true; }

 private:
  void acceptLoop();
  void serve(SOCKET client);

  SOCKET listener_ = INVALID_SOCKET;
  std::atomic<bool> stop_{false};
  std::atomic<bool> released_{false};
  mutable std::mutex mutex_;
  std::map<std::string, Response> routes_;
  std::map<std::string, int> hits_;
  std::map<std::string, int> answered_;
  std::map<std::string, int> hungUp_;
  bool answerAll_ = false;
  Response all_;
  std::vector<std::thread> workers_;
  std::thread acceptor_;
};

}  // namespace testing_support
