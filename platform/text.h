// Byte-string helpers for ANSI (system code page) text. No Windows API here.
//
// A byte of 0x80 or above together with the byte after it is one double-byte
// character: searches never start a match inside such a pair. Positions are
// 1-based; -1 means not found.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

using Bytes = std::string;  // a length-carrying byte buffer; may hold zero bytes

// Length in bytes of the character starting at text[i] (1 or 2).
std::size_t charLength(std::string_view text, std::size_t i);

// Position (1-based) of the first `needle` at or after character position
// `start` (1-based; below 1 counts as 1), or -1. An empty needle is not found.
int findText(std::string_view text, std::string_view needle, int start = 1);

// Every `from` replaced by `to`, scanning left to right and resuming after each
// replacement. `count` (when given) receives the number of replacements.
std::string replaceAll(std::string_view text, std::string_view from, std::string_view to,
                       int* count = nullptr);

// Bytes to text: the text runs up to the first zero byte or the end.
std::string bytesToText(std::string_view bytes);

// Text to bytes: the text's bytes without a terminator.
inline Bytes textToBytes(std::string_view text) {
  return Bytes(text);
}

// Byte index of the last character of `text` that is one of `chars` (ASCII),
// never the second byte of a double-byte character; npos when there is none.
std::size_t findLastOf(std::string_view text, std::string_view chars);

// Every space removed: ASCII 0x20 and the GBK full-width space A1 A1.
std::string removeSpaces(std::string_view text);

}  // namespace platform
