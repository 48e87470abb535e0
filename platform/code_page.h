// The lead bytes of this process's ANSI code page, for the text helpers.
#pragma once

#include "platform/text.h"

namespace platform {

// Read once from the system (IsDBCSLeadByteEx with the ANSI code page) and
// kept; 936 and 932 have lead bytes, 1252 none. Any thread.
const LeadBytes& ansiLeadBytes();

}  // namespace platform
