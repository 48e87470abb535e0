#include "platform/in_place.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/code_page.h"
#include "platform/text.h"

namespace platform {
namespace {

std::wstring finalPath(HANDLE handle) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n =
        ::GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()), 0);
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(n + 1);
  }
}

std::wstring asWide(const std::u16string& text) {
  return std::wstring(text.begin(), text.end());
}

// `path` made full by the current folder; empty on failure.
std::wstring fullPath(const std::wstring& path) {
  if (path.empty()) return {};
  std::wstring full(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n =
        ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n == 0) return {};
    if (n < full.size()) {
      full.resize(n);
      return full;
    }
    full.resize(n);
  }
}

// The final path Windows gives a file reached by `path` with no link on the
// way: full, long names, "\\?\" or "\\?\UNC\" before it, no trailing
// backslash but a drive root's.
std::wstring directFinalPath(const std::wstring& path) {
  std::wstring full = fullPath(path);
  if (full.empty()) return {};
  std::wstring longer(full.size() + MAX_PATH, L'\0');
  const DWORD n =
      ::GetLongPathNameW(full.c_str(), longer.data(), static_cast<DWORD>(longer.size()));
  if (n > 0 && n < longer.size()) full.assign(longer.data(), n);
  while (full.size() > 3 && full.back() == L'\\') full.pop_back();
  if (full.rfind(L"\\\\?\\", 0) == 0) return full;
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

// "C:\a\b.txt" gives "C:\a\" and "b.txt"; a bare name lives in ".".
std::pair<std::string, std::string> folderAndName(const std::string& path) {
  const std::size_t slash = findLastOf(path, "\\/", ansiLeadBytes());
  if (slash == std::string::npos) return {".", path};
  return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

bool sameText(const std::wstring& a, const std::wstring& b) {
  return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

bool setAttributes(HANDLE file, DWORD attributes) {
  FILE_BASIC_INFO info = {};  // zero times: left as they are
  info.FileAttributes = attributes;
  return ::SetFileInformationByHandle(file, FileBasicInfo, &info, sizeof info) != 0;
}

bool holds(HANDLE file, std::string_view bytes) {
  LARGE_INTEGER size = {};
  if (!::GetFileSizeEx(file, &size) || size.QuadPart != static_cast<LONGLONG>(bytes.size())) {
    return false;
  }
  std::vector<char> buffer(std::max<std::size_t>(bytes.size(), 1));
  DWORD got = 0;
  return ::ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) &&
         got == bytes.size() && std::equal(bytes.begin(), bytes.end(), buffer.begin());
}

}  // namespace

bool isInPlace(HANDLE file, const std::string& path) {
  const auto [folder, name] = folderAndName(path);
  if (name.empty()) return false;
  UniqueFile folderHandle(::CreateFileA(
      folder.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!folderHandle) return false;
  std::wstring expected = finalPath(folderHandle.get());
  const std::wstring actual = finalPath(file);
  if (expected.empty() || actual.empty()) return false;
  if (expected.back() != L'\\') expected += L'\\';  // a drive's root already has it
  return sameText(actual, expected + asWide(ansiToWide(name)));
}

bool isReachedDirectly(HANDLE handle, const std::string& path) {
  return isReachedDirectly(handle, ansiToWide(path));
}

bool isReachedDirectly(HANDLE handle, const std::u16string& path) {
  const std::wstring expected = directFinalPath(asWide(path));
  const std::wstring actual = finalPath(handle);
  return !expected.empty() && !actual.empty() && sameText(actual, expected);
}

UniqueFile openInPlace(const std::string& path, DWORD access, DWORD share) {
  UniqueFile file(::CreateFileA(path.c_str(), access | FILE_READ_ATTRIBUTES, share, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file || !isInPlace(file.get(), path)) return {};
  return file;
}

UniqueFile createInPlace(const std::string& path, DWORD access, DWORD share, DWORD attributes) {
  UniqueFile file(::CreateFileA(path.c_str(), access | DELETE | FILE_READ_ATTRIBUTES, share,
                                nullptr, CREATE_NEW, attributes, nullptr));
  if (!file) return {};
  if (!isInPlace(file.get(), path)) {
    // Made through a link at the name: ours, so it goes again. The name is
    // taken, which no rights would change.
    deleteOpenFile(file.get());
    ::SetLastError(ERROR_FILE_EXISTS);
    return {};
  }
  return file;
}

bool deleteOpenFile(HANDLE file) {
  FILE_DISPOSITION_INFO dispose = {TRUE};
  return ::SetFileInformationByHandle(file, FileDispositionInfo, &dispose, sizeof dispose) != 0;
}

bool removeInPlace(const std::string& path) {
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  UniqueFile file(::CreateFileA(path.c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  }
  if (!isInPlace(file.get(), path)) {
    ::SetLastError(ERROR_FILE_EXISTS);  // something else stands at the name
    return false;
  }
  BY_HANDLE_FILE_INFORMATION info = {};
  if (::GetFileInformationByHandle(file.get(), &info) &&
      (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY)) {
    setAttributes(file.get(), FILE_ATTRIBUTE_NORMAL);  // Windows deletes no read-only file
  }
  return deleteOpenFile(file.get());
}

UniqueFile sealWritten(UniqueFile writer, const std::string& path, std::string_view bytes,
                       DWORD attributes) {
  if (!writer) return {};
  const bool written = writeAll(writer.get(), bytes) && ::FlushFileBuffers(writer.get()) &&
                       setAttributes(writer.get(), attributes);
  if (!written) {
    deleteOpenFile(writer.get());
    return {};
  }
  writer.reset();
  // Readers (regedit, wscript) open the file by name: from here on it is
  // held so that none can change it, and what it holds is checked again.
  UniqueFile held = openInPlace(path, GENERIC_READ, FILE_SHARE_READ);
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!held || !::GetFileInformationByHandle(held.get(), &info) ||
      (attributes != FILE_ATTRIBUTE_NORMAL && (info.dwFileAttributes & attributes) != attributes) ||
      !holds(held.get(), bytes)) {
    held.reset();
    removeInPlace(path);
    return {};
  }
  return held;
}

bool renameOpenFile(HANDLE file, const std::string& to) {
  return renameOpenFile(file, ansiToWide(to), true);
}

bool renameOpenFile(HANDLE file, const std::u16string& to, bool replace) {
  const std::wstring full = fullPath(asWide(to));
  if (full.empty()) return false;
  // An NT path: the rename goes to the file system as it stands.
  const std::wstring target = L"\\??\\" + full;
  const std::size_t bytes = sizeof(FILE_RENAME_INFO) + target.size() * sizeof(wchar_t);
  std::vector<unsigned char> buffer(bytes, 0);
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = replace ? TRUE : FALSE;
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
  std::memcpy(info->FileName, target.data(), info->FileNameLength);
  return ::SetFileInformationByHandle(file, FileRenameInfo, info, static_cast<DWORD>(bytes)) != 0;
}

bool moveInto(UniqueFile file, const std::string& to) {
  if (!file) return false;
  if (renameOpenFile(file.get(), to)) return true;
  deleteOpenFile(file.get());
  return false;
}

bool writeAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    DWORD written = 0;
    if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
    bytes.remove_prefix(written);
  }
  return true;
}

}  // namespace platform
