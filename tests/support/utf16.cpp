#include "support/utf16.h"

namespace testing_support {
namespace {

std::string encode(std::string_view ascii, bool bigEndian, bool bom) {
  std::string out;
  if (bom) out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (const char c : ascii) {
    if (bigEndian) out += '\0';
    out += c;
    if (!bigEndian) out += '\0';
  }
  return out;
}

}  // namespace

std::string utf16le(std::string_view ascii, bool bom) {
  return encode(ascii, false, bom);
}

std::string utf16be(std::string_view ascii, bool bom) {
  return encode(ascii, true, bom);
}

}  // namespace testing_support
