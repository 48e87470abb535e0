// The program (its test build) beside a fake After Effects installation: registry
// value in the 64-bit view, application.xml, the marker in Documents.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

#include "app/main_form.h"
#include "platform/files.h"
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

TEST_F(SwitchTest, TheKeyboardWorksTheWindow) {
  RunningApp app;
  startWith(app, kChineseXml, false);
  HWND window = app.window();
  EXPECT_EQ(testing_support::focusedControl(window), ::GetDlgItem(window, ids::kSwitchButtonId))
      << "the switch button has the focus when the window opens";
  // Tab and Shift+Tab go round the enabled controls in form order.
  struct Step {
    std::initializer_list<WORD> keys;
    int focused;
  };
  const Step steps[] = {
      {{VK_TAB}, ids::kXmlPathEditId},
      {{VK_TAB}, ids::kSwitchButtonId},
      {{VK_SHIFT, VK_TAB}, ids::kXmlPathEditId},
      {{VK_SHIFT, VK_TAB}, ids::kSwitchButtonId},
  };
  for (const Step& step : steps) {
    testing_support::typeKeys(window, step.keys);
    EXPECT_TRUE(testing_support::waitFor(
        [&] { return ::GetDlgCtrlID(testing_support::focusedControl(window)) == step.focused; },
        5000));
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
