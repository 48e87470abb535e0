// The program (its test build) beside a fake After Effects installation: registry
// value in the 64-bit view, application.xml, the marker in Documents.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "app/main_form.h"
#include "platform/files.h"
#include "platform/form.h"
#include "support/e2e_driver.h"
#include "support/switch_fixture.h"
#include "support/utf16.h"
#include "support/versions.h"
#include "support/waits.h"

namespace {

using testing_support::closesCleanly;
using testing_support::RunningApp;
using testing_support::SwitchTest;
namespace ids = app::ids;

constexpr char kChinese[] = "中文";
constexpr char kEnglish[] = "英文";

// GBK text, CRLF line ends, several tokens and case variants that must stay.
const std::string kChineseXml =
    "<?xml version=\"1.0\" encoding=\"GBK\"?>\r\n<!-- 语言设置 -->\r\n"
    "<Data key=\"installedLanguages\">zh_CN</Data>\r\n"
    "<Data key=\"other\">Zh_CN ZH_CN zh_cn</Data>\r\n<Data>中文zh_CN,zh_CN</Data>\r\n";
const std::string kEnglishXml =
    "<?xml version=\"1.0\" encoding=\"GBK\"?>\r\n<!-- 语言设置 -->\r\n"
    "<Data key=\"installedLanguages\">en_US</Data>\r\n"
    "<Data key=\"other\">Zh_CN ZH_CN zh_cn</Data>\r\n<Data>中文en_US,en_US</Data>\r\n";

// The wiring of a click, end to end: the rules themselves are the
// switcher's native tests.
TEST_F(SwitchTest, EnglishFileSwitchesToChineseAndASecondClickSwitchesBack) {
  useInstall(kEnglishXml);
  RunningApp app;
  start(app);
  EXPECT_EQ(app.title(), testing_support::ownTitle());
  EXPECT_EQ(app.text(ids::kXmlPathEditId), xmlPath());
  EXPECT_EQ(app.text(ids::kCurrentLanguageId), kEnglish);
  EXPECT_EQ(app.text(ids::kFileLanguageId), kEnglish);

  const DWORD ms = app.click(ids::kSwitchButtonId);
  EXPECT_GE(ms, 950u) << "a rewrite ends with the one-second pause";
  EXPECT_EQ(xml(), kChineseXml);
  EXPECT_TRUE(markerPresent());
  EXPECT_EQ(platform::readFile(marker_), "");  // zero bytes
  EXPECT_FALSE(platform::fileExists(xmlPath() + std::string(platform::kReplaceSuffix)));
  EXPECT_EQ(app.text(ids::kCurrentLanguageId), kEnglish);
  EXPECT_EQ(app.text(ids::kFileLanguageId), kChinese);

  app.click(ids::kSwitchButtonId);
  EXPECT_EQ(xml(), kEnglishXml);  // byte for byte what it was
  EXPECT_FALSE(markerPresent());
  EXPECT_EQ(app.text(ids::kCurrentLanguageId), kChinese);
  EXPECT_EQ(app.text(ids::kFileLanguageId), kEnglish);
  EXPECT_TRUE(closesCleanly(app));
}

TEST_F(SwitchTest, ReadsTheInstallPathFromThe64BitView) {
  useInstall(kChineseXml);
  // A decoy where a 32-bit program would look first.
  setInstallPath(keys_->view32, *root_ / "decoy\\");
  ASSERT_TRUE(platform::writeFile(*root_ / "decoy\\AMT\\application.xml", {kEnglishXml}));
  RunningApp app;
  start(app);
  EXPECT_EQ(app.text(ids::kXmlPathEditId), xmlPath());
  EXPECT_EQ(app.text(ids::kFileLanguageId), kChinese);
  EXPECT_TRUE(closesCleanly(app));
}

// The control of the main form named `name`; 0 when the form has none.
int idOf(const char* name) {
  for (const platform::ControlSpec& c : app::mainFormSpec().controls) {
    if (std::string_view(c.name) == name) return c.id;
  }
  return 0;
}

// Every version the 64-bit view lists fills its row, and one click switches
// them all; a version a 32-bit program would find first is no installation.
TEST_F(SwitchTest, EveryInstalledVersionHasItsRowAndOneClickSwitchesThemAll) {
  useInstall(kChineseXml);  // CC 2019
  const std::string cc2018 =
      addVersion("15.0", KEY_WOW64_64KEY, "AE18", "Support Files\\", kEnglishXml);
  // Registered as the folder above Support Files.
  const std::string ae2020 = addVersion("17.0", KEY_WOW64_64KEY, "AE20", "", kChineseXml);
  const std::string cc2017 =
      addVersion("14.0", KEY_WOW64_32KEY, "AE17", "Support Files\\", kChineseXml);
  struct Row {
    const char* row;
    std::string path;  // empty: the row stays empty
  };
  const Row rows[] = {{"CC2018", cc2018}, {"2020", ae2020}, {"CC2017", ""}};
  const auto expectRows = [&](RunningApp& app, const char* word) {
    for (const Row& row : rows) {
      SCOPED_TRACE(row.row);
      const auto& names =
          *std::find_if(std::begin(ids::kVersionRows), std::end(ids::kVersionRows),
                        [&](const auto& r) { return std::string(r.row) == row.row; });
      EXPECT_EQ(app.text(idOf(names.language)), row.path.empty() ? "" : word);
      EXPECT_EQ(app.text(idOf(names.path)), row.path);
    }
  };
  RunningApp app;
  start(app);
  EXPECT_EQ(app.text(ids::kFileLanguageId), kChinese);
  EXPECT_EQ(app.text(ids::kXmlPathEditId), xmlPath());
  // CC 2018's file is English, 2020's Chinese: both shown as they are.
  EXPECT_EQ(app.text(idOf("AE2018语言")), kEnglish);
  EXPECT_EQ(app.text(idOf("标签AE20")), kChinese);

  app.click(ids::kSwitchButtonId);  // the marker made: English everywhere
  EXPECT_EQ(xml(), kEnglishXml);
  EXPECT_EQ(platform::readFile(cc2018), kEnglishXml);
  EXPECT_EQ(platform::readFile(ae2020), kEnglishXml);
  expectRows(app, kEnglish);
  EXPECT_EQ(app.text(ids::kFileLanguageId), kEnglish);

  app.click(ids::kSwitchButtonId);
  EXPECT_EQ(xml(), kChineseXml);
  EXPECT_EQ(platform::readFile(cc2018), kChineseXml);
  EXPECT_EQ(platform::readFile(ae2020), kChineseXml);
  expectRows(app, kChinese);
  EXPECT_EQ(platform::readFile(cc2017), kChineseXml) << "never touched";
  EXPECT_TRUE(closesCleanly(app));
}

TEST_F(SwitchTest, TheKeyboardWorksTheWindow) {
  RunningApp app;
  startWith(app, kChineseXml, false);
  HWND window = app.window();
  EXPECT_EQ(testing_support::focusedControl(window), ::GetDlgItem(window, ids::kSwitchButtonId))
      << "the switch button has the focus when the window opens";
  // Tab and Shift+Tab go round the enabled controls in form order: the
  // switch button, then each version's path box from the oldest row to the
  // newest, CC2019's among them.
  std::vector<int> order = {ids::kSwitchButtonId};
  for (const platform::ControlSpec& c : app::mainFormSpec().controls) {
    if (c.kind == platform::ControlKind::Edit) order.push_back(c.id);
  }
  ASSERT_EQ(order.size(), std::size(ids::kVersionRows) + 2);
  struct Step {
    bool back;  // Shift+Tab
    int focused;
  };
  std::vector<Step> steps;
  for (std::size_t i = 1; i <= order.size(); ++i) steps.push_back({false, order[i % order.size()]});
  steps.push_back({true, order.back()});
  steps.push_back({true, order[order.size() - 2]});
  steps.push_back({false, order.back()});
  steps.push_back({false, ids::kSwitchButtonId});
  for (const Step& step : steps) {
    if (step.back) {
      testing_support::typeKeys(window, {VK_SHIFT, VK_TAB});
    } else {
      testing_support::typeKeys(window, {VK_TAB});
    }
    EXPECT_TRUE(testing_support::waitFor(
        [&] { return ::GetDlgCtrlID(testing_support::focusedControl(window)) == step.focused; },
        5000))
        << step.focused;
  }
  // Enter presses the focused button.
  testing_support::typeKeys(window, {VK_RETURN});
  EXPECT_TRUE(testing_support::waitFor([&] { return xml() == kEnglishXml; }, 5000));
  EXPECT_TRUE(markerPresent());
  EXPECT_EQ(app.text(ids::kCurrentLanguageId), kEnglish);
  EXPECT_TRUE(closesCleanly(app));
}

TEST_F(SwitchTest, ALinkAtTheMarkersNameIsLeftAlone) {
  // Documents belongs to the user: another program of theirs can leave a
  // link where the elevated click makes or deletes the marker.
  for (bool dangling : {true, false}) {
    SCOPED_TRACE(dangling ? "dangling link" : "link to an existing file");
    const std::string victim = *root_ / "victim.txt";
    if (!dangling) {
      ASSERT_TRUE(platform::writeFile(victim, {"keep me"}));
    }
    testing_support::UnixLink link(marker_, victim);
    ASSERT_TRUE(link.made());
    RunningApp app;
    start(app);
    app.click(ids::kSwitchButtonId);
    if (dangling) {
      EXPECT_FALSE(platform::fileExists(victim)) << "nothing made where the link points";
    } else {
      EXPECT_EQ(platform::readFile(victim), "keep me") << "neither deleted nor changed";
    }
    EXPECT_TRUE(closesCleanly(app));
    ::DeleteFileA(victim.c_str());
  }
}

// The height of a line of text in a one-line edit control: the height of
// its font. (The font itself cannot be read from another process.)
int lineHeight(HWND edit) {
  RECT format = {};
  ::SendMessageA(edit, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
  return format.bottom - format.top;
}

// A copy of `value` in `process`'s memory, freed with this object. Wine
// hands another process's WM_DPICHANGED and WM_GETDPISCALEDSIZE over with
// their lParam as it is, so what it points to must be in the program's memory.
template <typename T>
class RemoteCopy {
 public:
  RemoteCopy(HANDLE process, const T& value)
      : process_(process),
        at_(::VirtualAllocEx(process, nullptr, sizeof value, MEM_COMMIT, PAGE_READWRITE)) {
    if (at_ && !::WriteProcessMemory(process, at_, &value, sizeof value, nullptr)) free();
  }
  ~RemoteCopy() { free(); }
  RemoteCopy(const RemoteCopy&) = delete;
  RemoteCopy& operator=(const RemoteCopy&) = delete;
  LPARAM address() const { return reinterpret_cast<LPARAM>(at_); }
  T read() const {
    T value = {};
    if (at_) ::ReadProcessMemory(process_, at_, &value, sizeof value, nullptr);
    return value;
  }

 private:
  void free() {
    if (at_) ::VirtualFreeEx(process_, at_, 0, MEM_RELEASE);
    at_ = nullptr;
  }
  HANDLE process_;
  void* at_;
};

// Wine sends no WM_DPICHANGED: the test sends what Windows sends when the
// window moves to a monitor of twice the scale, and back.
TEST_F(SwitchTest, AMonitorOfAnotherScaleLaysTheWindowOutAgain) {
  // Every control named once, and every version's row drawn.
  const auto& controls = app::mainFormSpec().controls;
  const auto count = [&](std::string_view name) {
    return std::count_if(controls.begin(), controls.end(),
                         [&](const platform::ControlSpec& c) { return name == c.name; });
  };
  for (const platform::ControlSpec& c : controls) EXPECT_EQ(count(c.name), 1) << c.id;
  for (const ids::VersionRowNames& row : ids::kVersionRows) {
    for (const char* name : {row.caption, row.language, row.path})
      EXPECT_EQ(count(name), 1) << row.row;
  }
  for (const char* name : {ids::kNewerVersionRow.caption, ids::kNewerVersionRow.language,
                           ids::kNewerVersionRow.path}) {
    EXPECT_EQ(count(name), 1) << "the newer version's row";
  }
  RunningApp app;
  startWith(app, kChineseXml, false);
  HWND window = app.window();
  RECT original = {};
  ASSERT_TRUE(::GetWindowRect(window, &original));
  HWND edit = ::GetDlgItem(window, ids::kXmlPathEditId);
  const int lineAt96 = lineHeight(edit);
  ASSERT_GT(lineAt96, 0);

  const int width = original.right - original.left;
  const int height = original.bottom - original.top;
  const RECT twice = {original.left + 40, original.top + 30, original.left + 40 + 2 * width,
                      original.top + 30 + 2 * height};
  for (const auto& [dpi, suggested] : {std::pair{192, twice}, std::pair{96, original}}) {
    SCOPED_TRACE(dpi);
    const int factor = dpi / 96;
    const RemoteCopy<RECT> rect(app.process(), suggested);
    ASSERT_NE(rect.address(), 0);
    ::SendMessageA(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), rect.address());
    RECT now = {};
    ASSERT_TRUE(::GetWindowRect(window, &now));
    EXPECT_TRUE(::EqualRect(&now, &suggested))
        << now.left << "," << now.top << " " << now.right - now.left << "x" << now.bottom - now.top;
    for (const platform::ControlSpec& c : app::mainFormSpec().controls) {
      if (c.kind == platform::ControlKind::Timer) continue;
      RECT r = {};
      ASSERT_TRUE(::GetWindowRect(::GetDlgItem(window, c.id), &r)) << c.id;
      ::MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&r), 2);
      EXPECT_NEAR(r.left, factor * c.x, 1) << c.id;
      EXPECT_NEAR(r.top, factor * c.y, 1) << c.id;
      EXPECT_NEAR(r.right - r.left, factor * c.width, 1) << c.id;
      EXPECT_NEAR(r.bottom - r.top, factor * c.height, 1) << c.id;
    }
    EXPECT_NEAR(lineHeight(edit), factor * lineAt96, 1) << "the font was made anew";
  }

  // Where Windows asks first, the window names its exact size at the new
  // scale: the form's client area scaled, in a frame of that scale.
  // (Both are Windows 10's; this build's headers declare them for no older one.)
  constexpr UINT kGetDpiScaledSize = 0x02E4;
  using AdjustForDpi = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
  const auto adjust = reinterpret_cast<AdjustForDpi>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleA("user32.dll"), "AdjustWindowRectExForDpi")));
  ASSERT_NE(adjust, nullptr);
  const platform::FormSpec& form = app::mainFormSpec();
  RECT frame = {0, 0, 2 * form.clientWidth, 2 * form.clientHeight};
  ASSERT_TRUE(adjust(&frame, ::GetWindowLongA(window, GWL_STYLE), FALSE,
                     ::GetWindowLongA(window, GWL_EXSTYLE), 192));
  const RemoteCopy<SIZE> size(app.process(), SIZE{2 * width, 2 * height});
  ASSERT_NE(size.address(), 0);
  EXPECT_TRUE(::SendMessageA(window, kGetDpiScaledSize, 192, size.address()));
  EXPECT_EQ(size.read().cx, frame.right - frame.left);
  EXPECT_EQ(size.read().cy, frame.bottom - frame.top);
  EXPECT_TRUE(closesCleanly(app));
}

TEST_F(SwitchTest, ButtonsWithoutBehaviourChangeNothing) {
  RunningApp app;
  startWith(app, kChineseXml, false);
  for (int id : {ids::kNetOffButtonId, ids::kNetOnButtonId, ids::kDefenderButtonId}) {
    EXPECT_FALSE(app.enabled(id));
    app.click(id);
  }
  EXPECT_FALSE(markerPresent());
  EXPECT_EQ(xml(), kChineseXml);
  EXPECT_EQ(app.text(ids::kCurrentLanguageId), kChinese);
  EXPECT_EQ(app.text(ids::kFileLanguageId), kChinese);
  EXPECT_TRUE(closesCleanly(app));
}

}  // namespace
