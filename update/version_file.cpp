#include "update/version_file.h"

#include <cstdint>

#include "platform/hex.h"
#include "platform/text.h"
#include "update/version.h"

namespace update {
namespace {

constexpr std::string_view kShaKey = "sha256=";
constexpr std::string_view kSizeKey = "size=";
constexpr std::string_view kSigKey = "sig=";

bool startsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// Decimal digits without a sign or a leading zero; at most 18 of them, so
// that the value never overflows.
std::optional<std::uint64_t> parseSize(std::string_view digits) {
  if (digits.empty() || digits.size() > 18 || (digits[0] == '0' && digits.size() > 1)) {
    return std::nullopt;
  }
  std::uint64_t value = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return value;
}

}  // namespace

std::optional<SignedVersionFile> parseSignedVersionFile(std::string_view body) {
  SignedVersionFile file;
  bool haveSha = false, haveSize = false, haveSig = false;
  std::size_t begin = 0;
  while (begin < body.size()) {
    // Nothing may follow the signature line.
    if (haveSig) return std::nullopt;
    const std::size_t lf = body.find('\n', begin);
    const std::size_t end = lf == std::string_view::npos ? body.size() : lf;
    std::string_view line = body.substr(begin, end - begin);
    if (lf != std::string_view::npos && !line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
    }
    if (startsWith(line, kShaKey)) {
      const std::string_view hex = line.substr(kShaKey.size());
      if (haveSha || hex.size() != 64 || !platform::fromHex(hex, true)) return std::nullopt;
      file.sha256 = hex;
      haveSha = true;
    } else if (startsWith(line, kSizeKey)) {
      const auto size = parseSize(line.substr(kSizeKey.size()));
      if (haveSize || !size) return std::nullopt;
      file.size = *size;
      haveSize = true;
    } else if (startsWith(line, kSigKey)) {
      const std::string_view hex = line.substr(kSigKey.size());
      const auto signature = hex.size() == 128 ? platform::fromHex(hex) : std::nullopt;
      if (!signature) return std::nullopt;
      file.signature = *signature;
      file.message = std::string(kSignatureContext);
      file.message += body.substr(0, begin);
      haveSig = true;
    }
    begin = lf == std::string_view::npos ? body.size() : lf + 1;
  }
  if (!haveSha || !haveSize || !haveSig) return std::nullopt;
  file.version = parseVersionFile(body);
  return file;
}

std::optional<std::string> parseSha256Line(std::string_view body) {
  std::size_t at = 0;
  while ((at = body.find(kShaKey, at)) != std::string_view::npos) {
    const bool lineStart = at == 0 || body[at - 1] == '\n' || body[at - 1] == '\r';
    const std::size_t begin = at + kShaKey.size();
    at = begin;
    if (!lineStart || body.size() < begin + 64) continue;
    const std::size_t end = begin + 64;
    const bool lineEnd = end == body.size() || body[end] == '\r' || body[end] == '\n';
    const auto digest = platform::fromHex(body.substr(begin, 64));
    if (digest && lineEnd) return platform::toHex(*digest);
  }
  return std::nullopt;
}

std::optional<std::string> parsePublicKey(std::string_view hex) {
  if (hex.size() != 128) return std::nullopt;
  return platform::fromHex(hex);
}

std::string parseVersionFile(std::string_view body) {
  const std::string text = platform::bytesToText(body);
  if (!text.empty() && text[0] == '<') return {};
  // 1-based positions; -1 when missing, as the piece rule expects.
  const auto open = text.find('[');
  const auto close = text.find(']');
  const long a = open == std::string::npos ? -1 : static_cast<long>(open) + 1;
  const long b = close == std::string::npos ? -1 : static_cast<long>(close) + 1;
  const long start = a + 1;
  const long length = b - a - 1;
  if (start < 1 || start > static_cast<long>(text.size()) || length <= 0) return {};
  return text.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(length));
}

std::optional<Release> checkVersionFile(std::string_view body, std::string_view publicKey,
                                        SignatureCheck verify) {
  Release release;
  if (publicKey.empty()) {
    release.version = parseVersionFile(body);
    release.sha256 = parseSha256Line(body).value_or(std::string());
  } else {
    const auto file = parseSignedVersionFile(body);
    if (!file || file->size > static_cast<std::uint64_t>(INT64_MAX) ||
        !verify(publicKey, file->message, file->signature)) {
      return std::nullopt;
    }
    release.version = file->version;
    release.sha256 = file->sha256;
    release.size = static_cast<long long>(file->size);
  }
  // The version becomes a file name and part of the prompt.
  if (!isSafeVersion(release.version)) return std::nullopt;
  return release;
}

}  // namespace update
