#include "platform/process.h"

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

}  // namespace platform
