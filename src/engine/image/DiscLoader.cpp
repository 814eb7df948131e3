#include "engine/image/DiscLoader.h"
#include "base/SystemError.h"
#include "engine/FileDescriptor.h"

#include "engine/image/DiscDataSource.h"
#include "engine/image/ImageTree.h"
#include "engine/image/ImportGuard.h"

#include <cstdint>
#include <libisofs/libisofs.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/cdrom.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace DiscLoader {

namespace {

constexpr int64_t BlockBytes = 2048;
constexpr int64_t PrimaryDescriptor = 16;

uint32_t littleEndian32(const uint8_t *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

int64_t sizeOf(int fd, const struct stat &st)
{
    if (S_ISREG(st.st_mode))
        return st.st_size;
    uint64_t bytes = 0;
    if (::ioctl(fd, BLKGETSIZE64, &bytes) == 0)
        return int64_t(bytes);
    return -1;
}

Loaded fails(Outcome outcome, const QString &reason)
{
    Loaded result;
    result.outcome = outcome;
    result.reason = reason;
    return result;
}

Loaded noDisc()
{
    return fails(Outcome::NoDisc, QStringLiteral("there is no disc in the drive, or a blank one"));
}

bool isMedium(const struct stat &st)
{
    return S_ISREG(st.st_mode) || S_ISBLK(st.st_mode);
}

} // namespace

int openMedium(const QByteArray &nativePath)
{
    // Not blocking: a FIFO put in an image's place would wait for a writer for ever.
    const int fd = ::open(nativePath.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return -1;
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0 || !isMedium(st)) {
        ::close(fd);
        errno = ENXIO;
        return -1;
    }
    // O_NONBLOCK stays: it changes nothing for reads from a file or a block device.
    return fd;
}

Loaded probe(const QByteArray &nativePath, Medium medium)
{
    Loaded result;
    const FileDescriptor fd(::open(nativePath.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) {
        // A drive without a disc, or a virtual drive whose file is not there yet.
        if (errno == ENOMEDIUM || (medium == Medium::Drive && errno == ENOENT))
            return noDisc();
        return fails(Outcome::Unreadable, SystemErrorText(errno));
    }
    struct stat st
    {
    };
    if (::fstat(fd.get(), &st) != 0)
        return fails(Outcome::Unreadable, SystemErrorText(errno));
    if (!isMedium(st))
        return fails(Outcome::NotADisc, QStringLiteral("it is not a disc or an image file"));
    // An optical drive opens without a disc in it and then fails every read with EIO; it tells an empty
    // or open tray when asked. Other block devices do not know the request and are read as they are.
    if (S_ISBLK(st.st_mode)) {
        const int status = ::ioctl(fd.get(), CDROM_DRIVE_STATUS, CDSL_CURRENT);
        if (status == CDS_NO_DISC || status == CDS_TRAY_OPEN)
            return noDisc();
    }
    result.mediumBytes = sizeOf(fd.get(), st);
    if (result.mediumBytes == 0) {
        if (medium == Medium::Drive)
            return noDisc();
        return fails(Outcome::NoFileSystem, QStringLiteral("the file is empty"));
    }
    std::array<uint8_t, BlockBytes> block {};
    ssize_t got = -1;
    do {
        got = ::pread(fd.get(), block.data(), block.size(), PrimaryDescriptor * BlockBytes);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        if (errno == ENOMEDIUM)
            return noDisc();
        return fails(Outcome::Unreadable, SystemErrorText(errno));
    }
    if (got == BlockBytes && block[0] == 1 && std::memcmp(block.data() + 1, "CD001", 5) == 0)
        result.volumeBytes = int64_t(littleEndian32(block.data() + 80)) * BlockBytes;
    result.outcome = Outcome::Loaded;
    return result;
}

Loaded load(const QByteArray &nativePath, Medium medium, const std::atomic<bool> &cancel, bool checksums)
{
    Loaded result = probe(nativePath, medium);
    if (!result.loaded())
        return result;
    if (result.volumeBytes == 0)
        return fails(Outcome::NoFileSystem, QStringLiteral("it holds no ISO-9660 volume descriptor"));
    if (cancel.load())
        return fails(Outcome::Cancelled, QString());

    ImportGuard guard(cancel, result.mediumBytes);
    IsoImage *image = nullptr;
    const int ret = DiscDataSource::importImage(nativePath, &image, &guard, checksums);
    if (guard.cancelled()) {
        result.outcome = Outcome::Cancelled;
    } else if (!guard.problem().isEmpty()) {
        result.outcome = Outcome::Damaged;
        result.reason = guard.problem();
    } else if (ret < 0) {
        result.outcome = Outcome::Damaged;
        result.reason = result.mediumBytes > 0 && result.mediumBytes < result.volumeBytes
            ? QStringLiteral("it ends after %1 of the %2 blocks its volume descriptor records")
                  .arg(result.mediumBytes / BlockBytes)
                  .arg(result.volumeBytes / BlockBytes)
            : QStringLiteral("its folders cannot be read (%1)").arg(isoErrorText(ret));
    } else {
        result.image = image;
        return result;
    }
    if (image)
        iso_image_unref(image);
    return result;
}

} // namespace DiscLoader
