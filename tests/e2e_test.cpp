// The real Kelvora.exe beside a fake After Effects installation: registry
// value in the 64-bit view, application.xml, the marker in Documents.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

#include "app/control_ids.h"
#include "e2e_driver.h"
#include "platform/files.h"
#include "switch_fixture.h"

namespace {

using e2e::RunningApp;
using e2e::SwitchTest;
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

TEST_F(SwitchTest, ChineseFileWinsOverTheMarkerAndSwitchesToEnglish) {
  for (bool markerAtStart : {false, true}) {
    SCOPED_TRACE(markerAtStart ? "marker present" : "marker absent");
    useInstall(kChineseXml);
    setMarker(markerAtStart);
    RunningApp app;
    start(app);
    EXPECT_EQ(app.title(), "Kelvora v1.2");
    EXPECT_EQ(app.text(ids::kCurrentLanguageId), kChinese);
    EXPECT_EQ(app.text(ids::kFileLanguageId), kChinese);
    EXPECT_EQ(app.text(ids::kXmlPathEditId), xmlPath());

    const DWORD ms = app.click(ids::kSwitchButtonId);
    EXPECT_EQ(markerPresent(), !markerAtStart);
    if (!markerAtStart) {
      EXPECT_EQ(platform::readFile(marker_), "");  // zero bytes
    }
    EXPECT_EQ(app.text(ids::kCurrentLanguageId), markerAtStart ? kChinese : kEnglish);
    EXPECT_EQ(xml(), kEnglishXml);
    EXPECT_GE(ms, 950u) << "a rewrite ends with the one-second pause";
    EXPECT_EQ(app.text(ids::kFileLanguageId), kEnglish) << "refreshed from the file";
    EXPECT_FALSE(platform::fileExists(xmlPath() + ".kelvora-new"));
    closeCleanly(app);
  }
}

TEST_F(SwitchTest, EnglishFileSwitchesToChineseAndASecondClickSwitchesBack) {
  useInstall(kEnglishXml);
  RunningApp app;
  start(app);
  EXPECT_EQ(app.text(ids::kCurrentLanguageId), kEnglish);
  EXPECT_EQ(app.text(ids::kFileLanguageId), kEnglish);

  app.click(ids::kSwitchButtonId);
  EXPECT_EQ(xml(), kChineseXml);
  EXPECT_TRUE(markerPresent());
  EXPECT_EQ(app.text(ids::kCurrentLanguageId), kEnglish);
  EXPECT_EQ(app.text(ids::kFileLanguageId), kChinese);

  app.click(ids::kSwitchButtonId);
  EXPECT_EQ(xml(), kEnglishXml);  // byte for byte what it was
  EXPECT_FALSE(markerPresent());
  EXPECT_EQ(app.text(ids::kCurrentLanguageId), kChinese);
  EXPECT_EQ(app.text(ids::kFileLanguageId), kEnglish);
  closeCleanly(app);
}

TEST_F(SwitchTest, WithoutTheRegistryValueOnlyTheMarkerToggles) {
  RunningApp app;
  start(app);
  EXPECT_EQ(app.text(ids::kXmlPathEditId), "AMT\\application.xml");
  EXPECT_EQ(app.text(ids::kFileLanguageId), "");
  EXPECT_EQ(app.text(ids::kCurrentLanguageId), kChinese);

  DWORD ms = app.click(ids::kSwitchButtonId);
  EXPECT_TRUE(markerPresent());
  EXPECT_EQ(app.text(ids::kCurrentLanguageId), kEnglish);
  EXPECT_LT(ms, 800u) << "no rewrite, no pause";
  ms = app.click(ids::kSwitchButtonId);
  EXPECT_FALSE(markerPresent());
  EXPECT_EQ(app.text(ids::kCurrentLanguageId), kChinese);
  EXPECT_LT(ms, 800u);
  EXPECT_EQ(app.text(ids::kFileLanguageId), "");
  closeCleanly(app);
}

TEST_F(SwitchTest, ReadsTheInstallPathFromThe64BitView) {
  useInstall(kChineseXml);
  // A decoy where a 32-bit program would look first.
  setInstallPath(*key32_, root_ + "decoy\\");
  ASSERT_TRUE(platform::writeFile(root_ + "decoy\\AMT\\application.xml", {kEnglishXml}));
  RunningApp app;
  start(app);
  EXPECT_EQ(app.text(ids::kXmlPathEditId), xmlPath());
  EXPECT_EQ(app.text(ids::kFileLanguageId), kChinese);
  closeCleanly(app);
}

TEST_F(SwitchTest, LeavesAReadOnlyOrLockedFileIntact) {
  for (bool locked : {false, true}) {
    SCOPED_TRACE(locked ? "locked" : "read-only");
    setMarker(false);
    useInstall(kChineseXml);
    RunningApp app;
    start(app);
    EXPECT_EQ(app.text(ids::kFileLanguageId), kChinese);
    platform::UniqueFile lock;
    if (locked) {
      lock.reset(
          ::CreateFileA(xmlPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
      ASSERT_TRUE(lock);
    } else {
      ASSERT_TRUE(::SetFileAttributesA(xmlPath().c_str(), FILE_ATTRIBUTE_READONLY));
    }
    app.click(ids::kSwitchButtonId);
    EXPECT_TRUE(markerPresent()) << "the marker still toggles";
    lock.reset();
    ::SetFileAttributesA(xmlPath().c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(xml(), kChineseXml);
    EXPECT_FALSE(platform::fileExists(xmlPath() + ".kelvora-new"));
    closeCleanly(app);
  }
}

std::string utf16(const std::string& ascii, bool bigEndian, bool bom) {
  std::string out;
  if (bom) out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (char c : ascii) {
    if (bigEndian) out += '\0';
    out += c;
    if (!bigEndian) out += '\0';
  }
  return out;
}

TEST_F(SwitchTest, SwitchesUtf16FilesInTheirOwnEncoding) {
  const std::string chinese = "<a>zh_CN</a>\r\n<b>zh_CN</b>\r\n<tail/>";
  const std::string english = "<a>en_US</a>\r\n<b>en_US</b>\r\n<tail/>";
  for (bool bigEndian : {false, true}) {
    for (bool bom : {true, false}) {
      SCOPED_TRACE(std::string(bigEndian ? "BE" : "LE") + (bom ? " with BOM" : " without BOM"));
      setMarker(false);
      useInstall(utf16(chinese, bigEndian, bom));
      RunningApp app;
      start(app);
      EXPECT_EQ(app.text(ids::kFileLanguageId), kChinese);
      app.click(ids::kSwitchButtonId);
      EXPECT_EQ(xml(), utf16(english, bigEndian, bom));
      closeCleanly(app);
    }
  }
}

TEST_F(SwitchTest, ButtonsWithoutBehaviourChangeNothing) {
  useInstall(kChineseXml);
  RunningApp app;
  start(app);
  for (int id : {ids::kNetOffButtonId, ids::kNetOnButtonId, ids::kDefenderButtonId}) {
    EXPECT_FALSE(app.enabled(id));
    app.click(id);
  }
  EXPECT_FALSE(markerPresent());
  EXPECT_EQ(xml(), kChineseXml);
  EXPECT_EQ(app.text(ids::kCurrentLanguageId), kChinese);
  EXPECT_EQ(app.text(ids::kFileLanguageId), kChinese);
  closeCleanly(app);
}

}  // namespace
