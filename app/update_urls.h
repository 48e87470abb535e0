// The update server's base URL, fixed at build time. Compiled into each exe
// on its own, so that the test build differs from the shipped one only here.
#pragma once

namespace app {

const char* updateBaseUrl();

}  // namespace app
