#include "update/updater.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdlib>

#include "platform/files.h"
#include "platform/handles.h"
#include "platform/pause.h"
#include "platform/process.h"
#include "platform/shell.h"
#include "update/progress.h"
#include "update/update_check.h"
#include "update/update_window.h"
#include "update/version.h"

namespace update {
namespace {

using K = platform::ControlKind;

constexpr platform::ControlSpec kControls[] = {
    {ids::kProgressBar, K::ProgressBar, ids::kProgressBarId, 16, 16, 368, 22, ""},
    {ids::kStatusLabel, K::Label, ids::kStatusLabelId, 16, 48, 368, 20, ""},
    {ids::kTimer, K::Timer, ids::kTimerId, 0, 0, 0, 0, ""},
    {ids::kCancelButton, K::Button, ids::kCancelButtonId, 294, 76, 90, 28, "取消(&Q)"},
};
constexpr platform::FormSpec kUpdateForm = {ids::kTitle, 400, 116, "微软雅黑", kControls};

Updater* g_updater = nullptr;  // the event handler of the task record is a plain routine

// A leftover temporary file gets a few quick tries, never an endless loop.
bool removeLeftover(const std::string& path) {
  for (int attempt = 0; attempt < 20 && platform::fileExists(path); ++attempt) {
    platform::deleteFile(path);
    if (platform::fileExists(path)) ::Sleep(5);
  }
  return !platform::fileExists(path);
}

std::string exeFileName() {
  char path[MAX_PATH] = {};
  const DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  const std::string full(path, n);
  const auto slash = full.find_last_of("\\/");
  return slash == std::string::npos ? full : full.substr(slash + 1);
}

// Started by its full path; the command line is quoted, since the versioned
// name holds a space and an unquoted one would find the old "Kelvora.exe" first.
void startProgram(const std::string& path) {
  platform::UniqueKernelHandle process =
      platform::startProcess("\"" + path + "\"", SW_SHOWNORMAL, path);
  if (process) ::WaitForInputIdle(process.get(), 1000);
}

}  // namespace

// The folder already ends in a backslash; the name keeps its own.
std::string downloadTempPath() {
  return platform::tempFolder() + "\\update.temp";
}

void launchCleanupScript(const std::string& runDirectory, const std::string& exeName) {
  const std::string script = runDirectory + "\\tem.vbs";
  // A hidden script from an earlier update would refuse to be overwritten.
  ::SetFileAttributesA(script.c_str(), FILE_ATTRIBUTE_NORMAL);
  platform::writeFile(script, {cleanupScript(runDirectory, exeName)});
  ::SetFileAttributesA(script.c_str(), FILE_ATTRIBUTE_HIDDEN);
  ::ShellExecuteA(nullptr, "open", script.c_str(), nullptr, "", SW_SHOWNORMAL);
}

Updater::Updater(platform::Downloader& engine) : engine_(engine) {
  g_updater = this;
}

Updater::~Updater() {
  if (g_updater == this) g_updater = nullptr;
}

bool Updater::start(const std::string& versionUrl, const std::string& downloadUrl,
                    const std::string& fileName) {
  const auto body = fetchVersionFile(versionUrl);
  const std::string remote = body ? parseVersionFile(*body) : std::string();
  if (remote.empty() || engine_.running()) return false;
  remoteVersion_ = remote;
  const std::string expectedSha = parseSha256Line(*body).value_or(std::string());
  newExePath_ = platform::runDirectory() + "\\" + fileName;

  const std::string temp = downloadTempPath();
  if (!removeLeftover(temp)) return false;

  if (window_) window_->destroy();
  window_ = std::make_unique<platform::Form>(kUpdateForm);
  if (!window_->create()) return false;
  window_->onTimer(ids::kTimer, [this] { refresh(); });
  window_->onClick(ids::kCancelButton, [this] { cancel(); });
  window_->onClose([this] { cancel(); });
  window_->show();

  task_.readSize = 4096;
  task_.source = downloadUrl;
  task_.retries = 5;
  task_.destination = newExePath_;
  task_.retryDelayMs = 5000;
  task_.connectTimeoutMs = 5000;
  task_.receiveTimeoutMs = 8000;
  task_.onEvent = &Updater::onDownloadEvent;
  total_ = 0;

  // What arrives must be an executable, and the one the version file names.
  engine_.start(task_, temp, [expectedSha](const std::string& path) {
    if (platform::readFileHead(path, 2) != "MZ") return false;
    return expectedSha.empty() || platform::sha256OfFile(path) == expectedSha;
  });
  window_->setTimerInterval(ids::kTimer, 500);
  return true;
}

void Updater::refresh() {
  if (!window_ || !window_->exists()) return;
  const int received = engine_.received();
  window_->setProgress(ids::kProgressBar, percentOf(received, total_));
  const int position = window_->progress(ids::kProgressBar);
  window_->setText(ids::kStatusLabel, progressText(received, total_, position));
}

void Updater::cancel() {
  if (!window_) return;
  if (engine_.received() > 0) {
    if (platform::messageBox("是否取消结束更新？", "", MB_YESNO | MB_ICONEXCLAMATION) != IDYES) {
      return;
    }
    if (!engine_.stop(resume_, 2)) {
      platform::messageBox("取消更新失败！请重试！", "", MB_OK | MB_ICONEXCLAMATION);
      return;
    }
    platform::deleteFile(downloadTempPath());
    window_->hide();
    platform::pauseProcessingMessages(1000);
  }
  window_->destroy();
}

int Updater::onDownloadEvent(int type, int, int value, int, int) {
  if (!g_updater) return 0;
  if (type == platform::kTotalSize) g_updater->total_ = value;
  if (type == platform::kComplete) g_updater->complete();
  return 0;
}

void Updater::complete() {
  if (window_ && window_->exists()) {
    window_->setProgress(ids::kProgressBar, 0);
    window_->setText(ids::kStatusLabel, "文件下载完毕");
  }
  platform::pauseProcessingMessages(100);
  if (window_) window_->setTimerInterval(ids::kTimer, 0);
  startProgram(newExePath_);
  launchCleanupScript(platform::runDirectory(), exeFileName());
  std::exit(0);  // the end-of-program routine runs from atexit
}

}  // namespace update
