// Windows built from form data: a table of named controls, their texts read
// and written by name, click and timer events bound by name. One window class
// with one static window procedure serves every form. UI thread only.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/handles.h"

namespace platform {

enum class ControlKind { Button, Label, Edit, GroupBox, Link, ProgressBar, Timer };

struct ControlSpec {
  const char* name;  // the form's own name for the control (GBK)
  ControlKind kind;
  int id;                   // control ID; the tests find controls by it
  int x, y, width, height;  // in 96-dpi pixels; scaled to the window's monitor
  const char* text;         // design text
  bool enabled = true;
};

struct FormSpec {
  const char* title;
  int clientWidth, clientHeight;  // 96-DPI pixels
  const char* fontFace;           // every control's font face
  std::span<const ControlSpec> controls;
  const char* initialFocus = nullptr;  // the control that has the focus when the window opens
};

class Form {
 public:
  using Handler = std::function<void()>;

  explicit Form(const FormSpec& layout);
  ~Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  // Where a window of the given outer size goes, in screen pixels.
  using Placement = std::function<POINT(int width, int height)>;

  // Builds the window and its controls, hidden, at `place`'s answer (the
  // system's default place without one): moving it afterwards costs a
  // round trip to the display. False when Windows refuses.
  bool create(const Placement& place = {});
  void show();
  void hide();
  // Destroys the window (its controls and timers with it); safe to repeat.
  void destroy();
  bool exists() const { return hwnd_ != nullptr; }
  HWND hwnd() const { return hwnd_; }

  // Closing the window ends the message loop (the main window).
  void setQuitOnClose(bool quit) { quitOnClose_ = quit; }

  HWND control(std::string_view name) const;
  std::string text(std::string_view name) const;
  void setText(std::string_view name, std::string_view text);
  std::string title() const;
  void setTitle(std::string_view text);

  void setProgress(std::string_view name, int position);
  int progress(std::string_view name) const;
  // Interval in milliseconds; 0 stops the timer.
  void setTimerInterval(std::string_view name, unsigned milliseconds);

  void setEnabled(std::string_view name, bool enabled);
  // The UAC shield on a button whose action asks for administrator rights.
  void setShield(std::string_view name, bool shield);

  void onClick(std::string_view name, Handler handler);
  void onTimer(std::string_view name, Handler handler);
  // Runs when the window is asked to close; without a handler it is destroyed.
  void onClose(Handler handler) { closeHandler_ = std::move(handler); }

 private:
  static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
  const ControlSpec* find(std::string_view name) const;
  int scale(int pixels) const;
  // The window's outer size at `dpi`.
  SIZE frameSize(int dpi) const;
  // Lays the form out again at `dpi` in `window` (screen pixels), with fonts
  // made for that scale.
  void scaleTo(int dpi, const RECT& window);

  const FormSpec& spec_;
  HWND hwnd_ = nullptr;
  int dpi_ = 96;
  bool quitOnClose_ = false;
  UniqueGdiObject faceFont_;
  UniqueGdiObject linkFont_;
  std::map<int, Handler> clickHandlers_;  // by control ID
  std::map<int, Handler> timerHandlers_;  // by timer ID (the control's ID)
  Handler closeHandler_;
  HWND focus_ = nullptr;  // the control to give the focus back to on activation
};

// Dispatches one message as the message loop does, with the keyboard
// handling of a dialog for the forms' windows: Tab and Shift+Tab move through
// the enabled controls in form order, Enter presses the focused button, and
// Alt with a mnemonic presses that control.
void dispatchMessage(MSG& msg);

// MessageBoxA, modal to `owner` (none when null).
int messageBox(std::string_view text, std::string_view caption, UINT flags, HWND owner = nullptr);

}  // namespace platform
