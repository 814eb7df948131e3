#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>

struct Iso_Image;
struct WriteControl;

// The options an image is written with, taken from the engine's properties at the start of a job.
struct WriteSettings
{
    QString volumeId;
    QString applicationId;
    QString volumeSetId;
    QString publisherId;
    QString dataPreparerId;
    QString systemId;
    bool joliet = true;
    int level = 1; // already raised to 3 when a file needs it
    bool versionNumbers = true;
    // MD5s of the session and of every file, recorded the way libisofs's own loader reads them.
    bool checksums = false;
    // A copied disc's first 32 KB (ImageTree::systemArea); empty for none.
    QByteArray systemArea;
    int systemAreaOptions = 0;

    // Only these change the layout, and so the size.
    bool sameLayout(const WriteSettings &other) const
    {
        return joliet == other.joliet && level == other.level && versionNumbers == other.versionNumbers &&
            checksums == other.checksums && systemArea == other.systemArea &&
            systemAreaOptions == other.systemAreaOptions;
    }
};

namespace ImageWriter {

// The exact size in 2048-byte blocks of the image the settings would write, without writing it.
// Takes the libisofs lock; raises KestraneError when libisofs refuses the image.
int64_t sizeBlocks(Iso_Image *image, const WriteSettings &settings);
// The same for an image that no other thread can reach, without the lock.
int64_t sizeBlocksOfPrivateImage(Iso_Image *image, const WriteSettings &settings);

struct Result
{
    bool ok = false;
    bool cancelled = false;
    QString error;
};
using Progress = std::function<void(qint64 written, qint64 total)>;

// Writes the image to a temporary file beside `isoPath` and gives it that name only when it is
// complete and on the disk (the folder is synced after the rename, before the answer); on failure,
// cancel or a killed process `isoPath` is untouched and no temporary file stays (one left by a writer
// that was killed goes at the next write in its folder). A symbolic link at `isoPath` is written
// through; anything else at `isoPath` that is not a regular file is refused. `control.cancel` set from
// another thread stops it within a few milliseconds.
Result write(Iso_Image *image, const WriteSettings &settings, const QString &isoPath, WriteControl &control,
             const Progress &progress);

// The same safety for bytes that come from elsewhere (a disc copied block for block): `fill` writes
// the whole file into the descriptor it is given, from offset 0 on, and answers false with `error` set
// when it cannot (an empty error when `control.cancel` stopped it). The file is flushed to the disk
// before it gets the name.
using Fill = std::function<bool(int fd, QString &error)>;
Result writeThrough(const QString &path, WriteControl &control, const Fill &fill);

// Tests: false makes the writer use its named temporary file, as on a file system without unnamed ones.
void setUnnamedTemporaryAllowed(bool allowed);
// Tests and benchmarks: false lets every byte pass through libisofs, as when the layout cannot be
// learnt; how many bytes the last write copied from the files around libisofs.
void setDirectCopyAllowed(bool allowed);
int64_t directBytesOfLastWrite();

} // namespace ImageWriter
