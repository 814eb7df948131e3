#pragma once

#include <QByteArray>

class ImportGuard;
struct iso_data_source;
struct Iso_Image;

// The disc (a device or a virtual drive's file) as libisofs reads it. libisofs asks for one 2 KB
// block per call; this source serves them from larger reads, a long one when the reads run on
// (file contents) and a short one when they jump (folders), so that copying a disc does not cost a
// system call per block.
namespace DiscDataSource {
// A source with one reference, or null when out of memory. Opening it (libisofs does) opens the path.
iso_data_source *create(const QByteArray &nativePath);
// Reads the ISO-9660 file system at the path through such a source into a new image, without the
// disc's inode numbers. Answers the libisofs code (negative on failure, `image` then null). The
// caller holds the libisofs lock. A guard, when given, watches the reading and has collected
// libisofs's messages about it when this returns. `checksums` also loads the MD5s recorded in the
// image (iso_file_get_md5, iso_image_get_session_md5), without refusing an image whose tags differ.
int importImage(const QByteArray &nativePath, Iso_Image **image, ImportGuard *guard = nullptr,
                bool checksums = false);
} // namespace DiscDataSource
