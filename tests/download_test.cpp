// The download engine on its own, with its events pumped on this thread.
#include <windows.h>

#include <gtest/gtest.h>

#include "http_server.h"
#include "platform/download.h"
#include "platform/files.h"
#include "platform/hash.h"
#include "platform/hex.h"
#include "platform/shell.h"
#include "platform/pause.h"

namespace {

using e2e::HttpServer;
using e2e::Response;

constexpr unsigned short kPort = KELVORA_TEST_PORT;

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
    const std::string stem =
        platform::tempFolder() + "kelvora-dl-" + std::to_string(::GetCurrentProcessId());
    temp_ = stem + ".part";
    destination_ = stem + ".exe";
    task_.source = "http://127.0.0.1:" + std::to_string(kPort) + "/file.exe";
    task_.destination = destination_;
    task_.readSize = 4096;
    task_.receiveTimeoutMs = 8000;
    task_.onEvent = &recordEvent;
  }
  void TearDown() override {
    ::DeleteFileA(temp_.c_str());
    ::DeleteFileA(destination_.c_str());
  }
  bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const ULONGLONG end = ::GetTickCount64() + timeoutMs;
    while (::GetTickCount64() < end) {
      platform::processPendingMessages();
      if (done()) return true;
      ::Sleep(10);
    }
    return done();
  }

  std::string temp_;
  std::string destination_;
  platform::DownloadTask task_;
};

TEST_F(DownloadTest, CompletesWithBothEventsOnThisThread) {
  HttpServer server(kPort);
  Response r;
  r.body = "MZ" + std::string(300000, 'k');
  server.route("/file.exe", r);
  platform::Downloader engine;
  ASSERT_TRUE(engine.start(task_, temp_));
  ASSERT_TRUE(pumpUntil([] { return !g_events.empty() && g_events.back().first == 4; }, 20000));
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
  Response plain;
  plain.body = body;
  Response chunked = plain;
  chunked.chunked = true;
  Response trailing = chunked;
  // More than one read past the end, and then silence: only counting ends it.
  trailing.body += std::string(8192, 's');
  trailing.stallAtDrop = true;
  trailing.dropAfter = static_cast<long long>(trailing.body.size());
  Response cut = chunked;
  cut.dropAfter = 50000;
  auto checks = [](long long size, std::string sha256, bool lengthRequired) {
    platform::DownloadChecks c;
    c.size = size;
    c.sha256 = std::move(sha256);
    c.head = "MZ";
    c.lengthRequired = lengthRequired;
    return c;
  };
  const long long n = static_cast<long long>(body.size());
  struct Case {
    const char* what;
    Response response;
    platform::DownloadChecks checks;
    bool completes;
  };
  const Case cases[] = {
      {"size and hash", plain, checks(n, sha, true), true},
      {"chunked with size and hash", chunked, checks(n, sha, true), true},
      {"announced length differs from the size", plain, checks(n - 1, "", false), false},
      {"more bytes than the size", trailing, checks(n, "", false), false},
      {"cut short, hash only", cut, checks(-1, sha, false), false},
      {"cut short, no length known", cut, checks(-1, "", true), false},
      {"no length known, none required", chunked, checks(-1, "", false), true},
      {"wrong hash", plain, checks(n, std::string(64, '0'), true), false},
      {"wrong head", plain,
       [&] {
         auto c = checks(n, sha, true);
         c.head = "PK";
         return c;
       }(),
       false},
      {"over the cap", plain,
       [&] {
         auto c = checks(-1, "", false);
         c.maxSize = n - 1;
         return c;
       }(),
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    g_events.clear();
    HttpServer server(kPort);
    server.route("/file.exe", c.response);
    platform::Downloader engine;
    ASSERT_TRUE(engine.start(task_, temp_, c.checks));
    EXPECT_TRUE(pumpUntil([&] { return !engine.running(); }, 15000)) << "ends by itself";
    pumpUntil([] { return false; }, 100);
    const bool completed = !g_events.empty() && g_events.back().first == platform::kComplete;
    EXPECT_EQ(completed, c.completes);
    EXPECT_EQ(platform::fileExists(destination_), c.completes);
    EXPECT_FALSE(platform::fileExists(temp_));
    ::DeleteFileA(destination_.c_str());
  }
}

TEST_F(DownloadTest, StopDropsACompletionAlreadyQueued) {
  HttpServer server(kPort);
  Response r;
  r.body = "MZ" + std::string(1000, 'q');
  server.route("/file.exe", r);
  platform::Downloader engine;
  ASSERT_TRUE(engine.start(task_, temp_));
  // Not pumping: the completion waits in this thread's queue.
  for (int i = 0; i < 500 && engine.running(); ++i) ::Sleep(10);
  ASSERT_FALSE(engine.running());
  ASSERT_TRUE(platform::fileExists(destination_));
  platform::Bytes resume;
  EXPECT_TRUE(engine.stop(resume, 2)) << "a finished, unheard transfer is still stoppable";
  pumpUntil([] { return false; }, 300);
  EXPECT_TRUE(g_events.empty() || g_events.back().first != platform::kComplete);
  EXPECT_FALSE(platform::fileExists(destination_)) << "its file is gone";
  EXPECT_FALSE(engine.stop(resume, 2)) << "nothing left to stop";
}

TEST_F(DownloadTest, StopEndsABlockedReadWithinASecond) {
  HttpServer server(kPort);
  Response r;
  r.body = "MZ" + std::string(1 << 20, 's');
  r.dropAfter = 100000;
  r.stallAtDrop = true;
  server.route("/file.exe", r);
  platform::Downloader engine;
  ASSERT_TRUE(engine.start(task_, temp_));
  // Reads fill whole 4096-byte buffers, so the last one before the stall waits.
  ASSERT_TRUE(pumpUntil([&] { return engine.received() >= 90000; }, 10000));
  ::Sleep(300);  // the worker is now inside a read that waits for data
  platform::Bytes resume;
  const ULONGLONG begin = ::GetTickCount64();
  ASSERT_TRUE(engine.stop(resume, 2));
  const ULONGLONG elapsed = ::GetTickCount64() - begin;
  EXPECT_LT(elapsed, 1200u) << "stop returns within about a second";
  // Windows aborts a read blocked in WinINet when its handle is closed. Wine
  // does not: there the read ends at the receive time-out (8 s here), and
  // shutdown() joins the worker then.
  const DWORD bound = underWine() ? task_.receiveTimeoutMs + 1000 : 1200;
  EXPECT_TRUE(pumpUntil([&] { return !engine.running(); }, bound));
  engine.shutdown();
  const std::string head = task_.source + "\r\n" + destination_ + "\r\n";
  ASSERT_EQ(resume.rfind(head, 0), 0u);
  EXPECT_GE(std::stoi(resume.substr(head.size())), 90000);
  pumpUntil([] { return false; }, 200);
  EXPECT_TRUE(g_events.empty() || g_events.back().first != 4);
  EXPECT_FALSE(platform::fileExists(destination_));
  platform::Bytes again;
  EXPECT_FALSE(engine.stop(again, 2)) << "nothing left to stop";
}

TEST_F(DownloadTest, SilenceLongerThanTheReceiveTimeoutFails) {
  HttpServer server(kPort);
  Response r;
  r.body = "MZ" + std::string(200000, 's');
  r.dropAfter = 50000;
  r.stallAtDrop = true;
  server.route("/file.exe", r);
  task_.receiveTimeoutMs = 1000;
  platform::Downloader engine;
  ASSERT_TRUE(engine.start(task_, temp_));
  EXPECT_TRUE(pumpUntil([&] { return !engine.running(); }, 15000));
  EXPECT_FALSE(platform::fileExists(destination_));
  EXPECT_FALSE(platform::fileExists(temp_));
}

TEST_F(DownloadTest, RefusesDestinationsOfOtherTypes) {
  HttpServer server(kPort);
  Response r;
  r.body = "MZ";
  server.route("/file.exe", r);
  task_.destination = destination_ + ".bat";
  platform::Downloader engine;
  ASSERT_TRUE(engine.start(task_, temp_));
  EXPECT_TRUE(pumpUntil([&] { return !engine.running(); }, 5000));
  EXPECT_FALSE(platform::fileExists(task_.destination));
  EXPECT_EQ(server.hits("/file.exe"), 0);
}

}  // namespace
