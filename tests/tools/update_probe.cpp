// Served as the "new version" in the update tests: records that it was
// started, in its own folder, and whether its own exe could then be written
// ("held" or "writable"), and, where asked, who started it and when; then
// it ends.
#include <windows.h>
#include <tlhelp32.h>

#include <string>

#include "platform/files.h"
#include "platform/handles.h"
#include "platform/shell.h"

namespace {

// The id of the process that created this one.
DWORD parentId() {
  const platform::UniqueKernelHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  if (!snapshot || snapshot.get() == INVALID_HANDLE_VALUE) return 0;
  for (BOOL more = ::Process32First(snapshot.get(), &entry); more;
       more = ::Process32Next(snapshot.get(), &entry)) {
    if (entry.th32ProcessID == ::GetCurrentProcessId()) return entry.th32ParentProcessID;
  }
  return 0;
}

// This process's creation time, in 100 ns units.
unsigned long long createdAt() {
  FILETIME created = {}, exited = {}, kernel = {}, user = {};
  ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
  return (static_cast<unsigned long long>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // Appending, sharing everything: Wine keeps only plain writes off a running
  // image, so this is refused only while the starter still holds the file.
  const platform::UniqueFile writer(
      ::CreateFileA(platform::exePath().c_str(), FILE_APPEND_DATA,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL, nullptr));
  // Who started it and when, where a test asks (an empty file of that name
  // stands in the folder); before the start mark, which the test waits for.
  const std::string parent = platform::runDirectory() + "\\probe-parent.txt";
  if (platform::fileExists(parent)) {
    platform::writeFile(parent, {std::to_string(parentId()) + " " + std::to_string(createdAt())});
  }
  platform::writeFile(platform::runDirectory() + "\\probe-started.txt",
                      {writer ? "writable" : "held"});
  // Only now idle: the starter's wait for that ends after the attempt.
  MSG msg;
  ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
  return 0;
}
