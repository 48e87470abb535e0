#include "app/update_urls.h"

#include <string_view>

#include "update/version_file.h"

namespace app {
namespace {

// Kept whole in the exe behind a marker, so that the release script can
// read back which key a built exe carries.
constexpr std::string_view kKeyMarker = "kelvora-update-key:";
constexpr char kKeyRecord[] = "kelvora-update-key:" KELVORA_UPDATE_PUBLIC_KEY;

}  // namespace

const char* updateBaseUrl() {
  return KELVORA_UPDATE_BASE_URL;
}

std::string updatePublicKey() {
  const std::string_view hex = std::string_view(kKeyRecord).substr(kKeyMarker.size());
  if (hex.empty()) return {};
  // The build checks the digits. Should a bad key slip through anyway, a
  // key of the wrong length verifies nothing, so nothing is ever offered.
  return update::parsePublicKey(hex).value_or(std::string(1, '\0'));
}

}  // namespace app
