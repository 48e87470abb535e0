#include "platform/form.h"

#include <commctrl.h>

#include "platform/placement.h"
#include "platform/system_library.h"

#ifndef WM_GETDPISCALEDSIZE
#define WM_GETDPISCALEDSIZE 0x02E4
#endif

namespace platform {
namespace {

constexpr char kClassName[] = "KelvoraForm";
constexpr COLORREF kLinkColor = RGB(0, 0, 204);
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr int kFontPoints = 9;

// The per-monitor calls, looked up: Windows 7 has none of them, 8.1 only
// GetDpiForMonitor (in shcore), 10 from 1607 the rest.
struct DpiApi {
  UINT(WINAPI* getDpiForWindow)(HWND) = nullptr;
  BOOL(WINAPI* adjustWindowRectExForDpi)(RECT*, DWORD, BOOL, DWORD, UINT) = nullptr;
  HRESULT(WINAPI* getDpiForMonitor)(HMONITOR, int, UINT*, UINT*) = nullptr;
};

template <typename F>
void bind(HMODULE module, F& slot, const char* name) {
  if (module) slot = reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

const DpiApi& dpiApi() {
  static const DpiApi api = [] {
    DpiApi a;
    HMODULE user32 = ::GetModuleHandleA("user32.dll");
    bind(user32, a.getDpiForWindow, "GetDpiForWindow");
    bind(user32, a.adjustWindowRectExForDpi, "AdjustWindowRectExForDpi");
    // shcore only where user32 cannot say: it is one more DLL to load.
    if (!a.getDpiForWindow) {
      bind(loadSystemLibrary("shcore.dll"), a.getDpiForMonitor, "GetDpiForMonitor");
    }
    return a;
  }();
  return api;
}

int systemDpi() {
  HDC screen = ::GetDC(nullptr);
  const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen) ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : kFormDpi;
}

// The dpi of the monitor `hwnd` is on, where Windows can say; else the system's.
int windowDpi(HWND hwnd) {
  const DpiApi& api = dpiApi();
  if (api.getDpiForWindow) {
    if (const UINT dpi = api.getDpiForWindow(hwnd)) return static_cast<int>(dpi);
  } else if (api.getDpiForMonitor) {
    UINT x = 0, y = 0;
    constexpr int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI
    HMONITOR monitor = ::MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST);
    if (SUCCEEDED(api.getDpiForMonitor(monitor, kEffectiveDpi, &x, &y)) && y > 0) {
      return static_cast<int>(y);
    }
  }
  return systemDpi();
}

bool registerClass(HINSTANCE instance, WNDPROC proc) {
  static bool registered = false;
  if (registered) return true;
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.hIcon = ::LoadIconA(instance, MAKEINTRESOURCEA(1));
  wc.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kClassName;
  registered = ::RegisterClassExA(&wc) != 0;
  return registered;
}

HFONT makeFont(const char* face, int dpi, bool underline) {
  return ::CreateFontA(fontHeightAtDpi(kFontPoints, dpi), 0, 0, 0, FW_NORMAL, FALSE, underline,
                       FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                       CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face);
}

}  // namespace

Form::Form(const FormSpec& layout) : spec_(layout) {}

Form::~Form() {
  destroy();
}

int Form::scale(int pixels) const {
  return scaleToDpi(pixels, dpi_);
}

SIZE Form::frameSize(int dpi) const {
  RECT frame = {0, 0, scaleToDpi(spec_.clientWidth, dpi), scaleToDpi(spec_.clientHeight, dpi)};
  // The frame's own metrics scale with the monitor too, where Windows can say.
  if (const auto adjust = dpiApi().adjustWindowRectExForDpi) {
    adjust(&frame, kStyle, FALSE, 0, static_cast<UINT>(dpi));
  } else {
    ::AdjustWindowRectEx(&frame, kStyle, FALSE, 0);
  }
  return {frame.right - frame.left, frame.bottom - frame.top};
}

bool Form::create(const Placement& place) {
  if (hwnd_) return true;
  HINSTANCE instance = ::GetModuleHandleA(nullptr);
  if (!registerClass(instance, &Form::windowProc)) return false;

  dpi_ = systemDpi();
  SIZE size = frameSize(dpi_);
  POINT at = place ? place(size.cx, size.cy) : POINT{CW_USEDEFAULT, CW_USEDEFAULT};
  // windowProc stores hwnd_ while the window is being created.
  ::CreateWindowExA(0, kClassName, spec_.title, kStyle, at.x, at.y, size.cx, size.cy, nullptr,
                    nullptr, instance, this);
  if (!hwnd_) return false;
  // The monitor it opened on may have another scale than the system's: sized
  // again for that one while the window is hidden and has no controls yet.
  if (const int dpi = windowDpi(hwnd_); dpi != dpi_) {
    dpi_ = dpi;
    size = frameSize(dpi_);
    RECT now = {};
    ::GetWindowRect(hwnd_, &now);
    at = place ? place(size.cx, size.cy) : POINT{now.left, now.top};
    ::SetWindowPos(hwnd_, nullptr, at.x, at.y, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  faceFont_.reset(makeFont(spec_.fontFace, dpi_, false));
  linkFont_.reset(makeFont(spec_.fontFace, dpi_, true));

  for (const ControlSpec& c : spec_.controls) {
    const char* cls = "STATIC";
    DWORD cstyle = WS_CHILD | WS_VISIBLE;
    DWORD exStyle = WS_EX_NOPARENTNOTIFY;  // nothing here listens
    switch (c.kind) {
      case ControlKind::Button:
        cls = "BUTTON";
        cstyle |= BS_PUSHBUTTON | WS_TABSTOP;
        break;
      case ControlKind::Label:
        cstyle |= SS_LEFT | SS_NOPREFIX;
        break;
      case ControlKind::Edit:
        cls = "EDIT";
        cstyle |= ES_AUTOHSCROLL | WS_TABSTOP;
        exStyle |= WS_EX_CLIENTEDGE;
        break;
      case ControlKind::GroupBox:
        cls = "BUTTON";
        cstyle |= BS_GROUPBOX;
        break;
      case ControlKind::Link:
        cstyle |= SS_LEFT | SS_NOTIFY | SS_NOPREFIX;
        break;
      case ControlKind::ProgressBar:
        cls = PROGRESS_CLASSA;
        break;
      case ControlKind::Timer:
        continue;  // no window of its own
    }
    HWND child = ::CreateWindowExA(
        exStyle, cls, c.text, cstyle, scale(c.x), scale(c.y), scale(c.width), scale(c.height),
        hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance, nullptr);
    if (!child) continue;
    HGDIOBJ font = c.kind == ControlKind::Link ? linkFont_.get() : faceFont_.get();
    ::SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (c.kind == ControlKind::ProgressBar) ::SendMessageA(child, PBM_SETRANGE32, 0, 100);
    if (!c.enabled) ::EnableWindow(child, FALSE);
  }
  return true;
}

void Form::scaleTo(int dpi, const RECT& window) {
  // New fonts first: every control lets go of an old one before it is freed.
  UniqueGdiObject face(makeFont(spec_.fontFace, dpi, false));
  UniqueGdiObject link(makeFont(spec_.fontFace, dpi, true));
  if (!face || !link) return;  // left as it was rather than in the system font
  dpi_ = dpi;
  ::SetWindowPos(hwnd_, nullptr, window.left, window.top, window.right - window.left,
                 window.bottom - window.top, SWP_NOZORDER | SWP_NOACTIVATE);
  for (const ControlSpec& c : spec_.controls) {
    HWND child = c.kind == ControlKind::Timer ? nullptr : ::GetDlgItem(hwnd_, c.id);
    if (!child) continue;
    ::SetWindowPos(child, nullptr, scale(c.x), scale(c.y), scale(c.width), scale(c.height),
                   SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
    HGDIOBJ font = c.kind == ControlKind::Link ? link.get() : face.get();
    ::SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  faceFont_ = std::move(face);
  linkFont_ = std::move(link);
  ::RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void Form::show() {
  if (!hwnd_) return;
  // Painted from the message loop like any window: forcing the paint here
  // would keep the thread from answering until every control is drawn.
  ::ShowWindow(hwnd_, SW_SHOWNORMAL);
}

void Form::hide() {
  if (hwnd_) ::ShowWindow(hwnd_, SW_HIDE);
}

void Form::destroy() {
  if (hwnd_) ::DestroyWindow(hwnd_);
}

const ControlSpec* Form::find(std::string_view name) const {
  for (const ControlSpec& c : spec_.controls) {
    if (name == c.name) return &c;
  }
  return nullptr;
}

HWND Form::control(std::string_view name) const {
  const ControlSpec* c = find(name);
  return (c && hwnd_) ? ::GetDlgItem(hwnd_, c->id) : nullptr;
}

static std::string windowText(HWND hwnd) {
  if (!hwnd) return {};
  const int length = ::GetWindowTextLengthA(hwnd);
  if (length <= 0) return {};
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  const int got = ::GetWindowTextA(hwnd, text.data(), length + 1);
  text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return text;
}

std::string Form::text(std::string_view name) const {
  return windowText(control(name));
}

void Form::setEnabled(std::string_view name, bool enabled) {
  if (HWND c = control(name)) ::EnableWindow(c, enabled ? TRUE : FALSE);
}

void Form::setShield(std::string_view name, bool shield) {
  if (HWND c = control(name)) ::SendMessageA(c, BCM_SETSHIELD, 0, shield ? TRUE : FALSE);
}

void Form::setText(std::string_view name, std::string_view text) {
  if (HWND c = control(name)) ::SetWindowTextA(c, std::string(text).c_str());
}

std::string Form::title() const {
  return windowText(hwnd_);
}

void Form::setTitle(std::string_view text) {
  if (hwnd_) ::SetWindowTextA(hwnd_, std::string(text).c_str());
}

void Form::setProgress(std::string_view name, int position) {
  if (HWND c = control(name)) ::SendMessageA(c, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

int Form::progress(std::string_view name) const {
  HWND c = control(name);
  return c ? static_cast<int>(::SendMessageA(c, PBM_GETPOS, 0, 0)) : 0;
}

void Form::setTimerInterval(std::string_view name, unsigned milliseconds) {
  const ControlSpec* c = find(name);
  if (!c || !hwnd_) return;
  if (milliseconds == 0) {
    ::KillTimer(hwnd_, static_cast<UINT_PTR>(c->id));
  } else {
    ::SetTimer(hwnd_, static_cast<UINT_PTR>(c->id), milliseconds, nullptr);
  }
}

void Form::onClick(std::string_view name, Handler handler) {
  if (const ControlSpec* c = find(name)) clickHandlers_[c->id] = std::move(handler);
}

void Form::onTimer(std::string_view name, Handler handler) {
  if (const ControlSpec* c = find(name)) timerHandlers_[c->id] = std::move(handler);
}

LRESULT CALLBACK Form::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Form* self = nullptr;
  if (message == WM_NCCREATE) {
    self = static_cast<Form*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    self->hwnd_ = hwnd;
    ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<Form*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  }
  if (!self) return ::DefWindowProcA(hwnd, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    return ::DefWindowProcA(hwnd, message, wParam, lParam);
  }
  // Nothing may unwind through the system's frames above us.
  try {
    return self->handle(message, wParam, lParam);
  } catch (...) {
    return ::DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

LRESULT Form::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      // BN_CLICKED and STN_CLICKED are both 0.
      if (HIWORD(wParam) == BN_CLICKED) {
        const auto it = clickHandlers_.find(id);
        if (it != clickHandlers_.end() && it->second) {
          Handler handler = it->second;  // the handler may rebind or destroy
          handler();
        }
      }
      return 0;
    }
    case WM_TIMER: {
      const auto it = timerHandlers_.find(static_cast<int>(wParam));
      if (it != timerHandlers_.end() && it->second) {
        Handler handler = it->second;
        handler();
      }
      return 0;
    }
    case WM_CTLCOLORSTATIC: {
      HWND child = reinterpret_cast<HWND>(lParam);
      for (const ControlSpec& c : spec_.controls) {
        if (c.kind == ControlKind::Link && ::GetDlgItem(hwnd_, c.id) == child) {
          HDC dc = reinterpret_cast<HDC>(wParam);
          ::SetTextColor(dc, kLinkColor);
          ::SetBkMode(dc, TRANSPARENT);
          return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
        }
      }
      break;
    }
    case WM_SETCURSOR: {
      HWND child = reinterpret_cast<HWND>(wParam);
      for (const ControlSpec& c : spec_.controls) {
        if (c.kind == ControlKind::Link && ::GetDlgItem(hwnd_, c.id) == child) {
          ::SetCursor(::LoadCursorA(nullptr, IDC_HAND));
          return TRUE;
        }
      }
      break;
    }
    case WM_ACTIVATE:
      // What a dialog does: the focus leaves with the window and comes back
      // to the control that had it, at first the form's chosen one.
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focused = ::GetFocus();
        if (focused && ::IsChild(hwnd_, focused)) focus_ = focused;
      } else {
        if (!focus_ && spec_.initialFocus) focus_ = control(spec_.initialFocus);
        if (focus_ && ::IsWindow(focus_) && ::IsWindowEnabled(focus_)) ::SetFocus(focus_);
      }
      return 0;
    case DM_GETDEFID: {
      // Enter presses the focused button: the dialog keyboard handling asks
      // for the default button, and that is it.
      HWND focused = ::GetFocus();
      char cls[16] = {};
      if (focused && ::IsChild(hwnd_, focused) && ::GetClassNameA(focused, cls, sizeof cls) &&
          ::lstrcmpiA(cls, "BUTTON") == 0 &&
          (::GetWindowLongA(focused, GWL_STYLE) & BS_TYPEMASK) == BS_PUSHBUTTON) {
        return MAKELRESULT(::GetDlgCtrlID(focused), DC_HASDEFID);
      }
      return 0;
    }
    case WM_GETDPISCALEDSIZE: {
      // Exactly our frame at the new scale: Windows alone would scale the
      // whole outer size, and the client area would come out pixels off.
      const int dpi = static_cast<int>(wParam);
      if (dpi <= 0 || !lParam) break;
      *reinterpret_cast<SIZE*>(lParam) = frameSize(dpi);
      return TRUE;
    }
    case WM_DPICHANGED: {
      // Moved to a monitor of another scale: Windows suggests the rectangle,
      // and the same form is laid out anew at that scale.
      const int dpi = HIWORD(wParam);
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      if (dpi > 0 && suggested) scaleTo(dpi, *suggested);
      return 0;
    }
    case WM_CLOSE:
      if (closeHandler_) {
        Handler handler = closeHandler_;
        handler();
      } else {
        destroy();
      }
      return 0;
    case WM_DESTROY:
      if (quitOnClose_) ::PostQuitMessage(0);
      return 0;
  }
  return ::DefWindowProcA(hwnd_, message, wParam, lParam);
}

void dispatchMessage(MSG& msg) {
  HWND root = msg.hwnd ? ::GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
  char cls[sizeof kClassName + 1] = {};
  if (root && ::GetClassNameA(root, cls, sizeof cls) && ::lstrcmpA(cls, kClassName) == 0 &&
      ::IsDialogMessageA(root, &msg)) {
    return;
  }
  ::TranslateMessage(&msg);
  ::DispatchMessageA(&msg);
}

int messageBox(std::string_view text, std::string_view caption, UINT flags, HWND owner) {
  return ::MessageBoxA(owner, std::string(text).c_str(), std::string(caption).c_str(), flags);
}

}  // namespace platform
