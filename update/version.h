// The update server's version file and the comparison of versions as text.
// No Windows API here.
#pragma once

#include <string>
#include <string_view>

namespace update {

// The version in a version file's bytes: the text (up to the first zero
// byte) between the first "[" and the first "]". Empty for an answer that
// starts with "<" (an HTML page), for missing brackets, "]" before "[", or
// nothing between them.
std::string parseVersionFile(std::string_view body);

// Byte-wise comparison with unsigned byte values; a prefix is the smaller,
// the empty text is smaller than any other. "1.10" < "1.9".
bool versionLess(std::string_view a, std::string_view b);

// The only versions that count: 1 to 4 dot-separated groups of 1 to 5 ASCII
// digits ("1.3", "1.10", "2.0.1"). The version becomes part of a file name
// and of the prompt, so anything else is no answer at all.
bool isSafeVersion(std::string_view version);

// "Kelvora v" + version + ".exe".
std::string updateFileName(std::string_view version);

// `base` with the fixed last component appended ("/" added when missing).
std::string joinUrl(std::string_view base, std::string_view last);

inline constexpr char kVersionFile[] = "version.txt";
inline constexpr char kExecutableFile[] = "Kelvora.exe";

}  // namespace update
