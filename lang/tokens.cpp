#include "lang/tokens.h"

#include <algorithm>

#include "platform/text.h"

namespace lang {
namespace {

std::string encodeAscii(std::string_view ascii, Encoding encoding) {
  if (encoding == Encoding::Ansi) return std::string(ascii);
  std::string out;
  for (char c : ascii) {
    if (encoding == Encoding::Utf16Le) {
      out += c;
      out += '\0';
    } else {
      out += '\0';
      out += c;
    }
  }
  return out;
}

// Replaces whole code units only: a match must start on an even offset of the text.
std::string replaceUtf16(std::string_view bytes, const Layout& layout, std::string_view from,
                         std::string_view to, int* count) {
  const std::string needle = encodeAscii(from, layout.encoding);
  const std::string replacement = encodeAscii(to, layout.encoding);
  std::string out(bytes.substr(0, layout.bomSize));
  out.reserve(bytes.size());
  int replaced = 0;
  std::size_t i = layout.bomSize;
  while (i < bytes.size()) {
    if (!needle.empty() && bytes.compare(i, needle.size(), needle) == 0) {
      out += replacement;
      i += needle.size();
      ++replaced;
    } else {
      const std::size_t n = std::min<std::size_t>(2, bytes.size() - i);
      out.append(bytes.substr(i, n));
      i += n;
    }
  }
  if (count) *count = replaced;
  return out;
}

}  // namespace

Layout detectLayout(std::string_view bytes) {
  if (bytes.size() >= 2) {
    const auto b0 = static_cast<unsigned char>(bytes[0]);
    const auto b1 = static_cast<unsigned char>(bytes[1]);
    if (b0 == 0xFF && b1 == 0xFE) return {Encoding::Utf16Le, 2};
    if (b0 == 0xFE && b1 == 0xFF) return {Encoding::Utf16Be, 2};
  }
  // Without a mark: ASCII in UTF-16 puts a zero in every other byte.
  const std::size_t sample = std::min<std::size_t>(bytes.size(), 4096) & ~std::size_t{1};
  std::size_t evenZeros = 0, oddZeros = 0;
  for (std::size_t i = 0; i < sample; ++i) {
    if (bytes[i] == '\0') ++(i % 2 ? oddZeros : evenZeros);
  }
  const std::size_t units = sample / 2;
  if (units == 0) return {};
  if (oddZeros * 4 >= units && evenZeros * 8 <= oddZeros) return {Encoding::Utf16Le, 0};
  if (evenZeros * 4 >= units && oddZeros * 8 <= evenZeros) return {Encoding::Utf16Be, 0};
  return {};
}

bool containsToken(std::string_view bytes, std::string_view token,
                   const platform::LeadBytes& lead) {
  if (token.empty()) return false;
  const Layout layout = detectLayout(bytes);
  if (layout.encoding == Encoding::Ansi) return platform::findText(bytes, token, lead) > 0;
  const std::string needle = encodeAscii(token, layout.encoding);
  for (std::size_t i = layout.bomSize; i + needle.size() <= bytes.size(); i += 2) {
    if (bytes.compare(i, needle.size(), needle) == 0) return true;
  }
  return false;
}

std::string replaceToken(std::string_view bytes, std::string_view from, std::string_view to,
                         const platform::LeadBytes& lead, int* count) {
  const Layout layout = detectLayout(bytes);
  if (layout.encoding == Encoding::Ansi) return platform::replaceAll(bytes, from, to, lead, count);
  return replaceUtf16(bytes, layout, from, to, count);
}

}  // namespace lang
