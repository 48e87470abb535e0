// The script left behind by an update: once this program has ended it
// removes the old executable and itself. No Windows API here.
#pragma once

#include <string>
#include <string_view>

namespace update {

inline constexpr char kCleanupScriptName[] = "tem.vbs";

// The script that removes the old executable and itself once the program has
// ended (after a second: the old process must be gone): `runDirectory` has no trailing separator;
// `exeName` is a file name.
std::string cleanupScript(std::string_view runDirectory, std::string_view exeName);

}  // namespace update
