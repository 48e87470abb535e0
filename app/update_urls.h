// The update server's base URL and the key its version file is signed with,
// both fixed at build time. Compiled into each exe on its own, so that the
// test builds differ from the shipped one only here.
#pragma once

#include <string>

namespace app {

const char* updateBaseUrl();

// The build's update key, 64 bytes (X then Y); empty for a build without one.
std::string updatePublicKey();

}  // namespace app
