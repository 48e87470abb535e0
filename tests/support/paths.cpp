#include "support/paths.h"

#include <windows.h>

#include "platform/files.h"
#include "platform/handles.h"
#include "platform/process.h"
#include "platform/shell.h"
#include "support/waits.h"

namespace testing_support {

std::string besideThisExe(const std::string& name) {
  return platform::runDirectory() + "\\" + name;
}

std::string windowsPath(std::string path) {
  if (path.empty() || path[0] != '/') return path;
  for (char& c : path) c = c == '/' ? '\\' : c;
  return "Z:" + path;
}

std::string unixPath(const std::string& windowsPath) {
  using ToUnix = char*(CDECL*)(const WCHAR*);
  auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (!toUnix) return {};
  std::wstring wide(windowsPath.size() + 1, L'\0');
  const int n = ::MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide.data(),
                                      static_cast<int>(wide.size()));
  if (n <= 0) return {};
  char* unix = toUnix(wide.c_str());
  if (!unix) return {};
  std::string path(unix);
  ::HeapFree(::GetProcessHeap(), 0, unix);
  return path;
}

bool runUnix(const std::string& shellCommand) {
  // Wine gives a Unix program's handle no exit code, and a dangling link is
  // invisible from the Windows side: the command's status goes to a file.
  static int counter = 0;
  const std::string done = platform::tempFolder() + "kelvora-unix-" +
                           std::to_string(::GetCurrentProcessId()) + "-" +
                           std::to_string(++counter) + ".status";
  const std::string doneUnix = unixPath(done);
  if (doneUnix.empty()) return false;
  ::DeleteFileA(done.c_str());
  // Wine starts it but hands back no process handle to wait on.
  std::string command = "/bin/sh -c \"" + shellCommand + "; echo $? > '" + doneUnix + "'\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  const bool started = ::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0,
                                        nullptr, nullptr, &startup, &info);
  platform::UniqueKernelHandle process(info.hProcess), thread(info.hThread);
  std::string status;
  const bool finished = started && waitFor(
                                       [&] {
                                         status = platform::readFile(done);
                                         return !status.empty() && status.back() == '\n';
                                       },
                                       30000);
  ::DeleteFileA(done.c_str());
  return finished && status == "0\n";
}

bool makeUnixLink(const std::string& link, const std::string& target) {
  const std::string from = unixPath(link);
  const std::string to = unixPath(target);
  return !from.empty() && !to.empty() && runUnix("ln -sfn '" + to + "' '" + from + "'");
}

bool removeUnixLink(const std::string& link) {
  const std::string path = unixPath(link);
  return !path.empty() && runUnix("rm -f '" + path + "'");
}

UnixLink::UnixLink(std::string name, const std::string& target) : name_(std::move(name)) {
  made_ = makeUnixLink(name_, target);
}

UnixLink::~UnixLink() {
  removeUnixLink(name_);
}

Immutable::Immutable(const std::string& path) : unix_(unixPath(path)) {
  made_ = !unix_.empty() && runUnix("chattr +i '" + unix_ + "'");
}

Immutable::~Immutable() {
  if (!unix_.empty()) runUnix("chattr -i '" + unix_ + "'");
}

void removeTree(const std::string& folder) {
  WIN32_FIND_DATAA data;
  platform::UniqueFind find(::FindFirstFileA((folder + "\\*").c_str(), &data));
  if (find) {
    do {
      const std::string name = data.cFileName;
      if (name == "." || name == "..") continue;
      const std::string path = folder + "\\" + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        removeTree(path);
      } else {
        ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileA(path.c_str());
      }
    } while (::FindNextFileA(find.get(), &data));
  }
  find.reset();
  ::RemoveDirectoryA(folder.c_str());
}

TempFolder::TempFolder(const std::string& stem) {
  static int counter = 0;
  path_ = platform::tempFolder() + stem + "-" + std::to_string(::GetCurrentProcessId()) + "-" +
          std::to_string(++counter);
  removeTree(path_);
  ::CreateDirectoryA(path_.c_str(), nullptr);
}

TempFolder::~TempFolder() {
  removeTree(path_);
}

std::string sizedXml(const char* token) {
  std::string xml = "<?xml version=\"1.0\"?>\r\n<Configuration>\r\n";
  for (int i = 0; i < 200; ++i) {
    xml += "  <Data key=\"k" + std::to_string(i) + "\">" + token + " 中文说明</Data>\r\n";
  }
  return xml + "</Configuration>\r\n";
}

bool readSharingEverything(const std::string& path, std::string& out) {
  platform::UniqueFile file(::CreateFileA(path.c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return false;
  out.clear();
  char buffer[65536];
  DWORD got = 0;
  while (::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
    out.append(buffer, got);
  }
  return true;
}

}  // namespace testing_support
