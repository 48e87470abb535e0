// Reading another process's windows.
#pragma once

#include <windows.h>

#include <string>

namespace testing_support {

// The window text of `hwnd`, read across processes (WM_GETTEXT: GetWindowText
// does not read another process's edit boxes); empty when it does not answer.
std::string windowText(HWND hwnd);

}  // namespace testing_support
