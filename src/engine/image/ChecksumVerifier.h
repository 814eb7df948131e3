#pragma once

#include "engine/ImageCheck.h"

#include <QByteArray>

#include <atomic>
#include <cstdint>
#include <functional>

namespace ChecksumVerifier {

using Progress = std::function<void(int64_t done, int64_t total)>;

// Checks an image file or a disc (a device or a virtual drive's file) against the MD5s libisofs
// recorded in it: every file with a recorded checksum, and the session. Reads the session once from
// start to end; `stop` ends it early. Takes the libisofs lock while it loads the image's folders.
ImageCheck verify(const QByteArray &nativePath, const std::atomic<bool> &stop, const Progress &progress);

} // namespace ChecksumVerifier
