#pragma once

#include "engine/ImageCheck.h"
#include "engine/image/DiscLoader.h"

#include <QByteArray>

#include <atomic>
#include <cstdint>
#include <functional>

namespace ChecksumVerifier {

using Progress = std::function<void(int64_t done, int64_t total)>;

// Checks an image file or a disc (a device or a virtual drive's file) against the MD5s libisofs
// recorded in it: every file with a recorded checksum, and the session. Reads the session once from
// start to end; `stop` ends it early, the loading of the folders too. Takes the libisofs lock while it
// loads the image's folders.
ImageCheck verify(const QByteArray &nativePath, DiscLoader::Medium medium, const std::atomic<bool> &stop,
                  const Progress &progress);

// The check's answer when `read` did not load: a failure, a cancel, or damage behind an intact volume
// descriptor. `name` is the path as the user knows it.
ImageCheck refusal(const DiscLoader::Loaded &read, const QString &name);

} // namespace ChecksumVerifier
