#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <cstdint>

struct Iso_Image;

// The one way a disc's or an image file's folders are read, for copying a disc and for every check:
// what the path is is looked at before anything blocks on it, the volume descriptor is read by us,
// and libisofs reads the folders under an ImportGuard that `cancel` stops. The caller holds the
// libisofs lock.
namespace DiscLoader {

enum class Medium {
    Drive, // a drive's device or a virtual drive's file: missing or empty means no disc
    ImageFile,
};

enum class Outcome {
    Loaded,
    Cancelled,
    NoDisc, // the drive is empty, or its disc (a virtual drive's file) is blank
    NotADisc, // a FIFO, a socket, a folder, a character device
    Unreadable, // it cannot be opened or read: `reason` is the system's error text
    NoFileSystem, // no ISO-9660 volume descriptor
    Damaged, // a volume descriptor, but folders that cannot be read or are refused
};

struct Loaded
{
    Outcome outcome = Outcome::Unreadable;
    // Why it was not loaded, in words that follow a subject and a colon ("…is damaged: <reason>").
    QString reason;
    int64_t mediumBytes = 0;
    int64_t volumeBytes = 0; // as the volume descriptor records it; 0 when there is none
    // Set only when loaded; the caller unrefs it under the libisofs lock.
    Iso_Image *image = nullptr;

    bool loaded() const { return outcome == Outcome::Loaded; }
};

// Whether a disc is there to read, without reading its folders: `Loaded` (no image) with its size and
// the volume size when it holds a volume descriptor, or why not (NoDisc, NotADisc, Unreadable, and for
// an empty image file NoFileSystem).
Loaded probe(const QByteArray &nativePath, Medium medium);

// Reads the file system at `nativePath` into a new image, without the disc's inode numbers.
// `checksums` also loads the MD5s recorded in it (see DiscDataSource::importImage).
Loaded load(const QByteArray &nativePath, Medium medium, const std::atomic<bool> &cancel,
            bool checksums = false);

// Opens what `load` accepted (a regular file or a block device) for reading, never blocking on the
// opening; -1 with errno set otherwise (ENXIO for anything else).
int openMedium(const QByteArray &nativePath);

} // namespace DiscLoader
