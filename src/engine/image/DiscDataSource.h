#pragma once

#include <QByteArray>

struct iso_data_source;

// The disc (a device or a virtual drive's file) as libisofs reads it. libisofs asks for one 2 KB
// block per call; this source serves them from larger reads, a long one when the reads run on
// (file contents) and a short one when they jump (folders), so that copying a disc does not cost a
// system call per block.
namespace DiscDataSource {
// A source with one reference, or null when out of memory. Opening it (libisofs does) opens the path.
iso_data_source *create(const QByteArray &nativePath);
} // namespace DiscDataSource
