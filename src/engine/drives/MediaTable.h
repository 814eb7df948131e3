#pragma once

#include "engine/EngineCodes.h"
#include "engine/MediumDetails.h"
#include "engine/drives/DriveLayer.h"

#include <vector>

// The engine's medium codes and drive capabilities, from libburn's profile numbers.
namespace Drives {

namespace DiscTypes = EngineCodes;
namespace Capabilities = EngineCodes;

int discTypeFor(int profile, DiscStatus status);
bool driveHasCapability(int code, const std::vector<int> &driveProfiles);
// Base speed of the medium class in kB/s: what a write speed multiple multiplies.
int baseSpeedFor(int profile);
// The medium's kind and state as a person reads them.
MediumDetails mediumDetailsFor(int profile, DiscStatus status);

} // namespace Drives
