// Registry value paths, root kinds and hex text. No Windows API here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/text.h"

namespace registry {

// Root keys are passed as these numbers, never as handles or text.
enum RootKind : int {
  kClassesRoot = 1,
  kCurrentConfig = 2,
  kCurrentUser = 3,
  kLocalMachine = 4,
  kUsers = 5,
};

// "HKEY_LOCAL_MACHINE" and so on; nullptr for any other number.
const char* rootNameOf(int root) noexcept;

// Paths are ANSI text: a backslash byte that is the second byte of a
// double-byte character (誠 is D5 5C in GBK) never splits them. `lead` says
// which bytes lead in the code page the path is written in.

// Whether the last character (not merely the last byte) is a backslash.
bool endsWithBackslash(std::string_view path, const platform::LeadBytes& lead);

// "A\B\C" gives "A\B" and "C"; "A" gives "" and "A".
std::pair<std::string, std::string> splitParent(std::string_view path,
                                                const platform::LeadBytes& lead);

// Splits "Key\Path\Name" into the key path (left in `path`) and the value
// name (returned). A trailing backslash names the key's default value: the
// name is empty, `isKeyPath` is set and `path` is left as it is. Without a
// backslash the name is empty and `path` unchanged.
std::string splitValuePath(std::string& path, bool& isKeyPath, const platform::LeadBytes& lead);

// Two uppercase hex digits per byte joined by "," or " ". `start` is 1-based
// (below 1 or absent: 1); `count` limits the range when it stays inside.
std::string bytesToHex(std::string_view bytes, std::optional<int> start, std::optional<int> count,
                       bool commaSeparated);

// Value data conversions shared by both views.
// The first four bytes as a little-endian integer; missing bytes count as 0.
std::uint32_t bytesToInt(std::string_view data) noexcept;
// Every zero byte becomes "\r\n".
std::string multiStringToLines(std::string_view data);
// Every "\r\n" becomes a zero byte, and the list ends in two zero bytes as
// REG_MULTI_SZ requires (readers elsewhere rely on the terminator).
std::string linesToMultiString(std::string_view text);

}  // namespace registry
