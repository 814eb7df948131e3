#include "ImageWriter.h"

#include "ImageTree.h"
#include "KestraneError.h"
#include "Libraries.h"
#include "SourceFileStream.h"

#include <cstdint>
// libburn.h first: it puts its API in namespace burn, while libisofs.h declares a global burn_source.
#include <libburn/libburn.h>
#include <libisofs/libisofs.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <thread>
#include <unistd.h>

namespace {

using BurnSource = burn::burn_source;

constexpr int FifoBlocks = 4096; // 8 MiB between libisofs's writer thread and ours
constexpr int ChunkBytes = 1 << 20; // one read from the burn source, one write(2)
constexpr qint64 ProgressEveryMs = 50;
constexpr const char *RelocationFolder = "rr_moved";

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

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
    iso_write_opts_set_fifo_size(raw, FifoBlocks);
    iso_write_opts_set_will_cancel(raw, sizeOnly ? 1 : 0);
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
    Generator(IsoImage *image, const WriteSettings &settings, bool sizeOnly)
    {
        std::lock_guard lock(EngineLibraries::isoLock());
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
        std::lock_guard lock(EngineLibraries::isoLock());
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

    IsoImage *m_image = nullptr;
    bool m_hadRelocationFolder = false;
    BurnSource *m_source = nullptr;
    qint64 m_size = 0;
    bool m_finished = false;
};

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

bool writeAll(int fd, const unsigned char *data, size_t size, int &error)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = errno;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Creates the temporary file beside the target, named so that it is hidden and recognisable.
int createTemporary(const QString &isoPath, QString &tempPath, int &error)
{
    const QFileInfo target(isoPath);
    for (int attempt = 0; attempt < 16; ++attempt) {
        tempPath = target.absolutePath() + QLatin1String("/.") + target.fileName() +
            QStringLiteral(".%1.part").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        const int fd =
            ::open(QFile::encodeName(tempPath).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0)
            return fd;
        error = errno;
        if (error != EEXIST)
            return -1;
    }
    return -1;
}

} // namespace

int64_t ImageWriter::sizeBlocks(IsoImage *image, const WriteSettings &settings)
{
    Generator generator(image, settings, true);
    return generator.size() / 2048;
}

ImageWriter::Result ImageWriter::write(IsoImage *image, const WriteSettings &settings, const QString &isoPath,
                                       WriteControl &control, const Progress &progress)
{
    Result result;
    ignoreFileSizeSignal();
    if (QFileInfo(isoPath).isDir()) {
        result.error = QStringLiteral("%1 is a folder.").arg(isoPath);
        return result;
    }
    QString tempPath;
    int error = 0;
    const int fd = createTemporary(isoPath, tempPath, error);
    if (fd < 0) {
        result.error = QStringLiteral("Could not write in %1: %2")
                           .arg(QFileInfo(isoPath).absolutePath(), errnoText(error));
        return result;
    }
    const QByteArray nativeTemp = QFile::encodeName(tempPath);
    auto fail = [&](const QString &message) {
        ::close(fd);
        ::unlink(nativeTemp.constData());
        result.error = message;
        return result;
    };

    try {
        Generator generator(image, settings, false);
        const qint64 total = generator.size();
        std::unique_ptr<unsigned char[]> buffer(new unsigned char[ChunkBytes]);
        qint64 done = 0;
        QElapsedTimer sinceProgress;
        sinceProgress.start();
        if (progress)
            progress(0, total);
        while (done < total) {
            const int want = static_cast<int>(std::min<qint64>(ChunkBytes, total - done));
            const int got = generator.read(buffer.get(), want, control.cancel);
            if (control.cancel.load()) {
                result.cancelled = true;
                return fail(QStringLiteral("The image write was cancelled."));
            }
            if (control.failed.load())
                return fail(control.failure());
            if (got <= 0)
                return fail(QStringLiteral("The image could not be produced."));
            if (!writeAll(fd, buffer.get(), static_cast<size_t>(got), error))
                return fail(QStringLiteral("Could not write %1: %2").arg(isoPath, errnoText(error)));
            done += got;
            if (progress && (sinceProgress.elapsed() >= ProgressEveryMs || done == total)) {
                progress(done, total);
                sinceProgress.restart();
            }
        }
        generator.finished();
    } catch (const KestraneError &e) {
        return fail(e.message());
    }
    // A source that failed while its last blocks were produced is known only now.
    if (control.failed.load())
        return fail(control.failure());
    if (::close(fd) != 0) {
        error = errno;
        ::unlink(nativeTemp.constData());
        result.error = QStringLiteral("Could not write %1: %2").arg(isoPath, errnoText(error));
        return result;
    }
    if (::rename(nativeTemp.constData(), QFile::encodeName(isoPath).constData()) != 0) {
        error = errno;
        ::unlink(nativeTemp.constData());
        result.error = QStringLiteral("Could not write %1: %2").arg(isoPath, errnoText(error));
        return result;
    }
    result.ok = true;
    return result;
}
