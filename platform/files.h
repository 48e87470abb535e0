// File operations on ANSI paths. Failures are silent and give the empty result.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "platform/handles.h"
#include "platform/text.h"

namespace platform {

bool fileExists(const std::string& path);
bool deleteFile(const std::string& path);
bool isReadOnly(const std::string& path);

// The whole file; nullopt when it is missing or cannot be read.
std::optional<Bytes> tryReadFile(const std::string& path);

// application.xml is a few KiB: a larger file is no After Effects' own, and
// is neither read nor written (a huge one would only exhaust the memory of
// the 32-bit build).
inline constexpr unsigned long long kMaxXmlSize = 16ull << 20;
// Whether a file of `size` bytes is over kMaxXmlSize.
bool exceedsXmlCap(unsigned long long size);
// Whether the existing `path` is over kMaxXmlSize, by its size asked
// through a handle; nothing is read. False when it cannot be opened.
bool isOversizedXml(const std::string& path);
// tryReadFile and tryReadFileInPlace for application.xml: nullopt, at once
// and without reading, for a file over kMaxXmlSize.
std::optional<Bytes> tryReadXml(const std::string& path);
// The whole file; empty when it is missing or unreadable.
Bytes readFile(const std::string& path);

// Whether a path may pass through a link (symbolic link, junction, mount
// point) on its way. What runs as administrator refuses them: a folder of the
// path that the user may change could be made a link to a folder the user may
// not write.
enum class Links { Follow, Refuse };

// The folder that holds `path`, open without delete sharing: while it is
// held, neither it nor a folder above it can be renamed, deleted or swapped
// for a junction. With Links::Refuse, empty when a link is on the way (the
// hold would pin the link's target, and the link itself could still be
// swapped). Empty when the folder cannot be opened.
UniqueFile holdFolder(const std::string& path, Links links);

// tryReadXml, but only when the file really is the entry the path names in
// its folder, and its only name (no hard link); nullopt otherwise.
std::optional<Bytes> tryReadXmlInPlace(const std::string& path);

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
// With Links::Refuse, a path with a link on the way is never replaced.
// `denied` tells a failure that is this process's rights (Windows refused
// making the copy or removing a leftover one, or replacing a file we may not
// write) from one that no rights would mend (read-only, in use).
inline constexpr std::string_view kReplaceSuffix = ".kelvora-new";
struct ReplaceResult {
  bool replaced = false;
  bool denied = false;
  explicit operator bool() const { return replaced; }
};
ReplaceResult replaceFile(const std::string& path, std::string_view bytes,
                          Links links = Links::Follow);

// Whether this process may open the existing `path` for writing: opened with
// full sharing and closed at once, nothing changed. A file held by another
// program without write sharing counts as not writable. False leaves the
// system's error as the last error.
bool canOpenForWriting(const std::string& path);

}  // namespace platform
