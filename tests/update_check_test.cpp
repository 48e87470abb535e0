// The test build of Kelvora.exe against a version file served on loopback.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/control_ids.h"
#include "e2e_driver.h"
#include "http_server.h"
#include "platform/shell.h"

namespace {

using e2e::HttpServer;
using e2e::Response;
using e2e::RunningApp;
namespace ids = app::ids;

constexpr unsigned short kPort = KELVORA_TEST_PORT;
constexpr char kVersionPath[] = "/kelvora/version.txt";
constexpr char kPromptCaption[] = "更新提示";

Response answer(int status, std::string body) {
  Response r;
  r.status = status;
  r.body = std::move(body);
  return r;
}

// The start-up is done when the main window shows with its path box filled.
void expectStartedNormally(RunningApp& app) {
  ASSERT_TRUE(app.waitForMainWindow());
  EXPECT_EQ(app.title(), "Kelvora v1.2");
  EXPECT_FALSE(app.text(ids::kXmlPathEditId).empty()) << "the language display ran";
  EXPECT_FALSE(app.text(ids::kCurrentLanguageId).empty());
}

void closeCleanly(RunningApp& app) {
  DWORD code = 1234;
  ASSERT_TRUE(app.close(code));
  EXPECT_EQ(code, 0u);
}

TEST(VersionCheck, NewerVersionPromptsAndCancelCarriesOn) {
  HttpServer server(kPort);
  ASSERT_TRUE(server.listening());
  for (const char* body : {"[1.3]", "Kelvora [1.3] build 7\r\n"}) {
    SCOPED_TRACE(body);
    server.route(kVersionPath, answer(200, body));
    RunningApp app;
    ASSERT_TRUE(app.launch(platform::tempFolder()));
    HWND box = app.waitForWindow(kPromptCaption, true, 30000);
    ASSERT_NE(box, nullptr) << "no update prompt";
    EXPECT_EQ(e2e::windowText(::GetDlgItem(box, 0xFFFF)), "发现新版本 v1.3，点击确定下载新版本");
    ASSERT_NE(::GetDlgItem(box, IDOK), nullptr);
    ASSERT_NE(::GetDlgItem(box, IDCANCEL), nullptr);
    EXPECT_EQ(::GetWindow(box, GW_OWNER), nullptr) << "no owner window";
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutA(::GetDlgItem(box, IDCANCEL), BM_CLICK, 0, 0, SMTO_NORMAL, 5000, &ignored);
    expectStartedNormally(app);
    EXPECT_EQ(app.findWindow(kPromptCaption, true), nullptr);
    closeCleanly(app);
  }
}

TEST(VersionCheck, NoPromptUnlessTheServerHasANewerVersion) {
  HttpServer server(kPort);
  ASSERT_TRUE(server.listening());
  Response big = answer(200, "[1.3]" + std::string(70 * 1024, ' '));
  Response redirect = answer(302, "");
  redirect.headers = {{"Location", "/kelvora/real.txt"}};
  struct Case {
    const char* what;
    Response response;
  };
  const Case cases[] = {
      {"same version", answer(200, "[1.2]")},
      {"older version", answer(200, "[1.1]")},
      {"1.10 sorts before 1.2", answer(200, "[1.10]")},
      {"empty brackets", answer(200, "x[]y")},
      {"HTML answer", answer(200, "<html><body>[1.3]</body></html>")},
      {"404 with a version in its body", answer(404, "[1.3]")},
      {"server error", answer(500, "[1.3]")},
      {"empty body", answer(200, "")},
      {"body over the cap", big},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    server.route(kVersionPath, c.response);
    const int before = server.hits(kVersionPath);
    RunningApp app;
    ASSERT_TRUE(app.launch(platform::tempFolder()));
    expectStartedNormally(app);
    EXPECT_EQ(app.findWindow(kPromptCaption, true), nullptr);
    EXPECT_GT(server.hits(kVersionPath), before) << "the version file was asked for";
    closeCleanly(app);
  }

  // A redirect is followed to the real version file.
  server.route(kVersionPath, redirect);
  server.route("/kelvora/real.txt", answer(200, "[1.3]"));
  RunningApp app;
  ASSERT_TRUE(app.launch(platform::tempFolder()));
  HWND box = app.waitForWindow(kPromptCaption, true, 30000);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(server.hits("/kelvora/real.txt"), 1);
  DWORD_PTR ignored = 0;
  ::SendMessageTimeoutA(::GetDlgItem(box, IDCANCEL), BM_CLICK, 0, 0, SMTO_NORMAL, 5000, &ignored);
  expectStartedNormally(app);
  closeCleanly(app);
}

TEST(VersionCheck, UnreachableOrHungServerNeverHoldsStartUpForLong) {
  {
    SCOPED_TRACE("connection refused");
    RunningApp app;
    ASSERT_TRUE(app.launch(platform::tempFolder()));
    expectStartedNormally(app);
    closeCleanly(app);
  }
  {
    SCOPED_TRACE("accepts and never answers");
    HttpServer server(kPort);
    ASSERT_TRUE(server.listening());
    Response hang;
    hang.hang = true;
    server.answerAll(hang);
    RunningApp app;
    const ULONGLONG begin = ::GetTickCount64();
    ASSERT_TRUE(app.launch(platform::tempFolder()));
    expectStartedNormally(app);
    const ULONGLONG elapsed = ::GetTickCount64() - begin;
    EXPECT_GE(server.hits(kVersionPath), 1);
    // Time-outs of 5 s each; a small multiple of that at most.
    EXPECT_LT(elapsed, 20000u);
    closeCleanly(app);
  }
}

}  // namespace
