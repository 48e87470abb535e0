#include "update/updater.h"

#include <windows.h>

#include "platform/code_page.h"
#include "platform/files.h"
#include "platform/in_place.h"
#include "platform/pause.h"
#include "platform/shell.h"
#include "platform/text.h"
#include "update/progress.h"
#include "update/self_replace.h"
#include "update/update_form.h"
#include "update/update_window.h"
#include "update/version.h"

namespace update {
namespace {

constexpr char kStartFailed[] = "新版本无法启动，已保留当前版本。";

Updater* g_updater = nullptr;  // the event handler of the task record is a plain routine

// A leftover temporary file gets a few quick tries, never an endless loop.
// One that leads elsewhere is never deleted, and the download does not
// start; nor does it where the name cannot be made anew in place (a link
// to nowhere stands there), since the transfer would fail unseen.
bool removeLeftover(const std::string& path) {
  for (int attempt = 0; attempt < 20; ++attempt) {
    if (platform::removeInPlace(path)) {
      platform::UniqueFile probe = platform::createInPlace(path, GENERIC_WRITE, 0);
      return probe && platform::deleteOpenFile(probe.get());
    }
    platform::pause(5);
  }
  return false;
}

std::string fileNameOf(const std::string& path) {
  const auto slash = platform::findLastOf(path, "\\/", platform::ansiLeadBytes());
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

// The folder already ends in a backslash; the name keeps its own.
std::string downloadTempPath() {
  return platform::tempFolder() + "\\update.temp";
}

Updater::Updater(platform::Downloader& engine, std::string publicKey)
    : engine_(engine), publicKey_(std::move(publicKey)) {
  g_updater = this;
}

Updater::~Updater() {
  if (g_updater == this) g_updater = nullptr;
}

bool Updater::start(const std::string& versionUrl, const std::string& downloadUrl,
                    const std::string& fileName) {
  if (state_ != State::Idle || engine_.running()) return false;
  // What is downloaded must be what the user was offered.
  const auto release = fetchRelease(versionUrl, publicKey_);
  if (!release || updateFileName(release->version) != fileName) return false;
  release_ = *release;
  newExePath_ = platform::runDirectory() + "\\" + fileName;

  const std::string temp = downloadTempPath();
  if (!removeLeftover(temp)) return false;

  if (window_) window_->destroy();
  window_ = std::make_unique<platform::Form>(updateFormSpec());
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

  platform::DownloadChecks checks;
  checks.size = release_.size;
  checks.sha256 = release_.sha256;
  checks.head = "MZ";
  // Without a hash, only a known length tells a whole file from a cut one.
  checks.lengthRequired = release_.sha256.empty();
  state_ = State::Downloading;
  engine_.start(task_, temp, checks);
  window_->setTimerInterval(ids::kTimer, 500);
  return true;
}

void Updater::refresh() {
  if (!window_ || !window_->exists() || state_ != State::Downloading) return;
  const int received = engine_.received();
  window_->setProgress(ids::kProgressBar, percentOf(received, total_));
  const int position = window_->progress(ids::kProgressBar);
  window_->setText(ids::kStatusLabel, progressText(received, total_, position));
}

void Updater::cancel() {
  // One question at a time, and nothing to cancel once the end has begun.
  if (!window_ || state_ != State::Downloading || asking_) return;
  if (engine_.received() <= 0) {
    // Nothing has arrived: stop without asking.
    engine_.stop(resume_, 2);
    state_ = State::Idle;
    platform::removeInPlace(downloadTempPath());
    closeWindow();
    return;
  }
  asking_ = true;
  const int answer = platform::messageBox("是否取消结束更新？", "", MB_YESNO | MB_ICONEXCLAMATION,
                                          window_->hwnd());
  asking_ = false;
  if (state_ != State::Downloading) return;
  if (answer != IDYES) {
    if (completionWaiting_) {
      completionWaiting_ = false;
      finish();
    }
    return;
  }
  // A transfer that ended while the question was up needs no stopping.
  const bool stopped = engine_.stop(resume_, 2) || !engine_.running() || completionWaiting_;
  if (!stopped) {
    platform::messageBox("取消更新失败！请重试！", "", MB_OK | MB_ICONEXCLAMATION, window_->hwnd());
    return;
  }
  state_ = State::Idle;
  if (completionWaiting_) {
    completionWaiting_ = false;
    removeNewExe();
  }
  platform::removeInPlace(downloadTempPath());
  window_->hide();
  platform::pauseProcessingMessages(1000);
  closeWindow();
}

int Updater::onDownloadEvent(int type, int, int value, int, int) {
  if (!g_updater) return 0;
  if (type == platform::kTotalSize) g_updater->total_ = value;
  if (type == platform::kComplete) g_updater->onComplete();
  return 0;
}

void Updater::onComplete() {
  if (state_ != State::Downloading) return;
  // The user is being asked whether to cancel: the answer decides.
  if (asking_) {
    completionWaiting_ = true;
    return;
  }
  finish();
}

void Updater::finish() {
  state_ = State::Finishing;
  // The timer first, so that no tick overwrites the last status.
  window_->setTimerInterval(ids::kTimer, 0);
  window_->setProgress(ids::kProgressBar, 0);
  window_->setText(ids::kStatusLabel, "文件下载完毕");
  platform::pauseProcessingMessages(100);

  const platform::DownloadResult& got = engine_.result();
  const bool asOffered = release_.sha256.empty() || release_.sha256 == got.sha256;
  if (!asOffered || !startVerified(newExePath_, {got.size, got.sha256}, 1000)) {
    // The working program stays; the file that would not start goes.
    removeNewExe();
    closeWindow();
    state_ = State::Idle;
    platform::messageBox(kStartFailed, "更新提示", MB_OK | MB_ICONERROR);
    return;
  }
  // Held until the program ends, so that what wscript reads is what was written.
  script_ = launchCleanupScript(platform::runDirectory(), fileNameOf(platform::exePath()));
  // The end-of-program routine runs once the message loop has ended, outside
  // every window procedure.
  platform::quitMessageLoop(0);
}

void Updater::closeWindow() {
  if (!window_) return;
  window_->setTimerInterval(ids::kTimer, 0);
  window_->destroy();
}

void Updater::removeNewExe() {
  // Never the running program, whatever name it was given.
  if (newExePath_.empty() || ::lstrcmpiA(newExePath_.c_str(), platform::exePath().c_str()) == 0) {
    return;
  }
  platform::removeInPlace(newExePath_);
}

}  // namespace update
