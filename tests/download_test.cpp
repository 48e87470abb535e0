// The download engine on its own, with its events pumped on this thread.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/download.h"
#include "update/updater.h"
#include "platform/files.h"
#include "platform/hash.h"
#include "platform/hex.h"
#include "platform/http.h"
#include "platform/ui_post.h"
#include "support/http_server.h"
#include "support/paths.h"
#include "support/waits.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <optional>

namespace {

using testing_support::HttpServer;
using testing_support::Response;

std::vector<std::pair<int, int>> g_events;
int recordEvent(int type, int, int value, int, int) {
  g_events.emplace_back(type, value);
  return 0;
}

bool underWine() {
  return ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
}

class DownloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_events.clear();
    task_.source = "http://127.0.0.1:" + std::to_string(testing_support::kTestPort) + "/file.exe";
    task_.destination = destination_;
    task_.readSize = 4096;
    task_.receiveTimeoutMs = 8000;
    task_.onEvent = recordEvent;
  }
  // Serves `file` (a fresh server each time) and starts `engine` on it.
  void startOn(const Response& file, platform::Downloader& engine,
               platform::DownloadChecks checks = {}) {
    server_.reset();
    server_ = std::make_unique<HttpServer>();
    server_->route("/file.exe", file);
    ASSERT_TRUE(engine.start(task_, temp_, std::move(checks)));
  }
  // Pumps this thread's messages, through which the events arrive.
  static bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    return testing_support::waitFor(done, timeoutMs, true);
  }
  static bool completed() {
    return !g_events.empty() && g_events.back().first == platform::kComplete;
  }
  static int ends() {
    int count = 0;
    for (const auto& event : g_events) {
      count += event.first == platform::kComplete || event.first == platform::kFailed;
    }
    return count;
  }
  static bool ended() { return ends() > 0; }
  // Every event posted before this call has been delivered: a closure
  // posted now runs after them.
  static bool delivered() {
    auto ran = std::make_shared<bool>(false);
    return platform::postToUi([ran] { *ran = true; }) && pumpUntil([&] { return *ran; }, 5000);
  }

  testing_support::TempFolder folder_{"kelvora-dl"};
  const std::string temp_ = folder_ / "file.part";
  const std::string destination_ = folder_ / "file.exe";
  platform::DownloadTask task_;
  std::unique_ptr<HttpServer> server_;
};

Response file(std::string body) {
  return testing_support::answer(200, std::move(body));
}

TEST_F(DownloadTest, CompletesWithBothEventsOnThisThread) {
  const Response r = file("MZ" + std::string(300000, 'k'));
  platform::Downloader engine;
  startOn(r, engine);
  ASSERT_TRUE(pumpUntil(completed, 20000));
  ASSERT_EQ(g_events.size(), 2u);
  EXPECT_EQ(g_events[0], std::make_pair(3, 300002));
  EXPECT_EQ(platform::readFile(destination_), r.body);
  EXPECT_FALSE(platform::fileExists(temp_));
  EXPECT_LE(engine.received(), 0) << "nothing runs any more";
  EXPECT_EQ(engine.result().size, 300002);
  EXPECT_EQ(engine.result().sha256, platform::toHex(platform::sha256(r.body)));
}

TEST_F(DownloadTest, ChecksDecideWhatCompletes) {
  const std::string body = "MZ" + std::string(100000, 'c');
  const std::string sha = platform::toHex(platform::sha256(body));
  const Response plain = file(body);
  Response chunked = plain;
  chunked.chunked = true;
  Response trailing = chunked;
  // More than one read past the end, and then silence: only counting ends it.
  trailing.body += std::string(8192, 's');
  trailing.stallAtDrop = true;
  trailing.dropAfter = static_cast<long long>(trailing.body.size());
  Response cut = chunked;
  cut.dropAfter = 50000;
  Response dropped = plain;  // its whole length announced, then the connection closes
  dropped.dropAfter = 50000;
  auto checks = [](long long size, std::string sha256, bool lengthRequired) {
    platform::DownloadChecks c;
    c.size = size;
    c.sha256 = std::move(sha256);
    c.head = "MZ";
    c.lengthRequired = lengthRequired;
    return c;
  };
  const long long n = static_cast<long long>(body.size());
  Response missing = testing_support::answer(404, "<html>404</html>");
  // The announced length alone tells: what follows would take the receive time-out.
  Response overAnnounced = plain;
  overAnnounced.announce = platform::kMaxDownloadBytes + 1;
  overAnnounced.stallAtDrop = true;
  overAnnounced.dropAfter = 1000;
  using F = platform::DownloadFailure;
  struct Case {
    const char* what;
    Response response;
    platform::DownloadChecks checks;
    std::optional<F> failure;  // none: it completes
  };
  const Case cases[] = {
      {"size and hash", plain, checks(n, sha, true), {}},
      {"chunked with size and hash", chunked, checks(n, sha, true), {}},
      {"announced length differs from the size", plain, checks(n - 1, "", false), F::TooLong},
      {"more bytes than the size", trailing, checks(n, "", false), F::TooLong},
      // Chunked and cut: without a length it looks whole, and only the hash tells.
      {"cut short, hash only", cut, checks(-1, sha, false), F::Hash},
      {"cut short, no length known", cut, checks(-1, "", true), F::Short},
      {"dropped halfway, length announced", dropped, checks(n, sha, true), F::Short},
      {"no length known, none required", chunked, checks(-1, "", false), {}},
      {"wrong hash", plain, checks(n, std::string(64, '0'), true), F::Hash},
      {"wrong head", plain,
       [&] {
         auto c = checks(n, sha, true);
         c.head = "PK";
         return c;
       }(),
       F::Head},
      {"over the cap", plain,
       [&] {
         auto c = checks(-1, "", false);
         c.maxSize = n - 1;
         return c;
       }(),
       F::TooLong},
      // No length announced: only the count of what arrives can stop it.
      {"over the cap, chunked", chunked,
       [&] {
         auto c = checks(-1, "", false);
         c.maxSize = n - 1;
         return c;
       }(),
       F::TooLong},
      {"404", missing, checks(-1, "", false), F::Status},
      {"over 64 MiB announced, though the checks allow more", overAnnounced,
       [&] {
         auto c = checks(-1, "", false);
         c.maxSize = 2 * platform::kMaxDownloadBytes;
         return c;
       }(),
       F::TooLong},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    g_events.clear();
    platform::Downloader engine;
    startOn(c.response, engine, c.checks);
    // Every transfer ends in exactly one event, and a failure says why.
    ASSERT_TRUE(pumpUntil(ended, 15000)) << "ends by itself";
    engine.shutdown();  // the worker has posted all it will
    ASSERT_TRUE(delivered());
    EXPECT_EQ(ends(), 1);
    EXPECT_EQ(completed(), !c.failure);
    if (c.failure) {
      EXPECT_EQ(g_events.back().second, static_cast<int>(*c.failure));
      EXPECT_EQ(engine.result().failure, c.failure);
    }
    EXPECT_EQ(platform::fileExists(destination_), !c.failure);
    EXPECT_FALSE(platform::fileExists(temp_));
    ::DeleteFileA(destination_.c_str());
  }
}

TEST_F(DownloadTest, StopDropsACompletionAlreadyQueued) {
  platform::Downloader engine;
  startOn(file("MZ" + std::string(1000, 'q')), engine);
  // Not pumping: the completion waits in this thread's queue.
  ASSERT_TRUE(testing_support::waitFor([&] { return !engine.running(); }, 5000));
  ASSERT_TRUE(platform::fileExists(destination_));
  platform::Bytes resume;
  EXPECT_TRUE(engine.stop(resume, 2)) << "a finished, unheard transfer is still stoppable";
  ASSERT_TRUE(delivered());
  EXPECT_FALSE(completed());
  EXPECT_FALSE(platform::fileExists(destination_)) << "its file is gone";
  EXPECT_FALSE(engine.stop(resume, 2)) << "nothing left to stop";
}

TEST_F(DownloadTest, StopEndsABlockedReadWithinASecond) {
  // Wine's read ends only at the receive time-out (below): far beyond what
  // stop() may take, so that a stop that waited for the read would show.
  task_.receiveTimeoutMs = 5000;
  Response r = file("MZ" + std::string(1 << 20, 's'));
  r.dropAfter = 100000;
  r.stallAtDrop = true;
  platform::Downloader engine;
  startOn(r, engine);
  // Reads fill whole 4096-byte buffers: once every whole one before the
  // stall is in, the next read waits for bytes that never come.
  ASSERT_TRUE(pumpUntil([&] { return engine.received() >= 100000 / 4096 * 4096; }, 10000));
  platform::Bytes resume;
  const ULONGLONG begin = ::GetTickCount64();
  ASSERT_TRUE(engine.stop(resume, 2));
  const ULONGLONG elapsed = ::GetTickCount64() - begin;
  // Its own wait for the worker, and room for a busy machine.
  EXPECT_LT(elapsed, platform::kStopWaitMs + 1500) << "stop returns within about a second";
  // Windows aborts a read blocked in WinINet when its handle is closed. Wine
  // does not: there the read ends at the receive time-out, and shutdown()
  // joins the worker then.
  const DWORD bound = underWine() ? task_.receiveTimeoutMs + 1000 : 1200;
  EXPECT_TRUE(pumpUntil([&] { return !engine.running(); }, bound));
  engine.shutdown();
  const std::string head = task_.source + "\r\n" + destination_ + "\r\n";
  ASSERT_EQ(resume.rfind(head, 0), 0u);
  EXPECT_GE(std::stoi(resume.substr(head.size())), 90000);
  ASSERT_TRUE(delivered());
  EXPECT_FALSE(completed());
  EXPECT_FALSE(platform::fileExists(destination_));
  platform::Bytes again;
  EXPECT_FALSE(engine.stop(again, 2)) << "nothing left to stop";
}

TEST_F(DownloadTest, SilenceLongerThanTheReceiveTimeoutFails) {
  Response r = file("MZ" + std::string(200000, 's'));
  r.dropAfter = 50000;
  r.stallAtDrop = true;
  task_.receiveTimeoutMs = 1000;
  platform::Downloader engine;
  startOn(r, engine);
  EXPECT_TRUE(pumpUntil(ended, 15000));
  ASSERT_FALSE(g_events.empty());
  EXPECT_EQ(g_events.back(), std::make_pair(5, static_cast<int>(platform::DownloadFailure::Short)));
  EXPECT_FALSE(platform::fileExists(destination_));
  EXPECT_FALSE(platform::fileExists(temp_));
}

TEST_F(DownloadTest, RefusesDestinationsOfOtherTypes) {
  task_.destination = destination_ + ".bat";
  platform::Downloader engine;
  startOn(file("MZ"), engine);
  EXPECT_TRUE(pumpUntil(ended, 5000));
  EXPECT_EQ(engine.result().failure, platform::DownloadFailure::Write);
  EXPECT_FALSE(platform::fileExists(task_.destination));
  EXPECT_EQ(server_->hits("/file.exe"), 0);
}

// Every close the session makes, by handle value.
std::mutex g_closesMutex;
std::map<HINTERNET, int> g_closes;
BOOL WINAPI countingClose(HINTERNET handle) {
  {
    std::lock_guard lock(g_closesMutex);
    ++g_closes[handle];
  }
  return platform::winInet().InternetCloseHandle(handle);
}

// The session that the two calls below abort, once they have their handle:
// the handle then reaches the session after the abort.
platform::InternetSession* g_abortWithin = nullptr;
HINTERNET WINAPI connectThenAbort(HINTERNET session, LPCSTR host, INTERNET_PORT port, LPCSTR user,
                                  LPCSTR password, DWORD service, DWORD flags, DWORD_PTR context) {
  const HINTERNET handle = platform::winInet().InternetConnectA(session, host, port, user, password,
                                                                service, flags, context);
  g_abortWithin->abort();
  return handle;
}
HINTERNET WINAPI openRequestThenAbort(HINTERNET connection, LPCSTR verb, LPCSTR object,
                                      LPCSTR version, LPCSTR referrer, LPCSTR* accept, DWORD flags,
                                      DWORD_PTR context) {
  const HINTERNET handle = platform::winInet().HttpOpenRequestA(connection, verb, object, version,
                                                                referrer, accept, flags, context);
  g_abortWithin->abort();
  return handle;
}

// What the updater asks of a download, from what the version file said.
TEST(DownloadChecksFor, AHashOrAKnownLengthTellsAWholeFile) {
  const std::string sha(64, 'a');
  struct Case {
    const char* what;
    update::Release release;
    bool lengthRequired;
  };
  const Case cases[] = {
      {"signed: size and hash", {"1.4", sha, 1000}, false},
      {"unsigned with a hash", {"1.4", sha, -1}, false},
      {"unsigned with neither", {"1.4", "", -1}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const platform::DownloadChecks checks = update::downloadChecksFor(c.release);
    EXPECT_EQ(checks.size, c.release.size);
    EXPECT_EQ(checks.sha256, c.release.sha256);
    EXPECT_EQ(checks.head, "MZ");
    EXPECT_EQ(checks.lengthRequired, c.lengthRequired);
  }
}

TEST(InternetSession, AnAbortAtAnyStepClosesNoHandleTwice) {
  // WinINet closes a session's handles with it: a handle that its owner
  // closed again afterwards could by then belong to someone else.
  platform::WinInetApi api = platform::winInet();
  ASSERT_TRUE(api);
  api.InternetCloseHandle = countingClose;
  enum class Step {
    Never,
    BeforeTheRequest,
    WhileConnecting,
    WhileOpeningTheRequest,
    WhileTheServerIsSilent,
    WhileReading,
    AfterTheBody
  };
  Response silent = testing_support::answer(200, "MZ late");
  silent.answerAfterMs = 1500;
  Response trickle = testing_support::answer(200, "MZ" + std::string(40000, 't'));
  trickle.pieceSize = 1000;
  trickle.pieceDelayMs = 50;
  const Response quick = testing_support::answer(200, "MZ quick");
  struct Case {
    const char* what;
    Step step;
    const Response& response;
    std::size_t closed;  // handles the session closes itself
  };
  // After an abort only the session: its children went with it, even one
  // that a call under way hands over later.
  const Case cases[] = {
      {"never", Step::Never, quick, 3},
      {"before the request", Step::BeforeTheRequest, quick, 1},
      {"a connection that arrives after the abort", Step::WhileConnecting, quick, 1},
      {"a request that arrives after the abort", Step::WhileOpeningTheRequest, quick, 1},
      {"while the server is silent", Step::WhileTheServerIsSilent, silent, 1},
      {"while reading", Step::WhileReading, trickle, 1},
      {"after the body", Step::AfterTheBody, quick, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HttpServer server;
    server.route("/file.exe", c.response);
    {
      std::lock_guard lock(g_closesMutex);
      g_closes.clear();
    }
    platform::WinInetApi caseApi = api;
    if (c.step == Step::WhileConnecting) caseApi.InternetConnectA = connectThenAbort;
    if (c.step == Step::WhileOpeningTheRequest) caseApi.HttpOpenRequestA = openRequestThenAbort;
    std::atomic<int> reads{0};
    std::atomic<bool> done{false};
    {
      platform::InternetSession session({2000, 2000, 2000}, {}, {}, caseApi);
      ASSERT_TRUE(session);
      g_abortWithin = &session;
      if (c.step == Step::BeforeTheRequest) session.abort();
      std::thread worker([&] {
        std::optional<platform::HttpRequest> http = session.get(
            "http://127.0.0.1:" + std::to_string(testing_support::kTestPort) + "/file.exe");
        char buffer[512];
        DWORD got = 0;
        while (http && session.read(*http, buffer, sizeof buffer, got) && got > 0) ++reads;
        done = true;
      });
      if (c.step == Step::WhileTheServerIsSilent) {
        testing_support::waitFor([&] { return server.hits("/file.exe") > 0; }, 5000);
        session.abort();
      } else if (c.step == Step::WhileReading) {
        testing_support::waitFor([&] { return reads > 0; }, 5000);
        session.abort();
      }
      worker.join();
      if (c.step == Step::AfterTheBody) session.abort();
      EXPECT_TRUE(done);
      g_abortWithin = nullptr;
    }
    std::lock_guard lock(g_closesMutex);
    EXPECT_EQ(g_closes.size(), c.closed);
    for (const auto& [handle, count] : g_closes) EXPECT_EQ(count, 1) << handle;
  }
}

}  // namespace
