// Which After Effects versions the registry lists, which row of the window
// each fills, and where each keeps its application.xml. Nothing is guessed:
// a version the registry does not name, or whose file is not where its
// InstallPath says, is not an installation. No Windows API here.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text.h"

namespace lang {

// Under HKEY_LOCAL_MACHINE, in the 64-bit view: one subkey per version.
inline constexpr char kVersionsKey[] = "SOFTWARE\\Adobe\\After Effects";
inline constexpr char kInstallPathName[] = "InstallPath";
// CC 2019's row, which keeps its own older rule (switcher.h).
inline constexpr char kCc2019Row[] = "CC2019";

// One subkey of kVersionsKey and its InstallPath value (empty when it has none).
struct RegisteredVersion {
  std::string key;
  std::string installPath;
};

// One installation found: its key, its row and its application.xml.
struct Installation {
  std::string key;
  std::string row;
  std::string xmlPath;
};

// Whether a subkey's name is a version: digits, one dot, digits ("16.0",
// "13.5"); "16", "16.0.1" and "CurrentVersion" are not.
bool isVersionKey(std::string_view name);

// The row a version key fills: "CC2014" (13.0), "CC2015" (13.5), "CC2015.3"
// (13.6 to 13.9), "CC2017" (14.x), "CC2018" (15.x), "CC2019" (16.x), "2020"
// (17.x), "2021" (18.x), "2022" to "2026" (22.x to 26.x), and for a version
// newer than that its year, 2000 + its major number ("2027" for 27.0).
// Empty for anything else: a name that is no version, or a number After
// Effects never had (19 to 21) or that has no row.
std::string versionRow(std::string_view key);

// Whether `row` (from versionRow) is a version newer than the table's last
// row, 2026: the window has one row for those, captioned with the year.
bool isNewerRow(std::string_view row);

// Whether the version key `a` is older than `b` (both version keys).
bool olderVersion(std::string_view a, std::string_view b);

// The application.xml of an installation whose InstallPath is `installPath`:
// that folder + "AMT\application.xml" (a backslash added where the value
// lacks one); where that file is not there and the folder is not itself
// "Support Files", the same under its "Support Files" folder. Empty for an
// empty or relative value and where neither file `exists`. `lead` is the
// code page's: a trail byte may be 0x5C.
std::string applicationXmlPath(std::string_view installPath,
                               const std::function<bool(const std::string&)>& exists,
                               const platform::LeadBytes& lead);

// Whether two paths name one file as Windows compares names: ASCII letters
// in either case, '/' as '\', repeated separators as one. Double-byte
// characters compare byte for byte.
bool sameFile(std::string_view a, std::string_view b, const platform::LeadBytes& lead);

// Every version in `registered` that has a row and an application.xml,
// newest first. Where two keys name one file, the newer key alone counts.
// Keys of the row `skipRow` and the file `skipFile` are left out (CC 2019's,
// which has its own rule).
std::vector<Installation> findInstallations(const std::vector<RegisteredVersion>& registered,
                                            const std::function<bool(const std::string&)>& exists,
                                            const platform::LeadBytes& lead,
                                            std::string_view skipRow = {},
                                            std::string_view skipFile = {});

}  // namespace lang
