// The lead bytes of this process's ANSI code page, for the text helpers, and
// whether a wide text has an exact ANSI form.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/text.h"

namespace platform {

// Read once from the system (IsDBCSLeadByteEx with the ANSI code page) and
// kept; 936 and 932 have lead bytes, 1252 none. Any thread.
const LeadBytes& ansiLeadBytes();

// `ansi` (the ANSI code page) as UTF-16; empty when the conversion fails.
// Any thread.
std::u16string ansiToWide(std::string_view ansi);

// `wide` converted to the ANSI code page without best fit (a character the
// code page cannot hold becomes its default character) and back again: equal
// to `wide` only when its ANSI form names exactly it. Empty when a
// conversion fails. Any thread.
std::u16string ansiRoundTrip(std::u16string_view wide);

// The ANSI form of `wide` when it names exactly `wide` (see ansiRoundTrip);
// nullopt when it cannot, or `wide` is empty. Any thread.
std::optional<std::string> exactAnsi(std::u16string_view wide);

}  // namespace platform
