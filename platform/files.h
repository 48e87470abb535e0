// File operations on ANSI paths. Failures are silent and give the empty result.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "platform/text.h"

namespace platform {

bool fileExists(const std::string& path);
bool deleteFile(const std::string& path);
bool isReadOnly(const std::string& path);

// The whole file; nullopt when it is missing or cannot be read.
std::optional<Bytes> tryReadFile(const std::string& path);
// The whole file; empty when it is missing or unreadable.
Bytes readFile(const std::string& path);

// Creates or truncates `path` (opened exclusively) and writes each non-empty
// part in order. False for an empty path or any failed step.
bool writeFile(const std::string& path, std::initializer_list<std::string_view> parts);

// Replaces the contents of an existing file in one step: the new bytes go to
// a copy made anew at `path` + kReplaceSuffix (never through a link standing
// there), are flushed, and the copy is moved over the original through its
// handle, retried for up to a second while another program holds the
// original open. A leftover copy is removed first when it really is at that
// name; a link there means no replace, and its target is left untouched. On
// any failure the original is untouched and the copy removed. A read-only
// original is left alone (Wine would replace it regardless).
inline constexpr std::string_view kReplaceSuffix = ".kelvora-new";
bool replaceFile(const std::string& path, std::string_view bytes);

}  // namespace platform
