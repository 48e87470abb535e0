#include "update/update_check.h"

#include <windows.h>

#include "platform/form.h"
#include "platform/http.h"
#include "platform/signature.h"
#include "update/version.h"
#include "update/version_file.h"

namespace update {

void fetchRelease(const std::string& versionUrl, std::string publicKey,
                  std::function<void(std::optional<Release>)> done) {
  // A server may take its time: the window does not wait for it, and the
  // whole fetch still ends at the deadline.
  platform::httpGetAsync(
      versionUrl, kMaxVersionFile, {5000, 5000, 8000}, kVersionFetchDeadlineMs,
      [publicKey = std::move(publicKey),
       done = std::move(done)](std::optional<platform::Bytes> body) {
        done(body ? checkVersionFile(*body, publicKey, platform::verifyEcdsaP256) : std::nullopt);
      });
}

void checkForUpdate(const std::string& ownVersion, const std::string& versionUrl,
                    const std::string& downloadUrl, std::string publicKey, UpdateStarter starter,
                    std::function<void()> last) {
  fetchRelease(versionUrl, std::move(publicKey), [=](std::optional<Release> release) {
    const std::string remote = release ? release->version : std::string();
    if (versionLess(ownVersion, remote)) {
      const int answer = platform::messageBox("发现新版本 v" + remote + "，点击确定下载新版本",
                                              "更新提示", MB_OKCANCEL | MB_TASKMODAL);
      if (answer == IDOK && starter) {
        starter(versionUrl, downloadUrl, *release);
      }
    }
    if (last) last();
  });
}

}  // namespace update
