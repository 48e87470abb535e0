#include "platform/process.h"

#include <tlhelp32.h>

#include "platform/path.h"

namespace platform {

UniqueKernelHandle startProcess(const std::string& commandLine, int show,
                                const std::string& application, const std::string& workDir) {
  std::string command = commandLine;  // CreateProcessA may write into it
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(show);
  PROCESS_INFORMATION info = {};
  if (!::CreateProcessA(application.empty() ? nullptr : application.c_str(), command.data(),
                        nullptr, nullptr, FALSE, 0, nullptr,
                        workDir.empty() ? nullptr : workDir.c_str(), &startup, &info)) {
    return {};
  }
  UniqueKernelHandle thread(info.hThread);
  return UniqueKernelHandle(info.hProcess);
}

bool isProgramRunning(std::initializer_list<std::string_view> names) {
  // Absent as INVALID_HANDLE_VALUE, as CreateFile's.
  const UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return false;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32First(snapshot.get(), &entry); more;
       more = ::Process32Next(snapshot.get(), &entry)) {
    const std::string_view exe(entry.szExeFile);
    for (std::string_view name : names) {
      if (equalsAsciiCaseBlind(exe, name)) return true;
    }
  }
  return false;
}

}  // namespace platform
