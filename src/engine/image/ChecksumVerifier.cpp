#include "engine/image/ChecksumVerifier.h"

#include "base/SystemError.h"
#include "engine/Libraries.h"
#include "engine/image/DiscLoader.h"
#include "engine/image/ImageFiles.h"
#include "engine/image/ImageTree.h"

#include <cstdint>
#include <libisofs/libisofs.h>

#include <QFile>

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <unistd.h>
#include <vector>

namespace {

constexpr int64_t BlockBytes = 2048;
constexpr int64_t ChunkBytes = 1 << 20;

using Md5 = std::array<char, 16>;

// One running MD5 of libisofs's own kind, freed with its owner.
class Md5Context final
{
public:
    Md5Context() { iso_md5_start(&m_context); }
    ~Md5Context()
    {
        if (m_context) {
            char ignored[16];
            iso_md5_end(&m_context, ignored);
        }
    }
    Md5Context(const Md5Context &) = delete;
    Md5Context &operator=(const Md5Context &) = delete;
    void add(const char *data, int64_t bytes)
    {
        iso_md5_compute(m_context, const_cast<char *>(data), int(bytes));
    }
    Md5 end()
    {
        Md5 sum {};
        iso_md5_end(&m_context, sum.data());
        return sum;
    }

private:
    void *m_context = nullptr;
};

struct Recorded
{
    ImageFiles::Layout layout;
    std::vector<int> fileChecksum; // index into sums, -1: none recorded for the file
    std::vector<Md5> sums;
    bool haveSession = false;
    uint32_t sessionStart = 0;
    uint32_t sessionEnd = 0;
    Md5 session {};
};

} // namespace

ImageCheck ChecksumVerifier::refusal(const DiscLoader::Loaded &read, const QString &name)
{
    ImageCheck check;
    switch (read.outcome) {
    case DiscLoader::Outcome::Loaded:
        break;
    case DiscLoader::Outcome::Cancelled:
        check.outcome = ImageCheck::Outcome::Cancelled;
        break;
    case DiscLoader::Outcome::NoDisc:
        check.error = QStringLiteral("There is no disc in %1, or a blank one.").arg(name);
        break;
    case DiscLoader::Outcome::NotADisc:
        check.error = QStringLiteral("%1 cannot be read: %2").arg(name, read.reason);
        break;
    case DiscLoader::Outcome::Unreadable:
        check.error = QStringLiteral("Cannot read %1: %2").arg(name, read.reason);
        break;
    case DiscLoader::Outcome::NoFileSystem:
        check.error = QStringLiteral("%1 holds no readable ISO-9660 file system: %2").arg(name, read.reason);
        break;
    case DiscLoader::Outcome::Damaged:
        // Its volume descriptor is there: what follows it is damaged, not missing.
        check.outcome = ImageCheck::Outcome::Damaged;
        check.damagedAreas << QStringLiteral("(the folders: %1)").arg(read.reason);
        break;
    }
    return check;
}

ImageCheck ChecksumVerifier::verify(const QByteArray &nativePath, DiscLoader::Medium medium,
                                    const std::atomic<bool> &stop, const Progress &progress)
{
    ImageCheck check;
    if (!EngineLibraries::ensureIsoInit()) {
        check.error = QStringLiteral("The image library could not be started.");
        return check;
    }
    Recorded recorded;
    {
        std::lock_guard lock(EngineLibraries::isoLock());
        const DiscLoader::Loaded read = DiscLoader::load(nativePath, medium, stop, true);
        if (!read.loaded())
            return refusal(read, QFile::decodeName(nativePath));
        IsoImage *image = read.image;
        recorded.layout = ImageFiles::collect(image);
        for (const ImageFiles::File &file : recorded.layout.files) {
            Md5 sum {};
            if (iso_file_get_md5(image, file.node, sum.data(), 0) == 1) {
                recorded.fileChecksum.push_back(int(recorded.sums.size()));
                recorded.sums.push_back(sum);
            } else {
                recorded.fileChecksum.push_back(-1);
            }
        }
        recorded.haveSession = iso_image_get_session_md5(image, &recorded.sessionStart, &recorded.sessionEnd,
                                                         recorded.session.data(), 0) == 1;
        iso_image_unref(image);
    }
    if (!recorded.haveSession && recorded.sums.empty()) {
        check.outcome = ImageCheck::Outcome::NoChecksums;
        return check;
    }

    const int fd = DiscLoader::openMedium(nativePath);
    if (fd < 0) {
        check.error =
            QStringLiteral("Cannot read %1: %2").arg(QFile::decodeName(nativePath), SystemErrorText(errno));
        return check;
    }
    const auto closeFd = std::unique_ptr<int, void (*)(int *)>(new int(fd), [](int *p) {
        ::close(*p);
        delete p;
    });

    // The session's range holds every file: one pass feeds the session's checksum and each file's.
    const int64_t from = int64_t(recorded.sessionStart) * BlockBytes;
    int64_t end = int64_t(recorded.sessionEnd) * BlockBytes;
    for (const ImageFiles::Section &section : recorded.layout.sections)
        end = std::max(end, section.offset + section.bytes);
    std::vector<std::unique_ptr<Md5Context>> files(recorded.layout.files.size());
    Md5Context session;
    ImageFiles::Sweep sweep(recorded.layout.sections);
    std::unique_ptr<char[]> buffer(new char[ChunkBytes]);
    int64_t readable = from; // where the medium stopped answering, if it did
    const int64_t sessionEnd = int64_t(recorded.sessionEnd) * BlockBytes;
    for (int64_t at = from; at < end;) {
        if (stop.load()) {
            check.outcome = ImageCheck::Outcome::Cancelled;
            return check;
        }
        const int64_t want = std::min(ChunkBytes, end - at);
        int64_t got = 0;
        while (got < want) {
            const ssize_t n = ::pread(fd, buffer.get() + got, size_t(want - got), off_t(at + got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += n;
        }
        if (at < sessionEnd)
            session.add(buffer.get(), std::min(got, sessionEnd - at));
        sweep.pass(at, buffer.get(), got, [&](int file, const char *data, int64_t bytes) {
            if (recorded.fileChecksum[size_t(file)] < 0)
                return;
            auto &context = files[size_t(file)];
            if (!context)
                context = std::make_unique<Md5Context>();
            context->add(data, bytes);
        });
        at += got;
        readable = at;
        if (progress)
            progress(at - from, end - from);
        if (got < want)
            break; // the rest cannot be read: whatever lies there is damaged
    }

    std::vector<int64_t> fileEnds(recorded.layout.files.size(), 0);
    for (const ImageFiles::Section &section : recorded.layout.sections)
        fileEnds[size_t(section.file)] =
            std::max(fileEnds[size_t(section.file)], section.offset + section.bytes);
    for (size_t i = 0; i < recorded.layout.files.size(); ++i) {
        const int sum = recorded.fileChecksum[i];
        if (sum < 0)
            continue;
        ++check.filesChecked;
        bool intact = fileEnds[i] <= readable;
        if (intact) {
            auto &context = files[i];
            if (!context)
                context = std::make_unique<Md5Context>(); // an empty file
            intact = context->end() == recorded.sums[size_t(sum)];
        }
        if (!intact)
            check.damaged << recorded.layout.files[i].path;
    }
    const bool sessionIntact =
        !recorded.haveSession || (readable >= sessionEnd && session.end() == recorded.session);
    if (!sessionIntact && check.damaged.isEmpty())
        check.damagedAreas << QStringLiteral("(outside the files: the folders, descriptors or padding)");
    check.outcome = check.damaged.isEmpty() && check.damagedAreas.isEmpty() ? ImageCheck::Outcome::Intact
                                                                            : ImageCheck::Outcome::Damaged;
    return check;
}
