#include "update/update_check.h"

#include <windows.h>

#include "platform/form.h"
#include "platform/http.h"
#include "update/version.h"

namespace update {

std::optional<std::string> fetchVersionFile(const std::string& versionUrl) {
  return platform::httpGet(versionUrl, kMaxVersionFile);
}

std::string fetchRemoteVersion(const std::string& versionUrl) {
  const auto body = fetchVersionFile(versionUrl);
  return body ? parseVersionFile(*body) : std::string();
}

void checkForUpdate(const std::string& ownVersion, const std::string& versionUrl,
                    const std::string& downloadUrl, const UpdateStarter& starter) {
  const std::string remote = fetchRemoteVersion(versionUrl);
  if (!versionLess(ownVersion, remote)) return;
  const int answer = platform::messageBox("发现新版本 v" + remote + "，点击确定下载新版本",
                                          "更新提示", MB_OKCANCEL | MB_TASKMODAL);
  if (answer != IDOK) return;
  if (versionLess(ownVersion, remote) && starter) {
    starter(versionUrl, downloadUrl, updateFileName(remote));
  }
}

}  // namespace update
