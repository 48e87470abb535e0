// Measurements under Wine, one per command; prints "name value" lines that
// bench/run collects. Every figure is the median of repeated runs.
//   startup KELVORA FLOOR FORM N  start-up to labels filled, server refusing,
//                               against a bare window and against the bare form
//   hung KELVORA N              start-up with a server that never answers
//   trickle KELVORA N           start-up with a server sending one byte a second
//   prompt KELVORA N            from the server's answer to the prompt on screen
//   signed KEYED UNKEYED N      start-up checking a signed version file against
//                               the build without a key reading a plain one
//   download URL N              engine against a plain WinINet loop; UI ticks
//   switch FOLDER N             one click's work against one file copy
//   footprint KELVORA BIGEXE    peak working set during a download
#include <windows.h>
#include <psapi.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/main_form.h"
#include "lang/tokens.h"
#include "platform/code_page.h"
#include "platform/download.h"
#include "platform/files.h"
#include "platform/message_loop.h"
#include "platform/shell.h"
#include "platform/signature.h"
#include "platform/ui_post.h"
#include "support/e2e_driver.h"
#include "support/http_server.h"
#include "support/paths.h"
#include "support/signing.h"
#include "support/waits.h"
#include "support/versions.h"
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

int startup(const std::string& kelvora, const std::string& floor, const std::string& formFloor,
            int runs) {
  std::vector<double> k, f, form;
  timeStart(floor, "Floor", false, 1);  // warm the wineserver and the caches
  for (int i = 0; i < runs; ++i) {
    f.push_back(timeStart(floor, "Floor", false, 1));
    form.push_back(timeStart(formFloor, "Kelvora vfloor", true, app::ids::kXmlPathEditId));
    k.push_back(timeStart(kelvora, "Kelvora v", true, app::ids::kXmlPathEditId));
  }
  report("startup_floor_ms", median(f));
  report("startup_form_floor_ms", median(form));
  report("startup_kelvora_ms", median(k));
  report("window_refusing_ms", median(k));
  return 0;
}

// The median start-up of the test build while its update server answers so.
int startupAgainst(const char* name, const testing_support::Response& answer,
                   const std::string& kelvora, int runs) {
  testing_support::HttpServer server;
  server.answerAll(answer);
  std::vector<double> k;
  for (int i = 0; i < runs; ++i) {
    k.push_back(timeStart(kelvora, "Kelvora v", true, app::ids::kXmlPathEditId));
  }
  report(name, median(k));
  return 0;
}

int hung(const std::string& kelvora, int runs) {
  testing_support::Response hang;
  hang.hang = true;
  return startupAgainst("window_hung_ms", hang, kelvora, runs);
}

// One byte a second: every byte restarts a receive time-out.
int trickle(const std::string& kelvora, int runs) {
  testing_support::Response slow = testing_support::answer(
      200, testing_support::signedVersionFile(testing_support::newerVersion(), "MZ"));
  slow.pieceSize = 1;
  slow.pieceDelayMs = 1000;
  return startupAgainst("window_trickle_ms", slow, kelvora, runs);
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

// The same version as ours, so that no prompt stops the clock.
int signedCost(const std::string& keyed, const std::string& unkeyed, int runs) {
  testing_support::HttpServer server;
  const std::string own = testing_support::ownVersion();
  const testing_support::Response plain = testing_support::answer(200, "[" + own + "]\r\n");
  const testing_support::Response signedFile =
      testing_support::answer(200, testing_support::signedVersionFile(own, "MZ"));
  std::vector<double> withKey, withoutKey;
  timeStart(keyed, "Kelvora v", true, app::ids::kXmlPathEditId);  // warm-up
  for (int i = 0; i < runs; ++i) {
    server.answerAll(signedFile);
    withKey.push_back(timeStart(keyed, "Kelvora v", true, app::ids::kXmlPathEditId));
    server.answerAll(plain);
    withoutKey.push_back(timeStart(unkeyed, "Kelvora v", true, app::ids::kXmlPathEditId));
  }
  report("signed_startup_ms", median(withKey));
  report("unsigned_startup_ms", median(withoutKey));
  // The check itself, in this process: the first call loads CNG's providers.
  const std::string key = testing_support::testPublicKey();
  std::vector<double> calls;
  for (int i = 0; i < 101; ++i) {
    const double t = nowMs();
    if (!update::checkVersionFile(signedFile.body, key, platform::verifyEcdsaP256)) return 1;
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

int download(const std::string& url, int runs) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = tickProc;
  wc.lpszClassName = "KelvoraBenchTicks";
  ::RegisterClassA(&wc);
  HWND window = ::CreateWindowA("KelvoraBenchTicks", "ticks", 0, 0, 0, 10, 10, HWND_MESSAGE,
                                nullptr, nullptr, nullptr);
  std::vector<double> engineRates, plainRates, tickErrors, answers;
  plainLoop(url);  // warm-up
  for (int i = 0; i < runs; ++i) {
    plainRates.push_back(plainLoop(url));

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
    std::thread prober([&] {  // a message sent to the window, answered by the UI thread
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
    const double seconds = (nowMs() - begin) / 1000;
    ::KillTimer(window, 1);
    stop = true;
    prober.join();
    const auto size = platform::readFile(task.destination).size();
    engineRates.push_back(size / 1048576.0 / seconds);
    for (std::size_t t = 1; t < g_ticks.size(); ++t) {
      tickErrors.push_back(std::abs(g_ticks[t] - g_ticks[t - 1] - 500));
    }
    answers.push_back(worstAnswer);
    ::DeleteFileA(task.destination.c_str());
  }
  report("download_engine_mib_s", median(engineRates));
  report("download_plain_mib_s", median(plainRates));
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
      ::CopyFileA(path.c_str(), (path + ".copy").c_str(), FALSE);
      HANDLE h = ::CreateFileA((path + ".copy").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               0, nullptr);
      ::FlushFileBuffers(h);
      ::CloseHandle(h);
      flushed.push_back(nowMs() - t);
    }
    ::DeleteFileA(path.c_str());
    ::DeleteFileA((path + ".copy").c_str());
    report((std::string("switch_") + name + "_ms").c_str(), median(work));
    report((std::string("copy_") + name + "_ms").c_str(), median(copy));
    report((std::string("copy_flushed_") + name + "_ms").c_str(), median(flushed));
  }
  return 0;
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
  if (command == "startup") return startup(arg(2), arg(3), arg(4), count(5));
  if (command == "hung") return hung(arg(2), count(3));
  if (command == "trickle") return trickle(arg(2), count(3));
  if (command == "prompt") return prompt(arg(2), count(3));
  if (command == "signed") return signedCost(arg(2), arg(3), count(4));
  if (command == "download") return download(argv[2], count(3));
  if (command == "switch") return switchBench(arg(2), count(3));
  if (command == "footprint") return footprint(arg(2), arg(3));
  std::fprintf(stderr, "unknown command\n");
  return 2;
}
