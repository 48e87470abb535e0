// Versions: compared group by group, checked before one becomes a file name,
// and the update's names on the server and on disk. No Windows API here.
#pragma once

#include <string>
#include <string_view>

namespace update {

// True when both are safe versions and `a` is the older: groups compare as
// numbers and a missing group counts as 0, so "1.9" < "1.10", while "1.2" and
// "1.2.0", "1.3" and "01.3" are the same version. An unsafe or empty side is
// never older nor newer than anything.
bool versionLess(std::string_view a, std::string_view b);

// The only versions that count: 1 to 4 dot-separated groups of 1 to 5 ASCII
// digits ("1.3", "1.10", "2.0.1"). The version becomes part of a file name
// and of the prompt, so anything else is no answer at all.
bool isSafeVersion(std::string_view version);

// "Kelvora v" + version + ".exe".
std::string updateFileName(std::string_view version);

inline constexpr char kVersionFile[] = "version.txt";
inline constexpr char kExecutableFile[] = "Kelvora.exe";

}  // namespace update
