// Who signed an executable, as far as Windows vouches for it (Authenticode,
// through wintrust and crypt32 from the system folder). Any thread.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace platform {

// The subject of the signer of `file` (open for reading), as an X.500 name,
// when its Authenticode signature verifies: its digest and signature, with
// revocation looked up only in what is cached, so the check never waits on
// the network, and no UI. nullopt when it is unsigned, its signature does not
// verify, or the signer has no name. Everything is read through `file`;
// `path` names it for Windows' own use only. The file position moves.
std::optional<std::u16string> verifiedSigner(HANDLE file, const std::u16string& path);

// The subject that the signature `file` carries names, whether or not it
// verifies on this machine: nullopt when the file carries no signature at
// all, empty when it carries one that names nobody. Read through `file`.
std::optional<std::u16string> namedSigner(HANDLE file);

}  // namespace platform
