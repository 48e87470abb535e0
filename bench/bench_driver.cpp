// Measurements under Wine, one per command; prints "name value" lines (or
// "name median min max" for a figure taken from repeated runs) that bench/run
// collects.
//   windows KELVORA UNKEYED FLOOR FORM N
//                               start-up to labels filled, N rounds of: a bare
//                               window, the bare form, Kelvora with its server
//                               refusing, hung, trickling, then answering a
//                               signed file, and the build without a key
//                               answered a plain one; Kelvora signed with
//                               Authenticode, its server refusing;
//                               Kelvora's --set-language from start to exit;
//                               and Kelvora's window with all 13 versions
//                               of its rows installed
//   check                       the signed version file's check, in process
//   start PROBE KELVORA N       startVerified on PROBE (the new version)
//                               with KELVORA as the running exe, both
//                               Authenticode-signed against both unsigned
//   prompt KELVORA N            from the server's answer to the prompt on screen
//   download URL N              engine against a plain WinINet loop; UI ticks
//                               and answers during a paced download
//   switch FOLDER N             one click's work against one file copy, and
//                               against 13 two-KiB files beside 13 copies
//   footprint KELVORA BIGEXE    peak working set during a download
#include <windows.h>
#include <psapi.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/main_form.h"
#include "app/main_window_language_view.h"
#include "app/registered_versions.h"
#include "lang/switcher.h"
#include "lang/tokens.h"
#include "lang/windows_switch_system.h"
#include "platform/code_page.h"
#include "platform/download.h"
#include "platform/files.h"
#include "platform/form.h"
#include "platform/hash.h"
#include "platform/hex.h"
#include "platform/message_loop.h"
#include "platform/process.h"
#include "platform/shell.h"
#include "platform/signature.h"
#include "platform/ui_post.h"
#include "registry/registry_tool.h"
#include "support/e2e_driver.h"
#include "support/http_server.h"
#include "support/paths.h"
#include "support/scratch_key.h"
#include "support/signing.h"
#include "support/waits.h"
#include "support/versions.h"
#include "update/self_replace.h"
#include "update/update_check.h"

namespace {

double median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double nowMs() {
  LARGE_INTEGER f, t;
  ::QueryPerformanceFrequency(&f);
  ::QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(f.QuadPart);
}

void report(const char* name, double value) {
  std::printf("%s %.3f\n", name, value);
}

// The median and the spread of repeated runs.
void report(const char* name, const std::vector<double>& values) {
  if (values.empty()) {
    report(name, -1);
    return;
  }
  const auto [low, high] = std::minmax_element(values.begin(), values.end());
  std::printf("%s %.3f %.3f %.3f\n", name, median(values), *low, *high);
}

// Milliseconds from process start until `filled` says the window is ready.
double timeStart(const std::string& exe, const std::string& title, bool prefix, int labelId) {
  testing_support::RunningApp app;
  const double begin = nowMs();
  if (!app.launch(platform::tempFolder(), exe)) return -1;
  HWND window = nullptr;
  const bool filled = testing_support::waitFor(
      [&] {
        if (!window) window = app.findWindow(title, !prefix);
        return window && !testing_support::windowText(::GetDlgItem(window, labelId)).empty();
      },
      60000, false, 1);
  if (!filled) return -1;
  const double elapsed = nowMs() - begin;
  ::PostMessageA(window, WM_CLOSE, 0, 0);
  ::WaitForSingleObject(app.process(), 15000);
  return elapsed;
}

double timeKelvora(const std::string& exe) {
  return timeStart(exe, "Kelvora v", true, app::ids::kXmlPathEditId);
}

// A fake After Effects installation that the --set-language runs switch back
// and forth: application.xml in a folder of its own, and InstallPath in the
// 64-bit view while a run needs it, so that the window runs beside it find
// none (as ever).
class FakeInstall {
 public:
  FakeInstall() {
    ::CreateDirectoryA((folder_ / "AMT").c_str(), nullptr);
    std::string xml = "<?xml version=\"1.0\" encoding=\"GBK\"?>\r\n<Configuration>\r\n";
    for (int i = 0; i < 100; ++i) {
      xml += "  <Data key=\"k" + std::to_string(i) + "\">zh_CN 中文说明</Data>\r\n";
    }
    platform::writeFile(folder_ / "AMT\\application.xml", {xml + "</Configuration>\r\n"});
  }

  // Milliseconds from starting `exe --set-language` with the language the
  // file does not hold until the process has ended; -1 unless it switched.
  double timeSwitch(const std::string& exe) {
    testing_support::ScratchKey key(HKEY_LOCAL_MACHINE, "SOFTWARE\\Adobe\\After Effects\\16.0",
                                    KEY_WOW64_64KEY);
    key.set("", "InstallPath", REG_SZ, folder_.path() + "\\" + std::string(1, '\0'));
    english_ = !english_;
    const std::string line = "\"" + exe + "\" --set-language " +
                             std::string(english_ ? lang::kEnglishToken : lang::kChineseToken);
    const double begin = nowMs();
    platform::UniqueKernelHandle process =
        platform::startProcess(line, SW_SHOWNORMAL, exe, platform::tempFolder());
    if (!process || ::WaitForSingleObject(process.get(), 60000) != WAIT_OBJECT_0) return -1;
    const double elapsed = nowMs() - begin;
    DWORD code = 1234;
    return ::GetExitCodeProcess(process.get(), &code) && code == 0 ? elapsed : -1;
  }

 private:
  testing_support::TempFolder folder_{"kelvora-bench-install"};
  bool english_ = false;  // what the file holds
};

// The key of each version the window has a row for, oldest first.
constexpr const char* kThirteenVersions[] = {"13.0", "13.5", "13.8", "14.0", "15.0", "16.0", "17.0",
                                             "18.0", "22.0", "23.0", "24.0", "25.0", "26.0"};
static_assert(std::size(kThirteenVersions) == std::size(app::ids::kVersionRows));

// A two-KiB application.xml holding `token`, as an installation has it.
std::string twoKibXml(std::string_view token) {
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Configuration>\r\n"
      "  <Payload>\r\n    <Data key=\"installedLanguages\">" +
      std::string(token) + "</Data>\r\n";
  for (int i = 0; xml.size() < 2048 - 48; ++i) {
    xml +=
        "    <Data key=\"k" + std::to_string(i) + "\">value " + std::to_string(i) + "</Data>\r\n";
  }
  xml += "  </Payload>\r\n</Configuration>\r\n";
  xml.resize(2048, ' ');
  return xml;
}

// Every version of the window's rows installed: a two-KiB application.xml
// under each one's Support Files, and, while `registered` is held, each
// one's InstallPath in the 64-bit view, so that the runs beside it find none.
class ThirteenInstalls {
 public:
  ThirteenInstalls() {
    for (const char* version : kThirteenVersions) {
      const std::string install = folder_ / ("After Effects " + std::string(version));
      const std::string support = install + "\\Support Files\\";
      for (const std::string& dir : {install, support, support + "AMT"}) {
        ::CreateDirectoryA(dir.c_str(), nullptr);
      }
      platform::writeFile(support + "AMT\\application.xml", {twoKibXml(lang::kChineseToken)});
      supportFolders_.push_back(support);
    }
  }

  std::unique_ptr<testing_support::ScratchKey> registered() const {
    auto key = std::make_unique<testing_support::ScratchKey>(
        HKEY_LOCAL_MACHINE, "SOFTWARE\\Adobe\\After Effects", KEY_WOW64_64KEY);
    for (std::size_t i = 0; i < supportFolders_.size(); ++i) {
      key->set(kThirteenVersions[i], "InstallPath", REG_SZ,
               supportFolders_[i] + std::string(1, '\0'));
    }
    return key;
  }

  std::vector<std::string> files() const {
    std::vector<std::string> out;
    for (const std::string& support : supportFolders_)
      out.push_back(support + "AMT\\application.xml");
    return out;
  }

 private:
  testing_support::TempFolder folder_{"kelvora-bench-thirteen"};
  std::vector<std::string> supportFolders_;
};

// The control ID of the form's control `name`; 0 when it has none.
int controlId(const char* name) {
  for (const platform::ControlSpec& c : app::mainFormSpec().controls) {
    if (std::strcmp(c.name, name) == 0) return c.id;
  }
  return 0;
}

// Every window figure beside its floors, round by round, so that whatever
// drifts meanwhile (the machine's other load, Wine's caches) hits all alike.
// The refusing start has no server on the port; the others share one.
int windows(const std::string& kelvora, const std::string& unkeyed, const std::string& floor,
            const std::string& formFloor, int runs) {
  using testing_support::Response;
  const std::string own = testing_support::ownVersion();
  Response hang;
  hang.hang = true;
  // One byte a second: every byte restarts a receive time-out.
  Response trickle = testing_support::answer(
      200, testing_support::signedVersionFile(testing_support::newerVersion(), "MZ"));
  trickle.pieceSize = 1;
  trickle.pieceDelayMs = 1000;
  // The same version as ours, so that no prompt stops the clock.
  const Response signedFile =
      testing_support::answer(200, testing_support::signedVersionFile(own, "MZ"));
  const Response plain = testing_support::answer(200, "[" + own + "]\r\n");
  // The same build signed by a test publisher: whatever Windows does with a
  // signed exe at its start shows against the refusing start beside it.
  const testing_support::TempFolder signedDir("kelvora-bench-signed");
  const std::string signedKelvora = signedDir / "Kelvora.exe";
  const std::string signedBytes =
      testing_support::authenticodeSigned(kelvora, testing_support::TestPublisher::A);
  if (signedBytes.empty() || !platform::writeFile(signedKelvora, {signedBytes})) {
    std::fprintf(stderr, "cannot sign %s\n", kelvora.c_str());
    return 1;
  }

  // Warm the wineserver and the caches.
  timeStart(floor, "Floor", false, 1);
  timeStart(formFloor, "Kelvora vfloor", true, app::ids::kXmlPathEditId);
  timeKelvora(kelvora);
  timeKelvora(unkeyed);
  timeKelvora(signedKelvora);
  FakeInstall install;
  install.timeSwitch(kelvora);
  install.timeSwitch(kelvora);
  // Up when the newest row's path box is filled: every row before it is too.
  const ThirteenInstalls thirteen;
  const int newestRow = controlId(std::end(app::ids::kVersionRows)[-1].path);
  const auto timeThirteen = [&] {
    const auto keys = thirteen.registered();
    return timeStart(kelvora, "Kelvora v", true, newestRow);
  };
  timeThirteen();
  std::vector<double> f, form, refusing, hung, trickling, withKey, withoutKey, signedExe, verb,
      versions;
  for (int i = 0; i < runs; ++i) {
    f.push_back(timeStart(floor, "Floor", false, 1));
    verb.push_back(install.timeSwitch(kelvora));
    form.push_back(timeStart(formFloor, "Kelvora vfloor", true, app::ids::kXmlPathEditId));
    refusing.push_back(timeKelvora(kelvora));
    versions.push_back(timeThirteen());
    signedExe.push_back(timeKelvora(signedKelvora));
    testing_support::HttpServer server;
    if (!server.listening()) {
      std::fprintf(stderr, "the bench's port %u is taken\n", testing_support::kTestPort);
      return 1;
    }
    server.answerAll(hang);
    hung.push_back(timeKelvora(kelvora));
    server.answerAll(trickle);
    trickling.push_back(timeKelvora(kelvora));
    server.answerAll(signedFile);
    withKey.push_back(timeKelvora(kelvora));
    server.answerAll(plain);
    withoutKey.push_back(timeKelvora(unkeyed));
  }
  report("startup_floor_ms", f);
  report("startup_form_floor_ms", form);
  report("startup_kelvora_ms", refusing);
  report("window_refusing_ms", refusing);
  report("window_hung_ms", hung);
  report("window_trickle_ms", trickling);
  report("signed_startup_ms", withKey);
  report("unsigned_startup_ms", withoutKey);
  report("window_signed_exe_ms", signedExe);
  report("switch_verb_ms", verb);
  report("window_thirteen_versions_ms", versions);
  return 0;
}

// From the download's end to the new version's start, in this process:
// startVerified on a fresh copy of the new version, round by round, with the
// new version and the running exe both signed (the Authenticode checks) and
// both unsigned. The running exe's own check, made while the download runs,
// is the last figure.
int start(const std::string& probe, const std::string& kelvora, int runs) {
  using testing_support::TestPublisher;
  const testing_support::TempFolder dir("kelvora-bench-start");
  const std::string signedKelvora = dir / "Kelvora.exe";
  const std::string signedProbe = testing_support::authenticodeSigned(probe, TestPublisher::A);
  const std::string kelvoraBytes = testing_support::authenticodeSigned(kelvora, TestPublisher::A);
  if (signedProbe.empty() || kelvoraBytes.empty() ||
      !platform::writeFile(signedKelvora, {kelvoraBytes})) {
    std::fprintf(stderr, "cannot sign the probe or Kelvora\n");
    return 1;
  }
  const std::string unsignedProbe = platform::readFile(probe);
  int round = 0;
  // One start; -1 when it was refused.
  auto once = [&](const std::string& bytes, const std::string& running) {
    const std::string folder = dir / std::to_string(++round);
    const std::string exe = folder + "\\Kelvora v9.exe";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    platform::writeFile(exe, {bytes});
    const update::ExpectedFile expected{static_cast<long long>(bytes.size()),
                                        platform::toHex(platform::sha256(bytes))};
    // Read while the download runs, as the updater does.
    const update::Publisher publisher =
        update::requiredPublisher(std::u16string(running.begin(), running.end()));
    const double begin = nowMs();
    // Up to CreateProcess's return: the new version's own start-up, which
    // signing does not change, would only add its noise.
    const bool started = update::startVerified(exe, expected, 0, publisher);
    return started ? nowMs() - begin : -1.0;
  };
  once(unsignedProbe, kelvora);  // warm: loads CNG, wintrust and crypt32
  once(signedProbe, signedKelvora);
  std::vector<double> unsignedStarts, signedStarts;
  for (int i = 0; i < runs; ++i) {
    unsignedStarts.push_back(once(unsignedProbe, kelvora));
    signedStarts.push_back(once(signedProbe, signedKelvora));
  }
  if (std::count(signedStarts.begin(), signedStarts.end(), -1.0) ||
      std::count(unsignedStarts.begin(), unsignedStarts.end(), -1.0)) {
    std::fprintf(stderr, "a start was refused\n");
    return 1;
  }
  report("unsigned_update_start_ms", unsignedStarts);
  report("signed_update_start_ms", signedStarts);
  // One signed file's Authenticode check: the running exe's, during the download.
  std::vector<double> checks;
  const std::u16string running(signedKelvora.begin(), signedKelvora.end());
  for (int i = 0; i < runs; ++i) {
    const double begin = nowMs();
    if (!update::requiredPublisher(running).required) return 1;
    checks.push_back(nowMs() - begin);
  }
  report("authenticode_check_ms", checks);
  return 0;
}

// From the moment the server has sent a newer version to the prompt on
// screen: the answer reaches the window as a posted closure.
int prompt(const std::string& kelvora, int runs) {
  testing_support::HttpServer server;
  testing_support::Response late = testing_support::answer(
      200, testing_support::signedVersionFile(testing_support::newerVersion(), "MZ"));
  late.answerAfterMs = 1000;
  server.answerAll(late);
  std::vector<double> latencies;
  for (int i = 0; i < runs; ++i) {
    const int before = server.answered(testing_support::kVersionPath);
    testing_support::RunningApp app;
    if (!app.launch(platform::tempFolder(), kelvora)) return 1;
    double answeredAt = 0;
    HWND box = nullptr;
    testing_support::waitFor(
        [&] {
          if (!answeredAt && server.answered(testing_support::kVersionPath) > before)
            answeredAt = nowMs();
          box = app.findWindow("更新提示", true);
          return box != nullptr;
        },
        30000, false, 1);
    if (!box || !answeredAt) return 1;
    latencies.push_back(nowMs() - answeredAt);
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutA(::GetDlgItem(box, IDCANCEL), BM_CLICK, 0, 0, SMTO_NORMAL, 5000, &ignored);
    app.waitForMainWindow();
    DWORD code = 0;
    app.close(code);
  }
  report("prompt_after_answer_ms", median(latencies));
  return 0;
}

// The signed version file's check itself, in this process: the first call
// loads CNG's providers.
int check() {
  const std::string own = testing_support::ownVersion();
  const std::string body = testing_support::signedVersionFile(own, "MZ");
  const std::string key = testing_support::testPublicKey();
  std::vector<double> calls;
  for (int i = 0; i < 101; ++i) {
    const double t = nowMs();
    if (!update::checkVersionFile(body, key, platform::verifyEcdsaP256)) return 1;
    calls.push_back(nowMs() - t);
  }
  report("signed_check_first_ms", calls[0]);
  calls.erase(calls.begin());
  report("signed_check_ms", median(calls));
  return 0;
}

double plainLoop(const std::string& url) {
  const double begin = nowMs();
  HINTERNET session = ::InternetOpenA("bench", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  HINTERNET request = ::InternetOpenUrlA(session, url.c_str(), nullptr, 0,
                                         INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
  std::vector<char> buffer(4096);
  long long total = 0;
  DWORD got = 0;
  HANDLE file = ::CreateFileA((platform::tempFolder() + "bench-plain.bin").c_str(), GENERIC_WRITE,
                              0, nullptr, CREATE_ALWAYS, 0, nullptr);
  while (request && ::InternetReadFile(request, buffer.data(), 4096, &got) && got > 0) {
    DWORD written = 0;
    ::WriteFile(file, buffer.data(), got, &written, nullptr);
    total += got;
  }
  ::CloseHandle(file);
  if (request) ::InternetCloseHandle(request);
  ::InternetCloseHandle(session);
  ::DeleteFileA((platform::tempFolder() + "bench-plain.bin").c_str());
  const double seconds = (nowMs() - begin) / 1000;
  return total / 1048576.0 / seconds;
}

int g_done = 0;
int onEvent(int type, int, int, int, int) {
  if (type == platform::kComplete) g_done = 1;
  return 0;
}

std::vector<double> g_ticks;
LRESULT CALLBACK tickProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER) g_ticks.push_back(nowMs());
  return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

struct EngineRun {
  double seconds = 0;
  double mibPerSecond = 0;
  std::vector<double> tickErrors;  // |interval - 500 ms| between timer ticks
  double worstAnswer = 0;          // ms until the UI thread answered a sent message
};

// One download by the engine while this (the UI) thread runs a 500 ms timer
// and another thread keeps sending it messages.
EngineRun engineRun(const std::string& url, HWND window) {
  platform::Downloader engine;
  platform::DownloadTask task;
  task.readSize = 4096;
  task.source = url;
  task.destination = platform::tempFolder() + "bench-engine.exe";
  task.onEvent = onEvent;
  g_done = 0;
  g_ticks.clear();
  std::atomic<bool> stop{false};
  std::atomic<double> worstAnswer{0};
  std::thread prober([&] {
    while (!stop) {
      const double t = nowMs();
      DWORD_PTR r = 0;
      ::SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &r);
      worstAnswer = std::max(worstAnswer.load(), nowMs() - t);
      ::Sleep(20);
    }
  });
  ::SetTimer(window, 1, 500, nullptr);
  const double begin = nowMs();
  engine.start(task, platform::tempFolder() + "bench-engine.part");
  while (!g_done && engine.running()) {
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    platform::processPendingMessages();
  }
  platform::processPendingMessages();
  EngineRun run;
  run.seconds = (nowMs() - begin) / 1000;
  ::KillTimer(window, 1);
  stop = true;
  prober.join();
  run.mibPerSecond = platform::readFile(task.destination).size() / 1048576.0 / run.seconds;
  for (std::size_t t = 1; t < g_ticks.size(); ++t) {
    run.tickErrors.push_back(std::abs(g_ticks[t] - g_ticks[t - 1] - 500));
  }
  run.worstAnswer = worstAnswer;
  ::DeleteFileA(task.destination.c_str());
  return run;
}

// Rates against `url` at full speed. The UI figures come from a paced
// download of at least 3 s from the bench's own server as well: at full
// speed the download can end before the timer's first tick.
int download(const std::string& url, int runs) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = tickProc;
  wc.lpszClassName = "KelvoraBenchTicks";
  ::RegisterClassA(&wc);
  HWND window = ::CreateWindowA("KelvoraBenchTicks", "ticks", 0, 0, 0, 10, 10, HWND_MESSAGE,
                                nullptr, nullptr, nullptr);
  std::vector<double> engineRates, plainRates, tickErrors, answers, pacedSeconds;
  plainLoop(url);  // warm-up
  for (int i = 0; i < runs; ++i) {
    plainRates.push_back(plainLoop(url));
    const EngineRun run = engineRun(url, window);
    engineRates.push_back(run.mibPerSecond);
    answers.push_back(run.worstAnswer);
  }
  // 16 MiB in 64 KiB pieces, 15 ms apart: 256 pieces, at least 3.8 s.
  testing_support::HttpServer server;
  testing_support::Response paced = testing_support::answer(200, std::string(16 << 20, 'k'));
  paced.pieceSize = 64 << 10;
  paced.pieceDelayMs = 15;
  server.route(testing_support::kExePath, paced);
  const std::string pacedUrl =
      "http://127.0.0.1:" + std::to_string(testing_support::kTestPort) + testing_support::kExePath;
  for (int i = 0; i < runs; ++i) {
    const EngineRun run = engineRun(pacedUrl, window);
    pacedSeconds.push_back(run.seconds);
    tickErrors.insert(tickErrors.end(), run.tickErrors.begin(), run.tickErrors.end());
    answers.push_back(run.worstAnswer);
  }
  report("download_engine_mib_s", engineRates);
  report("download_plain_mib_s", plainRates);
  report("ui_paced_download_s", pacedSeconds);
  report("ui_ticks", static_cast<double>(tickErrors.size()));
  report("ui_tick_error_max_ms",
         tickErrors.empty() ? -1 : *std::max_element(tickErrors.begin(), tickErrors.end()));
  report("ui_answer_max_ms", *std::max_element(answers.begin(), answers.end()));
  return 0;
}

// One click's work without its pause: read, replace, write beside and move
// over, read again for the label.
void clickWork(const std::string& path) {
  const platform::LeadBytes& lead = platform::ansiLeadBytes();
  const platform::Bytes contents = platform::readFile(path);
  const bool chinese = lang::containsToken(contents, lang::kChineseToken, lead);
  const std::string changed =
      chinese ? lang::replaceToken(contents, lang::kChineseToken, lang::kEnglishToken, lead)
              : lang::replaceToken(contents, lang::kEnglishToken, lang::kChineseToken, lead);
  platform::replaceFile(path, changed);
  (void)lang::containsToken(platform::readFile(path), lang::kChineseToken, lead);
}

// A copy of `from` made durable, as the switch makes its new file.
void flushedCopy(const std::string& from, const std::string& to) {
  ::CopyFileA(from.c_str(), to.c_str(), FALSE);
  HANDLE h = ::CreateFileA(to.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ::FlushFileBuffers(h);
  ::CloseHandle(h);
}

// The program's own switch system without the pause after a rewrite: what
// the click itself costs.
class WithoutPause final : public lang::SwitchSystem {
 public:
  explicit WithoutPause(lang::SwitchSystem& system) : system_(system) {}
  std::string installPath() override { return system_.installPath(); }
  std::vector<lang::RegisteredVersion> registeredVersions() override {
    return system_.registeredVersions();
  }
  std::string documentsFolder() override { return system_.documentsFolder(); }
  bool fileExists(const std::string& path) override { return system_.fileExists(path); }
  std::optional<std::string> readFile(const std::string& path) override {
    return system_.readFile(path);
  }
  bool isOversized(const std::string& path) override { return system_.isOversized(path); }
  void createEmptyFile(const std::string& path) override { system_.createEmptyFile(path); }
  void removeFile(const std::string& path) override { system_.removeFile(path); }
  lang::ReplaceResult replaceFile(const std::string& path, std::string_view bytes) override {
    return system_.replaceFile(path, bytes);
  }
  bool canOpenForWriting(const std::string& path) override {
    return system_.canOpenForWriting(path);
  }
  lang::ElevatedRun setLanguageElevated(std::string_view token) override {
    return system_.setLanguageElevated(token);
  }
  void pause(unsigned) override {}
  bool afterEffectsRunning() override { return system_.afterEffectsRunning(); }
  const platform::LeadBytes& leadBytes() override { return system_.leadBytes(); }

 private:
  lang::SwitchSystem& system_;
};

// One click of the program's own switch over every version of the window's
// rows, in a hidden main window of this process, without the pause; beside
// 13 flushed copies of such a file. -1 when a click left a file unswitched.
int switchThirteen(int runs) {
  const ThirteenInstalls installs;
  const auto keys = installs.registered();
  registry::RegistryTool registry;
  registry.probe64BitWindows();
  registry.initialise();
  platform::Form form(app::mainFormSpec());
  if (!form.create()) return 1;
  app::MainWindowLanguageView view(form);
  lang::WindowsSwitchSystem windows(
      [&] { return registry.read64String(registry::kLocalMachine, lang::kInstallPathValue); },
      [&] { return app::registeredVersions(registry); });
  WithoutPause system(windows);
  const std::string marker = system.documentsFolder() + lang::kMarkerName;
  const bool markerWas = platform::fileExists(marker);
  lang::Switcher switcher(view, system);
  switcher.showState();
  const std::vector<std::string> files = installs.files();
  // Every file in the language the click chose: the marker's.
  const auto converged = [&] {
    const std::string_view token =
        platform::fileExists(marker) ? lang::kEnglishToken : lang::kChineseToken;
    return std::all_of(files.begin(), files.end(), [&](const std::string& file) {
      return platform::readFile(file).find(token) != std::string::npos;
    });
  };
  switcher.toggle();
  std::vector<double> work, copies;
  for (int i = 0; i < runs; ++i) {
    double t = nowMs();
    switcher.toggle();
    work.push_back(converged() ? nowMs() - t : -1);
    t = nowMs();
    for (const std::string& file : files) flushedCopy(file, file + ".copy");
    copies.push_back(nowMs() - t);
  }
  if (platform::fileExists(marker) != markerWas) switcher.toggle();
  form.destroy();
  registry.destroy();
  report("switch_thirteen_versions_ms", work);
  report("copy_thirteen_flushed_ms", copies);
  return 0;
}

int switchBench(const std::string& folder, int runs) {
  for (const auto& [name, size] : {std::pair{"64k", 64 << 10}, std::pair{"8m", 8 << 20}}) {
    const std::string path = folder + "\\application-" + name + ".xml";
    std::string xml = "<?xml version=\"1.0\"?>\r\n";
    while (xml.size() < static_cast<std::size_t>(size)) {
      xml += "<Data key=\"installedLanguages\">zh_CN</Data><!-- 中文 padding text -->\r\n";
    }
    platform::writeFile(path, {xml});
    std::vector<double> work, copy, flushed;
    clickWork(path);
    for (int i = 0; i < runs; ++i) {
      double t = nowMs();
      clickWork(path);
      work.push_back(nowMs() - t);
      t = nowMs();
      ::CopyFileA(path.c_str(), (path + ".copy").c_str(), FALSE);
      copy.push_back(nowMs() - t);
      // The same copy made durable, as the switch makes its new file.
      t = nowMs();
      flushedCopy(path, path + ".copy");
      flushed.push_back(nowMs() - t);
    }
    ::DeleteFileA(path.c_str());
    ::DeleteFileA((path + ".copy").c_str());
    report((std::string("switch_") + name + "_ms").c_str(), median(work));
    report((std::string("copy_") + name + "_ms").c_str(), median(copy));
    report((std::string("copy_flushed_") + name + "_ms").c_str(), median(flushed));
  }
  return switchThirteen(runs);
}

int footprint(const std::string& kelvora, const std::string& bigExe) {
  const testing_support::TempFolder dir("kelvora-bench-footprint");
  const std::string exe = dir / "Kelvora.exe";
  ::CopyFileA(kelvora.c_str(), exe.c_str(), FALSE);
  testing_support::HttpServer server;
  const testing_support::Response big = testing_support::answer(200, platform::readFile(bigExe));
  server.route(testing_support::kExePath, big);
  server.route(testing_support::kVersionPath,
               testing_support::answer(200, testing_support::signedVersionFile(
                                                testing_support::newerVersion(), big.body)));

  testing_support::RunningApp app;
  app.launch(dir.path(), exe);
  HWND box = app.waitForWindow("更新提示", true, 30000);
  PROCESS_MEMORY_COUNTERS idle = {};
  idle.cb = sizeof idle;
  ::GetProcessMemoryInfo(app.process(), &idle, sizeof idle);
  report("idle_working_set_mib", idle.WorkingSetSize / 1048576.0);
  if (!box) return 1;
  testing_support::postClick(::GetDlgItem(box, IDOK));
  SIZE_T peak = 0;
  const ULONGLONG end = ::GetTickCount64() + 120000;
  while (::WaitForSingleObject(app.process(), 50) == WAIT_TIMEOUT && ::GetTickCount64() < end) {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (::GetProcessMemoryInfo(app.process(), &counters, sizeof counters)) {
      peak = std::max(peak, counters.PeakWorkingSetSize);
    }
  }
  report("peak_working_set_mib", peak / 1048576.0);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  platform::openUiPost();  // the download engine delivers through it
  const std::string command = argc > 1 ? argv[1] : "";
  auto arg = [&](int i) {
    return i < argc ? testing_support::windowsPath(argv[i]) : std::string();
  };
  auto count = [&](int i) { return i < argc ? std::atoi(argv[i]) : 5; };
  if (command == "windows") return windows(arg(2), arg(3), arg(4), arg(5), count(6));
  if (command == "check") return check();
  if (command == "start") return start(arg(2), arg(3), count(4));
  if (command == "prompt") return prompt(arg(2), count(3));
  if (command == "download") return download(argv[2], count(3));
  if (command == "switch") return switchBench(arg(2), count(3));
  if (command == "footprint") return footprint(arg(2), arg(3));
  std::fprintf(stderr, "unknown command\n");
  return 2;
}
