// Downloads the new executable the version check found, shows the progress,
// lets the user cancel, and on completion starts the new executable, leaves a
// clean-up script behind and asks the message loop to end (the elevated
// step's: checks it, leaves it in place and starts nothing). UI thread only.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/download.h"
#include "platform/form.h"
#include "platform/ui_post.h"
#include "update/update_check.h"

namespace update {

// How an update ended; the elevated step's exit codes are these.
enum UpdateEnd : int {
  // The window's: the new version started, tem.vbs left behind. The
  // elevated step's: the new version checked and in place, the old exe
  // renamed for the restart to remove; the window starts the new one.
  kUpdateInstalled = 0,
  kNoNewerVersion = 1,
  kUpdateCancelled = 2,
  kUpdateFailed = 4,  // said to the user in a box of its own, where there was a reason to say
};

// Whom the update is done by.
enum class UpdateRoute {
  // The window, as its user: it starts the new version, and tem.vbs, run by
  // the system's wscript as that user, removes the old exe.
  InWindow,
  // The elevated step: it checks the new version and leaves it in place,
  // starting nothing (the window that waited starts it, as the user), and
  // Windows removes the old exe at the next restart, under a name of this
  // program's own making (retireAtRestart). A script host running as
  // administrator would take its COM classes from the user's own registry
  // (HKCU\Software\Classes), which the user writes.
  Elevated,
};

class Updater {
 public:
  // Runs once per update that got under way, on the UI thread.
  using EndHandler = std::function<void(UpdateEnd)>;

  // Start-up set-up: fills the task record with its start-up values. The
  // engine must outlive the updater. `publicKey` is the build's update key
  // (64 bytes) or empty for a build without one. `ended` hears how each
  // update ended; without one, an installed update ends the message loop
  // with 0, so that tem.vbs can remove this exe. `self` is this exe's full
  // path, which names the run folder; empty: the system's ANSI name for it.
  // One updater per program.
  Updater(platform::Downloader& engine, std::string publicKey, EndHandler ended = {},
          UpdateRoute route = UpdateRoute::InWindow, std::string self = {});
  ~Updater();
  Updater(const Updater&) = delete;
  Updater& operator=(const Updater&) = delete;

  // The Update starter: fetches the version file again, off the UI thread,
  // and returns at once. When that fetch offers the very version `fileName`
  // was made for, the update window opens and the download starts; when it
  // does not (no answer, another version, a leftover temporary file that
  // cannot go) nothing opens. False when an update is already under way.
  bool start(const std::string& versionUrl, const std::string& downloadUrl,
             const std::string& fileName);

  // The elevated step's update: fetches the version file itself and
  // downloads that version only when it is newer than `ownVersion`; every
  // outcome reaches the end handler (no newer version, a failed fetch, the
  // download's own end). Returns at once.
  void startNewest(const std::string& versionUrl, const std::string& downloadUrl,
                   const std::string& ownVersion);

  const platform::DownloadTask& task() const { return task_; }

 private:
  enum class State {
    Idle,
    Fetching,          // the starter's own fetch is under way
    Downloading,       // the update window is up and the transfer runs
    Asking,            // the cancel question is up
    AskedAndFinished,  // the transfer completed while the question was up
    AskedAndFailed,    // the transfer failed while the question was up
    Finishing,         // the new version is being started
  };

  void begin(const Release& release, const std::string& downloadUrl, const std::string& fileName);
  void onDownloadEvent(int type, int value);
  void refresh();
  void cancel();
  void finish();
  void fail();
  void closeWindow();
  void removeNewExe();
  void end(UpdateEnd how);
  // kDownloadTempName in the run folder: the new exe is made where it stays,
  // so it has that folder's owner and permissions from its first byte, and
  // its final rename never leaves the folder.
  std::string tempPath() const;

  platform::Downloader& engine_;
  std::string publicKey_;
  EndHandler ended_;
  UpdateRoute route_;
  std::string self_;       // this exe
  std::string runFolder_;  // its folder, without a trailing separator
  platform::DownloadTask task_;
  std::unique_ptr<platform::Form> window_;
  State state_ = State::Idle;
  long long total_ = 0;
  Release release_;
  std::string newExePath_;
  platform::Bytes resume_;
  platform::UniqueFile script_;  // tem.vbs, held from its launch to the program's end
  platform::LifeToken life_ =
      platform::makeLifeToken();  // fetch answers for a gone updater are dropped
};

inline constexpr char kDownloadTempName[] = "update.temp";
// Said when the downloaded version passed its checks but would not start.
inline constexpr char kStartFailed[] = "新版本无法启动，已保留当前版本。";

// What the download must be for the release the version file named: its
// size and hash where the file gave them, an executable's head, and a known
// length where there is no hash to tell a cut file.
platform::DownloadChecks downloadChecksFor(const Release& release);

// Said by the elevated step when the version file gave nothing to install.
inline constexpr char kNoReleaseText[] = "未能取得新版本信息，无法更新。";
// Said by the window when the elevated step installed the new version but
// the window could not start it: the new exe is in place all the same.
inline constexpr char kInstalledRestartText[] = "新版本已安装，请重新启动 Kelvora。";
// Said by a build without an update key where only an administrator could
// update: it installs nothing as administrator.
inline constexpr char kNoElevatedUpdateText[] =
    "此版本不能以管理员身份更新，请从发布页下载新版本。";
// Said when update.temp cannot be made anew in the run folder.
inline constexpr char kCannotWriteText[] = "无法在程序所在的文件夹中写入更新，无法更新。";

}  // namespace update
