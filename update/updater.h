// Downloads the new executable the version check found, shows the progress,
// lets the user cancel, and on completion starts the new executable, leaves a
// clean-up script behind and asks the message loop to end. UI thread only.
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
  kUpdateInstalled = 0,  // the new version started, tem.vbs left behind
  kNoNewerVersion = 1,
  kUpdateCancelled = 2,
  kUpdateFailed = 4,  // said to the user in a box of its own, where there was a reason to say
};

// What becomes of the running exe once the new version has started.
enum class OldExeRemoval {
  // tem.vbs, run by the system's wscript as this process's user.
  Script,
  // Windows removes it at the next restart, under a name of this program's
  // own making (retireAtRestart). For the elevated step: a script
  // host running as administrator would take its COM classes from the
  // user's own registry (HKCU\Software\Classes), which the user writes.
  AtRestart,
};

class Updater {
 public:
  // Runs once per update that got under way, on the UI thread.
  using EndHandler = std::function<void(UpdateEnd)>;

  // Start-up set-up: fills the task record with its start-up values. The
  // engine must outlive the updater. `publicKey` is the build's update key
  // (64 bytes) or empty for a build without one. `ended` hears how each
  // update ended; without one, an installed update ends the message loop
  // with 0, so that tem.vbs can remove this exe. One updater per program.
  Updater(platform::Downloader& engine, std::string publicKey, EndHandler ended = {},
          OldExeRemoval removal = OldExeRemoval::Script);
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

  platform::Downloader& engine_;
  std::string publicKey_;
  EndHandler ended_;
  OldExeRemoval removal_;
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

// kDownloadTempName in the run folder: the new exe is made where it stays,
// so it has that folder's owner and permissions from its first byte, and its
// final rename never leaves the folder.
std::string downloadTempPath();

// Said by the elevated step when the version file gave nothing to install.
inline constexpr char kNoReleaseText[] = "未能取得新版本信息，无法更新。";
// Said when update.temp cannot be made anew in the run folder.
inline constexpr char kCannotWriteText[] = "无法在程序所在的文件夹中写入更新，无法更新。";

}  // namespace update
