#include "engine/image/ImageComparison.h"

#include "base/SystemError.h"
#include "engine/Libraries.h"
#include "engine/image/DiscLoader.h"
#include "engine/image/ImageFiles.h"
#include "engine/image/ImageTree.h"

#include <cstdint>
#include <libisofs/libisofs.h>

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int64_t BlockBytes = 2048;
constexpr int64_t ChunkBytes = 1 << 20;

class Fd final
{
public:
    explicit Fd(const QByteArray &path)
        : m_fd(DiscLoader::openMedium(path))
    { }
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// As many bytes as the file gives, up to `want`; fewer only at its end or where it cannot be read.
int64_t readUpTo(int fd, char *buffer, int64_t want, int64_t offset)
{
    int64_t got = 0;
    while (got < want) {
        const ssize_t n = ::pread(fd, buffer + got, size_t(want - got), off_t(offset + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += n;
    }
    return got;
}

} // namespace

ImageCheck ImageComparison::compare(const QByteArray &mediumPath, const QByteArray &imagePath,
                                    const std::atomic<bool> &stop, const ChecksumVerifier::Progress &progress)
{
    ImageCheck check;
    if (!EngineLibraries::ensureIsoInit()) {
        check.error = QStringLiteral("The image library could not be started.");
        return check;
    }
    const QString imageName = QFile::decodeName(imagePath);
    const DiscLoader::Loaded disc = DiscLoader::probe(mediumPath, DiscLoader::Medium::Drive);
    if (!disc.loaded()) {
        // The image is the measure: anything wrong with the disc is for the comparison to find.
        check.error = disc.outcome == DiscLoader::Outcome::NoDisc
            ? QStringLiteral("There is no disc in %1, or a blank one.").arg(QFile::decodeName(mediumPath))
            : QStringLiteral("Cannot read %1: %2").arg(QFile::decodeName(mediumPath), disc.reason);
        return check;
    }
    ImageFiles::Layout layout;
    {
        std::lock_guard lock(EngineLibraries::isoLock());
        const DiscLoader::Loaded read = DiscLoader::load(imagePath, DiscLoader::Medium::ImageFile, stop);
        switch (read.outcome) {
        case DiscLoader::Outcome::Loaded:
            break;
        case DiscLoader::Outcome::Cancelled:
            check.outcome = ImageCheck::Outcome::Cancelled;
            return check;
        case DiscLoader::Outcome::NoFileSystem:
            check.error =
                QStringLiteral("%1 holds no readable ISO-9660 file system: %2").arg(imageName, read.reason);
            return check;
        case DiscLoader::Outcome::Damaged:
            check.error = QStringLiteral("The image %1 is damaged: %2").arg(imageName, read.reason);
            return check;
        case DiscLoader::Outcome::NoDisc:
        case DiscLoader::Outcome::NotADisc:
        case DiscLoader::Outcome::Unreadable:
            check.error = QStringLiteral("Cannot read %1: %2").arg(imageName, read.reason);
            return check;
        }
        layout = ImageFiles::collect(read.image);
        iso_image_unref(read.image);
    }
    const Fd image(imagePath);
    const Fd medium(mediumPath);
    struct stat st
    {
    };
    if (image.get() < 0 || ::fstat(image.get(), &st) != 0) {
        check.error =
            QStringLiteral("Cannot read %1: %2").arg(QFile::decodeName(imagePath), SystemErrorText(errno));
        return check;
    }
    if (medium.get() < 0) {
        check.error =
            QStringLiteral("Cannot read %1: %2").arg(QFile::decodeName(mediumPath), SystemErrorText(errno));
        return check;
    }
    const int64_t total = st.st_size;
    std::unique_ptr<char[]> expected(new char[ChunkBytes]);
    std::unique_ptr<char[]> found(new char[ChunkBytes]);
    std::vector<bool> damaged(layout.files.size(), false);
    bool outside = false;
    int64_t mediumEnd = -1; // where the disc stopped giving bytes, if it did
    ImageFiles::Sweep sweep(layout.sections);
    // Each run of differing bytes (at most a block) is laid against the files; what no file covers is
    // outside them. Only the places count: the bytes handed on are the expected ones, and unused.
    auto blame = [&](int64_t offset, int64_t bytes) {
        int64_t covered = 0;
        sweep.pass(offset, expected.get(), bytes, [&](int file, const char *, int64_t piece) {
            damaged[size_t(file)] = true;
            covered += piece;
        });
        if (covered < bytes)
            outside = true;
    };
    for (int64_t at = 0; at < total;) {
        if (stop.load()) {
            check.outcome = ImageCheck::Outcome::Cancelled;
            return check;
        }
        const int64_t want = std::min(ChunkBytes, total - at);
        if (readUpTo(image.get(), expected.get(), want, at) != want) {
            check.error = QStringLiteral("Cannot read %1: %2")
                              .arg(QFile::decodeName(imagePath), SystemErrorText(errno ? errno : EIO));
            return check;
        }
        const int64_t got = mediumEnd < 0 ? readUpTo(medium.get(), found.get(), want, at) : 0;
        if (got < want && mediumEnd < 0)
            mediumEnd = at + got;
        // What lies beyond the disc's end is not compared: its files are named apart below.
        for (int64_t block = 0; block < got; block += BlockBytes) {
            const int64_t size = std::min(BlockBytes, got - block);
            if (block + size <= got &&
                std::memcmp(expected.get() + block, found.get() + block, size_t(size)) == 0)
                continue;
            // Byte-exact runs, so that a changed padding byte after a file's end blames no file.
            for (int64_t i = block; i < block + size;) {
                const bool differs = expected[size_t(i)] != found[size_t(i)];
                int64_t j = i + 1;
                while (j < block + size && (expected[size_t(j)] != found[size_t(j)]) == differs)
                    ++j;
                if (differs)
                    blame(at + i, j - i);
                i = j;
            }
        }
        at += want;
        if (progress)
            progress(at, total);
    }
    // A file that reaches past either side's end cannot be compared in full: unless a differing byte
    // already shows it damaged, it is named apart and not counted as checked.
    std::vector<int64_t> fileEnds(layout.files.size(), 0);
    for (const ImageFiles::Section &section : layout.sections)
        fileEnds[size_t(section.file)] =
            std::max(fileEnds[size_t(section.file)], section.offset + section.bytes);
    for (size_t i = 0; i < layout.files.size(); ++i) {
        if (damaged[i]) {
            check.damaged << layout.files[i].path;
            ++check.filesChecked;
        } else if (fileEnds[i] > total) {
            check.unchecked.push_back({layout.files[i].path, QStringLiteral("beyond the end of the image")});
        } else if (mediumEnd >= 0 && fileEnds[i] > mediumEnd) {
            check.unchecked.push_back({layout.files[i].path, QStringLiteral("beyond the end of the disc")});
        } else {
            ++check.filesChecked;
        }
    }
    if (outside)
        check.damagedAreas << QStringLiteral("(outside the files: the folders, descriptors or padding)");
    if (mediumEnd >= 0)
        check.damagedAreas
            << QStringLiteral("(the disc ends after %1 of the image's %2 bytes)").arg(mediumEnd).arg(total);
    check.outcome = check.damaged.isEmpty() && check.damagedAreas.isEmpty() && check.unchecked.empty()
        ? ImageCheck::Outcome::Intact
        : ImageCheck::Outcome::Damaged;
    return check;
}
