// Downloads the new executable the version check found, shows the progress,
// lets the user cancel, and on completion starts the new executable, leaves a
// clean-up script behind and asks the message loop to end. UI thread only.
#pragma once

#include <memory>
#include <string>

#include "platform/download.h"
#include "platform/form.h"
#include "update/update_check.h"

namespace update {

class Updater {
 public:
  // Start-up set-up: fills the task record with its start-up values. The
  // engine must outlive the updater. `publicKey` is the build's update key
  // (64 bytes) or empty for a build without one. One updater per program.
  Updater(platform::Downloader& engine, std::string publicKey);
  ~Updater();
  Updater(const Updater&) = delete;
  Updater& operator=(const Updater&) = delete;

  // The Update starter: fetches the version file again and, when it offers
  // the very version `fileName` was made for, opens the update window and
  // starts the download. False (and no window) when the version cannot be
  // fetched, differs, or a leftover temporary file cannot be removed.
  bool start(const std::string& versionUrl, const std::string& downloadUrl,
             const std::string& fileName);

  const platform::DownloadTask& task() const { return task_; }

 private:
  enum class State { Idle, Downloading, Finishing };

  static int onDownloadEvent(int type, int, int value, int, int);
  void refresh();
  void cancel();
  void onComplete();
  void finish();
  void closeWindow();
  void removeNewExe();

  platform::Downloader& engine_;
  std::string publicKey_;
  platform::DownloadTask task_;
  std::unique_ptr<platform::Form> window_;
  State state_ = State::Idle;
  bool asking_ = false;             // the cancel question is up
  bool completionWaiting_ = false;  // arrived while the question was up
  long long total_ = 0;
  Release release_;
  std::string newExePath_;
  platform::Bytes resume_;
  platform::UniqueFile script_;  // tem.vbs, held from its launch to the program's end
};

// "update.temp" in the user's temporary folder.
std::string downloadTempPath();

}  // namespace update
