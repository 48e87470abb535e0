#include "registry/reg_text.h"

#include <cstdio>

#include "platform/text.h"
#include "registry/value_path.h"

namespace registry {
namespace {

constexpr std::string_view kTemplate =
    "Windows Registry Editor Version 5.00\r\n\r\n[根类型\\注册表项路径]";
constexpr std::string_view kRootPlaceholder = "根类型";
constexpr std::string_view kKeyPlaceholder = "注册表项路径";

char foldAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

// First occurrence, ASCII letters compared without case, replaced once. Only
// the template is searched, and all of it before each placeholder is ASCII,
// so it is stepped byte by byte in every code page.
std::string replaceFirstNoCase(std::string_view text, std::string_view from, std::string_view to) {
  for (std::size_t i = 0; i + from.size() <= text.size(); ++i) {
    bool match = true;
    for (std::size_t j = 0; j < from.size() && match; ++j) {
      match = foldAscii(text[i + j]) == foldAscii(from[j]);
    }
    if (match) {
      std::string out(text.substr(0, i));
      out += to;
      out += text.substr(i + from.size());
      return out;
    }
  }
  return std::string(text);
}

bool hasLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

struct Target {
  std::string keyPath;
  std::string name;
};

std::optional<Target> target(const char* rootName, const std::string& valuePath,
                             const platform::LeadBytes& lead) {
  if (!rootName || hasLineBreak(valuePath)) return std::nullopt;
  Target t{valuePath, {}};
  bool isKeyPath = false;
  t.name = splitValuePath(t.keyPath, isKeyPath, lead);
  return t;
}

std::string compose(const char* rootName, const Target& t, std::string_view line) {
  std::string out = regHeader(rootName, t.keyPath);
  out += "\r\n";
  out += line;
  out += "\r\n";
  return out;
}

std::string quoted(std::string_view text, const platform::LeadBytes& lead) {
  std::string out;
  out.reserve(text.size() + 4);
  out += '"';
  out += escapeRegString(text, lead);
  out += '"';
  return out;
}

std::string quotedName(const Target& t, const platform::LeadBytes& lead) {
  return quoted(t.name, lead);
}

std::optional<std::string> hexLine(const char* rootName, const std::string& valuePath,
                                   std::string_view kind, std::string_view bytes,
                                   const platform::LeadBytes& lead) {
  const auto t = target(rootName, valuePath, lead);
  if (!t || t->name.empty()) return std::nullopt;
  std::string line = quotedName(*t, lead);
  line += '=';
  line += kind;
  line += ':';
  line += bytesToHex(bytes, std::nullopt, std::nullopt, true);
  return compose(rootName, *t, line);
}

}  // namespace

std::string regHeader(std::string_view rootName, std::string_view keyPath) {
  const std::string withRoot = replaceFirstNoCase(kTemplate, kRootPlaceholder, rootName);
  return replaceFirstNoCase(withRoot, kKeyPlaceholder, keyPath);
}

std::string escapeRegString(std::string_view text, const platform::LeadBytes& lead) {
  std::string out;
  out.reserve(text.size() + 8);
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t n = platform::charLength(text, i, lead);
    if (n == 1 && (text[i] == '\\' || text[i] == '"')) out += '\\';
    out.append(text.substr(i, n));
    i += n;
  }
  return out;
}

std::optional<std::string> regDwordText(const char* rootName, const std::string& valuePath,
                                        std::uint32_t value, const platform::LeadBytes& lead) {
  const auto t = target(rootName, valuePath, lead);
  if (!t || t->name.empty()) return std::nullopt;
  char digits[9];
  std::snprintf(digits, sizeof digits, "%08X", static_cast<unsigned>(value));
  std::string line = quotedName(*t, lead);
  line += "=dword:";
  line += digits;
  return compose(rootName, *t, line);
}

std::optional<std::string> regStringText(const char* rootName, const std::string& valuePath,
                                         std::string_view text, const platform::LeadBytes& lead) {
  const auto t = target(rootName, valuePath, lead);
  if (!t || hasLineBreak(text)) return std::nullopt;
  std::string line = t->name.empty() ? std::string("@") : quotedName(*t, lead);
  line += '=';
  line += quoted(text, lead);
  return compose(rootName, *t, line);
}

std::optional<std::string> regBinaryText(const char* rootName, const std::string& valuePath,
                                         std::string_view bytes, const platform::LeadBytes& lead) {
  return hexLine(rootName, valuePath, "hex", bytes, lead);
}

std::optional<std::string> regMultiStringText(const char* rootName, const std::string& valuePath,
                                              std::string_view utf16,
                                              const platform::LeadBytes& lead) {
  return hexLine(rootName, valuePath, "hex(7)", utf16LinesToMultiString(utf16), lead);
}

std::optional<std::string> regExpandStringText(const char* rootName, const std::string& valuePath,
                                               std::string_view utf16,
                                               const platform::LeadBytes& lead) {
  return hexLine(rootName, valuePath, "hex(2)", utf16, lead);
}

std::string utf16LinesToMultiString(std::string_view utf16) {
  constexpr std::string_view kCrLf("\r\0\n\0", 4);
  constexpr std::string_view kZero("\0\0", 2);
  // The converted text's own terminating zero is not a line of the list.
  if (utf16.size() >= 2 && utf16.substr(utf16.size() - 2) == kZero) utf16.remove_suffix(2);
  std::string out;
  out.reserve(utf16.size() + 4);
  for (std::size_t i = 0; i + 1 < utf16.size(); i += 2) {
    if (utf16.compare(i, 4, kCrLf) == 0) {
      out += kZero;
      i += 2;
    } else {
      out += utf16.substr(i, 2);
    }
  }
  // As linesToMultiString: the last string ends in a zero character and an
  // empty one ends the list, unless the lines already say so (as the
  // reader's text does), so that a list read back and written again stays
  // the same list.
  auto zeroAt = [&](std::size_t fromEnd) {
    return out.size() >= fromEnd + 2 && out.compare(out.size() - fromEnd - 2, 2, kZero) == 0;
  };
  if (!zeroAt(0)) out += kZero;
  if (!zeroAt(2)) out += kZero;
  return out;
}

}  // namespace registry
