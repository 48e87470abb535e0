#include "platform/elevation.h"

#include <windows.h>
#include <shellapi.h>

#include "platform/code_page.h"
#include "platform/handles.h"
#include "platform/message_loop.h"
#include "platform/path.h"
#include "platform/shell.h"

namespace platform {

ElevatedResult runElevatedAndWait(const std::string& arguments, HWND owner) {
  // The wide name: an ANSI one could name another file, or none, where the
  // code page cannot hold the folder's name.
  const std::u16string exe = exePathWide();
  const std::u16string parameters = ansiToWide(arguments);
  if (exe.empty() || parameters.empty()) return {};
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  // Owned by the waiting window, so that the consent prompt comes to the front.
  info.hwnd = owner;
  info.lpVerb = L"runas";
  info.lpFile = reinterpret_cast<LPCWSTR>(exe.c_str());
  info.lpParameters = reinterpret_cast<LPCWSTR>(parameters.c_str());
  info.nShow = SW_SHOWNORMAL;
  if (!::ShellExecuteExW(&info)) {
    return {
        ::GetLastError() == ERROR_CANCELLED ? ElevatedResult::Declined : ElevatedResult::NotStarted,
        0};
  }
  UniqueKernelHandle process(info.hProcess);
  if (!process) return {};
  waitProcessingMessages(process.get());
  DWORD code = 0;
  if (!::GetExitCodeProcess(process.get(), &code)) return {};
  return {ElevatedResult::Ended, code};
}

bool canCreateFilesIn(const std::string& folder) {
  // Only Windows saying no counts: a name someone took (they could guess it)
  // or a full disk must not send the update to an elevated instance in a
  // folder the user can write after all.
  const std::string stem = "kelvora-probe-" + std::to_string(::GetCurrentProcessId()) + "-" +
                           std::to_string(::GetTickCount64());
  for (int attempt = 0; attempt < 16; ++attempt) {
    const std::string probe =
        joinPath(folder, stem + "-" + std::to_string(attempt) + ".tmp", ansiLeadBytes());
    UniqueFile file(::CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (file) return true;
    const DWORD error = ::GetLastError();
    if (error == ERROR_ACCESS_DENIED) return false;
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return true;
  }
  return true;
}

}  // namespace platform
