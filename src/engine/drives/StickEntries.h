#pragma once

#include "engine/drives/DriveLayer.h"

#include <QObject>

#include <functional>
#include <memory>
#include <vector>

// USB sticks and SD cards as recorders, found through UDisks2. They follow the optical and virtual
// drives in the registry; KESTRANE_NO_STICKS=1 leaves them out.
namespace Drives {

class StickDrive;

bool isStickAddress(const QString &address);
// The sticks that may be written, as drive descriptions: vendor, "model (size)", the device node. Asks
// UDisks2 afresh, or, with `known`, takes what its last signal brought (no call that waits).
std::vector<DriveDescription> scanSticks(bool known = false);
// The drive object of a scanned stick; null when the stick went away since the scan.
std::unique_ptr<Drive> stickDrive(const DriveDescription &description);
// Calls `changed` on `context`'s thread whenever the sticks that may be written change.
void followSticks(QObject *context, std::function<void()> changed);

} // namespace Drives
