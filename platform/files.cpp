#include "platform/files.h"

#include <windows.h>

#include "platform/code_page.h"
#include "platform/handles.h"
#include "platform/in_place.h"
#include "platform/message_loop.h"
#include "platform/text.h"

namespace platform {
namespace {

// About a second in all before a held original counts as refused.
constexpr int kReplaceRetries = 40;
constexpr unsigned kReplaceRetryPause = 25;  // milliseconds

}  // namespace

bool fileExists(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool deleteFile(const std::string& path) {
  return ::DeleteFileA(path.c_str()) != 0;
}

bool isReadOnly(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

bool exceedsXmlCap(unsigned long long size) {
  return size > kMaxXmlSize;
}

Bytes readFile(const std::string& path) {
  return tryReadFile(path).value_or(Bytes());
}

namespace {

enum class Cap { Any, Xml };

// The size is asked through the handle before anything is read.
std::optional<Bytes> readAll(HANDLE file, Cap cap = Cap::Any) {
  LARGE_INTEGER size = {};
  if (!::GetFileSizeEx(file, &size) || size.QuadPart > 0x7FFFFFFF ||
      (cap == Cap::Xml && exceedsXmlCap(static_cast<unsigned long long>(size.QuadPart)))) {
    return std::nullopt;
  }
  Bytes data(static_cast<std::size_t>(size.QuadPart), '\0');
  std::size_t got = 0;
  while (got < data.size()) {
    DWORD n = 0;
    if (!::ReadFile(file, data.data() + got, static_cast<DWORD>(data.size() - got), &n, nullptr)) {
      return std::nullopt;
    }
    if (n == 0) break;  // shrank while reading
    got += n;
  }
  data.resize(got);
  return data;
}

}  // namespace

std::optional<Bytes> tryReadFile(const std::string& path) {
  UniqueFile file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::nullopt;
  return readAll(file.get());
}

bool isOversizedXml(const std::string& path) {
  const UniqueFile file(::CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size = {};
  return file && ::GetFileSizeEx(file.get(), &size) &&
         exceedsXmlCap(static_cast<unsigned long long>(size.QuadPart));
}

std::optional<Bytes> tryReadXml(const std::string& path) {
  UniqueFile file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::nullopt;
  return readAll(file.get(), Cap::Xml);
}

std::optional<Bytes> tryReadXmlInPlace(const std::string& path) {
  const UniqueFile file = openInPlace(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
  if (!file) return std::nullopt;
  // A second name is a hard link, which whoever may write this folder could
  // have made to a file they may not read: its bytes would end up in a new
  // file of theirs.
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!::GetFileInformationByHandle(file.get(), &info) || info.nNumberOfLinks != 1) {
    return std::nullopt;
  }
  return readAll(file.get(), Cap::Xml);
}

bool writeFile(const std::string& path, std::initializer_list<std::string_view> parts) {
  if (path.empty()) return false;
  UniqueFile file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  for (std::string_view part : parts) {
    if (!part.empty() && !writeAll(file.get(), part)) return false;
  }
  return true;
}

UniqueFile holdFolder(const std::string& path, Links links) {
  const std::size_t slash = findLastOf(path, "\\/", ansiLeadBytes());
  if (slash == std::string::npos) return {};
  const std::string folder = path.substr(0, slash + 1);
  UniqueFile held(::CreateFileA(folder.c_str(), FILE_LIST_DIRECTORY | SYNCHRONIZE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (held && links == Links::Refuse && !isReachedDirectly(held.get(), folder)) return {};
  return held;
}

bool canOpenForWriting(const std::string& path) {
  UniqueFile file(::CreateFileA(path.c_str(), GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return static_cast<bool>(file);
}

ReplaceResult replaceFile(const std::string& path, std::string_view bytes, Links links) {
  if (path.empty() || !fileExists(path) || isReadOnly(path)) return {};
  const std::string copy = path + std::string(kReplaceSuffix);
  const UniqueFile folder = holdFolder(path, links);
  if (!folder) return {};
  // A copy left by a run stopped midway goes only when it really is at its
  // name: a link there (anyone who can write the folder may leave one) would
  // have its target written and then moved over the original. One that only
  // an administrator may remove (left by a cut-off elevated run) is a matter
  // of rights, or no later click could ever get past it.
  if (!removeInPlace(copy)) return {false, ::GetLastError() == ERROR_ACCESS_DENIED};
  // Readers may look at the copy; nobody else writes it, renames or deletes it.
  UniqueFile file = createInPlace(copy, GENERIC_WRITE, FILE_SHARE_READ);
  // A folder this process may not write (Program Files, for a user).
  if (!file) return {false, ::GetLastError() == ERROR_ACCESS_DENIED};
  DWORD error = 0;
  if (writeAll(file.get(), bytes) && ::FlushFileBuffers(file.get())) {
    // Another program reading the original without delete sharing (a virus
    // scanner, After Effects) blocks the replace while it holds the file
    // open: try again for a moment.
    for (int attempt = 0;; ++attempt) {
      // Through the handle: what was written is what lands at `path`.
      if (renameOpenFile(file.get(), path)) return {true, false};
      error = ::GetLastError();
      if (attempt >= kReplaceRetries ||
          (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION)) {
        break;
      }
      pause(kReplaceRetryPause);
    }
  }
  deleteOpenFile(file.get());
  // Access denied is also what a reader without delete sharing gives: only
  // a file this process may not open for writing is a matter of rights.
  return {false, error == ERROR_ACCESS_DENIED && !canOpenForWriting(path) &&
                     ::GetLastError() == ERROR_ACCESS_DENIED};
}

}  // namespace platform
