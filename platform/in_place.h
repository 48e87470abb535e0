// Files that this elevated program makes, writes or deletes in folders that
// other programs of the user can write (Documents, the temporary folder, the
// run folder). A name there may be a link left by someone else; these calls
// act only on a file that really is the entry its path names in its folder:
// its final path (GetFinalPathNameByHandle) must equal the final path of the
// folder plus the name. Anything else is never written, truncated or
// deleted. Failures are silent: the empty handle or false. Any thread.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/handles.h"

namespace platform {

// Whether the open `file` is the entry that `path` names in its own folder.
bool isInPlace(HANDLE file, const std::string& path);

// Whether the open `handle` was reached by `path` (ANSI or UTF-16) with no
// link, junction or mount point anywhere on the way: its final path is
// `path` itself, made full and long. Short names, case and a trailing
// backslash do not count; a subst or mapped drive does.
bool isReachedDirectly(HANDLE handle, const std::string& path);
bool isReachedDirectly(HANDLE handle, const std::u16string& path);

// Opens the existing `path` when it is in place; empty when it is missing,
// leads elsewhere, or cannot be opened with `access` and `share`.
UniqueFile openInPlace(const std::string& path, DWORD access, DWORD share);

// Creates `path` as a new file (CREATE_NEW: never through whatever stands at
// the name) and checks that it landed in place; one that did not is deleted
// again through its handle. Empty when the name is taken (last error
// ERROR_FILE_EXISTS, a link there included) or on any failure.
UniqueFile createInPlace(const std::string& path, DWORD access, DWORD share,
                         DWORD attributes = FILE_ATTRIBUTE_NORMAL);

// Deletes through an open handle (it needs DELETE access): the file that was
// checked is the file that goes, whatever happens to its name meanwhile.
bool deleteOpenFile(HANDLE file);

// Deletes `path` when it is in place (read-only or hidden as well). True
// when no file stands at the name afterwards; false when one leads elsewhere
// (last error ERROR_FILE_EXISTS) or cannot be opened for deleting or deleted
// (the system's error, ERROR_ACCESS_DENIED when this process may not).
bool removeInPlace(const std::string& path);

// Writes `bytes` through `writer` (from createInPlace, with write access),
// gives the file exactly `attributes`, closes the writer and opens `path`
// again for reading only, denying writes and deletes. Through that handle it
// checks that the file is still in place and holds exactly `bytes`, so that a
// change made between the close and the open is caught. While the returned
// handle is open, readers get what was written and nobody can change or
// delete it. Empty on any failure; the file is then removed when in place.
UniqueFile sealWritten(UniqueFile writer, const std::string& path, std::string_view bytes,
                       DWORD attributes);

// Renames the file open in `file` (opened with DELETE access) to `to`,
// replacing what is there: the file that was written is the file that
// arrives, whatever stands at its old name meanwhile. False with the last
// error set (ERROR_ACCESS_DENIED or ERROR_SHARING_VIOLATION while another
// program holds `to` open without delete sharing; ERROR_NOT_SAME_DEVICE
// across volumes).
bool renameOpenFile(HANDLE file, const std::string& to);
// The same for a UTF-16 `to`; with `replace` false, a file or link already at
// `to` makes it fail with ERROR_ALREADY_EXISTS and stays as it is.
bool renameOpenFile(HANDLE file, const std::u16string& to, bool replace);

// Renames the file open in `file` (from createInPlace, so with DELETE
// access) to `to`, replacing what is there, through its handle: what was
// written is what arrives, and nothing is done by name afterwards. Made in
// the folder it goes to, it keeps the owner and permissions it had from its
// first byte. False (and the file deleted) when it could not be renamed.
bool moveInto(UniqueFile file, const std::string& to);

// Writes all of `bytes` at the file position; false on any failed write.
bool writeAll(HANDLE file, std::string_view bytes);

}  // namespace platform
