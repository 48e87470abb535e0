// Bytes as hex digits and back. No Windows API here.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Two lowercase digits per byte, nothing between them.
std::string toHex(std::string_view bytes);

// The bytes that `hex` spells: an even number of digits, nothing else.
// `lowercaseOnly` refuses the digits A to F. nullopt for anything else.
std::optional<std::string> fromHex(std::string_view hex, bool lowercaseOnly = false);

}  // namespace platform
