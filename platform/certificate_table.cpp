#include "platform/certificate_table.h"

namespace platform {
namespace {

// Little-endian fields; false when the field runs past `bytes`.
bool readU16(std::string_view bytes, std::uint64_t at, std::uint32_t& out) {
  if (at + 2 > bytes.size()) return false;
  out = static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8;
  return true;
}

bool readU32(std::string_view bytes, std::uint64_t at, std::uint32_t& out) {
  std::uint32_t low = 0, high = 0;
  if (!readU16(bytes, at, low) || !readU16(bytes, at + 2, high)) return false;
  out = low | high << 16;
  return true;
}

constexpr std::uint32_t kPe32 = 0x10B, kPe32Plus = 0x20B;
constexpr std::uint32_t kSecurityDirectory = 4;
constexpr std::uint32_t kMaxTable = 1u << 20;
constexpr std::uint32_t kRevision2 = 0x0200, kPkcsSignedData = 0x0002;

}  // namespace

std::optional<FileSpan> certificateTable(std::string_view head, std::uint64_t fileSize) {
  if (head.size() > kPeHeadBytes) head = head.substr(0, kPeHeadBytes);
  std::uint32_t peAt = 0, optionalSize = 0, magic = 0;
  if (head.substr(0, 2) != "MZ" || !readU32(head, 0x3C, peAt) || peAt > head.size() ||
      head.substr(peAt, 4) != std::string_view("PE\0\0", 4) ||
      !readU16(head, std::uint64_t{peAt} + 20, optionalSize) ||
      !readU16(head, std::uint64_t{peAt} + 24, magic)) {
    return std::nullopt;
  }
  const std::uint64_t optional = std::uint64_t{peAt} + 24;
  // The count of directories, then the directories, 8 bytes each.
  const std::uint64_t countAt = optional + (magic == kPe32 ? 92 : magic == kPe32Plus ? 108 : 0);
  std::uint32_t count = 0, offset = 0, size = 0;
  const std::uint64_t entry = countAt + 4 + 8 * kSecurityDirectory;
  if (countAt == optional || !readU32(head, countAt, count) || count <= kSecurityDirectory ||
      entry + 8 > optional + optionalSize || !readU32(head, entry, offset) ||
      !readU32(head, entry + 4, size)) {
    return std::nullopt;
  }
  // Its "address" is a file offset, unlike every other directory's.
  if (size < 8 || size > kMaxTable || offset < optional + optionalSize ||
      std::uint64_t{offset} + size > fileSize) {
    return std::nullopt;
  }
  return FileSpan{offset, size};
}

std::string_view firstSignedData(std::string_view table) {
  std::uint32_t length = 0, revision = 0, type = 0;
  if (!readU32(table, 0, length) || !readU16(table, 4, revision) || !readU16(table, 6, type) ||
      revision != kRevision2 || type != kPkcsSignedData || length <= 8 || length > table.size()) {
    return {};
  }
  return table.substr(8, length - 8);
}

}  // namespace platform
