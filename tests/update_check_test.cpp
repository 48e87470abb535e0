// The test builds of Kelvora.exe against a version file served on loopback:
// the one with the test key, and one without a key.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/control_ids.h"
#include "platform/code_page.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "platform/text.h"
#include "support/e2e_driver.h"
#include "support/http_server.h"
#include "support/signing.h"
#include "support/versions.h"

namespace {

using namespace e2e;  // the driver of the program and its update server
using testing_support::signLines;
namespace ids = app::ids;

constexpr char kPromptCaption[] = "更新提示";

// "[" + version + "]", as a version file holds it.
std::string bracketed(const std::string& version) {
  std::string text = "[";
  text += version;
  return text + "]";
}

// A version that sorts after ours, in its brackets.
std::string newer() {
  return bracketed(testing_support::newerVersion());
}

// Signed lines for an exe of no consequence: the check never downloads it.
std::string signedFor(const std::string& head) {
  return signLines(head + "\r\nsha256=" + std::string(64, 'a') + "\r\nsize=1000\r\n");
}

// The start-up is done when the main window shows with its path box filled.
void expectStartedNormally(RunningApp& app) {
  ASSERT_TRUE(app.waitForMainWindow());
  EXPECT_EQ(app.title(), testing_support::ownTitle());
  EXPECT_FALSE(app.text(ids::kXmlPathEditId).empty()) << "the language display ran";
  EXPECT_FALSE(app.text(ids::kCurrentLanguageId).empty());
}

TEST(VersionCheck, NewerVersionPromptsAndCancelCarriesOn) {
  HttpServer server;
  ASSERT_TRUE(server.listening());
  struct Case {
    const char* what;
    const std::string& exe;
    std::string body;
  };
  const Case cases[] = {
      {"signed", e2e::g_exePath, signedFor(newer())},
      {"signed, text around", e2e::g_exePath, signedFor("Kelvora " + newer() + " build 7")},
      {"a build without a key, unsigned", e2e::g_unsignedExePath, newer()},
      {"a build without a key, text around", e2e::g_unsignedExePath,
       "Kelvora " + newer() + " build 7\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    server.route(kVersionPath, answer(200, c.body));
    RunningApp app;
    ASSERT_TRUE(app.launch(platform::tempFolder(), c.exe));
    HWND box = app.waitForWindow(kPromptCaption, true, 30000);
    ASSERT_NE(box, nullptr) << "no update prompt";
    EXPECT_EQ(e2e::windowText(::GetDlgItem(box, 0xFFFF)),
              "发现新版本 v" + testing_support::newerVersion() + "，点击确定下载新版本");
    ASSERT_NE(::GetDlgItem(box, IDOK), nullptr);
    ASSERT_NE(::GetDlgItem(box, IDCANCEL), nullptr);
    EXPECT_EQ(::GetWindow(box, GW_OWNER), nullptr) << "no owner window";
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutA(::GetDlgItem(box, IDCANCEL), BM_CLICK, 0, 0, SMTO_NORMAL, 5000, &ignored);
    expectStartedNormally(app);
    EXPECT_EQ(app.findWindow(kPromptCaption, true), nullptr);
    EXPECT_TRUE(closesCleanly(app));
  }
}

TEST(VersionCheck, NoPromptUnlessTheServerHasANewerVersion) {
  HttpServer server;
  ASSERT_TRUE(server.listening());
  Response big = answer(200, newer() + std::string(70 * 1024, ' '));
  Response redirect = answer(302, "");
  redirect.headers = {{"Location", "/kelvora/real.txt"}};
  std::string badSignature = signedFor(newer());
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
      {"same version", answer(200, signedFor(bracketed(testing_support::ownVersion())))},
      {"older version", answer(200, signedFor(bracketed(testing_support::olderVersion())))},
      // Compared as text: 1.10 before 1.2.
      {"a higher number that sorts lower",
       answer(200, signedFor(bracketed(testing_support::numericallyNewerTextuallyOlder())))},
      {"empty brackets", answer(200, signedFor("x[]y"))},
      {"HTML answer", answer(200, signedFor("<html><body>" + newer() + "</body></html>"))},
      {"404 with a version in its body", answer(404, signedFor(newer()))},
      {"server error", answer(500, signedFor(newer()))},
      {"empty body", answer(200, "")},
      {"body over the cap", big},
      {"unsigned file to a build with a key", answer(200, newer())},
      {"signature that does not hold", answer(200, badSignature)},
      {"signed path traversal", answer(200, signedFor(traversal))},
      {"signed version with a line break",
       answer(200, signedFor(bracketed(testing_support::newerVersion() + "\r\n")))},
      {"a build without a key: path traversal", answer(200, traversal), unsignedExe},
      {"a build without a key: 60 KiB version", answer(200, bracketed(std::string(60 << 10, '9'))),
       unsignedExe},
  };
  // Where "Kelvora v9\..\..\kelvora-escape.exe" beside the program would land.
  const std::string& exe = e2e::g_exePath;
  const std::string escaped =
      exe.substr(0, platform::findLastOf(exe, "\\", platform::ansiLeadBytes())) +
      "\\..\\kelvora-escape.exe";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    server.route(kVersionPath, c.response);
    const int before = server.hits(kVersionPath);
    RunningApp app;
    ASSERT_TRUE(app.launch(platform::tempFolder(), c.exe));
    expectStartedNormally(app);
    EXPECT_EQ(app.findWindow(kPromptCaption, true), nullptr);
    EXPECT_GT(server.hits(kVersionPath), before) << "the version file was asked for";
    EXPECT_TRUE(closesCleanly(app));
  }
  EXPECT_EQ(server.hits(kExePath), 0) << "nothing was downloaded";
  EXPECT_FALSE(platform::fileExists(escaped));

  // A redirect is followed to the real version file.
  server.route(kVersionPath, redirect);
  server.route("/kelvora/real.txt", answer(200, signedFor(newer())));
  RunningApp app;
  ASSERT_TRUE(app.launch(platform::tempFolder()));
  HWND box = app.waitForWindow(kPromptCaption, true, 30000);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(server.hits("/kelvora/real.txt"), 1);
  DWORD_PTR ignored = 0;
  ::SendMessageTimeoutA(::GetDlgItem(box, IDCANCEL), BM_CLICK, 0, 0, SMTO_NORMAL, 5000, &ignored);
  expectStartedNormally(app);
  EXPECT_TRUE(closesCleanly(app));
}

TEST(VersionCheck, NoServerHoldsStartUpForLong) {
  Response hang;
  hang.hang = true;
  // One byte a second: every byte restarts a receive time-out.
  Response trickle = answer(200, signedFor(newer()));
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
      server.emplace();
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
    EXPECT_TRUE(closesCleanly(app));
  }
}

}  // namespace
