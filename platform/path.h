// Joining Windows paths. No Windows API here.
#pragma once

#include <string>
#include <string_view>

#include "platform/text.h"

namespace platform {

// `folder` and `name` with one backslash between them: none is added when
// `folder` already ends in one (a drive's root, the temp folder). The test
// steps over double-byte characters, whose trail byte may be 0x5C.
std::string joinPath(std::string_view folder, std::string_view name, const LeadBytes& lead);

// `folder` + `separator` + `name` exactly, whatever `folder` ends in: only for
// the few paths whose form is fixed on purpose (other tools and older
// versions name the same files so).
std::string joinPathAsIs(std::string_view folder, char separator, std::string_view name);

// Whether `path` names one place whatever the current folder is: a drive
// letter, colon and backslash ("C:\..."), or a UNC path ("\\server\...").
// "C:x", "\x" and "x\y" depend on the current drive or folder. Only the
// first three bytes decide, and none of them can be the trail byte of a
// double-byte character (each follows an ASCII byte or starts the text).
bool isAbsolutePath(std::string_view path);

// The folder part of `path`, before its last separator ('\\' or '/'), and
// the name after it, stepping over double-byte characters. A path without a
// separator is all name: its folder is empty.
std::string folderOf(std::string_view path, const LeadBytes& lead);
std::string fileNameOf(std::string_view path, const LeadBytes& lead);

// Whether `a` and `b` are equal with ASCII letters compared case-blind (as
// Windows compares file names); other bytes must match exactly.
bool equalsAsciiCaseBlind(std::string_view a, std::string_view b);

}  // namespace platform
