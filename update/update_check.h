// The start-up version check: fetch the server's version, compare it with our
// own as text, and offer the download. UI thread; the fetch runs on a worker
// and never holds the window.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "update/version_file.h"

namespace update {

// The whole fetch, however the server paces its bytes.
inline constexpr unsigned kVersionFetchDeadlineMs = 10000;

// Fetches (within kVersionFetchDeadlineMs) and checks the version file off
// the UI thread; `done` runs on the UI thread with the release, or nullopt
// when there is no answer. Returns at once.
void fetchRelease(const std::string& versionUrl, std::string publicKey,
                  std::function<void(std::optional<Release>)> done);

// Called with (version-file URL, download URL, the release offered, as
// fetched and checked for the prompt) when the user agrees to download;
// returns whether an update got under way.
using UpdateStarter = std::function<bool(const std::string&, const std::string&, const Release&)>;

// Fetches in the background and returns at once. When the answer is in, on
// the UI thread and in this order: compares it with `ownVersion`; when the
// server's version sorts after ours, asks the user (task-modal, no owner);
// on OK calls `starter`; last, whatever happened, runs `last`. Nothing runs
// once the UI post is closed (the program is ending).
void checkForUpdate(const std::string& ownVersion, const std::string& versionUrl,
                    const std::string& downloadUrl, std::string publicKey, UpdateStarter starter,
                    std::function<void()> last);

}  // namespace update
