// Text of a one-value registry import file ("Windows Registry Editor Version
// 5.00"). No Windows API here: UTF-16 data comes in already converted.
//
// Every composer returns nullopt when the value cannot be written this way:
// no root name, an empty value name (only a string may set a key's default
// value), or a line break in a name, key path or text, which no line of the
// format can carry. `lead` names the lead bytes of the texts' code page.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/text.h"

namespace registry {

// "Windows Registry Editor Version 5.00\r\n\r\n[ROOT\KEY]".
std::string regHeader(std::string_view rootName, std::string_view keyPath);

// `\` as `\\` and `"` as `\"`, stepping over double-byte characters whole.
std::string escapeRegString(std::string_view text, const platform::LeadBytes& lead);

std::optional<std::string> regDwordText(const char* rootName, const std::string& valuePath,
                                        std::uint32_t value, const platform::LeadBytes& lead);
std::optional<std::string> regStringText(const char* rootName, const std::string& valuePath,
                                         std::string_view text, const platform::LeadBytes& lead);
std::optional<std::string> regBinaryText(const char* rootName, const std::string& valuePath,
                                         std::string_view bytes, const platform::LeadBytes& lead);
// `utf16` is the list's text as UTF-16LE with its terminating zero character.
std::optional<std::string> regMultiStringText(const char* rootName, const std::string& valuePath,
                                              std::string_view utf16,
                                              const platform::LeadBytes& lead);
std::optional<std::string> regExpandStringText(const char* rootName, const std::string& valuePath,
                                               std::string_view utf16,
                                               const platform::LeadBytes& lead);

// UTF-16LE text of lines to REG_MULTI_SZ data: each CR LF becomes the zero
// character that ends a string, and the list ends in an empty string.
std::string utf16LinesToMultiString(std::string_view utf16);

}  // namespace registry
