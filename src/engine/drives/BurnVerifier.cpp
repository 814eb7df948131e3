#include "engine/drives/BurnVerifier.h"

#include "engine/Libraries.h"
#include "engine/image/DiscLoader.h"

#include <cstdint>
#include <libisofs/libisofs.h>

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unistd.h>
#include <vector>

namespace Drives {

namespace {

constexpr int64_t BlockBytes = 2048;
constexpr size_t ChunkBytes = 1 << 20;

struct Extent
{
    int64_t offset; // in the image
    int64_t bytes;
};

using FileExtents = std::vector<Extent>;

void collectFiles(IsoDir *dir, std::vector<FileExtents> &files)
{
    IsoDirIter *iter = nullptr;
    if (iso_dir_get_children(dir, &iter) < 0)
        return;
    IsoNode *node = nullptr;
    while (iso_dir_iter_next(iter, &node) == 1) {
        if (iso_node_get_type(node) == LIBISO_DIR) {
            collectFiles(reinterpret_cast<IsoDir *>(node), files);
            continue;
        }
        if (iso_node_get_type(node) != LIBISO_FILE)
            continue;
        FileExtents extents;
        int count = 0;
        struct iso_file_section *sections = nullptr;
        if (iso_file_get_old_image_sections(reinterpret_cast<IsoFile *>(node), &count, &sections, 0) == 1) {
            for (int i = 0; i < count; ++i)
                extents.push_back({static_cast<int64_t>(sections[i].block) * BlockBytes,
                                   static_cast<int64_t>(sections[i].size)});
            std::free(sections);
        }
        files.push_back(std::move(extents));
    }
    iso_dir_iter_free(iter);
}

bool readFully(int fd, char *buffer, size_t bytes, int64_t offset)
{
    size_t got = 0;
    while (got < bytes) {
        const ssize_t n =
            ::pread(fd, buffer + got, bytes - got, static_cast<off_t>(offset) + static_cast<off_t>(got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        got += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

VerifyResult verifyBurn(const QString &imagePath, const QString &mediumPath, int64_t trackStartSector,
                        const std::atomic<bool> &stop)
{
    VerifyResult result;
    if (!EngineLibraries::ensureIsoInit()) {
        result.error = QStringLiteral("The image library could not be started");
        return result;
    }
    std::vector<FileExtents> files;
    {
        std::lock_guard lock(EngineLibraries::isoLock());
        const DiscLoader::Loaded read =
            DiscLoader::load(QFile::encodeName(imagePath), DiscLoader::Medium::ImageFile, stop);
        if (read.outcome == DiscLoader::Outcome::Cancelled) {
            result.error = QStringLiteral("The comparison was cancelled.");
            return result;
        }
        if (!read.loaded()) {
            result.error = QStringLiteral("The image %1 could not be read back for the comparison: %2")
                               .arg(imagePath, read.reason);
            return result;
        }
        collectFiles(iso_image_get_root(read.image), files);
        iso_image_unref(read.image);
    }

    const int imageFd = DiscLoader::openMedium(QFile::encodeName(imagePath));
    const int mediumFd = DiscLoader::openMedium(QFile::encodeName(mediumPath));
    std::vector<char> expected(ChunkBytes);
    std::vector<char> found(ChunkBytes);
    const int64_t trackOffset = trackStartSector * BlockBytes;
    for (const FileExtents &extents : files) {
        if (stop.load())
            break;
        ++result.filesCompared;
        bool same = imageFd >= 0 && mediumFd >= 0;
        for (const Extent &extent : extents) {
            for (int64_t done = 0; same && done < extent.bytes;) {
                const size_t n = static_cast<size_t>(std::min<int64_t>(extent.bytes - done, ChunkBytes));
                same = readFully(imageFd, expected.data(), n, extent.offset + done) &&
                    readFully(mediumFd, found.data(), n, trackOffset + extent.offset + done) &&
                    std::memcmp(expected.data(), found.data(), n) == 0;
                done += static_cast<int64_t>(n);
            }
        }
        if (same)
            ++result.filesMatched;
    }
    if (stop.load())
        result.error = QStringLiteral("The comparison was cancelled.");
    if (imageFd >= 0)
        ::close(imageFd);
    if (mediumFd >= 0)
        ::close(mediumFd);
    return result;
}

} // namespace Drives
