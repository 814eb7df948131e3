#pragma once

#include "engine/ImageCheck.h"
#include "engine/image/ChecksumVerifier.h"

#include <QByteArray>

#include <atomic>

namespace ImageComparison {

// Compares a disc (a device or a virtual drive's file) with an image file byte for byte over exactly
// the image's length, so that what a drive reads past the end (padding, an older longer image) plays
// no part. Every file of the image is checked; a file with any differing byte is damaged.
ImageCheck compare(const QByteArray &mediumPath, const QByteArray &imagePath, const std::atomic<bool> &stop,
                   const ChecksumVerifier::Progress &progress);

} // namespace ImageComparison
