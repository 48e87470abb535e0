// Progress figures and texts of the update window.
// No Windows API here.
#pragma once

#include <string>
#include <string_view>

#include "platform/download_failure.h"

namespace update {

// Rounds to `decimals` places, halves away from zero (after adding 1e-12 to
// the magnitude, so that 0.285 stored as 0.28499... still rounds up).
double roundTo(double x, int decimals);

// printf "%.13g": 1.5 gives "1.5", 3.0 gives "3".
std::string formatNumber(double x);

// received / total * 100 rounded to a whole number; 0 while the total is unknown.
int percentOf(long long received, long long total);

// "正在下载:" + received MB + "MB/" + total MB + "MB  进度:" + position + "%".
std::string progressText(long long received, long long total, int position);

// What the user is told when a download failed: one sentence that names the
// reason in a user's words. `status` is the server's answer (0: none came).
std::string downloadFailedText(platform::DownloadFailure failure, unsigned long status);

}  // namespace update
