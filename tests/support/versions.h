// Versions the tests offer, relative to the program's own, which the build
// sets. No Windows API here.
#pragma once

#include <string>

namespace testing_support {

// The program's own version, as the build made it.
std::string ownVersion();
// "Kelvora v" and the own version: the main window's title.
std::string ownTitle();
// Sorts after the own version, as text and as a number.
std::string newerVersion();
// Sorts before the own version.
std::string olderVersion();
// Sorts before the own version as text but is a higher number (1.10 for
// 1.2); empty when the own version has no such neighbour.
std::string numericallyNewerTextuallyOlder();

}  // namespace testing_support
