#include "platform/code_page.h"

#include <windows.h>

namespace platform {

const LeadBytes& ansiLeadBytes() {
  static const LeadBytes lead = LeadBytes::where([codePage = ::GetACP()](unsigned char byte) {
    return ::IsDBCSLeadByteEx(codePage, byte) != 0;
  });
  return lead;
}

std::u16string ansiToWide(std::string_view ansi) {
  if (ansi.empty()) return {};
  const int bytes = static_cast<int>(ansi.size());
  const int units = ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), bytes, nullptr, 0);
  if (units <= 0) return {};
  std::u16string out(static_cast<std::size_t>(units), u'\0');
  if (::MultiByteToWideChar(CP_ACP, 0, ansi.data(), bytes, reinterpret_cast<LPWSTR>(out.data()),
                            units) != units) {
    return {};
  }
  return out;
}

namespace {

// `wide` in the ANSI code page without best fit: a lookalike ("*" for a
// full-width asterisk, "a" for a Cyrillic a) would name another file.
std::string withoutBestFit(std::u16string_view wide) {
  if (wide.empty()) return {};
  const auto* source = reinterpret_cast<LPCWSTR>(wide.data());
  const int units = static_cast<int>(wide.size());
  const int bytes = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, source, units, nullptr, 0,
                                          nullptr, nullptr);
  if (bytes <= 0) return {};
  std::string ansi(static_cast<std::size_t>(bytes), '\0');
  if (::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, source, units, ansi.data(), bytes,
                            nullptr, nullptr) != bytes) {
    return {};
  }
  return ansi;
}

}  // namespace

std::u16string ansiRoundTrip(std::u16string_view wide) {
  return ansiToWide(withoutBestFit(wide));
}

std::optional<std::string> exactAnsi(std::u16string_view wide) {
  std::string ansi = withoutBestFit(wide);
  if (ansi.empty() || ansiToWide(ansi) != wide) return std::nullopt;
  return ansi;
}

}  // namespace platform
