#include "platform/shell.h"

#include <windows.h>
#include <exdisp.h>
#include <servprov.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlobj.h>

#include "platform/code_page.h"
#include "platform/handles.h"
#include "platform/path.h"
#include "platform/system_library.h"

namespace platform {
namespace {

// SID_STopLevelBrowser, spelled out: not every uuid library has it.
constexpr GUID kTopLevelBrowser = {
    0x4c96be40, 0x915c, 0x11cf, {0x99, 0xd3, 0x00, 0xaa, 0x00, 0x4a, 0xe8, 0x37}};

UniqueBstr bstr(const std::string& ansi) {
  const int n = ::MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, nullptr, 0);
  if (n <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, wide.data(), n);
  return UniqueBstr(com().SysAllocString(wide.c_str()));
}

template <typename Interface>
ComRef<Interface> query(IUnknown* from, REFIID iid) {
  ComRef<Interface> to;
  if (from) from->QueryInterface(iid, reinterpret_cast<void**>(to.put()));
  return to;
}

// The desktop window's shell, which runs as the user who logged on.
ComRef<IShellDispatch2> desktopShell() {
  ComRef<IShellWindows> windows;
  if (FAILED(com().CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER,
                                    IID_IShellWindows, reinterpret_cast<void**>(windows.put())))) {
    return {};
  }
  VARIANT desktop = {};
  desktop.vt = VT_I4;
  desktop.lVal = CSIDL_DESKTOP;
  VARIANT none = {};
  long window = 0;
  ComRef<IDispatch> found;
  if (windows.get()->FindWindowSW(&desktop, &none, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH,
                                  found.put()) != S_OK) {
    return {};
  }
  auto provider = query<IServiceProvider>(found.get(), IID_IServiceProvider);
  ComRef<IShellBrowser> browser;
  if (!provider || FAILED(provider.get()->QueryService(kTopLevelBrowser, IID_IShellBrowser,
                                                       reinterpret_cast<void**>(browser.put())))) {
    return {};
  }
  ComRef<IShellView> view;
  if (FAILED(browser.get()->QueryActiveShellView(view.put()))) return {};
  ComRef<IDispatch> background;
  if (FAILED(view.get()->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch,
                                       reinterpret_cast<void**>(background.put())))) {
    return {};
  }
  auto folderView = query<IShellFolderViewDual>(background.get(), IID_IShellFolderViewDual);
  ComRef<IDispatch> application;
  if (!folderView || FAILED(folderView.get()->get_Application(application.put()))) return {};
  return query<IShellDispatch2>(application.get(), IID_IShellDispatch2);
}

bool openThroughDesktop(const std::string& target) {
  ComRef<IShellDispatch2> shell = desktopShell();
  UniqueBstr file = bstr(target);
  UniqueBstr verb = bstr("open");
  if (!shell || !file || !verb) return false;
  VARIANT none = {};
  VARIANT operation = {};
  operation.vt = VT_BSTR;
  operation.bstrVal = verb.get();
  VARIANT show = {};
  show.vt = VT_I4;
  show.lVal = SW_SHOWNORMAL;
  return SUCCEEDED(shell.get()->ShellExecute(file.get(), none, none, operation, show));
}

}  // namespace

std::string documentsFolder() {
  char buffer[MAX_PATH] = {};
  if (!::SHGetSpecialFolderPathA(nullptr, buffer, CSIDL_PERSONAL, FALSE)) return {};
  // With its trailing backslash, like the temp folder's.
  return buffer[0] ? joinPath(buffer, "", ansiLeadBytes()) : std::string();
}

std::string tempFolder() {
  char buffer[MAX_PATH + 1] = {};
  const DWORD n = ::GetTempPathA(sizeof buffer, buffer);
  if (n == 0 || n >= sizeof buffer) return {};
  return joinPath(std::string_view(buffer, n), "", ansiLeadBytes());
}

std::string exePath() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

std::string runDirectory() {
  const std::string path = exePath();
  const auto slash = findLastOf(path, "\\/", ansiLeadBytes());
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool openAsDesktopUser(const std::string& target) {
  const ComApi& api = com();
  bool opened = false;
  if (api) {
    const HRESULT init =
        api.CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    if (SUCCEEDED(init) || init == RPC_E_CHANGED_MODE) {
      opened = openThroughDesktop(target);  // every object is released by now
      if (SUCCEEDED(init)) api.CoUninitialize();
    }
  }
  return opened || shellOpen(target);
}

bool shellOpen(const std::string& target) {
  const auto result = reinterpret_cast<INT_PTR>(
      ::ShellExecuteA(nullptr, "open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  return result > 32;
}

}  // namespace platform
