#include "engine/image/ImageComparison.h"

#include "engine/Libraries.h"
#include "engine/image/DiscDataSource.h"
#include "engine/image/ImageFiles.h"
#include "engine/image/ImageTree.h"
#include "settings/SystemError.h"

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
        : m_fd(::open(path.constData(), O_RDONLY | O_CLOEXEC))
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
    ImageFiles::Layout layout;
    {
        std::lock_guard lock(EngineLibraries::isoLock());
        IsoImage *image = nullptr;
        const int ret = DiscDataSource::importImage(imagePath, &image);
        if (ret < 0) {
            check.error = QStringLiteral("%1 holds no readable ISO-9660 file system: %2")
                              .arg(QFile::decodeName(imagePath), isoErrorText(ret));
            return check;
        }
        layout = ImageFiles::collect(image);
        iso_image_unref(image);
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
        const int64_t got = readUpTo(medium.get(), found.get(), want, at);
        for (int64_t block = 0; block < want; block += BlockBytes) {
            const int64_t size = std::min(BlockBytes, want - block);
            if (block + size <= got &&
                std::memcmp(expected.get() + block, found.get() + block, size_t(size)) == 0)
                continue;
            // Byte-exact runs, so that a changed padding byte after a file's end blames no file.
            for (int64_t i = block; i < block + size;) {
                const bool differs = i >= got || expected[size_t(i)] != found[size_t(i)];
                int64_t j = i + 1;
                while (j < block + size && (j >= got || expected[size_t(j)] != found[size_t(j)]) == differs)
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
    check.filesChecked = int(layout.files.size());
    for (size_t i = 0; i < damaged.size(); ++i) {
        if (damaged[i])
            check.damaged << layout.files[i].path;
    }
    if (outside)
        check.damaged << QStringLiteral("(outside the files: the folders, descriptors or padding)");
    check.outcome = check.damaged.isEmpty() ? ImageCheck::Outcome::Intact : ImageCheck::Outcome::Damaged;
    return check;
}
