// The test builds of Kelvora.exe against a version file served on loopback:
// the one with the test key, and one without a key.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/main_form.h"
#include "platform/code_page.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "platform/text.h"
#include "support/e2e_driver.h"
#include "support/http_server.h"
#include "support/signing.h"
#include "support/switch_fixture.h"
#include "support/versions.h"
#include "support/waits.h"

namespace {

using namespace testing_support;  // the driver of the program and its update server
using testing_support::SwitchTest;
using testing_support::signLines;
using testing_support::waitFor;
namespace ids = app::ids;

constexpr char kPromptCaption[] = "更新提示";
constexpr char kZh[] = "<Data key=\"installedLanguages\">zh_CN</Data>\r\n";
constexpr char kEn[] = "<Data key=\"installedLanguages\">en_US</Data>\r\n";

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
      {"signed", testing_support::g_exePath, signedFor(newer())},
      {"signed, text around", testing_support::g_exePath, signedFor("Kelvora " + newer() + " build 7")},
      {"a build without a key, unsigned", testing_support::g_unsignedExePath, newer()},
      {"a build without a key, text around", testing_support::g_unsignedExePath,
       "Kelvora " + newer() + " build 7\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    server.route(kVersionPath, answer(200, c.body));
    RunningApp app;
    ASSERT_TRUE(app.launch(platform::tempFolder(), c.exe));
    HWND box = app.waitForWindow(kPromptCaption, true, 30000);
    ASSERT_NE(box, nullptr) << "no update prompt";
    EXPECT_EQ(testing_support::windowText(::GetDlgItem(box, 0xFFFF)),
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
  const std::string& unsignedExe = testing_support::g_unsignedExePath;
  struct Case {
    const char* what;
    Response response;
    const std::string& exe = testing_support::g_exePath;
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
  const std::string& exe = testing_support::g_exePath;
  const std::string escaped =
      exe.substr(0, platform::findLastOf(exe, "\\", platform::ansiLeadBytes())) +
      "\\..\\kelvora-escape.exe";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    server.route(kVersionPath, c.response);
    const int before = server.hits(kVersionPath);
    const int answeredBefore = server.answered(kVersionPath);
    RunningApp app;
    ASSERT_TRUE(app.launch(platform::tempFolder(), c.exe));
    expectStartedNormally(app);
    // The answer reaches the window as a posted closure, at once.
    ASSERT_TRUE(waitFor([&] { return server.answered(kVersionPath) > answeredBefore; }, 15000))
        << "the version file was asked for";
    EXPECT_GT(server.hits(kVersionPath), before);
    EXPECT_EQ(app.waitForWindow(kPromptCaption, true, 1000), nullptr);
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

TEST(VersionCheck, TheWindowNeverWaitsForTheNetwork) {
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
  };
  const Case cases[] = {
      {"connection refused", std::nullopt},
      {"accepts and never answers", hang},
      {"trickling body", trickle},
      {"trickling head", trickleHead},
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
    ASSERT_TRUE(app.launch(platform::tempFolder()));
    expectStartedNormally(app);
    if (server) {
      EXPECT_TRUE(waitFor([&] { return server->hits(kVersionPath) >= 1; }, 10000));
    }
    EXPECT_EQ(app.findWindow(kPromptCaption, true), nullptr);
    // Closed while the check waits: the program ends at once, never
    // waiting for the network.
    const ULONGLONG begin = ::GetTickCount64();
    EXPECT_TRUE(closesCleanly(app));
    EXPECT_LT(::GetTickCount64() - begin, 3000u);
  }
}

TEST(VersionCheck, AnAnswerThatComesLateStillPrompts) {
  HttpServer server;
  ASSERT_TRUE(server.listening());
  Response late = answer(200, signedFor(newer()));
  late.answerAfterMs = 5000;
  server.route(kVersionPath, late);
  RunningApp app;
  const ULONGLONG begin = ::GetTickCount64();
  ASSERT_TRUE(app.launch(platform::tempFolder()));
  expectStartedNormally(app);
  EXPECT_LT(::GetTickCount64() - begin, 5000u) << "the window came before the server answered";
  EXPECT_EQ(app.findWindow(kPromptCaption, true), nullptr);
  HWND box = app.waitForWindow(kPromptCaption, true, 20000);
  ASSERT_NE(box, nullptr) << "the prompt still comes, after the answer";
  DWORD_PTR ignored = 0;
  ::SendMessageTimeoutA(::GetDlgItem(box, IDCANCEL), BM_CLICK, 0, 0, SMTO_NORMAL, 5000, &ignored);
  EXPECT_TRUE(closesCleanly(app));
}

TEST_F(SwitchTest, TheSwitchWorksWhileTheCheckWaits) {
  HttpServer server;
  ASSERT_TRUE(server.listening());
  Response hang;
  hang.hang = true;
  server.answerAll(hang);
  useInstall(kZh);
  RunningApp app;
  ASSERT_TRUE(app.launch(*root_ / "work"));
  ASSERT_TRUE(app.waitForMainWindow());
  EXPECT_EQ(app.text(ids::kFileLanguageId), "中文") << "the language shows before the check";
  ASSERT_TRUE(waitFor([&] { return server.hits(kVersionPath) >= 1; }, 10000));
  app.click(ids::kSwitchButtonId);
  EXPECT_TRUE(markerPresent());
  EXPECT_EQ(xml(), kEn);
  EXPECT_EQ(app.text(ids::kCurrentLanguageId), "英文");
  // Changed behind its back while the check still waits: the language
  // display that ends the check shows the files as they are then.
  ASSERT_TRUE(platform::replaceFile(xmlPath(), kZh));
  EXPECT_TRUE(waitFor([&] { return app.text(ids::kFileLanguageId) == "中文"; }, 20000));
  EXPECT_EQ(app.text(ids::kCurrentLanguageId), "中文");
  EXPECT_TRUE(closesCleanly(app));
}

}  // namespace
