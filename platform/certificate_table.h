// Where a PE file keeps its Authenticode signature. No Windows API here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace platform {

// How many of a file's first bytes certificateTable() looks at: PE headers
// begin well inside them.
inline constexpr std::size_t kPeHeadBytes = 4096;

// A run of bytes inside a file.
struct FileSpan {
  std::uint64_t offset = 0;
  std::uint32_t size = 0;
};

// The certificate table that a PE file's security directory names, from the
// file's first bytes (`head`, up to kPeHeadBytes) and its size. nullopt when
// the file has none, or when the headers do not hold together: the table
// must lie wholly inside the file, after the headers, and be under 1 MiB.
std::optional<FileSpan> certificateTable(std::string_view head, std::uint64_t fileSize);

// The PKCS#7 SignedData of the table's first entry, the one Windows checks;
// empty when that entry is anything else or runs past the table.
std::string_view firstSignedData(std::string_view table);

}  // namespace platform
