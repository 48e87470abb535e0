// Where the test programs find their companions and keep their files.
#pragma once

#include <string>

namespace testing_support {

// `name` in the folder of the running test program.
std::string besideThisExe(const std::string& name);

// A Unix path as Wine names it (on its Z: drive); other paths unchanged.
std::string windowsPath(std::string path);

// Under Wine: the Unix path of a Windows path (which need not exist yet);
// empty elsewhere.
std::string unixPath(const std::string& windowsPath);

// Under Wine: runs a /bin/sh command line (Unix paths, single-quoted) and
// waits for it; true when it ended with status 0.
bool runUnix(const std::string& shellCommand);

// Under Wine: makes `link` a Unix symlink to `target` (both Windows paths;
// the target need not exist), as another program of the user could. Wine
// makes such a link transparent: opening the name opens the target.
bool makeUnixLink(const std::string& link, const std::string& target);
// Removes such a link itself (Wine's DeleteFileA would delete its target).
bool removeUnixLink(const std::string& link);

// The file or folder made immutable (chattr +i), so that Windows refuses this
// user (and every other) writing, renaming or deleting it with access denied;
// made mutable again however the test ends, or nothing could delete it
// afterwards.
class Immutable {
 public:
  explicit Immutable(const std::string& path);
  ~Immutable();
  Immutable(const Immutable&) = delete;
  Immutable& operator=(const Immutable&) = delete;
  bool made() const { return made_; }

 private:
  std::string unix_;
  bool made_ = false;
};

inline constexpr char kChattrRefused[] =
    "chattr +i is refused here (not root, or a file system without the flag): no refused write "
    "can be staged";

// A link another program of the user left, removed again however the test ends.
class UnixLink {
 public:
  UnixLink(std::string name, const std::string& target);
  ~UnixLink();
  UnixLink(const UnixLink&) = delete;
  UnixLink& operator=(const UnixLink&) = delete;
  bool made() const { return made_; }

 private:
  std::string name_;
  bool made_ = false;
};

// Removes a folder with everything in it, read-only and hidden files too.
void removeTree(const std::string& folder);

// An application.xml of some size with `token` throughout: what the long
// runs of replaces and clicks switch back and forth.
std::string sizedXml(const char* token);

// Reads `path` whole as a well-behaved program would, sharing read, write
// and delete; false when it cannot be opened.
bool readSharingEverything(const std::string& path, std::string& out);

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
