#include "support/paths.h"

#include <windows.h>

#include "platform/handles.h"
#include "platform/shell.h"

namespace testing_support {

std::string besideThisExe(const std::string& name) {
  return platform::runDirectory() + "\\" + name;
}

std::string windowsPath(std::string path) {
  if (path.empty() || path[0] != '/') return path;
  for (char& c : path) c = c == '/' ? '\\' : c;
  return "Z:" + path;
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

}  // namespace testing_support
