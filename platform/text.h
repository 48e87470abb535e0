// Byte-string helpers for ANSI (system code page) text. No Windows API here.
//
// A lead byte of the code page together with the byte after it is one
// double-byte character: searches never start a match inside such a pair,
// whose second byte may well be a backslash or an ASCII letter. Which bytes
// lead is the caller's to say (platform::ansiLeadBytes() on Windows), since
// it differs between code pages: 0x81-0xFE in 936, 0x81-0x9F and 0xE0-0xFC
// in 932, none in 1252. Positions are 1-based; -1 means not found.
#pragma once

#include <bitset>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

using Bytes = std::string;  // a length-carrying byte buffer; may hold zero bytes

// The bytes that start a double-byte character in one code page.
class LeadBytes {
 public:
  // None: a single-byte code page.
  LeadBytes() = default;
  // Every byte for which `isLead(unsigned char)` holds.
  template <typename Predicate>
  static LeadBytes where(Predicate isLead) {
    LeadBytes lead;
    for (unsigned byte = 0; byte < 256; ++byte) {
      lead.lead_[byte] = isLead(static_cast<unsigned char>(byte));
    }
    return lead;
  }
  bool operator()(char byte) const { return lead_[static_cast<unsigned char>(byte)]; }

 private:
  std::bitset<256> lead_;
};

// Length in bytes of the character starting at text[i] (1 or 2).
std::size_t charLength(std::string_view text, std::size_t i, const LeadBytes& lead);

// Position (1-based) of the first `needle` at or after character position
// `start` (1-based; below 1 counts as 1), or -1. An empty needle is not found.
int findText(std::string_view text, std::string_view needle, const LeadBytes& lead, int start = 1);

// Every `from` replaced by `to`, scanning left to right and resuming after each
// replacement. `count` (when given) receives the number of replacements.
std::string replaceAll(std::string_view text, std::string_view from, std::string_view to,
                       const LeadBytes& lead, int* count = nullptr);

// Bytes to text: the text runs up to the first zero byte or the end.
std::string bytesToText(std::string_view bytes);

// Text to bytes: the text's bytes without a terminator.
inline Bytes textToBytes(std::string_view text) {
  return Bytes(text);
}

// Byte index of the last character of `text` that is one of `chars` (ASCII),
// never the second byte of a double-byte character; npos when there is none.
std::size_t findLastOf(std::string_view text, std::string_view chars, const LeadBytes& lead);

// Every space removed: ASCII 0x20 and, where A1 leads, the GBK full-width
// space A1 A1.
std::string removeSpaces(std::string_view text, const LeadBytes& lead);

}  // namespace platform
