#include "app/update_urls.h"

namespace app {

const char* updateBaseUrl() {
  return KELVORA_UPDATE_BASE_URL;
}

}  // namespace app
