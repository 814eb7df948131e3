#include "engine/drives/BurnVerifier.h"

#include "base/SystemError.h"
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

struct FileExtents
{
    QString path; // in the image's file system, for naming a file that differs
    std::vector<Extent> extents;
};

void collectFiles(IsoDir *dir, const QString &folder, std::vector<FileExtents> &files)
{
    IsoDirIter *iter = nullptr;
    if (iso_dir_get_children(dir, &iter) < 0)
        return;
    IsoNode *node = nullptr;
    while (iso_dir_iter_next(iter, &node) == 1) {
        const QString path = folder + QLatin1Char('/') + QString::fromUtf8(iso_node_get_name(node));
        if (iso_node_get_type(node) == LIBISO_DIR) {
            collectFiles(reinterpret_cast<IsoDir *>(node), path, files);
            continue;
        }
        if (iso_node_get_type(node) != LIBISO_FILE)
            continue;
        FileExtents file {path, {}};
        std::vector<Extent> &extents = file.extents;
        int count = 0;
        struct iso_file_section *sections = nullptr;
        if (iso_file_get_old_image_sections(reinterpret_cast<IsoFile *>(node), &count, &sections, 0) == 1) {
            for (int i = 0; i < count; ++i)
                extents.push_back({static_cast<int64_t>(sections[i].block) * BlockBytes,
                                   static_cast<int64_t>(sections[i].size)});
            std::free(sections);
        }
        files.push_back(std::move(file));
    }
    iso_dir_iter_free(iter);
}

// How many of `bytes` could be read, from the start: fewer at an error or the end of the file.
size_t readFully(int fd, char *buffer, size_t bytes, int64_t offset)
{
    size_t got = 0;
    while (got < bytes) {
        const ssize_t n =
            ::pread(fd, buffer + got, bytes - got, static_cast<off_t>(offset) + static_cast<off_t>(got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<size_t>(n);
    }
    return got;
}

// Where the first byte that differs lies in two buffers of `bytes`.
size_t firstDifference(const char *a, const char *b, size_t bytes)
{
    return size_t(std::mismatch(a, a + bytes, b).first - a);
}

} // namespace

VerifyResult verifyBurn(const QString &imagePath, const QString &mediumPath, int64_t trackStartSector,
                        const std::atomic<bool> &stop, VerifyProgress *progress)
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
        collectFiles(iso_image_get_root(read.image), QString(), files);
        iso_image_unref(read.image);
    }
    // In the order of the disc: a drive reads on without seeking, and the first file that differs is
    // the one nearest the start (where a disc cut short ends, say).
    std::stable_sort(files.begin(), files.end(), [](const FileExtents &a, const FileExtents &b) {
        const int64_t aAt = a.extents.empty() ? -1 : a.extents.front().offset;
        const int64_t bAt = b.extents.empty() ? -1 : b.extents.front().offset;
        return aAt < bAt;
    });

    const int imageFd = DiscLoader::openMedium(QFile::encodeName(imagePath));
    const int mediumFd = DiscLoader::openMedium(QFile::encodeName(mediumPath));
    const int openError = errno;
    if (mediumFd < 0) {
        // Nothing could be compared: no file is damaged for that, and none passes.
        result.error = QStringLiteral("%1 could not be opened for reading: %2")
                           .arg(mediumPath, SystemErrorText(openError));
        if (imageFd >= 0)
            ::close(imageFd);
        return result;
    }
    std::vector<char> expected(ChunkBytes);
    std::vector<char> found(ChunkBytes);
    const int64_t trackOffset = trackStartSector * BlockBytes;
    if (progress) {
        int64_t total = 0;
        for (const FileExtents &file : files) {
            for (const Extent &extent : file.extents)
                total += extent.bytes;
        }
        progress->bytesTotal = total;
    }
    for (const FileExtents &file : files) {
        if (stop.load())
            break;
        ++result.filesCompared;
        bool same = imageFd >= 0 && mediumFd >= 0;
        int64_t inFile = 0; // bytes of the file before the current extent
        int64_t differsAt = same ? -1 : 0;
        int64_t counted = 0; // bytes of the file already in the progress
        for (const Extent &extent : file.extents) {
            for (int64_t done = 0; same && done < extent.bytes;) {
                const size_t n = static_cast<size_t>(std::min<int64_t>(extent.bytes - done, ChunkBytes));
                const size_t wanted = readFully(imageFd, expected.data(), n, extent.offset + done);
                const size_t got = readFully(mediumFd, found.data(), n, trackOffset + extent.offset + done);
                // A byte that cannot be read differs: a medium cut short is named where it ends.
                if (const size_t at = firstDifference(expected.data(), found.data(), std::min(wanted, got));
                    at < n) {
                    same = false;
                    differsAt = inFile + done + int64_t(at);
                }
                done += static_cast<int64_t>(n);
                counted += int64_t(n);
                if (progress)
                    progress->bytesDone += int64_t(n);
            }
            inFile += extent.bytes;
        }
        if (progress)
            progress->bytesDone += inFile - counted; // a file left at its first difference counts whole
        if (same) {
            ++result.filesMatched;
        } else if (result.firstDifferingFile.isEmpty()) {
            result.firstDifferingFile = file.path;
            result.firstDifferenceOffset = differsAt;
        }
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
