#include "lang/installations.h"

#include <algorithm>
#include <optional>

#include "platform/path.h"

namespace lang {
namespace {

constexpr char kAmtXml[] = "AMT\\application.xml";
constexpr std::string_view kSupportFiles = "Support Files";

struct Version {
  unsigned long long major = 0, minor = 0;
};

// Up to nine digits: enough for any version, never an overflow.
std::optional<unsigned long long> number(std::string_view digits) {
  if (digits.empty() || digits.size() > 9) return std::nullopt;
  unsigned long long n = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + static_cast<unsigned>(c - '0');
  }
  return n;
}

std::optional<Version> parseVersion(std::string_view name) {
  const std::size_t dot = name.find('.');
  if (dot == std::string_view::npos) return std::nullopt;
  const auto major = number(name.substr(0, dot));
  const auto minor = number(name.substr(dot + 1));
  if (!major || !minor) return std::nullopt;
  return Version{*major, *minor};
}

char asciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool isSeparator(char c) {
  return c == '\\' || c == '/';
}

// The last folder name of `path` is "Support Files", in any case, with or
// without separators after it.
bool endsInSupportFiles(std::string_view path, const platform::LeadBytes& lead) {
  while (!path.empty() && platform::findLastOf(path, "\\/", lead) == path.size() - 1) {
    path.remove_suffix(1);
  }
  const std::size_t slash = platform::findLastOf(path, "\\/", lead);
  const std::string_view last = slash == std::string_view::npos ? path : path.substr(slash + 1);
  // A double-byte character never equals an ASCII one, whatever its trail byte.
  return platform::equalsAsciiCaseBlind(last, kSupportFiles);
}

std::string normalised(std::string_view path, const platform::LeadBytes& lead) {
  std::string out;
  out.reserve(path.size());
  bool afterSeparator = false;
  for (std::size_t i = 0; i < path.size();) {
    const std::size_t n = platform::charLength(path, i, lead);
    if (n == 2) {
      out.append(path.substr(i, 2));
      afterSeparator = false;
    } else if (isSeparator(path[i])) {
      // A UNC path keeps its two leading backslashes.
      if (!afterSeparator || out.size() < 2) out += '\\';
      afterSeparator = true;
    } else {
      out += asciiLower(path[i]);
      afterSeparator = false;
    }
    i += n;
  }
  return out;
}

}  // namespace

bool isVersionKey(std::string_view name) {
  return parseVersion(name).has_value();
}

std::string versionRow(std::string_view key) {
  const auto version = parseVersion(key);
  if (!version) return {};
  switch (version->major) {
    case 13:
      if (version->minor == 0) return "CC2014";
      if (version->minor == 5) return "CC2015";
      if (version->minor >= 6 && version->minor <= 9) return "CC2015.3";
      return {};
    case 14:
      return "CC2017";
    case 15:
      return "CC2018";
    case 16:
      return "CC2019";
    case 17:
      return "2020";
    case 18:
      return "2021";
    default:
      // From 22 (2022) on, the major number is the year's last two digits.
      if (version->major >= 22) return std::to_string(2000 + version->major);
      return {};
  }
}

bool isNewerRow(std::string_view row) {
  const auto year = number(row);
  return year && *year > 2026;
}

bool olderVersion(std::string_view a, std::string_view b) {
  const auto x = parseVersion(a);
  const auto y = parseVersion(b);
  if (!x || !y) return false;
  return x->major != y->major ? x->major < y->major : x->minor < y->minor;
}

std::string applicationXmlPath(std::string_view installPath,
                               const std::function<bool(const std::string&)>& exists,
                               const platform::LeadBytes& lead) {
  // A relative value would be read against the current folder: nobody's
  // installation.
  if (installPath.empty() || !platform::isAbsolutePath(installPath)) return {};
  std::string path = platform::joinPath(installPath, kAmtXml, lead);
  if (exists(path)) return path;
  // Some tools register the folder above Support Files.
  if (endsInSupportFiles(installPath, lead)) return {};
  path = platform::joinPath(platform::joinPath(installPath, kSupportFiles, lead), kAmtXml, lead);
  return exists(path) ? path : std::string();
}

bool sameFile(std::string_view a, std::string_view b, const platform::LeadBytes& lead) {
  return normalised(a, lead) == normalised(b, lead);
}

std::vector<Installation> findInstallations(const std::vector<RegisteredVersion>& registered,
                                            const std::function<bool(const std::string&)>& exists,
                                            const platform::LeadBytes& lead,
                                            std::string_view skipRow, std::string_view skipFile) {
  std::vector<const RegisteredVersion*> newestFirst;
  for (const RegisteredVersion& version : registered) {
    const std::string row = versionRow(version.key);
    if (!row.empty() && row != skipRow) newestFirst.push_back(&version);
  }
  std::stable_sort(newestFirst.begin(), newestFirst.end(),
                   [](const RegisteredVersion* a, const RegisteredVersion* b) {
                     return olderVersion(b->key, a->key);
                   });
  std::vector<Installation> found;
  for (const RegisteredVersion* version : newestFirst) {
    std::string path = applicationXmlPath(version->installPath, exists, lead);
    if (path.empty()) continue;
    if (!skipFile.empty() && sameFile(path, skipFile, lead)) continue;
    // One file, one switch: the newer key's row has it.
    const bool seen = std::any_of(found.begin(), found.end(), [&](const Installation& earlier) {
      return sameFile(earlier.xmlPath, path, lead);
    });
    if (seen) continue;
    found.push_back({version->key, versionRow(version->key), std::move(path)});
  }
  return found;
}

}  // namespace lang
