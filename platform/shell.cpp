#include "platform/shell.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include "platform/code_page.h"
#include "platform/path.h"

namespace platform {

std::string documentsFolder() {
  char buffer[MAX_PATH] = {};
  if (!::SHGetSpecialFolderPathA(nullptr, buffer, CSIDL_PERSONAL, FALSE)) return {};
  // With its trailing backslash, like the temp folder's.
  return buffer[0] ? joinPath(buffer, "", ansiLeadBytes()) : std::string();
}

std::string tempFolder() {
  char buffer[MAX_PATH + 1] = {};
  const DWORD n = ::GetTempPathA(sizeof buffer, buffer);
  if (n == 0 || n >= sizeof buffer) return {};
  return joinPath(std::string_view(buffer, n), "", ansiLeadBytes());
}

std::string exePath() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

std::u16string exePathWide() {
  std::u16string path(MAX_PATH, u'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, reinterpret_cast<LPWSTR>(path.data()),
                                         static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

std::string runDirectory() {
  return folderOf(exePath(), ansiLeadBytes());
}

bool shellOpen(const std::string& target) {
  const auto result = reinterpret_cast<INT_PTR>(
      ::ShellExecuteA(nullptr, "open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  return result > 32;
}

}  // namespace platform
