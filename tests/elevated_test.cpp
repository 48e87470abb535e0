// The elevated step end to end: its verbs run by the test as a process, and
// the window handing a refused write to it. Under Wine "runas" elevates
// nothing (the child gets the parent's token), so what is tested is the
// plumbing: the second instance starts, with what, and its end reaches the
// user. `chattr +i` stages the refused write.
#include <windows.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/elevated.h"
#include "app/main_form.h"
#include "lang/switcher.h"
#include "platform/files.h"
#include "platform/handles.h"
#include "platform/process.h"
#include "support/e2e_driver.h"
#include "support/http_server.h"
#include "support/paths.h"
#include "support/signing.h"
#include "support/switch_fixture.h"
#include "support/versions.h"
#include "support/waits.h"
#include "update/cleanup_script.h"
#include "update/self_replace.h"
#include "update/update_form.h"
#include "update/updater.h"
#include "update/version.h"

namespace {

using namespace testing_support;
namespace ids = app::ids;

// GBK text, a token twice and a case variant that must stay.
const std::string kChineseXml =
    "<?xml version=\"1.0\" encoding=\"GBK\"?>\r\n<!-- 语言 -->\r\n"
    "<Data key=\"installedLanguages\">zh_CN</Data>\r\n<Data>中文zh_CN,ZH_CN</Data>\r\n";
const std::string kEnglishXml =
    "<?xml version=\"1.0\" encoding=\"GBK\"?>\r\n<!-- 语言 -->\r\n"
    "<Data key=\"installedLanguages\">en_US</Data>\r\n<Data>中文en_US,ZH_CN</Data>\r\n";

// How a verb's run ended, and every top-level window of it that was shown.
struct VerbRun {
  bool ended = false;
  DWORD exitCode = 0;
  std::vector<std::string> shown;  // their titles, in the order seen
};

// Runs `exe` with `arguments` in `workDir`, asked to show its windows as
// "runas" asks, until it ends (a minute at most). Its top-level windows are
// looked at until then; each one seen visible goes to `onShown` once (a box
// that waits for its answer gets it there).
VerbRun runVerb(const std::string& exe, const std::string& arguments, const std::string& workDir,
                const std::function<void(HWND)>& onShown = {}) {
  VerbRun run;
  platform::UniqueKernelHandle process =
      platform::startProcess("\"" + exe + "\" " + arguments, SW_SHOWNORMAL, exe, workDir);
  if (!process) return run;
  const DWORD pid = ::GetProcessId(process.get());
  std::set<HWND> seen;
  const ULONGLONG end = ::GetTickCount64() + 60000;
  for (;;) {
    const bool ended = ::WaitForSingleObject(process.get(), 2) == WAIT_OBJECT_0;
    for (HWND w = ::GetTopWindow(nullptr); w; w = ::GetWindow(w, GW_HWNDNEXT)) {
      DWORD owner = 0;
      ::GetWindowThreadProcessId(w, &owner);
      if (owner != pid || !::IsWindowVisible(w) || !seen.insert(w).second) continue;
      run.shown.push_back(windowText(w));
      if (onShown) onShown(w);
    }
    if (ended) break;
    if (::GetTickCount64() >= end) {
      ::TerminateProcess(process.get(), 99);
      return run;
    }
  }
  run.ended = ::GetExitCodeProcess(process.get(), &run.exitCode) != 0;
  return run;
}

// The command line `process` was started with, read from its own memory (a
// process of this one's word size); empty when it cannot be read.
std::string commandLineOf(HANDLE process) {
  using Query = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
  const auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
  PROCESS_BASIC_INFORMATION basic = {};
  PEB peb = {};
  RTL_USER_PROCESS_PARAMETERS parameters = {};
  if (!query || query(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0 ||
      !::ReadProcessMemory(process, basic.PebBaseAddress, &peb, sizeof peb, nullptr) ||
      !::ReadProcessMemory(process, peb.ProcessParameters, &parameters, sizeof parameters,
                           nullptr)) {
    return {};
  }
  std::wstring wide(parameters.CommandLine.Length / sizeof(WCHAR), L'\0');
  if (wide.empty() || !::ReadProcessMemory(process, parameters.CommandLine.Buffer, wide.data(),
                                           parameters.CommandLine.Length, nullptr)) {
    return {};
  }
  std::string line(wide.size() * 2, '\0');
  const int n = ::WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()),
                                      line.data(), static_cast<int>(line.size()), nullptr, nullptr);
  line.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  return line;
}

// Every Kelvora.exe in this process's list.
std::set<DWORD> runningKelvoras() {
  std::set<DWORD> ids;
  platform::UniqueKernelHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot || snapshot.get() == INVALID_HANDLE_VALUE) return ids;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32First(snapshot.get(), &entry); more;
       more = ::Process32Next(snapshot.get(), &entry)) {
    if (::lstrcmpiA(entry.szExeFile, "Kelvora.exe") == 0) ids.insert(entry.th32ProcessID);
  }
  return ids;
}

// The second instances of one test: every Kelvora.exe that starts after this
// is made, but the window's own. Each is noted by process id with its latest
// command line (one caught while Wine still builds its parameters can read as
// something else for a moment), and ended with the test, however it ends, so
// that no box of its own is left for the next test to find.
class SecondInstances {
 public:
  SecondInstances() : before_(runningKelvoras()) {}
  ~SecondInstances() {
    for (const auto& [id, line] : lines_) {
      platform::UniqueKernelHandle process(::OpenProcess(PROCESS_TERMINATE, FALSE, id));
      if (process) ::TerminateProcess(process.get(), 99);
    }
  }
  SecondInstances(const SecondInstances&) = delete;
  SecondInstances& operator=(const SecondInstances&) = delete;

  void note(DWORD window) {
    for (DWORD id : runningKelvoras()) {
      if (id == window || before_.count(id)) continue;
      platform::UniqueKernelHandle other(
          ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id));
      if (!other) continue;
      if (std::string line = commandLineOf(other.get()); !line.empty()) lines_[id] = line;
    }
  }
  std::size_t count() const { return lines_.size(); }
  const std::string& first() const { return lines_.begin()->second; }
  DWORD firstId() const { return lines_.begin()->first; }
  bool has(DWORD id) const { return lines_.count(id) != 0; }
  std::string listed() const {
    std::string text;
    for (const auto& [id, line] : lines_) text += std::to_string(id) + ": " + line + "\n";
    return text;
  }

 private:
  const std::set<DWORD> before_;
  std::map<DWORD, std::string> lines_;
};

bool endsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// A visible top-level window of one of `instances` with this caption and
// this text: a box a second instance shows on its own.
HWND boxOf(const SecondInstances& instances, const std::string& caption, const std::string& text) {
  for (HWND w = ::GetTopWindow(nullptr); w; w = ::GetWindow(w, GW_HWNDNEXT)) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(w, &owner);
    if (instances.has(owner) && ::IsWindowVisible(w) && windowText(w) == caption &&
        windowText(::GetDlgItem(w, 0xFFFF)) == text) {
      return w;
    }
  }
  return nullptr;
}

class ElevatedSwitchTest : public SwitchTest {
 protected:
  VerbRun run(const std::string& arguments) {
    return runVerb(g_exePath, arguments, *root_ / "work");
  }
  void expectNoWorkingCopy(const std::string& xml) {
    EXPECT_FALSE(platform::fileExists(xml + std::string(platform::kReplaceSuffix)));
  }
};

TEST_F(ElevatedSwitchTest, SetLanguageSwitchesBothWaysThenHasNothingToSwitch) {
  useInstall(kChineseXml);
  struct Row {
    const char* arguments;
    bool marker;  // present before, and so after: each user's own
    DWORD code;
    const std::string& after;
  };
  const Row rows[] = {
      {"--set-language en_US", false, 0, kEnglishXml},
      {"--set-language en_US", true, 1, kEnglishXml},
      {"--set-language zh_CN", true, 0, kChineseXml},
      {"--set-language zh_CN", false, 1, kChineseXml},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.arguments) + (row.marker ? ", marker present" : ", no marker"));
    setMarker(row.marker);
    const VerbRun verb = run(row.arguments);
    ASSERT_TRUE(verb.ended) << "did not end within a minute";
    EXPECT_EQ(verb.exitCode, row.code);
    EXPECT_EQ(xml(), row.after);
    EXPECT_EQ(markerPresent(), row.marker) << "the marker is untouched";
    EXPECT_TRUE(verb.shown.empty()) << "a window was shown: " << verb.shown.front();
    expectNoWorkingCopy(xmlPath());
  }
}

TEST_F(ElevatedSwitchTest, WhatItCannotTrustChangesNothing) {
  ASSERT_TRUE(platform::writeFile(xmlPath(), {kChineseXml}));
  // Where a relative install path leads: the working folder, which is
  // whoever started it's to choose.
  const std::string relative = "AE\\";
  const std::string planted = *root_ / ("work\\" + relative + "AMT\\application.xml");
  for (const char* sub : {"work\\AE", "work\\AE\\AMT"}) {
    ::CreateDirectoryA((*root_ / sub).c_str(), nullptr);
  }
  ASSERT_TRUE(platform::writeFile(planted, {kChineseXml}));
  // An installation whose AMT folder someone made a link to another
  // product's: what it leads to is not After Effects' file.
  ::CreateDirectoryA((*root_ / "linked").c_str(), nullptr);
  const UnixLink linkedAmt(*root_ / "linked\\AMT", *root_ / "work\\AE\\AMT");
  ASSERT_TRUE(linkedAmt.made());
  // One whose application.xml itself is a link to that file.
  for (const char* sub : {"linked-file", "linked-file\\AMT"}) {
    ::CreateDirectoryA((*root_ / sub).c_str(), nullptr);
  }
  const UnixLink linkedXml(*root_ / "linked-file\\AMT\\application.xml", planted);
  ASSERT_TRUE(linkedXml.made());
  // And one whose application.xml is a second name (a hard link) of a file
  // elsewhere: its own, so that the rows above still find theirs with one name.
  for (const char* sub : {"hard-linked", "hard-linked\\AMT"}) {
    ::CreateDirectoryA((*root_ / sub).c_str(), nullptr);
  }
  const std::string secret = *root_ / "secret.xml";
  ASSERT_TRUE(platform::writeFile(secret, {kChineseXml}));
  const std::string hardLinked = *root_ / "hard-linked\\AMT\\application.xml";
  ASSERT_TRUE(::CreateHardLinkA(hardLinked.c_str(), secret.c_str(), nullptr));
  struct Row {
    const char* what;
    std::string installPath;  // empty: no value at all
    const char* arguments;
    DWORD code;
  };
  const Row rows[] = {
      {"no install path", "", "--set-language en_US", 2},
      {"a relative install path", relative, "--set-language en_US", 2},
      {"a wrong word", installDir(), "--set-language fr_FR", 3},
      {"a link on the way to AMT", *root_ / "linked\\", "--set-language en_US", 4},
      {"a link at application.xml's own name", *root_ / "linked-file\\", "--set-language en_US", 4},
      {"application.xml a second name of another file", *root_ / "hard-linked\\",
       "--set-language en_US", 4},
  };
  bool marker = false;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    if (!row.installPath.empty()) setInstallPath(keys_->view64, row.installPath);
    setMarker(marker = !marker);
    const VerbRun verb = run(row.arguments);
    ASSERT_TRUE(verb.ended) << "did not end within a minute";
    EXPECT_EQ(verb.exitCode, row.code);
    EXPECT_EQ(xml(), kChineseXml);
    EXPECT_EQ(platform::readFile(planted), kChineseXml);
    EXPECT_EQ(platform::readFile(hardLinked), kChineseXml);
    EXPECT_EQ(markerPresent(), marker);
    EXPECT_TRUE(verb.shown.empty()) << "a window was shown: " << verb.shown.front();
    expectNoWorkingCopy(xmlPath());
    expectNoWorkingCopy(planted);
    expectNoWorkingCopy(hardLinked);
  }
  ::DeleteFileA(hardLinked.c_str());
  ::DeleteFileA(secret.c_str());
}

// Each installation on its own: the one Windows refuses stays whole, every
// other one is switched.
TEST_F(ElevatedSwitchTest, SetLanguageSetsEveryInstallationAndLeavesARefusedOneWhole) {
  useInstall(kChineseXml);
  const std::string ae2024 =
      addVersion("24.0", KEY_WOW64_64KEY, "AE24", "Support Files\\", kChineseXml);
  const std::string cc2018 = addVersion("15.0", KEY_WOW64_64KEY, "AE18", "", kChineseXml);
  const Immutable immutable(cc2018);
  if (!immutable.made()) GTEST_SKIP() << kChattrRefused;
  const VerbRun verb = run("--set-language en_US");
  ASSERT_TRUE(verb.ended) << "did not end within a minute";
  EXPECT_EQ(verb.exitCode, 4u);
  EXPECT_EQ(xml(), kEnglishXml);
  EXPECT_EQ(platform::readFile(ae2024), kEnglishXml);
  EXPECT_EQ(platform::readFile(cc2018), kChineseXml) << "byte for byte as it was";
  EXPECT_TRUE(verb.shown.empty()) << "a window was shown: " << verb.shown.front();
  for (const std::string& path : {xmlPath(), ae2024, cc2018}) expectNoWorkingCopy(path);
}

// A file far larger than any application.xml: the step and the window both
// refuse it at once, by its size, and leave it as it is.
TEST_F(ElevatedSwitchTest, AnApplicationXmlOver16MiBIsNeitherReadNorWritten) {
  useInstall(kChineseXml);
  {
    // Sparse: its size set, the bytes after the text never written.
    platform::UniqueFile file(::CreateFileA(xmlPath().c_str(), GENERIC_WRITE, 0, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file);
    LARGE_INTEGER size = {};
    size.QuadPart = 17 << 20;
    ASSERT_TRUE(::SetFilePointerEx(file.get(), size, nullptr, FILE_BEGIN));
    ASSERT_TRUE(::SetEndOfFile(file.get()));
  }
  const std::string before = xml();
  ASSERT_EQ(before.size(), 17u << 20);
  const VerbRun verb = run("--set-language en_US");
  ASSERT_TRUE(verb.ended) << "did not end within a minute";
  EXPECT_EQ(verb.exitCode, 4u);
  EXPECT_TRUE(xml() == before) << "unchanged";

  RunningApp app;
  start(app);
  postClick(::GetDlgItem(app.window(), ids::kSwitchButtonId));
  HWND box = nullptr;
  ASSERT_TRUE(waitFor([&] { return (box = app.findWindow("切换提示", true)) != nullptr; }, 30000))
      << "no box";
  EXPECT_EQ(windowText(::GetDlgItem(box, 0xFFFF)), lang::kNotChangedText);
  postClick(::GetDlgItem(box, IDOK));
  ASSERT_TRUE(waitFor([&] { return !::IsWindow(box); }, 5000));
  ASSERT_TRUE(app.settled());
  EXPECT_TRUE(xml() == before) << "unchanged";
  expectNoWorkingCopy(xmlPath());
  EXPECT_TRUE(closesCleanly(app));
}

TEST_F(ElevatedSwitchTest, AClickOnAFileWindowsRefusesGoesToTheSecondInstance) {
  useInstall(kChineseXml);
  setMarker(false);
  const Immutable immutable(xmlPath());
  if (!immutable.made()) GTEST_SKIP() << kChattrRefused;
  // The version check's answer, a newer version, is let go while the click
  // still waits: its prompt must wait until the click has been handled whole.
  HttpServer server;
  ASSERT_TRUE(server.listening());
  Response newer = answer(200, signedVersionFile(newerVersion(), "MZ"));
  newer.answerOnRelease = true;
  server.route(kVersionPath, newer);
  SecondInstances instances;
  RunningApp app;
  ASSERT_TRUE(app.launch(*root_ / "work"));
  ASSERT_TRUE(app.waitForMainWindow());
  ASSERT_TRUE(waitFor([&] { return server.hits(kVersionPath) >= 1; }, 10000));
  postClick(::GetDlgItem(app.window(), ids::kSwitchButtonId));
  // The window's own try and the instance's each take a second of retries
  // before they give up: long enough to see the instance run.
  HWND box = nullptr;
  ASSERT_TRUE(waitFor(
      [&] {
        instances.note(app.processId());
        return (box = app.findWindow("切换提示", true)) != nullptr;
      },
      30000, false, 2))
      << "no box";
  // The answer is fetched and handed to the UI thread, which has handled
  // everything before our mark: a prompt it opened would be up.
  server.releaseHung();
  ASSERT_TRUE(waitFor([&] { return server.hungUp(kVersionPath) >= 1; }, 20000));
  ASSERT_TRUE(app.settled());
  EXPECT_EQ(app.findWindow("更新提示", true), nullptr)
      << "the answer came in the middle of a click";
  EXPECT_EQ(app.text(ids::kCurrentLanguageId), lang::kEnglishWord) << "the click's own toggle";
  EXPECT_EQ(windowText(::GetDlgItem(box, 0xFFFF)), lang::kNotChangedText);
  ASSERT_EQ(instances.count(), 1u) << "one second instance:\n" << instances.listed();
  const std::string& line = instances.first();
  EXPECT_NE(line.find("Kelvora.exe"), std::string::npos) << line;
  EXPECT_TRUE(endsWith(line, " --set-language en_US")) << line;
  postClick(::GetDlgItem(box, IDOK));
  ASSERT_TRUE(waitFor([&] { return !::IsWindow(box); }, 15000));
  HWND prompt = app.waitForWindow("更新提示", true, 15000);
  ASSERT_NE(prompt, nullptr) << "the answer's prompt comes after the click";
  postClick(::GetDlgItem(prompt, IDCANCEL));
  ASSERT_TRUE(waitFor([&] { return !::IsWindow(prompt); }, 15000));
  ASSERT_TRUE(app.settled());
  EXPECT_TRUE(markerPresent()) << "the marker is toggled all the same";
  // The check's end shows the files as they are: the file's token wins.
  EXPECT_EQ(app.text(ids::kCurrentLanguageId), lang::kChineseWord);
  EXPECT_EQ(app.text(ids::kFileLanguageId), lang::kChineseWord) << "read again from the file";
  EXPECT_EQ(xml(), kChineseXml);
  expectNoWorkingCopy(xmlPath());
  EXPECT_TRUE(app.enabled(ids::kSwitchButtonId));
  EXPECT_TRUE(closesCleanly(app));
}

// A copy of the program in a run folder of its own, and the update server.
class ElevatedUpdateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    exe_ = runDir_ / "Kelvora.exe";
    ASSERT_TRUE(::CopyFileA(g_exePath.c_str(), exe_.c_str(), FALSE));
    probe_ = platform::readFile(besideThisExe("update_probe.exe"));
    ASSERT_EQ(probe_.substr(0, 2), "MZ");
    server_ = std::make_unique<HttpServer>();
    ASSERT_TRUE(server_->listening());
    server_->route(kExePath, answer(200, probe_));
  }

  std::string newExe() const { return newExe(runDir_.path()); }
  static std::string newExe(const std::string& dir) {
    return dir + "\\" + update::updateFileName(newerVersion());
  }
  bool probeStarted() const { return probeStarted(runDir_.path()); }
  static bool probeStarted(const std::string& dir) {
    return platform::fileExists(dir + "\\probe-started.txt");
  }
  std::vector<std::string> retiredFiles() const { return retiredFiles(runDir_.path()); }
  static std::vector<std::string> retiredFiles(const std::string& dir) {
    std::vector<std::string> paths;
    WIN32_FIND_DATAA data;
    const std::string pattern = dir + "\\" + update::kRetiredPrefix + "*" + update::kRetiredSuffix;
    platform::UniqueFind find(::FindFirstFileA(pattern.c_str(), &data));
    if (!find) return paths;
    do {
      paths.push_back(dir + "\\" + data.cFileName);
    } while (::FindNextFileA(find.get(), &data));
    return paths;
  }

  TempFolder runDir_{"kelvora-elevated"};
  std::string exe_;
  platform::Bytes probe_;
  std::unique_ptr<HttpServer> server_;
};

// Where Windows keeps the files it deletes at the next restart. The test
// puts the value back as it found it, so that the prefix's next boot
// deletes nothing of ours.
class PendingRenames {
 public:
  PendingRenames() { saved_ = read(&had_); }
  ~PendingRenames() {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, &key)) return;
    if (had_) {
      ::RegSetValueExA(key, kValue, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(saved_.data()),
                       static_cast<DWORD>(saved_.size()));
    } else {
      ::RegDeleteValueA(key, kValue);
    }
    ::RegCloseKey(key);
  }
  // Whether a delete of `path` at the next restart is asked for.
  bool names(const std::string& path) const {
    bool had = false;
    return read(&had).find(path + std::string(1, '\0')) != std::string::npos;
  }

 private:
  static constexpr char kKey[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
  static constexpr char kValue[] = "PendingFileRenameOperations";
  static std::string read(bool* had) {
    *had = false;
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key)) {
      return {};
    }
    DWORD size = 0;
    std::string data;
    if (!::RegQueryValueExA(key, kValue, nullptr, nullptr, nullptr, &size)) {
      data.resize(size);
      *had = !::RegQueryValueExA(key, kValue, nullptr, nullptr,
                                 reinterpret_cast<BYTE*>(data.data()), &size);
      data.resize(*had ? size : 0);
    }
    ::RegCloseKey(key);
    return data;
  }
  bool had_ = false;
  std::string saved_;
};

TEST_F(ElevatedUpdateTest, UpdateVerbInstallsOnlyANewerSignedVersion) {
  const PendingRenames pending;
  std::string forged = signedVersionFile(newerVersion(), probe_);
  char& lastDigit = forged[forged.size() - 3];  // of the signature
  lastDigit = lastDigit == '0' ? '1' : '0';
  // The run folder reached through a link, and a build without a key.
  const TempFolder outside("kelvora-outside");
  const UnixLink linked(outside / "linked", runDir_.path());
  ASSERT_TRUE(linked.made());
  ASSERT_FALSE(g_unsignedExePath.empty());
  const std::string unkeyed = outside / "Kelvora.exe";
  ASSERT_TRUE(::CopyFileA(g_unsignedExePath.c_str(), unkeyed.c_str(), FALSE));
  struct Row {
    const char* what;
    std::string exe;
    std::string versionFile;
    DWORD code;
    const char* told;  // the text of its own "更新提示" box, if any
    bool fetches;      // whether it may ask the server anything at all
  };
  const Row rows[] = {
      {"the same version", exe_, signedVersionFile(ownVersion(), probe_), 1, nullptr, true},
      {"a forged version file", exe_, forged, 4, update::kNoReleaseText, true},
      {"started through a link to its folder", outside / "linked\\Kelvora.exe",
       signedVersionFile(newerVersion(), probe_), 4, app::kRunFolderLinkedText, false},
      {"a build without an update key", unkeyed, signedVersionFile(newerVersion(), probe_), 3,
       nullptr, false},
      // Last: the new version is installed, and it would be seen for the rows before.
      {"a newer signed version", exe_, signedVersionFile(newerVersion(), probe_), 0, nullptr, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    server_->route(kVersionPath, answer(200, row.versionFile));
    const int fetches = server_->hits(kVersionPath);
    const int downloads = server_->hits(kExePath);
    std::vector<std::string> told;
    const VerbRun verb = runVerb(row.exe, "--update", runDir_.path(), [&](HWND w) {
      if (windowText(w) != "更新提示") return;
      told.push_back(windowText(::GetDlgItem(w, 0xFFFF)));
      postClick(::GetDlgItem(w, IDOK));
    });
    ASSERT_TRUE(verb.ended) << "did not end within a minute";
    EXPECT_EQ(verb.exitCode, row.code);
    EXPECT_EQ(told, row.told ? std::vector<std::string>{row.told} : std::vector<std::string>{});
    EXPECT_EQ(server_->hits(kVersionPath) > fetches, row.fetches) << "asked the server";
    EXPECT_FALSE(platform::fileExists(runDir_ / update::kDownloadTempName));
    // No script host runs as administrator: it would take its COM classes
    // from the user's own registry.
    EXPECT_FALSE(platform::fileExists(runDir_ / update::kCleanupScriptName));
    // The restart's delete, made by the system, names only a file of the
    // program's own making: never the name it ran by, which anyone who
    // owns the folder chose.
    EXPECT_FALSE(pending.names(exe_));
    const std::vector<std::string> retired = retiredFiles();
    EXPECT_EQ(platform::fileExists(exe_), row.code != 0);
    if (row.code == 0) {
      ASSERT_EQ(retired.size(), 1u) << "the old exe, renamed";
      EXPECT_EQ(platform::readFile(retired[0]), platform::readFile(g_exePath));
      EXPECT_TRUE(pending.names(retired[0])) << "goes at the next restart";
    } else {
      EXPECT_TRUE(retired.empty());
    }
    if (row.code == 0) {
      EXPECT_EQ(platform::readFile(newExe()), probe_);
      // A start it made would have been waited for: the mark would be there.
      EXPECT_FALSE(probeStarted()) << "the elevated step starts nothing";
    } else {
      EXPECT_TRUE(verb.shown.size() == told.size()) << "no window but its box";
      EXPECT_EQ(server_->hits(kExePath), downloads) << "nothing downloaded";
      EXPECT_FALSE(platform::fileExists(newExe()));
    }
  }
}

TEST_F(ElevatedUpdateTest, OkWhereTheRunFolderRefusesGoesToTheSecondInstanceAndTheWindowGoesOn) {
  server_->route(kVersionPath, answer(200, signedVersionFile(newerVersion(), probe_)));
  ASSERT_FALSE(g_unsignedExePath.empty());
  const std::string unkeyed = runDir_ / "unkeyed\\Kelvora.exe";
  ASSERT_TRUE(::CreateDirectoryA((runDir_ / "unkeyed").c_str(), nullptr));
  ASSERT_TRUE(::CopyFileA(g_unsignedExePath.c_str(), unkeyed.c_str(), FALSE));
  struct Row {
    const char* what;
    std::string exe;
    bool elevates;     // a second instance is started
    const char* told;  // and says this in its own box; otherwise the window does
  };
  const Row rows[] = {
      // The instance may not write there either (under Wine it is no
      // administrator), and says so.
      {"a build with an update key", exe_, true, update::kCannotWriteText},
      // A version file nobody signed is never installed as administrator.
      {"a build without one", unkeyed, false, update::kNoElevatedUpdateText},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string folder = row.exe.substr(0, row.exe.rfind('\\'));
    const Immutable immutable(folder);
    if (!immutable.made()) GTEST_SKIP() << kChattrRefused;
    SecondInstances instances;
    RunningApp app;
    ASSERT_TRUE(app.launch(folder, row.exe));
    HWND prompt = app.waitForWindow("更新提示", true, 30000);
    ASSERT_NE(prompt, nullptr) << "no update prompt";
    ASSERT_TRUE(app.waitForMainWindow());
    postClick(::GetDlgItem(prompt, IDOK));
    // The instance's own box, shown by another process than the window's; or
    // the window's, for a build that starts none.
    HWND box = nullptr;
    ASSERT_TRUE(waitFor(
        [&] {
          instances.note(app.processId());
          box = boxOf(instances, "更新提示", row.told);
          if (!row.elevates && !box) {
            box = app.findWindow("更新提示", true);
            if (box && windowText(::GetDlgItem(box, 0xFFFF)) != row.told) box = nullptr;
          }
          return box != nullptr;
        },
        30000, false, 2))
        << "nothing said";
    instances.note(app.processId());  // read again while its box shows
    ASSERT_EQ(instances.count(), row.elevates ? 1u : 0u) << "second instances:\n"
                                                         << instances.listed();
    if (row.elevates) {
      const std::string& line = instances.first();
      EXPECT_TRUE(endsWith(line, " --update")) << line;
      EXPECT_FALSE(::IsWindowEnabled(app.window())) << "no clicks while the instance runs";
    }
    postClick(::GetDlgItem(box, IDOK));
    ASSERT_TRUE(waitFor([&] { return ::IsWindowEnabled(app.window()) != FALSE; }, 15000))
        << "the window goes on";
    ASSERT_TRUE(waitFor([&] { return !::IsWindow(box); }, 15000));
    EXPECT_TRUE(app.running());
    ASSERT_TRUE(app.settled());
    EXPECT_EQ(app.title(), ownTitle());
    EXPECT_EQ(app.findWindow("更新提示", true), nullptr) << "nothing more is said";
    EXPECT_EQ(server_->hits(kExePath), 0);
    EXPECT_FALSE(platform::fileExists(newExe()));
    EXPECT_TRUE(closesCleanly(app));
  }
}

// Where only an administrator may write the run folder: the instance
// installs the new version and ends, and the window, as its user, starts it
// and ends. Its creator is the window, not the instance, whose token it
// would otherwise run under. What the window starts is only the file its own
// version file described, whatever the instance was given.
TEST_F(ElevatedUpdateTest, OkWhereOnlyTheSecondInstanceMayWriteHasTheWindowStartTheNewVersion) {
  const PendingRenames pending;
  const std::string offered = signedVersionFile(newerVersion(), probe_);
  platform::Bytes other = probe_;
  other += std::string(16, '\0');  // still a program that runs, but not the one offered
  struct Row {
    const char* what;
    const char* folder;      // within the run folder; empty: that folder itself
    platform::Bytes served;  // to the instance, with a version file signed for it
    bool started;            // by the window; otherwise it says so and goes on
  };
  const Row rows[] = {
      {"another file than the one offered", "other", other, false},
      {"the file offered", "", probe_, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string dir = *row.folder ? runDir_ / row.folder : runDir_.path();
    const std::string exe = dir + "\\Kelvora.exe";
    if (*row.folder) {
      ASSERT_TRUE(::CreateDirectoryA(dir.c_str(), nullptr));
      ASSERT_TRUE(::CopyFileA(g_exePath.c_str(), exe.c_str(), FALSE));
    }
    server_->route(kVersionPath, answer(200, offered));
    server_->route(kExePath, answer(200, probe_));
    const std::string parentMark = dir + "\\probe-parent.txt";
    ASSERT_TRUE(platform::writeFile(parentMark, {}));  // asks the probe who started it
    std::optional<Immutable> immutable(std::in_place, dir);
    if (!immutable->made()) GTEST_SKIP() << kChattrRefused;
    SecondInstances instances;
    RunningApp app;
    ASSERT_TRUE(app.launch(dir, exe));
    HWND prompt = app.waitForWindow("更新提示", true, 30000);
    ASSERT_NE(prompt, nullptr) << "no update prompt";
    ASSERT_TRUE(app.waitForMainWindow());
    // Under Wine the instance is no administrator: the folder becomes
    // writable once the window has chosen the instance, and the instance's
    // fetch answers late enough for that.
    Response late = answer(200, signedVersionFile(newerVersion(), row.served));
    late.answerAfterMs = 1500;
    server_->route(kVersionPath, late);
    server_->route(kExePath, answer(200, row.served));
    postClick(::GetDlgItem(prompt, IDOK));
    ASSERT_TRUE(waitFor(
        [&] {
          instances.note(app.processId());
          return instances.count() > 0;
        },
        30000, false, 2))
        << "no second instance";
    immutable.reset();
    const DWORD instanceId = instances.firstId();
    platform::UniqueKernelHandle instance(
        ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, instanceId));
    ASSERT_TRUE(instance);
    EXPECT_TRUE(endsWith(instances.first(), " --update")) << instances.first();

    HWND box = nullptr;
    ASSERT_TRUE(waitFor(
        [&] {
          if (!row.started) box = app.findWindow("更新提示", true);
          return row.started ? probeStarted(dir) : box != nullptr;
        },
        60000))
        << (row.started ? "the new version never started" : "the window said nothing");
    ASSERT_EQ(::WaitForSingleObject(instance.get(), 15000), WAIT_OBJECT_0);
    DWORD code = 99;
    ASSERT_TRUE(::GetExitCodeProcess(instance.get(), &code));
    EXPECT_EQ(code, 0u) << "the instance installed it";
    EXPECT_EQ(platform::readFile(newExe(dir)), row.served);
    EXPECT_FALSE(platform::fileExists(exe)) << "the old exe is renamed for the restart";
    const std::vector<std::string> retired = retiredFiles(dir);
    ASSERT_EQ(retired.size(), 1u);
    EXPECT_TRUE(pending.names(retired[0]));
    if (!row.started) {
      EXPECT_EQ(windowText(::GetDlgItem(box, 0xFFFF)), update::kInstalledRestartText);
      postClick(::GetDlgItem(box, IDOK));
      ASSERT_TRUE(waitFor([&] { return ::IsWindowEnabled(app.window()) != FALSE; }, 15000))
          << "the window goes on";
      ASSERT_TRUE(app.settled());
      EXPECT_FALSE(probeStarted(dir));
      EXPECT_TRUE(closesCleanly(app));
      continue;
    }
    // Who started the new version, and when: after the instance had ended.
    unsigned long parent = 0;
    unsigned long long startedAt = 0;
    ASSERT_EQ(std::sscanf(platform::readFile(parentMark).c_str(), "%lu %llu", &parent, &startedAt),
              2);
    EXPECT_EQ(parent, app.processId()) << "started by the window";
    EXPECT_NE(parent, instanceId);
    FILETIME created = {}, exited = {}, kernel = {}, user = {};
    ASSERT_TRUE(::GetProcessTimes(instance.get(), &created, &exited, &kernel, &user));
    const unsigned long long endedAt =
        (static_cast<unsigned long long>(exited.dwHighDateTime) << 32) | exited.dwLowDateTime;
    EXPECT_GE(startedAt, endedAt) << "started after the instance had ended";
    // The window then ends, as after an update of its own.
    ASSERT_EQ(::WaitForSingleObject(app.process(), 15000), WAIT_OBJECT_0) << "the window ended";
    ASSERT_TRUE(::GetExitCodeProcess(app.process(), &code));
    EXPECT_EQ(code, 0u);
  }
}

}  // namespace
