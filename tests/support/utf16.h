// ASCII text as UTF-16 bytes, for the tests of files and registry data in
// that encoding. No Windows API here.
#pragma once

#include <string>
#include <string_view>

namespace testing_support {

// Little-endian, with the byte-order mark FF FE when `bom`; no terminator.
std::string utf16le(std::string_view ascii, bool bom = false);
// Big-endian, with the byte-order mark FE FF when `bom`; no terminator.
std::string utf16be(std::string_view ascii, bool bom = false);

}  // namespace testing_support
