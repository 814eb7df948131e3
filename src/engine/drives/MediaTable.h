#pragma once

#include "DriveLayer.h"

#include <vector>

// The engine's medium codes and drive capabilities, from libburn's profile numbers.
namespace Drives {

namespace DiscTypes {
constexpr int CdR = 255;
constexpr int CdRw = 253;
constexpr int NoWritableMedium = 254;
constexpr int DvdRw = 1;
constexpr int DvdR = 2;
constexpr int DvdPlusRw = 3;
constexpr int DvdPlusR = 4;
constexpr int RandomAccess = 9;
constexpr int BdR = 10;
} // namespace DiscTypes

namespace Capabilities {
constexpr int BlankCdRw = 7;
constexpr int BlankDvdRw = 10;
constexpr int FormatDvdPlusRw = 37;
constexpr int FormatRandomAccess = 39;
} // namespace Capabilities

int discTypeFor(int profile, DiscStatus status);
bool driveHasCapability(int code, const std::vector<int> &driveProfiles);
// Base speed of the medium class in kB/s: what a write speed multiple multiplies.
int baseSpeedFor(int profile);

} // namespace Drives
