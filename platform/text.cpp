#include "platform/text.h"

#include <cstdint>

namespace platform {

std::size_t charLength(std::string_view text, std::size_t i, const LeadBytes& lead) {
  return (lead(text[i]) && i + 1 < text.size()) ? 2 : 1;
}

int findText(std::string_view text, std::string_view needle, const LeadBytes& lead, int start) {
  if (needle.empty() || text.size() > static_cast<std::size_t>(INT32_MAX)) return -1;
  if (start < 1) start = 1;
  const char first = needle[0];
  std::size_t i = 0;
  // Walk to the character that holds byte position `start`.
  while (i < text.size() && i + 1 < static_cast<std::size_t>(start)) i += charLength(text, i, lead);
  for (; i < text.size(); i += charLength(text, i, lead)) {
    if (text[i] == first && text.compare(i, needle.size(), needle) == 0) {
      return static_cast<int>(i) + 1;
    }
  }
  return -1;
}

std::string replaceAll(std::string_view text, std::string_view from, std::string_view to,
                       const LeadBytes& lead, int* count) {
  std::string out;
  int replaced = 0;
  if (from.empty()) {
    out.assign(text);
  } else {
    out.reserve(text.size());
    const char first = from[0];
    std::size_t run = 0;  // start of the bytes not yet copied
    std::size_t i = 0;
    while (i < text.size()) {
      if (text[i] == first && text.compare(i, from.size(), from) == 0) {
        out.append(text.substr(run, i - run));
        out.append(to);
        i += from.size();
        run = i;
        ++replaced;
      } else {
        i += charLength(text, i, lead);
      }
    }
    out.append(text.substr(run));
  }
  if (count) *count = replaced;
  return out;
}

std::string bytesToText(std::string_view bytes) {
  const auto zero = bytes.find('\0');
  return std::string(zero == std::string_view::npos ? bytes : bytes.substr(0, zero));
}

std::size_t findLastOf(std::string_view text, std::string_view chars, const LeadBytes& lead) {
  std::size_t found = std::string_view::npos;
  for (std::size_t i = 0; i < text.size(); i += charLength(text, i, lead)) {
    if (charLength(text, i, lead) == 1 && chars.find(text[i]) != std::string_view::npos) found = i;
  }
  return found;
}

std::string removeSpaces(std::string_view text, const LeadBytes& lead) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t n = charLength(text, i, lead);
    const bool space =
        (n == 1 && text[i] == ' ') || (n == 2 && static_cast<unsigned char>(text[i]) == 0xA1 &&
                                       static_cast<unsigned char>(text[i + 1]) == 0xA1);
    if (!space) out.append(text.substr(i, n));
    i += n;
  }
  return out;
}

}  // namespace platform
