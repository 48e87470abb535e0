// The test builds of Kelvora.exe against a version file served on loopback:
// the one with the test key, and one without a key.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/control_ids.h"
#include "e2e_driver.h"
#include "http_server.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "platform/text.h"
#include "support/signing.h"

namespace {

using e2e::HttpServer;
using e2e::Response;
using e2e::RunningApp;
using testing_support::signLines;
namespace ids = app::ids;

constexpr unsigned short kPort = KELVORA_TEST_PORT;
constexpr char kVersionPath[] = "/kelvora/version.txt";
constexpr char kExePath[] = "/kelvora/Kelvora.exe";
constexpr char kPromptCaption[] = "更新提示";

Response answer(int status, std::string body) {
  Response r;
  r.status = status;
  r.body = std::move(body);
  return r;
}

// Signed lines for an exe of no consequence: the check never downloads it.
std::string signedFor(const std::string& head) {
  return signLines(head + "\r\nsha256=" + std::string(64, 'a') + "\r\nsize=1000\r\n");
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
  struct Case {
    const char* what;
    const std::string& exe;
    std::string body;
  };
  const Case cases[] = {
      {"signed", e2e::g_exePath, signedFor("[1.3]")},
      {"signed, text around", e2e::g_exePath, signedFor("Kelvora [1.3] build 7")},
      {"a build without a key, unsigned", e2e::g_unsignedExePath, "[1.3]"},
      {"a build without a key, text around", e2e::g_unsignedExePath, "Kelvora [1.3] build 7\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    server.route(kVersionPath, answer(200, c.body));
    RunningApp app;
    ASSERT_TRUE(app.launch(platform::tempFolder(), c.exe));
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
  std::string badSignature = signedFor("[1.3]");
  char& lastDigit = badSignature[badSignature.size() - 3];  // of the signature
  lastDigit = lastDigit == '0' ? '1' : '0';
  const std::string traversal = "[9\\..\\..\\kelvora-escape]";
  const std::string& unsignedExe = e2e::g_unsignedExePath;
  struct Case {
    const char* what;
    Response response;
    const std::string& exe = e2e::g_exePath;
  };
  const Case cases[] = {
      {"same version", answer(200, signedFor("[1.2]"))},
      {"older version", answer(200, signedFor("[1.1]"))},
      {"1.10 sorts before 1.2", answer(200, signedFor("[1.10]"))},
      {"empty brackets", answer(200, signedFor("x[]y"))},
      {"HTML answer", answer(200, signedFor("<html><body>[1.3]</body></html>"))},
      {"404 with a version in its body", answer(404, signedFor("[1.3]"))},
      {"server error", answer(500, signedFor("[1.3]"))},
      {"empty body", answer(200, "")},
      {"body over the cap", big},
      {"unsigned file to a build with a key", answer(200, "[1.3]")},
      {"signature that does not hold", answer(200, badSignature)},
      {"signed path traversal", answer(200, signedFor(traversal))},
      {"signed version with a line break", answer(200, signedFor("[1.3\r\n]"))},
      {"a build without a key: path traversal", answer(200, traversal), unsignedExe},
      {"a build without a key: 60 KiB version", answer(200, "[" + std::string(60 << 10, '9') + "]"),
       unsignedExe},
  };
  // Where "Kelvora v9\..\..\kelvora-escape.exe" beside the program would land.
  const std::string& exe = e2e::g_exePath;
  const std::string escaped =
      exe.substr(0, platform::findLastOf(exe, "\\")) + "\\..\\kelvora-escape.exe";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    server.route(kVersionPath, c.response);
    const int before = server.hits(kVersionPath);
    RunningApp app;
    ASSERT_TRUE(app.launch(platform::tempFolder(), c.exe));
    expectStartedNormally(app);
    EXPECT_EQ(app.findWindow(kPromptCaption, true), nullptr);
    EXPECT_GT(server.hits(kVersionPath), before) << "the version file was asked for";
    closeCleanly(app);
  }
  EXPECT_EQ(server.hits(kExePath), 0) << "nothing was downloaded";
  EXPECT_FALSE(platform::fileExists(escaped));

  // A redirect is followed to the real version file.
  server.route(kVersionPath, redirect);
  server.route("/kelvora/real.txt", answer(200, signedFor("[1.3]")));
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

TEST(VersionCheck, NoServerHoldsStartUpForLong) {
  Response hang;
  hang.hang = true;
  // One byte a second: every byte restarts a receive time-out.
  Response trickle = answer(200, signedFor("[1.3]"));
  trickle.pieceSize = 1;
  trickle.pieceDelayMs = 1000;
  Response trickleHead = trickle;
  trickleHead.trickleHead = true;
  struct Case {
    const char* what;
    std::optional<Response> response;  // none: nothing listens
    ULONGLONG bound;
  };
  const Case cases[] = {
      {"connection refused", std::nullopt, 30000},
      // Time-outs of 5 s each; a small multiple of that at most.
      {"accepts and never answers", hang, 20000},
      // The whole fetch ends at 10 s, plus a start of the program under Wine.
      {"trickling body", trickle, 12000},
      {"trickling head", trickleHead, 12000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::optional<HttpServer> server;
    if (c.response) {
      server.emplace(kPort);
      ASSERT_TRUE(server->listening());
      server->answerAll(*c.response);
    }
    RunningApp app;
    const ULONGLONG begin = ::GetTickCount64();
    ASSERT_TRUE(app.launch(platform::tempFolder()));
    expectStartedNormally(app);
    EXPECT_LT(::GetTickCount64() - begin, c.bound);
    if (server) {
      EXPECT_GE(server->hits(kVersionPath), 1);
    }
    EXPECT_EQ(app.findWindow(kPromptCaption, true), nullptr);
    closeCleanly(app);
  }
}

}  // namespace
