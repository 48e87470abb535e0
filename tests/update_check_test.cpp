// The test builds of Kelvora.exe against a version file served on loopback:
// the one with the test key, and one without a key.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/main_form.h"
#include "platform/code_page.h"
#include "platform/files.h"
#include "platform/http.h"
#include "platform/shell.h"
#include "platform/text.h"
#include "platform/ui_post.h"
#include "update/update_check.h"
#include "support/e2e_driver.h"
#include "support/http_server.h"
#include "support/signing.h"
#include "support/switch_fixture.h"
#include "support/versions.h"
#include "support/waits.h"

#include <memory>
#include <optional>

namespace {

using namespace testing_support;  // the driver of the program and its update server
using testing_support::signLines;
using testing_support::SwitchTest;
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

// The rules of the file itself are native (version_test: CheckVersionFile);
// here, one accepted file per kind of build reaches the prompt.
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
      {"a build without a key, unsigned", testing_support::g_unsignedExePath, newer()},
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
    EXPECT_TRUE(waitFor([&] { return app.checkDone(); }, 10000));
    EXPECT_EQ(app.findWindow(kPromptCaption, true), nullptr);
    EXPECT_TRUE(closesCleanly(app));
  }
}

// One refused answer per step of the check that refuses: the fetch (a 404),
// the signature (with the real key), and the compare.
TEST(VersionCheck, NoPromptUnlessTheServerHasANewerVersion) {
  HttpServer server;
  ASSERT_TRUE(server.listening());
  std::string badSignature = signedFor(newer());
  char& lastDigit = badSignature[badSignature.size() - 3];  // of the signature
  lastDigit = lastDigit == '0' ? '1' : '0';
  struct Case {
    const char* what;
    Response response;
  };
  const Case cases[] = {
      {"404 with a version in its body", answer(404, signedFor(newer()))},
      {"signature that does not hold", answer(200, badSignature)},
      {"same version", answer(200, signedFor(bracketed(testing_support::ownVersion())))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    server.route(kVersionPath, c.response);
    const int answeredBefore = server.answered(kVersionPath);
    RunningApp app;
    ASSERT_TRUE(app.launch(platform::tempFolder()));
    expectStartedNormally(app);
    // The check's last step runs after any prompt would have been answered.
    ASSERT_TRUE(waitFor(
        [&] { return app.checkDone() || app.findWindow(kPromptCaption, true) != nullptr; }, 15000));
    EXPECT_GT(server.answered(kVersionPath), answeredBefore) << "the version file was asked for";
    EXPECT_EQ(app.findWindow(kPromptCaption, true), nullptr);
    EXPECT_TRUE(closesCleanly(app));
  }
  EXPECT_EQ(server.hits(kExePath), 0) << "nothing was downloaded";
}

// The fetch's own rules, in this process: only a whole 200 answer within the
// cap is read, a redirect is followed where it may lead.
TEST(VersionFetch, OnlyAWholeAnswerWithinTheCapIsRead) {
  HttpServer server;
  ASSERT_TRUE(server.listening());
  std::string ftp = "ftp://127.0.0.1:";
  ftp += std::to_string(kTestPort);
  ftp += "/kelvora/real.txt";
  Response redirect = answer(302, "");
  redirect.headers = {{"Location", "/kelvora/real.txt"}};
  // The same server and file: only the redirect rule stands between.
  Response toFtp = answer(302, "");
  toFtp.headers = {{"Location", ftp}};
  server.route("/kelvora/real.txt", answer(200, "[1.4]"));
  // A chain of redirects hop1 -> hop2 -> ... -> hop5 -> the real file: five
  // redirects are followed, a sixth is one too many.
  auto hopPath = [](int hop) {
    std::string path = "/kelvora/hop";
    path += std::to_string(hop);
    return path;
  };
  auto toHop = [&](int hop) {
    Response next = answer(302, "");
    next.headers = {{"Location", hopPath(hop)}};
    return next;
  };
  for (int hop = 1; hop < 5; ++hop) server.route(hopPath(hop), toHop(hop + 1));
  server.route(hopPath(5), redirect);
  Response cut = answer(200, "[1.4]" + std::string(100, ' '));
  cut.dropAfter = 10;
  const std::string over = "[1.4]" + std::string(65 * 1024, ' ');
  Response overChunked = answer(200, over);
  overChunked.chunked = true;  // no length announced: only the reading counts
  struct Case {
    const char* what;
    Response response;
    bool read;
  };
  const Case cases[] = {
      {"200", answer(200, "[1.4]"), true},
      {"a redirect to the real file", redirect, true},
      {"404 with a version in its body", answer(404, "[1.4]"), false},
      {"server error", answer(500, "[1.4]"), false},
      {"empty body", answer(200, ""), false},
      {"a body cut short", cut, false},
      {"a redirect to ftp", toFtp, false},
      {"five redirects in a row", toHop(2), true},
      {"six redirects in a row", toHop(1), false},
      {"65 KiB, announced", answer(200, over), false},
      {"65 KiB, chunked", overChunked, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    server.route(kVersionPath, c.response);
    bool done = false;
    std::optional<update::Release> release;
    update::fetchRelease("http://127.0.0.1:" + std::to_string(kTestPort) + kVersionPath, "",
                         [&](std::optional<update::Release> r) {
                           release = std::move(r);
                           done = true;
                         });
    ASSERT_TRUE(waitFor([&] { return done; }, 20000, true));
    EXPECT_EQ(release.has_value(), c.read);
    if (release) {
      EXPECT_EQ(release->version, "1.4");
    }
  }
}

// The deadline holds however the server paces its bytes: at one a second
// no read ever waits long enough for a time-out.
TEST(VersionFetch, GivesUpAtTheDeadline) {
  HttpServer server;
  ASSERT_TRUE(server.listening());
  Response slow = answer(200, "[1.4]");
  slow.trickleHead = true;
  slow.pieceSize = 1;
  slow.pieceDelayMs = 1000;
  server.route(kVersionPath, slow);
  // Shared: an answer that comes after this test must find it still there.
  auto answered = std::make_shared<std::optional<std::optional<platform::Bytes>>>();
  const ULONGLONG begin = ::GetTickCount64();
  platform::httpGetAsync("http://127.0.0.1:" + std::to_string(kTestPort) + kVersionPath,
                         update::kMaxVersionFile, {5000, 5000, 5000}, 1000,
                         [answered](std::optional<platform::Bytes> body) { *answered = body; });
  // Without the deadline the trickled head alone would take a minute: the
  // bound leaves a busy machine room and still tells the two apart.
  ASSERT_TRUE(waitFor([&] { return answered->has_value(); }, 20000, true)) << "no answer";
  EXPECT_LT(::GetTickCount64() - begin, 10000u);
  EXPECT_FALSE(answered->value().has_value());
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
    bool onlyTheDeadlineEnds = false;  // no time-out ever ends its fetch
  };
  const Case cases[] = {
      {"connection refused", std::nullopt},
      {"accepts and never answers", hang},
      {"trickling body", trickle, true},
      {"trickling head", trickleHead, true},
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
    const ULONGLONG launched = ::GetTickCount64();
    ASSERT_TRUE(app.launch(platform::tempFolder()));
    ASSERT_TRUE(app.waitForMainWindow());
    if (server) {
      // None of these servers lets the check end: the window is up first.
      EXPECT_FALSE(app.checkDone()) << "the window waited for the check";
    }
    expectStartedNormally(app);
    if (server) {
      EXPECT_TRUE(waitFor([&] { return server->hits(kVersionPath) >= 1; }, 10000));
    }
    EXPECT_EQ(app.findWindow(kPromptCaption, true), nullptr);
    // Closed while the check waits: the program ends without waiting for
    // the network, which with a trickle would hold it until the fetch's own
    // deadline (counted from a moment after the launch). How fast it ends
    // is the bench's concern.
    EXPECT_TRUE(closesCleanly(app));
    if (c.onlyTheDeadlineEnds) {
      EXPECT_LT(::GetTickCount64() - launched, update::kVersionFetchDeadlineMs)
          << "it waited for the check";
    }
  }
}

TEST(VersionCheck, AnAnswerThatComesLateStillPrompts) {
  HttpServer server;
  ASSERT_TRUE(server.listening());
  // Answered only once the window is up, however long that takes.
  Response late = answer(200, signedFor(newer()));
  late.answerOnRelease = true;
  server.route(kVersionPath, late);
  RunningApp app;
  ASSERT_TRUE(app.launch(platform::tempFolder()));
  ASSERT_TRUE(app.waitForMainWindow());
  EXPECT_FALSE(app.checkDone());
  expectStartedNormally(app);
  ASSERT_TRUE(waitFor([&] { return server.hits(kVersionPath) >= 1; }, 10000));
  server.releaseHung();
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
  server.releaseHung();  // the check ends now, with no answer
  EXPECT_TRUE(waitFor([&] { return app.checkDone(); }, 20000));
  EXPECT_EQ(app.text(ids::kFileLanguageId), "中文");
  EXPECT_EQ(app.text(ids::kCurrentLanguageId), "中文");
  EXPECT_TRUE(closesCleanly(app));
}

}  // namespace
