// The floor of the start-up measurement: a minimal Win32 program that opens
// one window and fills one label, nothing else.
#include <windows.h>

namespace {

LRESULT CALLBACK proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    ::PostQuitMessage(0);
    return 0;
  }
  return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = "KelvoraBenchFloor";
  ::RegisterClassA(&wc);
  HWND hwnd = ::CreateWindowA("KelvoraBenchFloor", "Floor", WS_OVERLAPPEDWINDOW, 100, 100, 400, 300,
                              nullptr, nullptr, instance, nullptr);
  HWND label = ::CreateWindowA("STATIC", "", WS_CHILD | WS_VISIBLE, 10, 10, 200, 20, hwnd,
                               reinterpret_cast<HMENU>(1), instance, nullptr);
  ::SetWindowTextA(label, "filled");
  ::ShowWindow(hwnd, SW_SHOWNORMAL);
  MSG msg;
  while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
  return 0;
}
