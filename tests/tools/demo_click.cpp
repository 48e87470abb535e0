// For scripts/run: finds the running Kelvora window, prints its labels, and
// with "click" presses the switch button first, as a user would.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "app/main_form.h"
#include "platform/form.h"
#include "support/window_text.h"

namespace {

HWND g_found = nullptr;

using testing_support::windowText;

BOOL CALLBACK find(HWND hwnd, LPARAM) {
  if (::IsWindowVisible(hwnd) && windowText(hwnd).rfind("Kelvora v", 0) == 0) {
    g_found = hwnd;
    return FALSE;
  }
  return TRUE;
}

// The main window's control of that form name.
HWND control(const char* name) {
  for (const platform::ControlSpec& c : app::mainFormSpec().controls) {
    if (std::strcmp(c.name, name) == 0) return ::GetDlgItem(g_found, c.id);
  }
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 0; i < 300 && !g_found; ++i) {
    ::EnumWindows(find, 0);
    if (!g_found) ::Sleep(100);
  }
  if (!g_found) {
    std::fprintf(stderr, "no Kelvora window\n");
    return 1;
  }
  if (argc > 1 && std::strcmp(argv[1], "click") == 0) {
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutA(::GetDlgItem(g_found, app::ids::kSwitchButtonId), BM_CLICK, 0, 0,
                          SMTO_NORMAL, 30000, &ignored);
  }
  if (argc > 1 && std::strcmp(argv[1], "close") == 0) {
    ::PostMessageA(g_found, WM_CLOSE, 0, 0);
    return 0;
  }
  // Labels as GBK bytes; the script turns them into UTF-8.
  std::printf("title=%s\n", windowText(g_found).c_str());
  std::printf("current=%s\n",
              windowText(::GetDlgItem(g_found, app::ids::kCurrentLanguageId)).c_str());
  // Each version's row that shows an installation: its caption, language and path.
  const auto shown = [](const char* name) { return windowText(control(name)); };
  std::vector<app::ids::VersionRowNames> rows(std::begin(app::ids::kVersionRows),
                                              std::end(app::ids::kVersionRows));
  rows.push_back(app::ids::kNewerVersionRow);
  for (const app::ids::VersionRowNames& row : rows) {
    const std::string path = shown(row.path);
    if (path.empty()) continue;
    std::printf("%s%s path=%s\n", shown(row.caption).c_str(), shown(row.language).c_str(),
                path.c_str());
  }
  return 0;
}
