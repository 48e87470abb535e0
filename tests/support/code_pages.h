// Lead-byte tables of the code pages the text helpers are tested in.
#pragma once

#include "platform/text.h"

namespace testing_support {

// Simplified Chinese (GBK): every byte from 0x81 to 0xFE leads.
inline const platform::LeadBytes& cp936() {
  static const auto lead =
      platform::LeadBytes::where([](unsigned char b) { return b >= 0x81 && b <= 0xFE; });
  return lead;
}
// Japanese (Shift JIS): 0x81-0x9F and 0xE0-0xFC lead; 0xA1-0xDF are
// half-width katakana, one byte each.
inline const platform::LeadBytes& cp932() {
  static const auto lead = platform::LeadBytes::where(
      [](unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); });
  return lead;
}
// Western European: single bytes only (é is 0xE9).
inline const platform::LeadBytes& cp1252() {
  static const platform::LeadBytes lead;
  return lead;
}

}  // namespace testing_support
