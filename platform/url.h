// Rules for URLs the program fetches. No Windows API here.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Whether a fetch at `from` may follow a redirect to `to` (an absolute URL):
// only to http or https, and once on https, only to https, so that a signed
// download can never end on a connection anyone on the way can answer.
bool redirectAllowed(std::string_view from, std::string_view to);

// `base` with the fixed last component appended ("/" added when missing).
std::string joinUrl(std::string_view base, std::string_view last);

}  // namespace platform
