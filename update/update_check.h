// The start-up version check: fetch the server's version, compare it with our
// own as text, and offer the download. UI thread; blocks while it fetches.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace update {

// Largest version file taken: anything bigger is not one.
inline constexpr std::size_t kMaxVersionFile = 64 * 1024;

// The version file's bytes; nullopt when it could not be read.
std::optional<std::string> fetchVersionFile(const std::string& versionUrl);

// The version on the server, or empty when it could not be read or its
// answer was unusable.
std::string fetchRemoteVersion(const std::string& versionUrl);

// Called with (version-file URL, download URL, file name) when the user
// agrees to download; returns whether a download started.
using UpdateStarter =
    std::function<bool(const std::string&, const std::string&, const std::string&)>;

// Fetches, compares with `ownVersion` and, when the server's version sorts
// after ours, asks the user; on OK calls `starter`.
void checkForUpdate(const std::string& ownVersion, const std::string& versionUrl,
                    const std::string& downloadUrl, const UpdateStarter& starter);

}  // namespace update
