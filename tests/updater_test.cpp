// OK on the update prompt: download, progress window, cancel, self-replacement,
// with a test build of Kelvora.exe copied into a run directory of its own.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <vector>

#include "app/main_form.h"
#include "platform/files.h"
#include "platform/hash.h"
#include "platform/hex.h"
#include "platform/process.h"
#include "platform/shell.h"
#include "support/e2e_driver.h"
#include "support/http_server.h"
#include "support/paths.h"
#include "support/scratch_key.h"
#include "support/signing.h"
#include "support/versions.h"
#include "support/waits.h"
#include "update/cleanup_script.h"
#include "update/self_replace.h"
#include "update/update_form.h"
#include "update/updater.h"
#include "update/version.h"

namespace {

using namespace testing_support;  // the driver of the program and its update server
using testing_support::newerVersion;
using testing_support::signedVersionFile;
using testing_support::signLines;
using testing_support::waitFor;
namespace uids = update::ids;

// Runs its closure however the test ends.
struct AtEnd {
  std::function<void()> run;
  ~AtEnd() { run(); }
};

Response ok(std::string body) {
  return testing_support::answer(200, std::move(body));
}

// The probe with an unknown machine in its PE header: "MZ" and the right
// hash, but Windows refuses to start it. (Under Wine an "MZ" file of plain
// junk starts as a DOS program instead, so junk would not show the failure.)
std::string unstartable(std::string exe) {
  const auto peAt = static_cast<std::size_t>(*reinterpret_cast<const std::uint32_t*>(&exe[0x3C]));
  exe[peAt + 4] = '\x34';
  exe[peAt + 5] = '\x12';
  return exe;
}

class UpdaterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    exe_ = runDir_ / "Kelvora.exe";
    ASSERT_TRUE(::CopyFileA(testing_support::g_exePath.c_str(), exe_.c_str(), FALSE));
    probe_ = platform::readFile(testing_support::besideThisExe("update_probe.exe"));
    ASSERT_EQ(probe_.substr(0, 2), "MZ");
    ::DeleteFileA(updateTemp().c_str());
    server_ = std::make_unique<HttpServer>();
    ASSERT_TRUE(server_->listening());
    server_->route(kVersionPath, ok(signedVersionFile(newerVersion(), probe_)));
    server_->route(kExePath, ok(probe_));
  }
  void TearDown() override {
    server_.reset();
    ::DeleteFileA(updateTemp().c_str());
  }

  // Starts the copy and answers OK on the prompt; a failure says which step.
  ::testing::AssertionResult answerOk(RunningApp& app) {
    if (!app.launch(runDir_.path(), exe_)) return ::testing::AssertionFailure() << "no start";
    HWND box = app.waitForWindow("更新提示", true, 30000);
    if (!box) return ::testing::AssertionFailure() << "no update prompt";
    testing_support::postClick(::GetDlgItem(box, IDOK));
    return ::testing::AssertionSuccess();
  }
  // The same, then waits for the update window; nullptr (the step said as a
  // test failure) when a step does not come.
  HWND acceptUpdate(RunningApp& app) {
    if (const auto started = answerOk(app); !started) {
      ADD_FAILURE() << started.message();
      return nullptr;
    }
    HWND window = app.waitForWindow(uids::kTitle, true, 15000);
    if (!window) ADD_FAILURE() << "no update window after OK";
    return window;
  }
  // A slow download of a large executable.
  void serveSlowly() {
    Response slow = ok("MZ" + std::string(4 << 20, 'x'));
    slow.pieceSize = 16384;
    slow.pieceDelayMs = 100;
    server_->route(kVersionPath, ok(signedVersionFile(newerVersion(), slow.body)));
    server_->route(kExePath, slow);
  }
  static std::string status(HWND window) {
    return testing_support::windowText(::GetDlgItem(window, uids::kStatusLabelId));
  }
  static bool downloading(HWND window) {
    const std::string text = status(window);
    return text.rfind("正在下载:", 0) == 0 && text.rfind("正在下载:0MB/", 0) != 0;
  }
  // The download is made beside the exe it replaces.
  std::string updateTemp() const { return runDir_ / update::kDownloadTempName; }
  std::string newExe() const { return runDir_ / update::updateFileName(newerVersion()); }
  bool newExeArrived() const { return platform::fileExists(newExe()); }
  bool probeStarted() const { return platform::fileExists(runDir_ / "probe-started.txt"); }
  // The empty-captioned boxes the process shows (the cancel questions).
  static int questions(const RunningApp& app) {
    int count = 0;
    for (HWND w = ::GetTopWindow(nullptr); w; w = ::GetWindow(w, GW_HWNDNEXT)) {
      DWORD pid = 0;
      ::GetWindowThreadProcessId(w, &pid);
      if (pid == app.processId() && ::IsWindowVisible(w) && testing_support::windowText(w).empty())
        ++count;
    }
    return count;
  }
  // Still running, its main window answering, nothing of the update left.
  // (The switch beside it is the switch tests' concern.)
  void expectTheOldProgramCarriesOn(RunningApp& app) {
    EXPECT_EQ(::WaitForSingleObject(app.process(), 0), WAIT_TIMEOUT) << "still running";
    EXPECT_TRUE(platform::fileExists(exe_)) << "the old exe is kept";
    EXPECT_FALSE(newExeArrived());
    EXPECT_FALSE(probeStarted());
    EXPECT_FALSE(platform::fileExists(runDir_ / update::kCleanupScriptName));
    EXPECT_FALSE(platform::fileExists(updateTemp()));
    ASSERT_TRUE(app.waitForMainWindow());
    EXPECT_EQ(app.title(), testing_support::ownTitle());
    EXPECT_TRUE(closesCleanly(app));
  }

  testing_support::TempFolder runDir_{"kelvora-update"};
  std::string exe_;
  platform::Bytes probe_;
  std::unique_ptr<HttpServer> server_;
};

TEST_F(UpdaterTest, OkDownloadsStartsTheNewVersionAndLeavesTheScript) {
  // A version file made by the release's own signing code.
  server_->route(kVersionPath,
                 ok(platform::readFile(testing_support::besideThisExe("release-version.txt"))));
  // A leftover from an earlier run must not end up in the new file.
  ASSERT_TRUE(platform::writeFile(updateTemp(), {"stale leftover"}));
  RunningApp app;
  HWND window = acceptUpdate(app);
  ASSERT_NE(window, nullptr);
  ASSERT_EQ(::WaitForSingleObject(app.process(), 30000), WAIT_OBJECT_0) << "the old program ends";
  DWORD code = 1234;
  ::GetExitCodeProcess(app.process(), &code);
  EXPECT_EQ(code, 0u) << "asked its message loop to end; no crash on the way out";

  EXPECT_EQ(platform::readFile(newExe()), probe_);
  EXPECT_TRUE(waitFor([&] { return probeStarted(); }, 10000)) << "the new version was started";
  const std::string script = runDir_ / update::kCleanupScriptName;
  EXPECT_EQ(platform::readFile(script), update::cleanupScript(runDir_.path(), "Kelvora.exe"));
  const DWORD attributes = ::GetFileAttributesA(script.c_str());
  EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN);
  EXPECT_FALSE(platform::fileExists(updateTemp()));
  EXPECT_EQ(server_->hits(kVersionPath), 2) << "the starter fetched the version again";
}

TEST_F(UpdaterTest, AVersionFileChangedAfterThePromptStartsNothing) {
  // The starter fetches again and takes only the version the user was
  // offered, signed with the build's key.
  std::string broken = signedVersionFile(newerVersion(), probe_);
  char& lastDigit = broken[broken.size() - 3];  // of the signature
  lastDigit = lastDigit == '0' ? '1' : '0';
  struct Case {
    const char* what;
    std::string atOk;  // the version file the starter gets
  };
  const Case cases[] = {
      {"another signed version", signedVersionFile(newerVersion() + ".1", probe_)},
      {"the same version, its signature broken", broken},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    server_->route(kVersionPath, ok(signedVersionFile(newerVersion(), probe_)));
    const int fetched = server_->hungUp(kVersionPath);
    RunningApp app;
    ASSERT_TRUE(app.launch(runDir_.path(), exe_));
    HWND box = app.waitForWindow("更新提示", true, 30000);
    ASSERT_NE(box, nullptr) << "no update prompt";
    server_->route(kVersionPath, ok(c.atOk));
    testing_support::postClick(::GetDlgItem(box, IDOK));
    // The starter's fetch is over and its answer handed to the UI thread;
    // once that thread has handled what came before our mark, a window the
    // answer opened would be up.
    ASSERT_TRUE(waitFor([&] { return server_->hungUp(kVersionPath) == fetched + 2; }, 20000));
    ASSERT_TRUE(app.waitForMainWindow());
    ASSERT_TRUE(app.settled());
    EXPECT_EQ(app.findWindow(uids::kTitle, true), nullptr) << "no update window";
    EXPECT_TRUE(closesCleanly(app));
    EXPECT_EQ(server_->hits(kExePath), 0) << "the exe was never asked for";
    if (HasFailure()) break;
  }
}

TEST_F(UpdaterTest, CancelBeforeAnyByteStopsTheTransferWithoutAQuestion) {
  // The answer comes, but only after the user has cancelled.
  Response late = ok(probe_);
  late.answerOnRelease = true;
  server_->route(kExePath, late);
  ASSERT_TRUE(platform::writeFile(updateTemp(), {"stale"}));
  RunningApp app;
  HWND window = acceptUpdate(app);
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(platform::fileExists(updateTemp())) << "the leftover is removed first";
  ASSERT_TRUE(waitFor([&] { return server_->hits(kExePath) > 0; }, 10000));
  testing_support::typeKeys(window, {});  // to the front, as a click on it would
  EXPECT_EQ(testing_support::focusedControl(window), ::GetDlgItem(window, uids::kCancelButtonId));
  testing_support::typeKeys(window, {VK_MENU, 'Q'});  // the mnemonic of 取消(&Q)
  // Gone while the server still holds its answer back: the stop never
  // waits for the network. (The bound only ends a failing test.)
  EXPECT_TRUE(waitFor([&] { return !::IsWindow(window); }, 60000));
  EXPECT_EQ(questions(app), 0) << "no question was asked";
  EXPECT_EQ(server_->answered(kExePath), 0);
  // The stopped transfer has let go of the late answer, and whatever it
  // still handed to the UI thread has been handled.
  server_->releaseHung();
  ASSERT_TRUE(waitFor([&] { return server_->hungUp(kExePath) > 0; }, 10000));
  ASSERT_TRUE(app.waitForMainWindow());
  ASSERT_TRUE(app.settled());
  expectTheOldProgramCarriesOn(app);
}

TEST_F(UpdaterTest, SlowTransferAsksBeforeCancellingOneQuestionAtATime) {
  serveSlowly();
  RunningApp app;
  HWND window = acceptUpdate(app);
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(waitFor([&] { return downloading(window); }, 15000)) << status(window);

  testing_support::postClick(::GetDlgItem(window, uids::kCancelButtonId));
  HWND box = app.waitForWindow("", true, 15000);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(testing_support::windowText(::GetDlgItem(box, 0xFFFF)), "是否取消结束更新？");
  EXPECT_EQ(::GetWindow(box, GW_OWNER), window) << "modal to the update window";
  EXPECT_FALSE(::IsWindowEnabled(window));
  testing_support::postClick(::GetDlgItem(box, IDNO));
  ASSERT_TRUE(waitFor([&] { return !::IsWindow(box); }, 15000));
  const std::string before = status(window);
  EXPECT_TRUE(waitFor([&] { return status(window) != before; }, 15000)) << "it carries on";
  EXPECT_TRUE(::IsWindowVisible(window));

  testing_support::postClick(::GetDlgItem(window, uids::kCancelButtonId));
  box = app.waitForWindow("", true, 15000);
  ASSERT_NE(box, nullptr);
  // A second cancel and the close box while the question is up do nothing:
  // each returns at once (a second question would hold it).
  DWORD_PTR ignored = 0;
  EXPECT_TRUE(::SendMessageTimeoutA(::GetDlgItem(window, uids::kCancelButtonId), BM_CLICK, 0, 0,
                                    SMTO_NORMAL, 15000, &ignored));
  EXPECT_TRUE(::SendMessageTimeoutA(window, WM_CLOSE, 0, 0, SMTO_NORMAL, 15000, &ignored));
  EXPECT_EQ(questions(app), 1);
  testing_support::postClick(::GetDlgItem(box, IDYES));
  // Stop, hide, a one-second pause, destroy. Without a window manager Wine's
  // X11 driver waits up to 2 s for a hidden window to be withdrawn, so allow
  // more than Windows would need.
  EXPECT_TRUE(waitFor([&] { return !::IsWindowVisible(window); }, 15000));
  EXPECT_TRUE(waitFor([&] { return !::IsWindow(window); }, 20000));
  EXPECT_EQ(questions(app), 0) << "no report of a failed cancel";
  expectTheOldProgramCarriesOn(app);
}

TEST_F(UpdaterTest, ClosingTheMainWindowDuringATransferExitsCleanly) {
  serveSlowly();
  RunningApp app;
  HWND window = acceptUpdate(app);
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(waitFor([&] { return downloading(window); }, 15000));
  ASSERT_TRUE(app.waitForMainWindow());
  EXPECT_TRUE(closesCleanly(app));
  EXPECT_FALSE(newExeArrived());
}

// One faulty transfer for each way a fault reaches the user: a failed
// answer, a body cut short, and a file that passes but will not start. The
// engine's checks are download_test's rows; which checks a release asks for,
// DownloadChecksFor's.
TEST_F(UpdaterTest, FaultyTransfersStartNothing) {
  Response missing;
  missing.status = 404;
  missing.body = "<html>404</html>";
  Response dropped = ok(probe_ + std::string(256 * 1024, 'x'));
  dropped.dropAfter = static_cast<long long>(dropped.body.size() / 2);
  const std::string junkStart = unstartable(probe_);
  const std::string byB =
      authenticodeSigned(testing_support::besideThisExe("update_probe.exe"), TestPublisher::B);
  ASSERT_FALSE(byB.empty());
  struct Case {
    const char* what;
    Response exe;
    std::string version;
    const char* told;        // what the user is told
    bool signedByA = false;  // the running Kelvora; from this row on
  };
  const Case cases[] = {
      {"404", missing, signedVersionFile(newerVersion(), probe_),
       "新版本下载失败：更新服务器没有提供新版本文件（HTTP 404），请稍后重试。"},
      {"dropped halfway", dropped, signedVersionFile(newerVersion(), dropped.body),
       "新版本下载失败：连接中断，文件没有下载完整，请重试。"},
      {"a file that cannot start", ok(junkStart), signedVersionFile(newerVersion(), junkStart),
       "新版本无法启动，已保留当前版本。"},
      // The version file names the signed bytes, as a release's does.
      {"signed by A, the new one by B", ok(byB), signedVersionFile(newerVersion(), byB),
       "新版本无法启动，已保留当前版本。", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.signedByA) {
      const std::string signedExe =
          authenticodeSigned(testing_support::g_exePath, TestPublisher::A);
      ASSERT_FALSE(signedExe.empty());
      ASSERT_TRUE(platform::writeFile(exe_, {signedExe}));
    }
    server_->route(kVersionPath, ok(c.version));
    server_->route(kExePath, c.exe);
    const int before = server_->hits(kExePath);
    RunningApp app;
    ASSERT_TRUE(answerOk(app));
    ASSERT_TRUE(waitFor([&] { return server_->hits(kExePath) > before; }, 10000));
    HWND box = app.waitForWindow("更新提示", true, 15000);
    ASSERT_NE(box, nullptr) << "the failure is reported";
    EXPECT_EQ(testing_support::windowText(::GetDlgItem(box, 0xFFFF)), c.told);
    EXPECT_EQ(app.findWindow(uids::kTitle, true), nullptr) << "the update window is closed";
    testing_support::postClick(::GetDlgItem(box, IDOK));
    EXPECT_TRUE(waitFor([&] { return !::IsWindow(box); }, 15000));
    expectTheOldProgramCarriesOn(app);
    if (HasFailure()) break;
  }
}

TEST_F(UpdaterTest, DllsPlantedBesideTheExeNeverLoad) {
  // As a web page can leave them in Downloads. Native first for these names
  // is what Windows does: none of them is a KnownDLL.
  const std::vector<std::string> names = {"wininet", "bcrypt",    "mpr",     "crypt32",  "secur32",
                                          "winhttp", "cryptbase", "sspicli", "iertutil", "urlmon",
                                          "userenv", "propsys",   "dwmapi",  "uxtheme"};
  const platform::Bytes planted = platform::readFile(testing_support::besideThisExe("planted.dll"));
  ASSERT_EQ(planted.substr(0, 2), "MZ");
  // Plants `dlls` beside a copy of the program in `dir` and starts it with
  // them native first. Wine's loader reads that from the registry for every
  // program named Kelvora.exe; WINEDLLOVERRIDES set here would not reach the
  // program. The key stays while the program runs: it loads some DLLs late.
  auto launchBesidePlanted = [&](RunningApp& app, const std::string& dir,
                                 const std::vector<std::string>& dlls) {
    auto nativeFirst = std::make_unique<testing_support::ScratchKey>(
        HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\Kelvora.exe");
    for (const std::string& name : dlls) {
      if (!platform::writeFile(dir + "\\" + name + ".dll", {planted}))
        return decltype(nativeFirst)();
      nativeFirst->set("DllOverrides", name, REG_SZ, std::string("native,builtin", 15));
    }
    const std::string exe = dir + "\\Kelvora.exe";
    if (!::CopyFileA(testing_support::g_exePath.c_str(), exe.c_str(), FALSE) ||
        !app.launch(dir, exe)) {
      return decltype(nativeFirst)();
    }
    return nativeFirst;
  };
  {
    // The control: version.dll, which Wine's own user32 loads before any
    // code of ours, planted the same way, is loaded and leaves its mark
    // (refused, it ends the program before its window).
    testing_support::TempFolder control("kelvora-planted");
    RunningApp app;
    const auto nativeFirst = launchBesidePlanted(app, control.path(), {"version"});
    ASSERT_TRUE(nativeFirst);
    const std::string mark = control / "version.dll.loaded";
    EXPECT_TRUE(waitFor([&] { return platform::fileExists(mark) || !app.running(); }, 30000));
    ASSERT_TRUE(platform::fileExists(mark)) << "a planted DLL that loads is seen";
  }
  RunningApp app;
  const auto nativeFirst = launchBesidePlanted(app, runDir_.path(), names);
  ASSERT_TRUE(nativeFirst);
  HWND box = app.waitForWindow("更新提示", true, 30000);
  ASSERT_NE(box, nullptr) << "the version check still works";
  DWORD_PTR ignored = 0;
  ::SendMessageTimeoutA(::GetDlgItem(box, IDCANCEL), BM_CLICK, 0, 0, SMTO_NORMAL, 5000, &ignored);
  ASSERT_TRUE(app.waitForMainWindow()) << "the window comes up";
  EXPECT_TRUE(closesCleanly(app));
  for (const std::string& name : names) {
    EXPECT_FALSE(platform::fileExists(runDir_ / (name + ".dll.loaded"))) << name;
  }
}

TEST_F(UpdaterTest, LinksInTheFoldersItWritesLeaveTheirTargetsAlone) {
  struct Case {
    const char* what;
    std::string name;
    bool dangling;
    bool updates;  // the update still goes through
  };
  const Case cases[] = {
      {update::kCleanupScriptName, runDir_ / update::kCleanupScriptName, false, true},
      {"update.temp", updateTemp(), false, false},
      {"update.temp to nowhere", updateTemp(), true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(::CopyFileA(testing_support::g_exePath.c_str(), exe_.c_str(), FALSE));
    testing_support::TempFolder elsewhere("kelvora-victim");
    const std::string victim = elsewhere / "victim.txt";
    if (!c.dangling) {
      ASSERT_TRUE(platform::writeFile(victim, {"keep me"}));
    }
    testing_support::UnixLink link(c.name, victim);
    ASSERT_TRUE(link.made());
    const int fetched = server_->hungUp(kVersionPath);
    const int downloads = server_->hits(kExePath);
    RunningApp app;
    ASSERT_TRUE(answerOk(app));
    if (c.updates) {
      // The new version starts; without its script the old exe simply stays.
      ASSERT_EQ(::WaitForSingleObject(app.process(), 30000), WAIT_OBJECT_0);
      EXPECT_TRUE(waitFor([&] { return probeStarted(); }, 10000));
      EXPECT_TRUE(newExeArrived());
      EXPECT_TRUE(platform::fileExists(exe_));
    } else {
      // The download cannot start: it says so, no update window opens, and
      // the program carries on.
      ASSERT_TRUE(waitFor([&] { return server_->hungUp(kVersionPath) == fetched + 2; }, 20000));
      HWND box = app.waitForWindow("更新提示", true, 15000);
      ASSERT_NE(box, nullptr) << "the failure is said";
      EXPECT_EQ(testing_support::windowText(::GetDlgItem(box, 0xFFFF)),
                "无法在程序所在的文件夹中写入更新，无法更新。");
      testing_support::postClick(::GetDlgItem(box, IDOK));
      ASSERT_TRUE(waitFor([&] { return !::IsWindow(box); }, 5000));
      ASSERT_TRUE(app.waitForMainWindow());
      ASSERT_TRUE(app.settled());
      EXPECT_EQ(app.findWindow(uids::kTitle, true), nullptr);
      EXPECT_TRUE(closesCleanly(app));
      EXPECT_EQ(server_->hits(kExePath), downloads);
    }
    if (c.dangling) {
      EXPECT_FALSE(platform::fileExists(victim)) << "nothing made where the link points";
    } else {
      EXPECT_EQ(platform::readFile(victim), "keep me");
      EXPECT_EQ(::GetFileAttributesA(victim.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
    }
    ::DeleteFileA(newExe().c_str());
    ::DeleteFileA((runDir_ / "probe-started.txt").c_str());
    if (HasFailure()) break;
  }
}

// A top-level dialog box of process `pid`, found by its class: in code page
// 1252 the program's GBK captions read as other characters.
HWND dialogOf(DWORD pid) {
  for (HWND w = ::GetTopWindow(nullptr); w; w = ::GetWindow(w, GW_HWNDNEXT)) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(w, &owner);
    char cls[16] = {};
    ::GetClassNameA(w, cls, sizeof cls);
    if (owner == pid && ::IsWindowVisible(w) && std::string(cls) == "#32770") return w;
  }
  return nullptr;
}

TEST_F(UpdaterTest, InCodePage1252ARunFolderNamedCafeHoldsTheUpdate) {
  // Its own CTest entry runs it in code page 1252 (LC_ALL=C.UTF-8 under
  // Wine, which keeps such file names intact), where é is the one byte E9:
  // taken as a lead byte, it would swallow the backslash after it, and the
  // update would land in C:\.
  if (::GetACP() != 1252) GTEST_SKIP() << "runs in code page 1252 only";
  const std::string dir = "C:\\Caf\xE9";
  const std::string newName = update::updateFileName(newerVersion());
  auto clean = [&] {
    for (const std::string& name :
         {std::string("Kelvora.exe"), newName, std::string(update::kCleanupScriptName),
          std::string("probe-started.txt")}) {
      ::SetFileAttributesA((dir + "\\" + name).c_str(), FILE_ATTRIBUTE_NORMAL);
      ::DeleteFileA((dir + "\\" + name).c_str());
    }
    ::RemoveDirectoryA(dir.c_str());
    // Where the fault would have put them.
    for (const std::string& name :
         {newName, std::string(update::kCleanupScriptName), std::string("probe-started.txt")}) {
      ::SetFileAttributesA(("C:\\" + name).c_str(), FILE_ATTRIBUTE_NORMAL);
      ::DeleteFileA(("C:\\" + name).c_str());
    }
  };
  clean();
  // However the test ends, once the program below is gone; the folder goes
  // once the programs it started (their working folder) have let go of it.
  const AtEnd cleanUp{[&] {
    waitFor(
        [&] {
          clean();
          return ::GetFileAttributesA(dir.c_str()) == INVALID_FILE_ATTRIBUTES;
        },
        10000, false, 100);
  }};
  ASSERT_TRUE(::CreateDirectoryA(dir.c_str(), nullptr));
  const std::string copy = dir + "\\Kelvora.exe";
  ASSERT_TRUE(::CopyFileA(testing_support::g_exePath.c_str(), copy.c_str(), FALSE));
  RunningApp app;
  ASSERT_TRUE(app.launch(dir, copy));
  HWND box = nullptr;
  ASSERT_TRUE(waitFor([&] { return (box = dialogOf(app.processId())) != nullptr; }, 30000));
  testing_support::postClick(::GetDlgItem(box, IDOK));
  ASSERT_EQ(::WaitForSingleObject(app.process(), 30000), WAIT_OBJECT_0);
  DWORD code = 1234;
  ::GetExitCodeProcess(app.process(), &code);
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(platform::fileExists(dir + "\\" + newName));
  EXPECT_TRUE(platform::fileExists(dir + "\\tem.vbs"));
  EXPECT_TRUE(waitFor([&] { return platform::fileExists(dir + "\\probe-started.txt"); }, 10000))
      << "the new version found its own folder too";
  EXPECT_FALSE(platform::fileExists("C:\\" + newName));
  EXPECT_FALSE(platform::fileExists("C:\\tem.vbs"));
}

TEST_F(UpdaterTest, InCodePage1252ANameTheCodePageCannotGiveBackGetsNoScript) {
  // In code page 1252, best fit turns the ā of C:\Kelvorā into a: the
  // program's ANSI name for itself is then C:\Kelvora\Kelvora.exe, another
  // folder's file, which a clean-up script would delete. The update still
  // lands where that name leads; no script is left to delete anything.
  if (::GetACP() != 1252) GTEST_SKIP() << "runs in code page 1252 only";
  const std::wstring wideDir = L"C:\\Kelvor\u0101";
  const std::string decoyDir = "C:\\Kelvora";
  char ansi[MAX_PATH] = {};
  ::WideCharToMultiByte(CP_ACP, 0, wideDir.c_str(), -1, ansi, sizeof ansi, nullptr, nullptr);
  ASSERT_EQ(std::string(ansi), decoyDir) << "best fit as on Windows";
  const std::string newName = update::updateFileName(newerVersion());
  auto clean = [&] {
    ::DeleteFileW((wideDir + L"\\Kelvora.exe").c_str());
    ::RemoveDirectoryW(wideDir.c_str());
    for (const std::string& name :
         {std::string("Kelvora.exe"), newName, std::string(update::kCleanupScriptName),
          std::string("probe-started.txt")}) {
      ::SetFileAttributesA((decoyDir + "\\" + name).c_str(), FILE_ATTRIBUTE_NORMAL);
      ::DeleteFileA((decoyDir + "\\" + name).c_str());
    }
    ::RemoveDirectoryA(decoyDir.c_str());
  };
  clean();
  const AtEnd cleanUp{[&] {
    waitFor(
        [&] {
          clean();
          return ::GetFileAttributesW(wideDir.c_str()) == INVALID_FILE_ATTRIBUTES &&
                 ::GetFileAttributesA(decoyDir.c_str()) == INVALID_FILE_ATTRIBUTES;
        },
        10000, false, 100);
  }};
  ASSERT_TRUE(::CreateDirectoryW(wideDir.c_str(), nullptr));
  ASSERT_TRUE(::CreateDirectoryA(decoyDir.c_str(), nullptr));
  ASSERT_TRUE(platform::writeFile(decoyDir + "\\Kelvora.exe", {"someone else's"}));
  const std::wstring exe = wideDir + L"\\Kelvora.exe";
  const std::string from = testing_support::g_exePath;
  ASSERT_TRUE(::CopyFileW(std::wstring(from.begin(), from.end()).c_str(), exe.c_str(), FALSE));
  std::wstring command = L"\"" + exe + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  ASSERT_TRUE(::CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               wideDir.c_str(), &startup, &info));
  const platform::UniqueKernelHandle process(info.hProcess);
  const platform::UniqueKernelHandle thread(info.hThread);
  // Ended however the test ends, before the folders are cleaned up.
  struct Ends {
    HANDLE process;
    ~Ends() {
      if (::WaitForSingleObject(process, 0) == WAIT_TIMEOUT) ::TerminateProcess(process, 1);
      ::WaitForSingleObject(process, 10000);
    }
  } ends{process.get()};
  HWND box = nullptr;
  ASSERT_TRUE(waitFor([&] { return (box = dialogOf(info.dwProcessId)) != nullptr; }, 30000))
      << "no update prompt";
  testing_support::postClick(::GetDlgItem(box, IDOK));
  ASSERT_EQ(::WaitForSingleObject(process.get(), 30000), WAIT_OBJECT_0);
  EXPECT_TRUE(
      waitFor([&] { return platform::fileExists(decoyDir + "\\probe-started.txt"); }, 10000))
      << "the new version started";
  EXPECT_FALSE(platform::fileExists(decoyDir + "\\" + update::kCleanupScriptName))
      << "a script that would delete the other folder's Kelvora.exe";
  EXPECT_EQ(platform::readFile(decoyDir + "\\Kelvora.exe"), "someone else's");
  EXPECT_NE(::GetFileAttributesW(exe.c_str()), INVALID_FILE_ATTRIBUTES) << "the old exe stays";
}

TEST(StartVerified, StartsOnlyTheExpectedFileAndOnlyWhileNobodyCanWriteIt) {
  // In process: the probe is a real program, so a start that should not
  // happen would happen, and would leave its mark in its own folder.
  const std::string probePath = testing_support::besideThisExe("update_probe.exe");
  const platform::Bytes probe = platform::readFile(probePath);
  ASSERT_EQ(probe.substr(0, 2), "MZ");
  const auto size = static_cast<long long>(probe.size());
  const std::string sha = platform::toHex(platform::sha256(probe));
  // The same probe signed by each test publisher, and A's with one byte of
  // its headers flipped: at 0x400 lies a section header of the table that
  // runs up to the code, and the signature's digest covers it as it covers
  // the code.
  const platform::Bytes byA = authenticodeSigned(probePath, TestPublisher::A);
  const platform::Bytes byB = authenticodeSigned(probePath, TestPublisher::B);
  ASSERT_FALSE(byA.empty());
  ASSERT_FALSE(byB.empty());
  platform::Bytes flipped = byA;
  flipped[0x400] ^= 1;
  testing_support::TempFolder dir("kelvora-start");
  // The running program: unsigned, or signed by A, read as the updater reads its own.
  const std::string runningA = dir / "running-a.exe";
  ASSERT_TRUE(platform::writeFile(runningA, {byA}));
  const update::Publisher unsignedRunning =
      update::requiredPublisher(std::u16string(probePath.begin(), probePath.end()));
  const update::Publisher signedRunning =
      update::requiredPublisher(std::u16string(runningA.begin(), runningA.end()));
  // A running program whose own file cannot be read cannot say it is unsigned.
  const std::string gone = dir / "gone.exe";
  const update::Publisher unreadableRunning =
      update::requiredPublisher(std::u16string(gone.begin(), gone.end()));
  // Its own signature there but not verifying on this machine (any of the
  // user's programs can distrust its certificate): still its signer's.
  const std::string runningBroken = dir / "running-broken.exe";
  ASSERT_TRUE(platform::writeFile(runningBroken, {flipped}));
  const update::Publisher brokenRunning =
      update::requiredPublisher(std::u16string(runningBroken.begin(), runningBroken.end()));
  ASSERT_FALSE(unsignedRunning.required);
  ASSERT_TRUE(signedRunning.required);
  struct Case {
    const char* what;
    const platform::Bytes& file;
    std::optional<update::ExpectedFile> expected;  // none: the file's own size and hash
    bool writerHolds;  // another handle has it open for writing, sharing read
    const update::Publisher& running;
    bool starts;
  };
  const Case cases[] = {
      {"a wrong size", probe, update::ExpectedFile{size + 1, sha}, false, unsignedRunning, false},
      {"a wrong hash", probe, update::ExpectedFile{size, std::string(64, '0')}, false,
       unsignedRunning, false},
      {"a writer holds the file", probe, std::nullopt, true, unsignedRunning, false},
      {"signed by A, the new one unsigned", probe, std::nullopt, false, signedRunning, false},
      {"signed by A, the new one by B", byB, std::nullopt, false, signedRunning, false},
      {"signed by A, the new one A's with a byte flipped", flipped, std::nullopt, false,
       signedRunning, false},
      {"signed by A, the new one by A", byA, std::nullopt, false, signedRunning, true},
      {"unsigned, the new one unsigned", probe, std::nullopt, false, unsignedRunning, true},
      {"its own file unreadable, the new one unsigned", probe, std::nullopt, false,
       unreadableRunning, false},
      {"its own signature not verifying, the new one unsigned", probe, std::nullopt, false,
       brokenRunning, false},
      {"its own signature not verifying, the new one by B", byB, std::nullopt, false, brokenRunning,
       false},
      {"its own signature not verifying, the new one by A", byA, std::nullopt, false, brokenRunning,
       true},
  };
  std::vector<std::string> exes;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string folder = dir / std::to_string(exes.size());
    ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr));
    exes.push_back(folder + "\\Kelvora v9.exe");
    ASSERT_TRUE(platform::writeFile(exes.back(), {c.file}));
    platform::UniqueFile writer;
    if (c.writerHolds) {
      writer.reset(::CreateFileA(exes.back().c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
      ASSERT_TRUE(writer);
    }
    const update::ExpectedFile own{static_cast<long long>(c.file.size()),
                                   platform::toHex(platform::sha256(c.file))};
    // Longer than any start takes: the probe's idle, after its write
    // attempt, ends the wait, never the time.
    EXPECT_EQ(update::startVerified(exes.back(), c.expected.value_or(own), 10000, c.running),
              c.starts);
  }
  for (std::size_t i = 0; i < exes.size(); ++i) {
    SCOPED_TRACE(cases[i].what);
    const std::string mark = dir / (std::to_string(i) + "\\probe-started.txt");
    if (cases[i].starts) {
      EXPECT_TRUE(waitFor([&] { return platform::fileExists(mark); }, 10000));
      // Gone once the probe has ended and let go of it.
      EXPECT_TRUE(waitFor([&] { return ::DeleteFileA(exes[i].c_str()) != FALSE; }, 10000));
      EXPECT_EQ(platform::readFile(mark), "held") << "nobody could write it while it started";
    } else {
      EXPECT_FALSE(platform::fileExists(mark)) << "nothing started";
    }
  }
}

TEST(CleanupScriptUnderWine, DeletesBothFilesWithoutItsSleepLine) {
  // Wine's WScript.Sleep is a stub that stops the script, so the script as
  // written cannot finish here: its exact bytes are checked above, and this
  // runs the same text without the sleep line to prove the quoted paths.
  // (Wine's wscript also opens a script without sharing, so it cannot run
  // one while the program still holds it; the program ends first.)
  testing_support::TempFolder dir("kelvora script");
  const std::string old = dir / "Kelvora.exe";
  ASSERT_TRUE(platform::writeFile(old, {"MZ old"}));
  std::string text = update::cleanupScript(dir.path(), "Kelvora.exe");
  const std::string sleep = "  Wscript.Sleep(1000)\r\n";
  ASSERT_NE(text.find(sleep), std::string::npos);
  text.erase(text.find(sleep), sleep.size());
  const std::string script = dir / update::kCleanupScriptName;
  ASSERT_TRUE(platform::writeFile(script, {text}));

  platform::UniqueKernelHandle cscript =
      platform::startProcess("cscript.exe //nologo \"" + script + "\"", SW_HIDE);
  ASSERT_TRUE(cscript);
  ::WaitForSingleObject(cscript.get(), 30000);
  EXPECT_FALSE(platform::fileExists(old));
  EXPECT_FALSE(platform::fileExists(script));
}

// The processes this one started that are still known to the system.
std::vector<DWORD> childrenOfThisProcess() {
  std::vector<DWORD> ids;
  platform::UniqueKernelHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return ids;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32First(snapshot.get(), &entry); more;
       more = ::Process32Next(snapshot.get(), &entry)) {
    if (entry.th32ParentProcessID == ::GetCurrentProcessId()) ids.push_back(entry.th32ProcessID);
  }
  return ids;
}

TEST(CleanupScript, RunsTheSystemsWscriptNotOnePlantedBesideUs) {
  // A program that records its start, named wscript.exe in our own folder,
  // where a bare "wscript.exe" is looked for first.
  const std::string planted = testing_support::besideThisExe("wscript.exe");
  const std::string started = testing_support::besideThisExe("probe-started.txt");
  struct Undo {
    std::function<void()> run;
    ~Undo() { run(); }
  } removed{[&] {
    waitFor([&] { return ::DeleteFileA(planted.c_str()) || !platform::fileExists(planted); },
            10000);
    ::DeleteFileA(started.c_str());
  }};
  ASSERT_TRUE(::CopyFileA(testing_support::besideThisExe("update_probe.exe").c_str(),
                          planted.c_str(), FALSE));
  ::DeleteFileA(started.c_str());
  testing_support::TempFolder dir("kelvora-wscript");
  ASSERT_TRUE(platform::writeFile(dir / "Kelvora.exe", {"MZ old"}));
  const std::vector<DWORD> before = childrenOfThisProcess();
  ASSERT_TRUE(update::launchCleanupScript(dir.path(), "Kelvora.exe")) << "no script host started";
  // The host it started, or the planted one's mark if that came and went.
  DWORD host = 0;
  ASSERT_TRUE(waitFor(
      [&] {
        for (const DWORD id : childrenOfThisProcess()) {
          if (std::find(before.begin(), before.end(), id) == before.end()) host = id;
        }
        return host != 0 || platform::fileExists(started);
      },
      30000));
  EXPECT_FALSE(platform::fileExists(started)) << "the planted wscript ran";
  platform::UniqueKernelHandle process(::OpenProcess(
      PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE | PROCESS_TERMINATE, FALSE, host));
  ASSERT_TRUE(process);
  char image[MAX_PATH] = {};
  DWORD size = sizeof image;
  ASSERT_TRUE(::QueryFullProcessImageNameA(process.get(), 0, image, &size));
  const std::string path(image, size);
  EXPECT_EQ(::lstrcmpiA(path.substr(path.find_last_of('\\') + 1).c_str(), "wscript.exe"), 0)
      << path;
  EXPECT_NE(::lstrcmpiA(path.c_str(), planted.c_str()), 0) << "the planted wscript ran";
  // Wine's script host stops at the script's sleep line; it is done with us
  // either way.
  ::TerminateProcess(process.get(), 0);
  ::WaitForSingleObject(process.get(), 10000);
}

}  // namespace
