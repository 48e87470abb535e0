// The script left behind by an update: once this program has ended it
// removes the old executable and itself. No Windows API here.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/text.h"

namespace update {

inline constexpr char kCleanupScriptName[] = "tem.vbs";

// The script that removes the old executable and itself once the program has
// ended (after a second: the old process must be gone): `runDirectory` has no
// trailing separator; `exeName` is a file name. Only for a path that
// cleanupScriptFor() lets through.
std::string cleanupScript(std::string_view runDirectory, std::string_view exeName);

// cleanupScript(), or none for a path the script could not name exactly.
// `widePath` is the same path as Windows holds it, `roundTrip` that path
// through the ANSI code page without best fit and back: none when the two
// differ or `widePath` is empty (the ANSI name may be another file's), or
// when the path holds `"` (it would end the script's string) or `?`, `*`
// (wildcards to DeleteFile).
std::optional<std::string> cleanupScriptFor(std::string_view runDirectory, std::string_view exeName,
                                            std::u16string_view widePath,
                                            std::u16string_view roundTrip,
                                            const platform::LeadBytes& lead);

}  // namespace update
