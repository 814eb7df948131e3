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
    QString firstDifferingFile; // image path ("/Docs/a.txt") of the first file that did not match
    int64_t firstDifferenceOffset = -1; // the first differing (or unreadable) byte inside that file
};

// How far a read-back has come, for a thread that polls it while verifyBurn runs.
struct VerifyProgress
{
    std::atomic<int64_t> bytesDone {0};
    std::atomic<int64_t> bytesTotal {0}; // known once the image's folders are read
};

// Reads a burn back: every file of the image's file system is compared, byte for byte, with the
// same place of the track on the medium (a device, or a virtual drive's file). A file whose bytes
// cannot be read from the medium does not match. Runs on any thread; `stop` ends it early.
VerifyResult verifyBurn(const QString &imagePath, const QString &mediumPath, int64_t trackStartSector,
                        const std::atomic<bool> &stop, VerifyProgress *progress = nullptr);

} // namespace Drives
