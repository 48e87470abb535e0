#include "update/updater.h"

#include <windows.h>

#include "platform/code_page.h"
#include "platform/files.h"
#include "platform/in_place.h"
#include "platform/path.h"
#include "platform/message_loop.h"
#include "platform/shell.h"
#include "platform/text.h"
#include "platform/ui_post.h"
#include "update/progress.h"
#include "update/self_replace.h"
#include "update/update_form.h"
#include "update/version.h"

namespace update {
namespace {

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

}  // namespace

platform::DownloadChecks downloadChecksFor(const Release& release) {
  platform::DownloadChecks checks;
  checks.size = release.size;
  checks.sha256 = release.sha256;
  checks.head = "MZ";
  // Without a hash, only a known length tells a whole file from a cut one.
  checks.lengthRequired = release.sha256.empty();
  return checks;
}

Updater::Updater(platform::Downloader& engine, std::string publicKey, EndHandler ended,
                 UpdateRoute route, std::string self)
    : engine_(engine),
      publicKey_(std::move(publicKey)),
      ended_(std::move(ended)),
      route_(route),
      self_(self.empty() ? platform::exePath() : std::move(self)),
      runFolder_(platform::folderOf(self_, platform::ansiLeadBytes())) {
  // Member 15: a closure that knows this updater, so that no global has to.
  task_.onEvent = [this](int type, int, int value, int, int) {
    onDownloadEvent(type, value);
    return 0;
  };
}

Updater::~Updater() = default;

std::string Updater::tempPath() const {
  return platform::joinPath(runFolder_, kDownloadTempName, platform::ansiLeadBytes());
}

bool Updater::start(const std::string& versionUrl, const std::string& downloadUrl,
                    const std::string& fileName) {
  if (state_ != State::Idle || engine_.running()) return false;
  state_ = State::Fetching;
  // What is downloaded must be what the user was offered: fetched again, off
  // the UI thread; the window opens only for that very version.
  fetchRelease(
      versionUrl, publicKey_,
      platform::guarded(life_, [this, downloadUrl, fileName](std::optional<Release> release) {
        state_ = State::Idle;
        if (release && updateFileName(release->version) == fileName) {
          begin(*release, downloadUrl, fileName);
        }
      }));
  return true;
}

void Updater::startNewest(const std::string& versionUrl, const std::string& downloadUrl,
                          const std::string& ownVersion) {
  if (state_ != State::Idle || engine_.running()) return end(kUpdateFailed);
  state_ = State::Fetching;
  auto answered = [this, downloadUrl, ownVersion](std::optional<Release> release) {
    state_ = State::Idle;
    if (!release) {
      platform::messageBox(kNoReleaseText, "更新提示", MB_OK | MB_ICONERROR);
      return end(kUpdateFailed);
    }
    if (!versionLess(ownVersion, release->version)) return end(kNoNewerVersion);
    begin(*release, downloadUrl, updateFileName(release->version));
  };
  fetchRelease(versionUrl, publicKey_, platform::guarded(life_, std::move(answered)));
}

void Updater::end(UpdateEnd how) {
  if (ended_) {
    ended_(how);
  } else if (how == kUpdateInstalled) {
    // The end-of-program routine runs once the message loop has ended,
    // outside every window procedure.
    platform::quitMessageLoop(0);
  }
}

void Updater::begin(const Release& release, const std::string& downloadUrl,
                    const std::string& fileName) {
  release_ = release;
  newExePath_ = platform::joinPath(runFolder_, fileName, platform::ansiLeadBytes());
  const std::string temp = tempPath();
  if (!removeLeftover(temp)) {
    platform::messageBox(kCannotWriteText, "更新提示", MB_OK | MB_ICONERROR);
    return end(kUpdateFailed);
  }

  if (window_) window_->destroy();
  window_ = std::make_unique<platform::Form>(updateFormSpec());
  if (!window_->create()) return end(kUpdateFailed);
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
  total_ = 0;

  if (!engine_.start(task_, temp, downloadChecksFor(release_))) {
    closeWindow();
    return end(kUpdateFailed);
  }
  state_ = State::Downloading;
  window_->setTimerInterval(ids::kTimer, 500);
  // Read now, while the download runs, rather than between its end and the
  // new version's start.
  ownPublisher();
}

void Updater::refresh() {
  if (!window_ || !window_->exists() || state_ != State::Downloading) return;
  const int received = engine_.received();
  window_->setProgress(ids::kProgressBar, percentOf(received, total_));
  const int position = window_->progress(ids::kProgressBar);
  window_->setText(ids::kStatusLabel, progressText(received, total_, position));
}

void Updater::cancel() {
  // Only a transfer that really runs is cancelled, and one question at a time.
  if (!window_ || state_ != State::Downloading) return;
  if (engine_.received() <= 0 || !engine_.running()) {
    // Nothing has arrived (or the transfer has just ended): stop without asking.
    engine_.stop(resume_, 2);
    state_ = State::Idle;
    platform::removeInPlace(tempPath());
    closeWindow();
    return end(kUpdateCancelled);
  }
  state_ = State::Asking;
  const int answer = platform::messageBox("是否取消结束更新？", "", MB_YESNO | MB_ICONEXCLAMATION,
                                          window_->hwnd());
  // What arrived while the question was up waits for the answer.
  const State during = state_;
  state_ = State::Downloading;
  if (answer != IDYES) {
    if (during == State::AskedAndFinished) finish();
    if (during == State::AskedAndFailed) fail();
    return;
  }
  // A transfer that ended while the question was up needs no stopping.
  const bool ended = during != State::Asking;
  if (!ended && !engine_.stop(resume_, 2) && engine_.running()) {
    platform::messageBox("取消更新失败！请重试！", "", MB_OK | MB_ICONEXCLAMATION, window_->hwnd());
    return;
  }
  state_ = State::Idle;
  if (during == State::AskedAndFinished) removeNewExe();
  platform::removeInPlace(tempPath());
  window_->hide();
  platform::pauseProcessingMessages(1000);
  closeWindow();
  end(kUpdateCancelled);
}

void Updater::onDownloadEvent(int type, int value) {
  if (type == platform::kTotalSize) total_ = value;
  const bool ended = type == platform::kComplete || type == platform::kFailed;
  if (!ended) return;
  if (state_ == State::Asking) {
    // The user is being asked whether to cancel: the answer decides.
    state_ = type == platform::kComplete ? State::AskedAndFinished : State::AskedAndFailed;
    return;
  }
  if (state_ != State::Downloading) return;
  if (type == platform::kComplete) {
    finish();
  } else {
    fail();
  }
}

void Updater::fail() {
  state_ = State::Idle;
  const platform::DownloadResult& got = engine_.result();
  // The timer first, so that no tick writes into a window that is going.
  closeWindow();
  platform::removeInPlace(tempPath());
  platform::messageBox(
      downloadFailedText(got.failure.value_or(platform::DownloadFailure::Short), got.status),
      "更新提示", MB_OK | MB_ICONERROR);
  end(kUpdateFailed);
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
  const ExpectedFile expected{got.size, got.sha256};
  // The elevated step starts nothing: it only checks what it leaves in place,
  // so that the old exe is never retired for a file that could not start.
  const bool placed =
      asOffered && (route_ == UpdateRoute::Elevated
                        ? static_cast<bool>(openVerified(newExePath_, expected, ownPublisher()))
                        : startVerified(newExePath_, expected, 1000));
  if (!placed) {
    // The working program stays; the file that would not start goes.
    removeNewExe();
    closeWindow();
    state_ = State::Idle;
    platform::messageBox(kStartFailed, "更新提示", MB_OK | MB_ICONERROR);
    return end(kUpdateFailed);
  }
  if (route_ == UpdateRoute::Elevated) {
    retireAtRestart();
  } else {
    // Held until the program ends, so that what wscript reads is what was written.
    script_ =
        launchCleanupScript(runFolder_, platform::fileNameOf(self_, platform::ansiLeadBytes()));
  }
  end(kUpdateInstalled);
}

void Updater::closeWindow() {
  if (!window_) return;
  window_->setTimerInterval(ids::kTimer, 0);
  window_->destroy();
}

void Updater::removeNewExe() {
  // Never the running program, whatever name it was given.
  if (newExePath_.empty() || ::lstrcmpiA(newExePath_.c_str(), self_.c_str()) == 0) {
    return;
  }
  platform::removeInPlace(newExePath_);
}

}  // namespace update
