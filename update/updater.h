// Downloads the new executable the version check found, shows the progress,
// lets the user cancel, and on completion starts the new executable, leaves a
// clean-up script behind and ends the program. UI thread only.
#pragma once

#include <memory>
#include <string>

#include "platform/download.h"
#include "platform/form.h"

namespace update {

class Updater {
 public:
  // Start-up set-up: fills the task record with its start-up values. The
  // engine must outlive the updater. One updater per program.
  explicit Updater(platform::Downloader& engine);
  ~Updater();
  Updater(const Updater&) = delete;
  Updater& operator=(const Updater&) = delete;

  // The Update starter: fetches the version again, opens the update window and
  // starts the download. False (and no window) when the version cannot be
  // fetched or a leftover temporary file cannot be removed.
  bool start(const std::string& versionUrl, const std::string& downloadUrl,
             const std::string& fileName);

  const platform::DownloadTask& task() const { return task_; }

 private:
  static int onDownloadEvent(int type, int, int value, int, int);
  void refresh();
  void cancel();
  void complete();

  platform::Downloader& engine_;
  platform::DownloadTask task_;
  std::unique_ptr<platform::Form> window_;
  long long total_ = 0;
  std::string remoteVersion_;
  std::string newExePath_;
  platform::Bytes resume_;
};

// "update.temp" in the user's temporary folder.
std::string downloadTempPath();

// Writes "tem.vbs" (hidden) into the run directory and opens it through the
// shell; it removes `exeName` and itself once this program has ended.
void launchCleanupScript(const std::string& runDirectory, const std::string& exeName);

}  // namespace update
