// For scripts/run: finds the running Kelvora window, prints its labels, and
// with "click" presses the switch button first, as a user would.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/control_ids.h"

namespace {

HWND g_found = nullptr;

// WM_GETTEXT, not GetWindowText: the latter does not read another process's edit boxes.
std::string textOf(HWND hwnd) {
  char buffer[1024] = {};
  DWORD_PTR got = 0;
  ::SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer),
                        SMTO_ABORTIFHUNG, 5000, &got);
  return std::string(buffer, got);
}

BOOL CALLBACK find(HWND hwnd, LPARAM) {
  if (::IsWindowVisible(hwnd) && textOf(hwnd).rfind("Kelvora v", 0) == 0) {
    g_found = hwnd;
    return FALSE;
  }
  return TRUE;
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
  std::printf("title=%s\n", textOf(g_found).c_str());
  std::printf("current=%s\n", textOf(::GetDlgItem(g_found, app::ids::kCurrentLanguageId)).c_str());
  std::printf("file=%s\n", textOf(::GetDlgItem(g_found, app::ids::kFileLanguageId)).c_str());
  std::printf("path=%s\n", textOf(::GetDlgItem(g_found, app::ids::kXmlPathEditId)).c_str());
  return 0;
}
