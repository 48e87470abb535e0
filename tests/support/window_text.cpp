#include "support/window_text.h"

namespace testing_support {

std::string windowText(HWND hwnd) {
  char buffer[4096] = {};
  DWORD_PTR got = 0;
  if (!::SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer),
                             SMTO_ABORTIFHUNG, 5000, &got)) {
    return {};
  }
  return std::string(buffer, got);
}

}  // namespace testing_support
