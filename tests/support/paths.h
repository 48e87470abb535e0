// Where the test programs find their companions and keep their files.
#pragma once

#include <string>

namespace testing_support {

// `name` in the folder of the running test program.
std::string besideThisExe(const std::string& name);

// A Unix path as Wine names it (on its Z: drive); other paths unchanged.
std::string windowsPath(std::string path);

// Removes a folder with everything in it, read-only and hidden files too.
void removeTree(const std::string& folder);

// A fresh folder of a test's own in the temporary folder, removed with all
// it holds when the owner goes.
class TempFolder {
 public:
  explicit TempFolder(const std::string& stem);
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // Without a trailing backslash.
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

}  // namespace testing_support
