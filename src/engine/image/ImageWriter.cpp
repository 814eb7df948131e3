#include "engine/image/ImageWriter.h"
#include "engine/FileDescriptor.h"

#include "base/KestraneError.h"
#include "base/SystemError.h"
#include "engine/FileSync.h"
#include "engine/Libraries.h"
#include "engine/NativePath.h"
#include "engine/image/ChecksumCopy.h"
#include "engine/image/DirectCopy.h"
#include "engine/image/ImageLayout.h"
#include "engine/image/ImageTree.h"
#include "engine/image/SourceFileStream.h"

#include <cstdint>
// libburn.h first: it puts its API in namespace burn, while libisofs.h declares a global burn_source.
#include <libburn/libburn.h>
#include <libisofs/libisofs.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QScopeGuard>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace {

using BurnSource = burn::burn_source;

constexpr int FifoBlocks = 4096; // 8 MiB between libisofs's writer thread and ours
constexpr int ChunkBytes = 1 << 20; // one read from the burn source, one write(2)
constexpr qint64 ProgressEveryMs = 50;
constexpr const char *RelocationFolder = "rr_moved";
constexpr int SystemAreaBytes = 32768;

struct OptionsDeleter
{
    void operator()(IsoWriteOpts *opts) const { iso_write_opts_free(opts); }
};
using Options = std::unique_ptr<IsoWriteOpts, OptionsDeleter>;

Options makeOptions(const WriteSettings &s, bool sizeOnly)
{
    IsoWriteOpts *raw = nullptr;
    int ret = iso_write_opts_new(&raw, 0);
    if (ret < 0)
        throw KestraneError(QStringLiteral("The image options could not be set: %1").arg(isoErrorText(ret)));
    Options opts(raw);
    iso_write_opts_set_iso_level(raw, s.level);
    iso_write_opts_set_rockridge(raw, 1);
    iso_write_opts_set_joliet(raw, s.joliet ? 1 : 0);
    if (s.joliet)
        iso_write_opts_set_joliet_long_names(raw, 1);
    // No trailing dots and no ";1" in the Joliet names users see; ISO names keep them when asked.
    iso_write_opts_set_no_force_dots(raw, 2);
    iso_write_opts_set_omit_version_numbers(raw, s.versionNumbers ? 2 : 3);
    iso_write_opts_set_relaxed_vol_atts(raw, 1);
    // Folders deeper than eight levels go to rr_moved (libarchive readers reject the default layout),
    // marked so that Rock Ridge readers hide it.
    ret = iso_write_opts_set_rr_reloc(raw, const_cast<char *>(RelocationFolder), 1);
    if (ret < 0)
        throw KestraneError(QStringLiteral("The image options could not be set: %1").arg(isoErrorText(ret)));
    if (s.checksums) {
        // The checksum array's place and each file's index in it are AAIP attributes ("isofs.ca",
        // "isofs.cx"), which libisofs writes only with AAIP on; they add nothing else to this image.
        iso_write_opts_set_aaip(raw, 1);
        iso_write_opts_set_record_md5(raw, 1, 1);
    }
    if (!s.systemArea.isEmpty()) {
        QByteArray area = s.systemArea;
        area.resize(SystemAreaBytes, '\0');
        ret = iso_write_opts_set_system_area(raw, area.data(), s.systemAreaOptions, 0);
        if (ret < 0)
            throw KestraneError(
                QStringLiteral("The image's system area could not be set: %1").arg(isoErrorText(ret)));
    }
    iso_write_opts_set_fifo_size(raw, FifoBlocks);
    // Announcing the cancel spares the writer thread, but with MD5s recorded libisofs then leaves the
    // checksum indexes out of its layout and answers a size smaller than the image it writes.
    iso_write_opts_set_will_cancel(raw, sizeOnly && !s.checksums ? 1 : 0);
    return opts;
}

void setIdentifiers(IsoImage *image, const WriteSettings &s)
{
    iso_image_set_volume_id(image, s.volumeId.toUtf8().constData());
    iso_image_set_application_id(image, s.applicationId.toUtf8().constData());
    iso_image_set_volset_id(image, s.volumeSetId.toUtf8().constData());
    iso_image_set_publisher_id(image, s.publisherId.toUtf8().constData());
    iso_image_set_data_preparer_id(image, s.dataPreparerId.toUtf8().constData());
    iso_image_set_system_id(image, s.systemId.toUtf8().constData());
}

// The burn source with its writer thread; cancelled and freed under the lock whatever happens.
class Generator final
{
public:
    // `privateImage`: an image no other thread knows, which needs no lock.
    Generator(IsoImage *image, const WriteSettings &settings, bool sizeOnly, bool privateImage = false)
        : m_private(privateImage)
    {
        const auto lock = guard();
        if (!sizeOnly)
            setIdentifiers(image, settings);
        const Options opts = makeOptions(settings, sizeOnly);
        m_image = image;
        m_hadRelocationFolder = relocationFolder(image) != nullptr;
        ::burn_source *raw = nullptr;
        const int ret = iso_image_create_burn_source(image, opts.get(), &raw);
        if (ret < 0) {
            dropRelocationFolder();
            throw KestraneError(QStringLiteral("The image could not be laid out: %1").arg(isoErrorText(ret)));
        }
        m_source = reinterpret_cast<BurnSource *>(raw);
        m_size = m_source->get_size(m_source);
    }
    ~Generator()
    {
        const auto lock = guard();
        if (!m_finished && m_source->cancel)
            m_source->cancel(m_source);
        if (m_source->free_data)
            m_source->free_data(m_source); // joins the writer thread
        std::free(m_source);
        dropRelocationFolder();
    }
    Generator(const Generator &) = delete;
    Generator &operator=(const Generator &) = delete;

    qint64 size() const { return m_size; }
    // Reads exactly `count` bytes unless the image ends or fails; never more than what remains, since
    // a read past the end loses the tail.
    int read(unsigned char *buffer, int count, const std::atomic<bool> &cancel)
    {
        waitForData(count, cancel);
        std::lock_guard lock(EngineLibraries::isoLock());
        return m_source->read_xt ? m_source->read_xt(m_source, buffer, count)
                                 : m_source->read(m_source, buffer, count);
    }
    void finished() { m_finished = true; }

    // The fifo wakes a waiting reader for every 2 KB block it receives; a reader that only comes for
    // a chunk once it is there saves a million wake-ups on a 2 GB image.
    void waitForData(int count, const std::atomic<bool> &cancel)
    {
        for (;;) {
            size_t capacity = 0;
            size_t freeBytes = 0;
            int state = 0;
            {
                std::lock_guard lock(EngineLibraries::isoLock());
                state = iso_ring_buffer_get_status(reinterpret_cast<::burn_source *>(m_source), &capacity,
                                                   &freeBytes);
            }
            const size_t held = capacity - freeBytes;
            if (state != 1 || held >= static_cast<size_t>(count) || held + ChunkBytes > capacity ||
                cancel.load())
                return;
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
    }

private:
    std::unique_lock<std::recursive_mutex> guard() const
    {
        return m_private ? std::unique_lock<std::recursive_mutex>()
                         : std::unique_lock<std::recursive_mutex>(EngineLibraries::isoLock());
    }
    static IsoNode *relocationFolder(IsoImage *image)
    {
        IsoNode *node = nullptr;
        return iso_dir_get_node(iso_image_get_root(image), RelocationFolder, &node) == 1 ? node : nullptr;
    }
    // libisofs puts the relocation folder into the image's own tree while it lays the image out;
    // once the writer thread has ended it goes again, so that the compilation stays as the user made it.
    void dropRelocationFolder()
    {
        if (m_hadRelocationFolder)
            return;
        if (IsoNode *made = relocationFolder(m_image))
            iso_node_remove(made);
    }

    bool m_private = false;
    IsoImage *m_image = nullptr;
    bool m_hadRelocationFolder = false;
    BurnSource *m_source = nullptr;
    qint64 m_size = 0;
    bool m_finished = false;
};

bool hasBootImages(IsoImage *image)
{
    std::lock_guard lock(EngineLibraries::isoLock());
    return iso_image_get_boot_image(image, nullptr, nullptr, nullptr) == 1;
}

// A file over the size limit would otherwise end the process with SIGXFSZ instead of a write error.
void ignoreFileSizeSignal()
{
    static const bool done = [] {
        struct sigaction current
        {
        };
        if (::sigaction(SIGXFSZ, nullptr, &current) == 0 && current.sa_handler == SIG_DFL)
            ::signal(SIGXFSZ, SIG_IGN);
        return true;
    }();
    (void)done;
}

std::atomic<bool> unnamedAllowed {true};
std::atomic<bool> directAllowed {true};
std::atomic<int64_t> directBytes {0};

constexpr int MaxLinkHops = 40; // as the kernel allows

// A temporary file is ".NAME.kestrane-TOKEN.part": hidden, with a part no user would type, and at
// most the folder's name limit long (a long NAME is cut, at a character boundary). The file carries
// TOKEN in an extended attribute too: a sweep removes only a file that has both.
constexpr const char *TemporaryTag = ".kestrane-";
constexpr const char *TemporaryEnd = ".part";
constexpr const char *TemporaryMark = "user.kestrane.temporary";
constexpr int TokenBytes = 16;
constexpr int TemporarySuffixBytes = 1 + 10 + TokenBytes + 5; // "." before NAME, the rest after it

QByteArray newToken()
{
    return QByteArray::number(QRandomGenerator::global()->generate64(), 16).rightJustified(TokenBytes, '0');
}

QByteArray temporaryName(const QByteArray &targetName, long nameMax, const QByteArray &token)
{
    QByteArray stem = targetName;
    const qsizetype room = std::max<qsizetype>(1, nameMax - TemporarySuffixBytes);
    if (stem.size() > room) {
        qsizetype cut = room;
        while (cut > 1 && (static_cast<unsigned char>(stem[cut]) & 0xc0) == 0x80)
            --cut;
        stem.truncate(cut);
    }
    return '.' + stem + TemporaryTag + token + TemporaryEnd;
}

// The token of a name of ours; empty for any other name.
QByteArray temporaryToken(const char *name)
{
    const size_t length = std::strlen(name);
    const size_t tail = std::strlen(TemporaryTag) + TokenBytes + std::strlen(TemporaryEnd);
    if (length < tail + 2 || name[0] != '.' || std::strcmp(name + length - 5, TemporaryEnd) != 0)
        return {};
    const char *tag = name + length - tail;
    if (std::strncmp(tag, TemporaryTag, std::strlen(TemporaryTag)) != 0)
        return {};
    const char *token = tag + std::strlen(TemporaryTag);
    for (int i = 0; i < TokenBytes; ++i) {
        if (!std::isxdigit(static_cast<unsigned char>(token[i])) ||
            std::isupper(static_cast<unsigned char>(token[i])))
            return {};
    }
    return QByteArray(token, TokenBytes);
}

// Marks an open temporary file as ours, for the sweep. Where the file system keeps no extended
// attributes the file stays unmarked: it is then never swept, which is the safe side.
void markTemporary(int fd, const QByteArray &token)
{
    (void)::fsetxattr(fd, TemporaryMark, token.constData(), size_t(token.size()), 0);
}

bool carriesMark(int fd, const QByteArray &token)
{
    char value[TokenBytes + 1] = {};
    const ssize_t n = ::fgetxattr(fd, TemporaryMark, value, sizeof value);
    return n == TokenBytes && QByteArray(value, TokenBytes) == token;
}

// Temporary files of writers that died (a killed process cannot remove its own). Only a file this
// program made goes: its name and its mark say so. A live writer holds a lock on its file from
// before the mark is set until the file is gone or renamed, so a marked file that can be locked has
// no writer any more.
void sweepStaleTemporaries(const QByteArray &folder)
{
    DIR *dir = ::opendir(folder.constData());
    if (!dir)
        return;
    while (dirent *entry = ::readdir(dir)) {
        const QByteArray token = temporaryToken(entry->d_name);
        if (token.isEmpty())
            continue;
        const int fd = ::openat(::dirfd(dir), entry->d_name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0)
            continue;
        struct stat st
        {
        };
        const bool ours = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
            carriesMark(fd, token);
        if (ours && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
        ::close(fd);
    }
    ::closedir(dir);
}

// Where a write of `path` lands: a symbolic link is written through, at the file it names.
QByteArray resolveTarget(const QByteArray &path)
{
    QByteArray current = path;
    for (int hop = 0; hop < MaxLinkHops; ++hop) {
        struct stat st
        {
        };
        if (::lstat(current.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            return current;
        QByteArray target(PATH_MAX, '\0');
        const ssize_t n = ::readlink(current.constData(), target.data(), size_t(target.size()));
        if (n <= 0 || n >= target.size())
            return current;
        target.truncate(n);
        if (!target.startsWith('/')) {
            const qsizetype slash = current.lastIndexOf('/');
            target.prepend(slash < 0 ? QByteArray() : current.left(slash + 1));
        }
        current = target;
    }
    return current; // a loop of links: the write then fails on it with the system's reason
}

// The file an image is written into before it gets the user's name.
class Temporary final
{
public:
    Temporary(const QByteArray &target)
        : m_target(target)
    {
        const qsizetype slash = target.lastIndexOf('/');
        m_folder = slash < 0 ? QByteArray(".") : (slash == 0 ? QByteArray("/") : target.left(slash));
        m_name = target.mid(slash + 1);
    }
    ~Temporary() { discard(); }
    Temporary(const Temporary &) = delete;
    Temporary &operator=(const Temporary &) = delete;

    const QByteArray &folder() const { return m_folder; }
    int fd() const { return m_fd; }

    // An unnamed file where the file system has them: a writer killed at any moment leaves nothing.
    // Elsewhere a hidden named file, which the next write in the folder sweeps away.
    bool create(int &error)
    {
        m_nameMax = ::pathconf(m_folder.constData(), _PC_NAME_MAX);
        if (m_nameMax <= 0)
            m_nameMax = NAME_MAX;
        if (unnamedAllowed.load()) {
            // Read and write: the directories written first are read back to find the files' places.
            m_fd = ::open(m_folder.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
            // Naming it later goes through /proc; without /proc it could never be named.
            if (m_fd >= 0 && ::access(procPath().constData(), F_OK) == 0)
                return lock();
            if (m_fd >= 0)
                ::close(m_fd);
            m_fd = -1;
        }
        for (int attempt = 0; attempt < 16; ++attempt) {
            const QByteArray token = newToken();
            m_path = m_folder + '/' + temporaryName(m_name, m_nameMax, token);
            m_fd = ::open(m_path.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (m_fd >= 0) {
                lock();
                markTemporary(m_fd, token);
                return true;
            }
            error = errno;
            m_path.clear();
            if (error != EEXIST)
                return false;
        }
        return false;
    }

    // Gives the complete file the user's name, replacing what was there at once. False with errno's
    // value in `error` when it cannot; the temporary file is then gone. The data is on the disk
    // before the name appears, and the name before this answers: a crash just after a success
    // cannot leave an empty or partial file under the user's name.
    bool commit(int &error)
    {
        if ((error = FileSync::syncFile(m_fd)) != 0)
            return false;
        if (!name(error))
            return false;
        if ((error = FileSync::syncFolder(m_folder)) != 0)
            return false;
        return close(error);
    }

private:
    bool name(int &error)
    {
        if (m_path.isEmpty()) {
            // Straight to the name when it is free; a name that is taken is replaced by a rename.
            if (::linkat(AT_FDCWD, procPath().constData(), AT_FDCWD, m_target.constData(),
                         AT_SYMLINK_FOLLOW) == 0)
                return true;
            if (errno != EEXIST) {
                error = errno;
                return false;
            }
            for (int attempt = 0; attempt < 16 && m_path.isEmpty(); ++attempt) {
                const QByteArray token = newToken();
                markTemporary(m_fd, token);
                const QByteArray path = m_folder + '/' + temporaryName(m_name, m_nameMax, token);
                if (::linkat(AT_FDCWD, procPath().constData(), AT_FDCWD, path.constData(),
                             AT_SYMLINK_FOLLOW) == 0)
                    m_path = path;
                else if (errno != EEXIST)
                    break;
            }
            if (m_path.isEmpty()) {
                error = errno;
                return false;
            }
        }
        if (::rename(m_path.constData(), m_target.constData()) != 0) {
            error = errno;
            return false;
        }
        m_path.clear();
        return true;
    }

    QByteArray procPath() const { return "/proc/self/fd/" + QByteArray::number(m_fd); }
    bool lock()
    {
        // Tells a sweep in another process that this file is in use.
        ::flock(m_fd, LOCK_EX | LOCK_NB);
        return true;
    }
    bool close(int &error)
    {
        const int fd = std::exchange(m_fd, -1);
        if (::close(fd) != 0) {
            error = errno;
            return false;
        }
        return true;
    }
    void discard()
    {
        if (!m_path.isEmpty())
            ::unlink(m_path.constData());
        if (m_fd >= 0)
            ::close(m_fd);
    }

    QByteArray m_target;
    QByteArray m_folder;
    QByteArray m_name;
    QByteArray m_path; // empty while the file has no name
    long m_nameMax = NAME_MAX;
    int m_fd = -1;
};

// Refuses a target that is not a regular file (a device, a FIFO or a socket would be replaced by a
// regular file: never what was meant), then sweeps what earlier writers left and makes the temporary.
bool startTemporary(Temporary &temporary, const QByteArray &target, const QString &shownPath,
                    QString &message, int &error)
{
    struct stat existing
    {
    };
    if (::stat(target.constData(), &existing) == 0 && !S_ISREG(existing.st_mode)) {
        message = S_ISDIR(existing.st_mode)
            ? QStringLiteral("%1 is a folder.").arg(shownPath)
            : QStringLiteral("%1 is not a regular file (a device, a FIFO or a socket); it was left as it is.")
                  .arg(shownPath);
        return false;
    }
    sweepStaleTemporaries(temporary.folder());
    if (!temporary.create(error)) {
        message = QStringLiteral("Could not write in %1: %2")
                      .arg(QFile::decodeName(temporary.folder()), SystemErrorText(error));
        return false;
    }
    return true;
}

} // namespace

int64_t ImageWriter::sizeBlocks(IsoImage *image, const WriteSettings &settings)
{
    Generator generator(image, settings, true);
    return generator.size() / 2048;
}

int64_t ImageWriter::sizeBlocksOfPrivateImage(IsoImage *image, const WriteSettings &settings)
{
    Generator generator(image, settings, true, true);
    return generator.size() / 2048;
}

void ImageWriter::setUnnamedTemporaryAllowed(bool allowed)
{
    unnamedAllowed = allowed;
}

void ImageWriter::setDirectCopyAllowed(bool allowed)
{
    directAllowed = allowed;
}

int64_t ImageWriter::directBytesOfLastWrite()
{
    return directBytes.load();
}

ImageWriter::Result ImageWriter::write(IsoImage *image, const WriteSettings &settings, const QString &isoPath,
                                       WriteControl &control, const Progress &progress)
{
    Result result;
    directBytes = 0;
    ignoreFileSizeSignal();
    const QByteArray target = resolveTarget(NativePath::encode(isoPath));
    Temporary temporary(target);
    int error = 0;
    if (!startTemporary(temporary, target, isoPath, result.error, error))
        return result;
    auto fail = [&](const QString &message) {
        result.error = message;
        return result;
    };

    try {
        std::optional<Generator> generator(std::in_place, image, settings, false);
        const qint64 total = generator->size();
        std::unique_ptr<unsigned char[]> buffer(new unsigned char[ChunkBytes]);
        qint64 done = 0;
        QElapsedTimer sinceProgress;
        sinceProgress.start();
        auto report = [&](qint64 reached) {
            if (progress && (sinceProgress.elapsed() >= ProgressEveryMs || reached == total)) {
                progress(reached, total);
                sinceProgress.restart();
            }
        };
        if (progress)
            progress(0, total);
        // The file data need not pass through libisofs: once the directories tell where every file
        // lies, the rest of the image is copied from the files straight into it.
        // With checksums the copy takes each file's MD5 and the session's itself, and writes them where
        // libisofs would (ChecksumCopy); what it cannot account for libisofs writes, hashing as it goes.
        ImageLayout layout(image, total, settings.checksums);
        // libisofs patches a boot image's info table with the image's own block addresses while it
        // writes the file; a copy around it would keep the source's unpatched bytes.
        bool learning = directAllowed.load() && !hasBootImages(image);
        while (done < total) {
            qint64 want = std::min<qint64>(ChunkBytes, total - done);
            if (learning)
                want = std::min<qint64>(want, std::max<qint64>(layout.nextNeed() - done, 2048));
            const int got = generator->read(buffer.get(), static_cast<int>(want), control.cancel);
            if (control.cancel.load()) {
                result.cancelled = true;
                return fail(QStringLiteral("The image write was cancelled."));
            }
            if (control.failed.load())
                return fail(control.failure());
            if (got <= 0)
                return fail(QStringLiteral("The image could not be produced."));
            if (!writeAll(temporary.fd(), buffer.get(), static_cast<size_t>(got), error))
                return fail(QStringLiteral("Could not write %1: %2").arg(isoPath, SystemErrorText(error)));
            done += got;
            report(done);
            if (!learning || !layout.advance(temporary.fd(), done)) {
                learning = false;
                continue;
            }
            if (!layout.complete() || layout.nextNeed() > done)
                continue;
            std::vector<ImageLayout::Piece> pieces;
            std::vector<ImageLayout::ChecksumAlias> aliases;
            std::vector<int64_t> emptyFiles;
            learning = false;
            if (layout.checksums() ? !layout.planWithChecksums(done, pieces, aliases, emptyFiles)
                                   : !layout.plan(done, pieces))
                continue; // libisofs produces the rest
            // libisofs's writer thread has read ahead of us into the file data; stopping it takes tens
            // of milliseconds, which pass beside the copy.
            control.libraryDone = true;
            std::thread stopping([&generator] { generator.reset(); });
            const auto joinStopping = qScopeGuard([&] {
                stopping.join();
                control.libraryDone = false;
            });
            if (control.failed.load())
                return fail(control.failure());
            const qint64 from = done;
            const auto reachedTo = [&](int64_t reached) {
                directBytes = reached - from;
                report(reached);
            };
            const DirectCopy::Outcome copied = layout.checksums()
                ? ChecksumCopy::copy(pieces, aliases, emptyFiles, layout.checksumArea(), temporary.fd(), from,
                                     control, reachedTo)
                : DirectCopy::copy(pieces, temporary.fd(), control, reachedTo);
            if (copied.cancelled) {
                result.cancelled = true;
                return fail(QStringLiteral("The image write was cancelled."));
            }
            if (copied.targetError)
                return fail(QStringLiteral("Could not write %1: %2")
                                .arg(isoPath, SystemErrorText(copied.targetError)));
            if (!copied.ok)
                return fail(control.failure());
            // The padding after the last file is not written by the copies.
            if (::ftruncate(temporary.fd(), total) != 0)
                return fail(QStringLiteral("Could not write %1: %2").arg(isoPath, SystemErrorText(errno)));
            directBytes = total - done;
            done = total;
            report(done);
        }
        if (generator)
            generator->finished();
    } catch (const KestraneError &e) {
        return fail(e.message());
    }
    // A source that failed while its last blocks were produced is known only now.
    if (control.failed.load())
        return fail(control.failure());
    if (!temporary.commit(error))
        return fail(QStringLiteral("Could not write %1: %2").arg(isoPath, SystemErrorText(error)));
    result.ok = true;
    return result;
}

ImageWriter::Result ImageWriter::writeThrough(const QString &path, WriteControl &control, const Fill &fill)
{
    Result result;
    ignoreFileSizeSignal();
    const QByteArray target = resolveTarget(NativePath::encode(path));
    Temporary temporary(target);
    int error = 0;
    if (!startTemporary(temporary, target, path, result.error, error))
        return result;
    QString reason;
    const bool filled = fill(temporary.fd(), reason);
    if (control.cancel.load()) {
        result.cancelled = true;
        result.error = QStringLiteral("The image write was cancelled.");
        return result;
    }
    if (!filled) {
        result.error = reason;
        return result;
    }
    // A copy that has its name is on the disk: a crash right after must not leave a hole under it.
    if (::fsync(temporary.fd()) != 0) {
        result.error = QStringLiteral("Could not write %1: %2").arg(path, SystemErrorText(errno));
        return result;
    }
    if (!temporary.commit(error)) {
        result.error = QStringLiteral("Could not write %1: %2").arg(path, SystemErrorText(error));
        return result;
    }
    result.ok = true;
    return result;
}
