#pragma once

#include <QString>

#include <atomic>
#include <cstdint>

namespace Drives {

struct VerifyResult
{
    int filesCompared = 0;
    int filesMatched = 0;
    QString error; // not empty when the image itself could not be read
};

// Reads a burn back: every file of the image's file system is compared, byte for byte, with the
// same place of the track on the medium (a device, or a virtual drive's file). A file whose bytes
// cannot be read from the medium does not match. Runs on any thread; `stop` ends it early.
VerifyResult verifyBurn(const QString &imagePath, const QString &mediumPath, int64_t trackStartSector,
                        const std::atomic<bool> &stop);

} // namespace Drives
