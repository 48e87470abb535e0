// The language switch's rules, against files kept in memory: what a click
// does to the marker, to application.xml and to the three displays.
#include "lang/switcher.h"

#include "lang/set_language.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "support/code_pages.h"
#include "support/utf16.h"

namespace {

constexpr char kDocuments[] = "C:\\Users\\user\\Documents\\";
constexpr char kInstall[] = "C:\\Program Files\\Adobe\\After Effects CC 2019\\";

// Windows names one file by "a\\b", "a\\\\b" and "a\\/b": one key for all. A
// UNC path keeps its two leading backslashes.
std::string canonical(const std::string& path) {
  std::string out;
  for (const char c : path) {
    const char s = c == '/' ? '\\' : c;
    if (s == '\\' && out.size() > 1 && out.back() == '\\') continue;
    out += s;
  }
  return out;
}

class FakeSystem final : public lang::SwitchSystem {
 public:
  std::map<std::string, std::string> files;
  std::set<std::string> unreadable, unreplaceable;
  std::set<std::string> denied;  // Windows refuses this process the write
  std::set<std::string> huge;    // over the size cap
  std::string install;
  std::vector<lang::RegisteredVersion> versions;  // every key beside 16.0's value
  bool afterEffects = false;                      // running
  unsigned paused = 0;
  // The elevated step: what it is asked for, and how it ends. When it runs
  // it does what the real one does to the file.
  std::vector<std::string> elevatedAsked;
  lang::ElevatedRun elevated{lang::ElevatedRun::Ran, -1};
  bool enabledWhileElevated = true;
  std::function<bool()> switchEnabled;

  bool has(const std::string& path) const { return files.count(canonical(path)) != 0; }

  std::string installPath() override { return install; }
  std::vector<lang::RegisteredVersion> registeredVersions() override { return versions; }
  bool isOversized(const std::string& path) override {
    touch(path);
    return huge.count(canonical(path)) != 0;
  }
  bool afterEffectsRunning() override { return afterEffects; }
  std::string documentsFolder() override { return kDocuments; }
  bool fileExists(const std::string& path) override {
    touch(path);
    return has(path);
  }
  std::optional<std::string> readFile(const std::string& path) override {
    touch(path);
    if (!has(path) || unreadable.count(canonical(path)) || huge.count(canonical(path))) {
      return std::nullopt;
    }
    return files[canonical(path)];
  }
  void createEmptyFile(const std::string& path) override {
    touch(path);
    files.emplace(canonical(path), std::string());
  }
  void removeFile(const std::string& path) override {
    touch(path);
    files.erase(canonical(path));
  }
  lang::ReplaceResult replaceFile(const std::string& path, std::string_view bytes) override {
    touch(path);
    if (!has(path) || unreplaceable.count(canonical(path))) return lang::ReplaceResult::Failed;
    if (denied.count(canonical(path))) return lang::ReplaceResult::Denied;
    files[canonical(path)] = std::string(bytes);
    return lang::ReplaceResult::Replaced;
  }
  bool canOpenForWriting(const std::string& path) override {
    touch(path);
    return has(path) && !denied.count(canonical(path)) && !unreplaceable.count(canonical(path));
  }
  lang::ElevatedRun setLanguageElevated(std::string_view token) override {
    elevatedAsked.emplace_back(token);
    if (switchEnabled) enabledWhileElevated = switchEnabled();
    if (elevated.kind == lang::ElevatedRun::Ran && elevated.exitCode == lang::kSwitched) {
      // What the step itself does, through the registry's path alone.
      std::set<std::string> saved;
      saved.swap(denied);
      lang::setMachineLanguage(*this, token);
      saved.swap(denied);
    }
    return elevated;
  }
  void pause(unsigned milliseconds) override { paused += milliseconds; }
  const platform::LeadBytes& leadBytes() override { return testing_support::cp936(); }

 private:
  // Windows takes any other path against the current folder, which is not
  // where After Effects lives: such a path must never reach the system. The
  // fake still answers as Windows would, so that the labels show a misstep too.
  static void touch(const std::string& path) {
    const bool drive = path.size() > 2 && path[1] == ':' && path[2] == '\\';
    const bool unc = path.size() > 2 && path[0] == '\\' && path[1] == '\\' && path[2] != '\\';
    EXPECT_TRUE(drive || unc) << "a relative path reached the system: " << path;
  }
};

class FakeView final : public lang::LanguageView {
 public:
  std::string current, file, path;
  std::map<std::string, std::pair<std::string, std::string>> rows;  // word and path by row
  bool enabled = true, shield = false;
  std::vector<std::string> told;
  void showCurrentLanguage(std::string_view word) override { current = word; }
  std::string fileLanguage() const override { return file; }
  void showFileLanguage(std::string_view word) override { file = word; }
  std::string xmlPath() const override { return path; }
  void showXmlPath(std::string_view p) override { path = p; }
  void showVersionRow(std::string_view row, std::string_view word, std::string_view p) override {
    if (word.empty() && p.empty()) {
      rows.erase(std::string(row));
    } else {
      rows[std::string(row)] = {std::string(word), std::string(p)};
    }
  }
  void enableSwitch(bool e) override { enabled = e; }
  void showShield(bool s) override { shield = s; }
  void tell(std::string_view text) override { told.emplace_back(text); }
};

const std::string kZhXml =
    "<?xml version=\"1.0\" encoding=\"GBK\"?>\r\n<!-- 语言设置 -->\r\n"
    "<Data key=\"installedLanguages\">zh_CN</Data>\r\n"
    "<Data key=\"other\">Zh_CN ZH_CN zh_cn</Data>\r\n<Data>中文zh_CN,zh_CN</Data>\r\n";
const std::string kEnXml =
    "<?xml version=\"1.0\" encoding=\"GBK\"?>\r\n<!-- 语言设置 -->\r\n"
    "<Data key=\"installedLanguages\">en_US</Data>\r\n"
    "<Data key=\"other\">Zh_CN ZH_CN zh_cn</Data>\r\n<Data>中文en_US,en_US</Data>\r\n";
const std::string kZh16 = "<a>zh_CN</a>\r\n<b>zh_CN</b>\r\n<tail/>";
const std::string kEn16 = "<a>en_US</a>\r\n<b>en_US</b>\r\n<tail/>";

enum class Hold { None, Unreadable, Unreplaceable };

TEST(Switcher, AClickTogglesTheMarkerAndRewritesTheFileItsLabelNames) {
  using testing_support::utf16be;
  using testing_support::utf16le;
  struct Case {
    const char* what;
    const char* install;               // as the registry has it; "" when it has none
    std::optional<std::string> start;  // application.xml, when there is one
    bool marker;                       // in Documents at start
    Hold hold;                         // from after the start-up display on
    // At start-up, then after the click:
    const char *current, *file;
    bool markerAfter;
    std::optional<std::string> after;
    const char *currentAfter, *fileAfter;
    unsigned paused;
  };
  const Case cases[] = {
      {"zh file, no marker", kInstall, kZhXml, false, Hold::None, "中文", "中文", true, kEnXml,
       "英文", "英文", 1000},
      {"the zh file wins over the marker", kInstall, kZhXml, true, Hold::None, "中文", "中文",
       false, kEnXml, "中文", "英文", 1000},
      {"en file", kInstall, kEnXml, false, Hold::None, "英文", "英文", true, kZhXml, "英文", "中文",
       1000},
      {"no install path, a file at the relative name: not read, not rewritten; only the marker", "",
       kZhXml, false, Hold::None, "中文", "", true, kZhXml, "英文", "", 0},
      {"a drive-relative install path is not read either", "C:AE\\", kZhXml, true, Hold::None,
       "英文", "", false, kZhXml, "中文", "", 0},
      {"nor one from the current drive's root", "\\AE\\", kEnXml, false, Hold::None, "中文", "",
       true, kEnXml, "英文", "", 0},
      {"a UNC install path is read and switched", "\\\\server\\share\\AE\\", kZhXml, false,
       Hold::None, "中文", "中文", true, kEnXml, "英文", "英文", 1000},
      {"no file: the marker alone says", kInstall, std::nullopt, true, Hold::None, "英文", "",
       false, std::nullopt, "中文", "", 0},
      {"held without sharing: the labels stay, no pause", kInstall, kZhXml, false, Hold::Unreadable,
       "中文", "中文", true, kZhXml, "英文", "中文", 0},
      {"read-only: left intact, no pause", kInstall, kZhXml, false, Hold::Unreplaceable, "中文",
       "中文", true, kZhXml, "英文", "中文", 0},
      {"an empty file reads as English and is never rewritten", kInstall, std::string(), false,
       Hold::None, "英文", "英文", true, std::string(), "英文", "英文", 0},
      {"UTF-16 LE with BOM", kInstall, utf16le(kZh16, true), false, Hold::None, "中文", "中文",
       true, utf16le(kEn16, true), "英文", "英文", 1000},
      {"UTF-16 LE", kInstall, utf16le(kZh16), false, Hold::None, "中文", "中文", true,
       utf16le(kEn16), "英文", "英文", 1000},
      {"UTF-16 BE with BOM", kInstall, utf16be(kZh16, true), false, Hold::None, "中文", "中文",
       true, utf16be(kEn16, true), "英文", "英文", 1000},
      {"UTF-16 BE", kInstall, utf16be(kZh16), false, Hold::None, "中文", "中文", true,
       utf16be(kEn16), "英文", "英文", 1000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeSystem system;
    FakeView view;
    system.install = c.install;
    // Where the file is found against the current folder when the path is relative.
    const std::string xml = std::string(c.install) + "AMT\\application.xml";
    if (c.start) system.files[xml] = *c.start;
    const std::string marker = std::string(kDocuments) + "ae_force_english.txt";
    if (c.marker) system.files[marker] = "";
    lang::Switcher switcher(view, system);

    switcher.showState();
    EXPECT_EQ(view.path, xml) << "shown as it is";
    EXPECT_EQ(view.current, c.current);
    EXPECT_EQ(view.file, c.file);
    if (c.hold == Hold::Unreadable) system.unreadable.insert(xml);
    if (c.hold == Hold::Unreplaceable) system.unreplaceable.insert(xml);

    switcher.toggle();
    EXPECT_EQ(system.has(marker), c.markerAfter);
    if (c.markerAfter) {
      EXPECT_EQ(system.files[marker], "") << "an empty marker";
    }
    EXPECT_EQ(system.has(xml), c.after.has_value());
    if (c.after) {
      EXPECT_EQ(system.files[xml], *c.after);
    }
    EXPECT_EQ(view.current, c.currentAfter);
    EXPECT_EQ(view.file, c.fileAfter) << "refreshed from the file as it now stands";
    EXPECT_EQ(system.paused, c.paused);
  }
}

TEST(Switcher, ASecondClickGivesBackTheFileByteForByte) {
  FakeSystem system;
  FakeView view;
  system.install = kInstall;
  const std::string xml = std::string(kInstall) + "AMT\\application.xml";
  system.files[xml] = kEnXml;
  lang::Switcher switcher(view, system);
  switcher.showState();
  switcher.toggle();
  switcher.toggle();
  EXPECT_EQ(system.files[xml], kEnXml);
  EXPECT_FALSE(system.has(std::string(kDocuments) + "ae_force_english.txt"));
  EXPECT_EQ(view.current, "中文");
  EXPECT_EQ(view.file, "英文");
  EXPECT_EQ(system.paused, 2000u);
}

// Where Windows refuses the window the write, the elevated step does it:
// only for the registry's own file, never for a file no rights would help.
TEST(Switcher, ARefusedWriteGoesToTheElevatedStepAlone) {
  using Run = lang::ElevatedRun;
  enum class Refusal { None, Denied, ReadOnly, InUse };
  struct Case {
    const char* what;
    Refusal refusal;
    const char* typed;  // typed into the path box after start-up; null: as formed
    Run run;            // how the elevated step ends, when asked
    bool shield;        // at start-up
    const char* asked;  // the token the step is asked for; null: not asked
    bool switched;
    const char* told;  // null: nothing said
  };
  const std::string xml = std::string(kInstall) + "AMT\\application.xml";
  const std::string other = "D:\\AE\\AMT\\application.xml";
  const Case cases[] = {
      {"writable: the window writes, no second instance",
       Refusal::None,
       nullptr,
       {Run::Ran, 0},
       false,
       nullptr,
       true,
       nullptr},
      {"access denied: the step, for the other language",
       Refusal::Denied,
       nullptr,
       {Run::Ran, lang::kSwitched},
       true,
       "en_US",
       true,
       nullptr},
      {"access denied, declined",
       Refusal::Denied,
       nullptr,
       {Run::Declined, 0},
       true,
       "en_US",
       false,
       lang::kDeclinedText},
      {"access denied, the step fails too",
       Refusal::Denied,
       nullptr,
       {Run::Ran, lang::kFailed},
       true,
       "en_US",
       false,
       lang::kNotChangedText},
      {"access denied, the step cannot start",
       Refusal::Denied,
       nullptr,
       {Run::NotStarted, 0},
       true,
       "en_US",
       false,
       lang::kNotChangedText},
      {"access denied, the step finds it switched already",
       Refusal::Denied,
       nullptr,
       {Run::Ran, lang::kAlreadyThere},
       true,
       "en_US",
       false,
       nullptr},
      {"read-only: no second instance",
       Refusal::ReadOnly,
       nullptr,
       {Run::Ran, 0},
       true,
       nullptr,
       false,
       nullptr},
      {"held without sharing: no second instance",
       Refusal::InUse,
       nullptr,
       {Run::Ran, 0},
       false,
       nullptr,
       false,
       nullptr},
      {"a path typed into the box: no second instance",
       Refusal::Denied,
       "D:\\AE\\AMT\\application.xml",
       {Run::Ran, 0},
       true,
       nullptr,
       false,
       nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeSystem system;
    FakeView view;
    system.install = kInstall;
    system.files[xml] = kZhXml;
    system.files[other] = kZhXml;
    if (c.refusal == Refusal::Denied) system.denied = {xml, other};
    if (c.refusal == Refusal::ReadOnly) system.unreplaceable = {xml};
    system.elevated = c.run;
    system.switchEnabled = [&view] { return view.enabled; };
    lang::Switcher switcher(view, system);
    switcher.showState();
    EXPECT_EQ(view.shield, c.shield);
    if (c.refusal == Refusal::InUse) system.unreadable = {xml};
    if (c.typed) view.path = c.typed;

    switcher.toggle();
    EXPECT_EQ(system.elevatedAsked,
              c.asked ? std::vector<std::string>{c.asked} : std::vector<std::string>{});
    if (c.asked) {
      EXPECT_FALSE(system.enabledWhileElevated) << "the button is off while the step runs";
    }
    EXPECT_TRUE(view.enabled);
    EXPECT_EQ(system.files[xml], c.switched ? kEnXml : kZhXml);
    EXPECT_EQ(system.files[other], kZhXml);
    EXPECT_EQ(view.told, c.told ? std::vector<std::string>{c.told} : std::vector<std::string>{});
    if (c.refusal != Refusal::InUse) {
      EXPECT_EQ(view.file, c.switched ? "英文" : "中文") << "refreshed from the file";
    }
    EXPECT_EQ(system.paused, c.switched ? 1000u : 0u);
  }
}

// The one elevated step against its system: the registry's path alone,
// the marker never touched.
TEST(SetMachineLanguage, ExitCodesForEveryStateOfTheFile) {
  struct Case {
    const char* what;
    const char* install;
    std::optional<std::string> start;
    const char* token;
    bool readOnly, unreadable;
    lang::SetLanguageCode code;
    std::optional<std::string> after;
  };
  const Case cases[] = {
      {"zh to en", kInstall, kZhXml, "en_US", false, false, lang::kSwitched, kEnXml},
      {"en to zh", kInstall, kEnXml, "zh_CN", false, false, lang::kSwitched, kZhXml},
      {"already en", kInstall, kEnXml, "en_US", false, false, lang::kAlreadyThere, kEnXml},
      {"no install path", "", kZhXml, "en_US", false, false, lang::kNoFile, kZhXml},
      {"a relative install path with a planted file", "AE\\", kZhXml, "en_US", false, false,
       lang::kNoFile, kZhXml},
      {"an install path without its last backslash, a file beside the folder", "C:\\Adobe\\AE",
       kZhXml, "en_US", false, false, lang::kNoFile, kZhXml},
      {"no file", kInstall, std::nullopt, "en_US", false, false, lang::kNoFile, std::nullopt},
      {"an empty file", kInstall, std::string(), "en_US", false, false, lang::kFailed,
       std::string()},
      {"unreadable", kInstall, kZhXml, "en_US", false, true, lang::kFailed, kZhXml},
      {"read-only", kInstall, kZhXml, "en_US", true, false, lang::kFailed, kZhXml},
      {"another word", kInstall, kZhXml, "fr_FR", false, false, lang::kRefused, kZhXml},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeSystem system;
    system.install = c.install;
    const std::string xml = std::string(c.install) + "AMT\\application.xml";
    if (c.start) system.files[xml] = *c.start;
    if (c.readOnly) system.unreplaceable = {xml};
    if (c.unreadable) system.unreadable = {xml};
    EXPECT_EQ(lang::setMachineLanguage(system, c.token), c.code);
    EXPECT_EQ(system.has(xml), c.after.has_value());
    if (c.after) {
      EXPECT_EQ(system.files[xml], *c.after);
    }
    EXPECT_FALSE(system.has(std::string(kDocuments) + "ae_force_english.txt"));
  }
}

}  // namespace

namespace {

// Which keys count, the row each fills, and where each keeps its file.
TEST(Installations, KeyNamesRowsAndWhereEachKeepsItsFile) {
  const struct {
    const char* key;
    bool version;
    const char* row;
  } keys[] = {
      {"16.0", true, "CC2019"},
      {"13.5", true, "CC2015"},
      {"27.0", true, "2027"},
      {"13.0", true, "CC2014"},
      {"13.6", true, "CC2015.3"},
      {"13.8", true, "CC2015.3"},
      {"13.9", true, "CC2015.3"},
      {"13.1", true, ""},
      {"13.10", true, ""},
      {"14.2", true, "CC2017"},
      {"15.0", true, "CC2018"},
      {"16.1", true, "CC2019"},
      {"17.0", true, "2020"},
      {"18.4", true, "2021"},
      {"19.0", true, ""},
      {"21.0", true, ""},
      {"22.0", true, "2022"},
      {"26.3", true, "2026"},
      {"12.0", true, ""},
      {"Plugins", false, ""},
      {"16", false, ""},
      {"16.0.1", false, ""},
      {"CurrentVersion", false, ""},
      {".0", false, ""},
      {"16.", false, ""},
      {"16.0 ", false, ""},
      {"-1.0", false, ""},
      {"1234567890.0", false, ""},
  };
  for (const auto& k : keys) {
    SCOPED_TRACE(k.key);
    EXPECT_EQ(lang::isVersionKey(k.key), k.version);
    EXPECT_EQ(lang::versionRow(k.key), k.row);
  }
  EXPECT_TRUE(lang::isNewerRow("2027"));
  EXPECT_FALSE(lang::isNewerRow("2026"));
  EXPECT_FALSE(lang::isNewerRow("CC2019"));

  const std::string amt = "AMT\\application.xml";
  const std::string ae24 = "C:\\Adobe\\After Effects 2024\\";
  const std::string sf24 = ae24 + "Support Files\\";
  // A folder name ending in a double-byte character whose trail byte is 0x5C.
  const std::string gbk = std::string("D:\\AE\x81") + "\x5C";
  const struct {
    const char* what;
    std::string installPath;
    std::set<std::string> files;  // what is there
    std::string found;
  } paths[] = {
      {"Support Files with its backslash", sf24, {sf24 + amt}, sf24 + amt},
      {"Support Files without: one added", ae24 + "Support Files", {sf24 + amt}, sf24 + amt},
      {"the folder above Support Files", ae24, {sf24 + amt}, sf24 + amt},
      {"the folder above, without its backslash",
       ae24.substr(0, ae24.size() - 1),
       {sf24 + amt},
       sf24 + amt},
      {"the first file wins", ae24, {ae24 + amt, sf24 + amt}, ae24 + amt},
      {"no fallback under Support Files itself",
       ae24 + "support files",
       {sf24 + "Support Files\\" + amt},
       ""},
      {"nothing there: nothing guessed", ae24, {}, ""},
      {"relative", "AE\\", {"AE\\" + amt}, ""},
      {"drive-relative", "C:AE\\", {"C:AE\\" + amt}, ""},
      {"empty", "", {amt}, ""},
      {"a trail byte 0x5C is no separator", gbk, {gbk + "\\" + amt}, gbk + "\\" + amt},
  };
  for (const auto& p : paths) {
    SCOPED_TRACE(p.what);
    const auto exists = [&](const std::string& path) { return p.files.count(path) != 0; };
    EXPECT_EQ(lang::applicationXmlPath(p.installPath, exists, testing_support::cp936()), p.found);
  }

  // Several keys: newest first, one file once on the newer key's row, and
  // CC 2019's own left to its own rule.
  const std::string sf23 = "C:\\Adobe\\After Effects 2023\\Support Files\\";
  const std::set<std::string> there = {sf23 + amt, sf24 + amt, "C:\\AE19\\" + amt,
                                       "C:\\CC2019\\" + amt};
  const std::vector<lang::RegisteredVersion> registered = {
      {"23.0", sf23},
      {"Plugins", sf23},
      {"22.0", "c:\\ADOBE\\after effects 2023/\\Support files"},  // 2023's file
      {"24.0", ae24},
      {"19.0", "C:\\AE19\\"},
      {"16.1", "C:\\AE19\\"},
      {"25.0", "C:\\CC2019\\"},  // CC 2019's file
      {"26.0", ""},
  };
  // Windows finds a file by any case of its name.
  const auto folded = [](std::string path) {
    for (char& c : path) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return canonical(path);
  };
  const auto exists = [&](const std::string& path) {
    return std::any_of(there.begin(), there.end(),
                       [&](const std::string& file) { return folded(file) == folded(path); });
  };
  const std::vector<lang::Installation> found = lang::findInstallations(
      registered, exists, testing_support::cp936(), lang::kCc2019Row, "C:\\CC2019\\" + amt);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].key, "24.0");
  EXPECT_EQ(found[0].row, "2024");
  EXPECT_EQ(found[0].xmlPath, sf24 + amt);
  EXPECT_EQ(found[1].key, "23.0");
  EXPECT_EQ(found[1].row, "2023");
  EXPECT_EQ(found[1].xmlPath, sf23 + amt);
}

constexpr char kCc2018[] = "C:\\Program Files\\Adobe\\Adobe After Effects CC 2018\\Support Files\\";
constexpr char k2024[] = "D:\\Adobe\\Adobe After Effects 2024\\";  // the folder above
constexpr char k2027[] = "E:\\AE27\\Support Files";
const std::string kXml2019 = std::string(kInstall) + "AMT\\application.xml";
const std::string kXml2018 = std::string(kCc2018) + "AMT\\application.xml";
const std::string kXml2024 = std::string(k2024) + "Support Files\\AMT\\application.xml";
const std::string kXml2027 = std::string(k2027) + "\\AMT\\application.xml";

// CC 2019 (Chinese), CC 2018 (English), 2024 (Chinese) and 2027 (English).
void installFour(FakeSystem& system, bool withCc2019) {
  if (withCc2019) {
    system.install = kInstall;
    system.files[kXml2019] = kZhXml;
  }
  system.versions = {{"15.0", kCc2018}, {"24.0", k2024}, {"27.0", k2027}, {"Plugins", k2024}};
  system.files[kXml2018] = kEnXml;
  system.files[kXml2024] = kZhXml;
  system.files[kXml2027] = kEnXml;
}

TEST(Switcher, OneClickSwitchesEveryInstallationAndSaysWhatItCouldNotInOneBox) {
  using Run = lang::ElevatedRun;
  // On 2024's file; Denied2 on CC 2019's as well.
  enum Fault { None, NoCc2019, ReadOnly, InUse, Denied, Denied2, Huge, HugeCc2019 };
  const std::string readOnly = std::string("2024") + lang::kLeftAsItWasText;
  const std::string notChanged = std::string("2024") + lang::kVersionsNotChangedText;
  const std::string restart = lang::kRestartText;
  struct Case {
    const char* what;
    Fault fault;
    Run run;
    bool running;  // After Effects
    bool switched2024;
    std::string told;
  };
  const Case cases[] = {
      {"mixed tokens converge", None, {}, false, true, ""},
      {"without CC 2019 the newest file says", NoCc2019, {}, false, true, ""},
      {"a read-only file named, the others switch", ReadOnly, {}, false, false, readOnly},
      {"a file in use named", InUse, {}, false, false, readOnly},
      {"refused: one elevated run", Denied, {Run::Ran, lang::kSwitched}, false, true, ""},
      {"CC 2019 refused too: one run", Denied2, {Run::Ran, lang::kSwitched}, false, true, ""},
      {"the step fails", Denied, {Run::Ran, lang::kFailed}, false, false, notChanged},
      {"the step fails CC 2019's too",
       Denied2,
       {Run::Ran, lang::kFailed},
       false,
       false,
       lang::kNotChangedText + ("\n" + notChanged)},
      {"the step declined", Denied, {Run::Declined, 0}, false, false, lang::kDeclinedText},
      {"After Effects runs, one box", ReadOnly, {}, true, false, readOnly + "\n" + restart},
      {"After Effects runs, nothing failed", None, {}, true, true, restart},
      {"an oversized file named", Huge, {}, false, false, notChanged},
      {"an oversized CC 2019 file said", HugeCc2019, {}, false, true, lang::kNotChangedText},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeSystem system;
    FakeView view;
    installFour(system, c.fault != NoCc2019);
    system.afterEffects = c.running;
    system.elevated = c.run;
    if (c.fault == ReadOnly) system.unreplaceable = {kXml2024};
    if (c.fault == Denied) system.denied = {kXml2024, kXml2018};
    if (c.fault == Denied2) system.denied = {kXml2024, kXml2019, kXml2018};
    if (c.fault == Huge) system.huge = {kXml2024};
    if (c.fault == HugeCc2019) system.huge = {kXml2019};
    const bool refused = c.fault == Denied || c.fault == Denied2;
    lang::Switcher switcher(view, system);
    switcher.showState();
    EXPECT_EQ(view.current, c.fault == NoCc2019 ? "英文" : "中文");
    EXPECT_EQ(view.shield, refused || c.fault == ReadOnly);
    using Shown = std::pair<std::string, std::string>;
    EXPECT_EQ(view.rows["2024"], Shown(c.fault == Huge ? "" : "中文", kXml2024));
    EXPECT_EQ(view.rows["CC2018"], Shown("英文", kXml2018));
    EXPECT_EQ(view.rows["2027"], Shown("英文", kXml2027)) << "a newer version by its year";
    EXPECT_EQ(view.rows.size(), 3u) << "CC 2019's own row is the path box";
    if (c.fault == InUse) system.unreadable = {kXml2024};

    switcher.toggle();
    EXPECT_EQ(view.current, "英文");
    EXPECT_EQ(system.elevatedAsked,
              refused ? std::vector<std::string>{"en_US"} : std::vector<std::string>{})
        << "one consent prompt per click";
    EXPECT_EQ(view.told,
              c.told.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.told});
    EXPECT_EQ(system.files[kXml2024], c.switched2024 ? kEnXml : kZhXml);
    EXPECT_EQ(system.files[kXml2018], kEnXml);
    EXPECT_EQ(system.files[kXml2027], kEnXml);
    const bool cc2019Switched =
        c.fault != NoCc2019 && c.fault != HugeCc2019 && (c.fault != Denied2 || c.switched2024);
    if (c.fault != NoCc2019) {
      EXPECT_EQ(system.files[kXml2019], cc2019Switched ? kEnXml : kZhXml);
    }
    if (c.fault != Huge && c.fault != InUse) {
      EXPECT_EQ(view.rows["2024"].first, c.switched2024 ? "英文" : "中文") << "read again";
    }
    EXPECT_EQ(system.paused, cc2019Switched || c.switched2024 ? 1000u : 0u) << "one pause";
  }
}

// The elevated step over several installations: each file on its own.
TEST(SetMachineLanguage, EveryInstallationAndTheExitCode) {
  enum class Fault { None, ReadOnly, Huge, NoFiles };
  struct Case {
    const char* what;
    bool withCc2019;
    Fault fault;  // on 2024's file
    const char* token;
    lang::SetLanguageCode code;
  };
  const Case cases[] = {
      {"mixed tokens converge", true, Fault::None, "en_US", lang::kSwitched},
      {"without CC 2019", false, Fault::None, "en_US", lang::kSwitched},
      {"one read-only: the others switched", true, Fault::ReadOnly, "en_US", lang::kFailed},
      {"one oversized: the others switched", true, Fault::Huge, "en_US", lang::kFailed},
      {"registered, but no file anywhere", false, Fault::NoFiles, "en_US", lang::kNoFile},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeSystem system;
    installFour(system, c.withCc2019);
    if (c.fault == Fault::ReadOnly) system.unreplaceable = {kXml2024};
    if (c.fault == Fault::Huge) system.huge = {kXml2024};
    if (c.fault == Fault::NoFiles) system.files.clear();
    EXPECT_EQ(lang::setMachineLanguage(system, c.token), c.code);
    if (c.fault == Fault::NoFiles) continue;
    const std::string& want = std::string(c.token) == "en_US" ? kEnXml : kZhXml;
    const bool left = c.fault == Fault::ReadOnly || c.fault == Fault::Huge;
    EXPECT_EQ(system.files[kXml2024], left ? kZhXml : want);
    for (const std::string& xml : {kXml2018, kXml2027}) EXPECT_EQ(system.files[xml], want) << xml;
    if (c.withCc2019) {
      EXPECT_EQ(system.files[kXml2019], want);
    }
    // Run again: nothing left to switch but what cannot be.
    EXPECT_EQ(lang::setMachineLanguage(system, c.token),
              left ? lang::kFailed : lang::kAlreadyThere);
  }
}

}  // namespace
