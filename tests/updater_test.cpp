// OK on the update prompt: download, progress window, cancel, self-replacement,
// with the test build of Kelvora.exe copied into a run directory of its own.
#include <windows.h>

#include <gtest/gtest.h>

#include "e2e_driver.h"
#include "http_server.h"
#include "platform/download.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "update/progress.h"
#include "update/update_window.h"

namespace {

using e2e::HttpServer;
using e2e::Response;
using e2e::RunningApp;
namespace uids = update::ids;

constexpr unsigned short kPort = KELVORA_TEST_PORT;
constexpr char kVersionPath[] = "/kelvora/version.txt";
constexpr char kExePath[] = "/kelvora/Kelvora.exe";

std::string updateTemp() {
  return platform::tempFolder() + "update.temp";
}

std::string probePath() {
  char path[MAX_PATH] = {};
  const DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string self(path, n);
  return self.substr(0, self.find_last_of('\\') + 1) + "update_probe.exe";
}

bool waitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
  const ULONGLONG end = ::GetTickCount64() + timeoutMs;
  while (::GetTickCount64() < end) {
    if (condition()) return true;
    ::Sleep(50);
  }
  return condition();
}

Response ok(std::string body) {
  Response r;
  r.body = std::move(body);
  return r;
}

class UpdaterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static int counter = 0;
    runDir_ = platform::tempFolder() + "kelvora-update-" + std::to_string(::GetCurrentProcessId()) +
              "-" + std::to_string(++counter);
    ASSERT_TRUE(::CreateDirectoryA(runDir_.c_str(), nullptr));
    exe_ = runDir_ + "\\Kelvora.exe";
    ASSERT_TRUE(::CopyFileA(e2e::g_exePath.c_str(), exe_.c_str(), FALSE));
    probe_ = platform::readFile(probePath());
    ASSERT_EQ(probe_.substr(0, 2), "MZ");
    ::DeleteFileA(updateTemp().c_str());
    server_ = std::make_unique<HttpServer>(kPort);
    ASSERT_TRUE(server_->listening());
    server_->route(kVersionPath,
                   ok("[1.3]\r\nsha256=" + platform::sha256OfFile(probePath()) + "\r\n"));
    server_->route(kExePath, ok(probe_));
  }
  void TearDown() override {
    server_.reset();
    for (const char* name : {"Kelvora.exe", "Kelvora v1.3.exe", "tem.vbs", "probe-started.txt"}) {
      const std::string path = runDir_ + "\\" + name;
      ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      ::DeleteFileA(path.c_str());
    }
    ::RemoveDirectoryA(runDir_.c_str());
    ::DeleteFileA(updateTemp().c_str());
  }

  // Starts the copy, answers OK on the prompt and waits for the update window.
  HWND acceptUpdate(RunningApp& app) {
    if (!app.launch(runDir_, exe_)) return nullptr;
    HWND box = app.waitForWindow("更新提示", true, 30000);
    if (!box) return nullptr;
    e2e::postClick(::GetDlgItem(box, IDOK));
    return app.waitForWindow(uids::kTitle, true, 15000);
  }
  // A slow download of a large executable.
  void serveSlowly() {
    Response slow = ok("MZ" + std::string(4 << 20, 'x'));
    slow.pieceSize = 16384;
    slow.pieceDelayMs = 100;
    server_->route(kVersionPath, ok("[1.3]"));
    server_->route(kExePath, slow);
  }
  static std::string status(HWND window) {
    return e2e::windowText(::GetDlgItem(window, uids::kStatusLabelId));
  }
  static bool downloading(HWND window) {
    const std::string text = status(window);
    return text.rfind("正在下载:", 0) == 0 && text.rfind("正在下载:0MB/", 0) != 0;
  }
  bool newExeArrived() const { return platform::fileExists(runDir_ + "\\Kelvora v1.3.exe"); }

  std::string runDir_;
  std::string exe_;
  platform::Bytes probe_;
  std::unique_ptr<HttpServer> server_;
};

TEST_F(UpdaterTest, OkDownloadsStartsTheNewVersionAndLeavesTheScript) {
  // A leftover from an earlier run must not end up in the new file.
  ASSERT_TRUE(platform::writeFile(updateTemp(), {"stale leftover"}));
  RunningApp app;
  ASSERT_NE(acceptUpdate(app), nullptr);
  ASSERT_EQ(::WaitForSingleObject(app.process(), 30000), WAIT_OBJECT_0) << "the old program ends";
  DWORD code = 1234;
  ::GetExitCodeProcess(app.process(), &code);
  EXPECT_EQ(code, 0u);

  EXPECT_EQ(platform::readFile(runDir_ + "\\Kelvora v1.3.exe"), probe_);
  EXPECT_TRUE(waitFor([&] { return platform::fileExists(runDir_ + "\\probe-started.txt"); }, 10000))
      << "the new version was started";
  const std::string script = runDir_ + "\\tem.vbs";
  EXPECT_EQ(platform::readFile(script), update::cleanupScript(runDir_, "Kelvora.exe"));
  const DWORD attributes = ::GetFileAttributesA(script.c_str());
  EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN);
  EXPECT_FALSE(platform::fileExists(updateTemp()));
  EXPECT_EQ(server_->hits(kVersionPath), 2) << "the starter fetched the version again";
}

TEST_F(UpdaterTest, CancelBeforeAnyByteClosesWithoutAQuestion) {
  Response hang;
  hang.hang = true;
  server_->route(kExePath, hang);
  ASSERT_TRUE(platform::writeFile(updateTemp(), {"stale"}));
  RunningApp app;
  HWND window = acceptUpdate(app);
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(platform::fileExists(updateTemp())) << "the leftover is removed first";
  e2e::postClick(::GetDlgItem(window, uids::kCancelButtonId));
  EXPECT_TRUE(waitFor([&] { return !::IsWindow(window); }, 3000));
  EXPECT_EQ(app.findWindow("", true), nullptr) << "no question was asked";
  ASSERT_TRUE(app.waitForMainWindow());
  DWORD code = 1234;
  ASSERT_TRUE(app.close(code));
  EXPECT_EQ(code, 0u);
}

TEST_F(UpdaterTest, SlowTransferAsksBeforeCancelling) {
  serveSlowly();
  RunningApp app;
  HWND window = acceptUpdate(app);
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(waitFor([&] { return downloading(window); }, 15000)) << status(window);

  e2e::postClick(::GetDlgItem(window, uids::kCancelButtonId));
  HWND box = app.waitForWindow("", true, 5000);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(e2e::windowText(::GetDlgItem(box, 0xFFFF)), "是否取消结束更新？");
  e2e::postClick(::GetDlgItem(box, IDNO));
  ASSERT_TRUE(waitFor([&] { return !::IsWindow(box); }, 3000));
  const std::string before = status(window);
  EXPECT_TRUE(waitFor([&] { return status(window) != before; }, 5000)) << "it carries on";
  EXPECT_TRUE(::IsWindowVisible(window));

  e2e::postClick(::GetDlgItem(window, uids::kCancelButtonId));
  box = app.waitForWindow("", true, 5000);
  ASSERT_NE(box, nullptr);
  e2e::postClick(::GetDlgItem(box, IDYES));
  // Stop, hide, a one-second pause, destroy. Without a window manager Wine's
  // X11 driver waits up to 2 s for a hidden window to be withdrawn, so allow
  // more than Windows would need.
  EXPECT_TRUE(waitFor([&] { return !::IsWindowVisible(window); }, 5000));
  EXPECT_TRUE(waitFor([&] { return !::IsWindow(window); }, 10000));
  EXPECT_FALSE(platform::fileExists(updateTemp()));
  EXPECT_FALSE(newExeArrived());
  ASSERT_TRUE(app.waitForMainWindow());
  EXPECT_EQ(app.title(), "Kelvora v1.2") << "the main window still answers";
  DWORD code = 1234;
  ASSERT_TRUE(app.close(code));
  EXPECT_EQ(code, 0u);
}

TEST_F(UpdaterTest, ClosingTheMainWindowDuringATransferExitsCleanly) {
  serveSlowly();
  RunningApp app;
  HWND window = acceptUpdate(app);
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(waitFor([&] { return downloading(window); }, 15000));
  ASSERT_TRUE(app.waitForMainWindow());
  DWORD code = 1234;
  ASSERT_TRUE(app.close(code, 10000));
  EXPECT_EQ(code, 0u);
  EXPECT_FALSE(newExeArrived());
}

TEST_F(UpdaterTest, FaultyTransfersStartNothing) {
  Response missing;
  missing.status = 404;
  missing.body = "<html>404</html>";
  Response dropped = ok(probe_ + std::string(256 * 1024, 'x'));
  dropped.dropAfter = static_cast<long long>(dropped.body.size() / 2);
  Response shortBody = ok(probe_);
  shortBody.announce = static_cast<long long>(probe_.size()) + 1000;
  struct Case {
    const char* what;
    Response exe;
    std::string version;
  };
  const Case cases[] = {
      {"404", missing, "[1.3]"},
      {"dropped halfway", dropped, "[1.3]"},
      {"short body", shortBody, "[1.3]"},
      {"HTML page with 200", ok("<html>captive portal</html>"), "[1.3]"},
      {"wrong SHA-256", ok(probe_), "[1.3]\nsha256=" + std::string(64, '0')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    server_->route(kVersionPath, ok(c.version));
    server_->route(kExePath, c.exe);
    const int before = server_->hits(kExePath);
    RunningApp app;
    HWND window = acceptUpdate(app);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(waitFor([&] { return server_->hits(kExePath) > before; }, 10000));
    ::Sleep(2000);  // time for the transfer to end and fail
    EXPECT_EQ(::WaitForSingleObject(app.process(), 0), WAIT_TIMEOUT) << "still running";
    EXPECT_FALSE(newExeArrived());
    EXPECT_FALSE(platform::fileExists(runDir_ + "\\probe-started.txt"));
    EXPECT_FALSE(platform::fileExists(updateTemp()));
    EXPECT_TRUE(::IsWindow(window)) << "the window stays for the user to cancel";
    e2e::postClick(::GetDlgItem(window, uids::kCancelButtonId));
    EXPECT_TRUE(waitFor([&] { return !::IsWindow(window); }, 3000));
    ASSERT_TRUE(app.waitForMainWindow());
    DWORD code = 1234;
    ASSERT_TRUE(app.close(code));
    EXPECT_EQ(code, 0u);
  }
}

TEST(CleanupScriptUnderWine, DeletesBothFilesWithoutItsSleepLine) {
  // Wine's WScript.Sleep is a stub that stops the script, so the script as
  // written cannot finish here: its exact bytes are checked above, and this
  // runs the same text without the sleep line to prove the quoted paths.
  const std::string dir =
      platform::tempFolder() + "kelvora script " + std::to_string(::GetCurrentProcessId());
  ASSERT_TRUE(::CreateDirectoryA(dir.c_str(), nullptr));
  const std::string old = dir + "\\Kelvora.exe";
  ASSERT_TRUE(platform::writeFile(old, {"MZ old"}));
  std::string text = update::cleanupScript(dir, "Kelvora.exe");
  const std::string sleep = "  Wscript.Sleep(1000)\r\n";
  ASSERT_NE(text.find(sleep), std::string::npos);
  text.erase(text.find(sleep), sleep.size());
  const std::string script = dir + "\\tem.vbs";
  ASSERT_TRUE(platform::writeFile(script, {text}));

  std::string command = "cscript.exe //nologo \"" + script + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  ASSERT_TRUE(::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &info));
  ::WaitForSingleObject(info.hProcess, 30000);
  ::CloseHandle(info.hThread);
  ::CloseHandle(info.hProcess);
  EXPECT_FALSE(platform::fileExists(old));
  EXPECT_FALSE(platform::fileExists(script));
  ::DeleteFileA(old.c_str());
  ::DeleteFileA(script.c_str());
  ::RemoveDirectoryA(dir.c_str());
}

}  // namespace
