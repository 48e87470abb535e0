// The second floor: Kelvora's own main form, with its manifest, its controls
// and its font, shown the way the program shows it, but none of the
// program's work. Against the plain floor it says what the form's windows
// cost; against Kelvora, what the program adds on top.
#include <windows.h>
#include <commctrl.h>

#include "app/main_form.h"
#include "platform/form.h"
#include "platform/system_library.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // comctl32 as the program loads it.
  platform::restrictDllSearchToSystem();
  platform::initCommonControls(ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS);
  platform::Form form(app::mainFormSpec());
  if (!form.create()) return 1;
  form.setQuitOnClose(true);
  form.setText(app::ids::kXmlPathEdit, "filled");
  form.setTitle("Kelvora vfloor");
  form.show();
  MSG msg;
  while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
  return 0;
}
