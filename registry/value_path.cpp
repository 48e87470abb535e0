#include "registry/value_path.h"

#include "platform/text.h"

namespace registry {

const char* rootNameOf(int root) noexcept {
  switch (root) {
    case kClassesRoot:
      return "HKEY_CLASSES_ROOT";
    case kCurrentConfig:
      return "HKEY_CURRENT_CONFIG";
    case kCurrentUser:
      return "HKEY_CURRENT_USER";
    case kLocalMachine:
      return "HKEY_LOCAL_MACHINE";
    case kUsers:
      return "HKEY_USERS";
    default:
      return nullptr;
  }
}

bool endsWithBackslash(std::string_view path, const platform::LeadBytes& lead) {
  return !path.empty() && platform::findLastOf(path, "\\", lead) == path.size() - 1;
}

std::pair<std::string, std::string> splitParent(std::string_view path,
                                                const platform::LeadBytes& lead) {
  const auto slash = platform::findLastOf(path, "\\", lead);
  if (slash == std::string_view::npos) return {std::string(), std::string(path)};
  return {std::string(path.substr(0, slash)), std::string(path.substr(slash + 1))};
}

std::string splitValuePath(std::string& path, bool& isKeyPath, const platform::LeadBytes& lead) {
  isKeyPath = false;
  if (endsWithBackslash(path, lead)) {
    isKeyPath = true;
    return {};
  }
  const auto slash = platform::findLastOf(path, "\\", lead);
  if (slash == std::string::npos) return {};
  std::string name = path.substr(slash + 1);
  path.resize(slash);
  return name;
}

std::string bytesToHex(std::string_view bytes, std::optional<int> start, std::optional<int> count,
                       bool commaSeparated) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  const std::size_t size = bytes.size();
  const std::size_t first = static_cast<std::size_t>(start && *start > 1 ? *start : 1) - 1;
  if (first >= size) return {};
  std::size_t last = size;  // one past the range
  if (count) {
    if (*count <= 0) return {};
    if (first + static_cast<std::size_t>(*count) <= size) last = first + *count;
  }
  std::string out;
  out.reserve((last - first) * 3);
  for (std::size_t i = first; i < last; ++i) {
    if (i != first) out += commaSeparated ? ',' : ' ';
    const auto byte = static_cast<unsigned char>(bytes[i]);
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0x0F];
  }
  return out;
}

std::uint32_t bytesToInt(std::string_view data) noexcept {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4 && i < data.size(); ++i) {
    value |= static_cast<std::uint32_t>(static_cast<unsigned char>(data[i])) << (8 * i);
  }
  return value;
}

std::string multiStringToLines(std::string_view data) {
  std::string out;
  out.reserve(data.size() + 16);
  for (char c : data) {
    if (c == '\0') {
      out += "\r\n";
    } else {
      out += c;
    }
  }
  return out;
}

std::string linesToMultiString(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      out += '\0';
      ++i;
    } else {
      out += text[i];
    }
  }
  if (out.empty() || out.back() != '\0') out += '\0';              // ends the last string
  if (out.size() < 2 || out[out.size() - 2] != '\0') out += '\0';  // ends the list
  return out;
}

}  // namespace registry
