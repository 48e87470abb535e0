#include "update/update_check.h"

#include <windows.h>

#include <cstdint>

#include "platform/form.h"
#include "platform/http.h"
#include "platform/signature.h"
#include "update/version.h"
#include "update/version_file.h"

namespace update {

std::optional<Release> checkVersionFile(std::string_view body, std::string_view publicKey) {
  Release release;
  if (publicKey.empty()) {
    release.version = parseVersionFile(body);
    release.sha256 = parseSha256Line(body).value_or(std::string());
  } else {
    const auto file = parseSignedVersionFile(body);
    if (!file || file->size > static_cast<std::uint64_t>(INT64_MAX) ||
        !platform::verifyEcdsaP256(publicKey, file->message, file->signature)) {
      return std::nullopt;
    }
    release.version = file->version;
    release.sha256 = file->sha256;
    release.size = static_cast<long long>(file->size);
  }
  // The version becomes a file name and part of the prompt.
  if (!isSafeVersion(release.version)) return std::nullopt;
  return release;
}

void fetchRelease(const std::string& versionUrl, std::string publicKey,
                  std::function<void(std::optional<Release>)> done) {
  // A server may take its time: the window does not wait for it, and the
  // whole fetch still ends at the deadline.
  platform::httpGetAsync(versionUrl, kMaxVersionFile, {5000, 5000, 8000}, kVersionFetchDeadlineMs,
                         [publicKey = std::move(publicKey),
                          done = std::move(done)](std::optional<platform::Bytes> body) {
                           done(body ? checkVersionFile(*body, publicKey) : std::nullopt);
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
        starter(versionUrl, downloadUrl, updateFileName(remote));
      }
    }
    if (last) last();
  });
}

}  // namespace update
