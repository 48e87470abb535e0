// The language token inside application.xml, found and replaced in the
// file's own encoding. No Windows API here.
#pragma once

#include <string>
#include <string_view>

#include "platform/text.h"

namespace lang {

inline constexpr std::string_view kChineseToken = "zh_CN";
inline constexpr std::string_view kEnglishToken = "en_US";

enum class Encoding { Ansi, Utf16Le, Utf16Be };

struct Layout {
  Encoding encoding = Encoding::Ansi;
  std::size_t bomSize = 0;  // bytes of byte-order mark before the text
};

// UTF-16 (either order, with or without a byte-order mark) is told apart by
// its mark or by where the zero bytes of ASCII characters fall. Anything else
// is ANSI text, taken as the whole buffer, zero bytes included.
Layout detectLayout(std::string_view bytes);

// True when `token` (ASCII) occurs in the file contents. `lead` names the
// lead bytes of the code page that ANSI contents are written in.
bool containsToken(std::string_view bytes, std::string_view token, const platform::LeadBytes& lead);

// The contents with every `from` replaced by `to` (both ASCII, same length or
// not), in the file's encoding; everything else is kept byte for byte.
std::string replaceToken(std::string_view bytes, std::string_view from, std::string_view to,
                         const platform::LeadBytes& lead, int* count = nullptr);

}  // namespace lang
