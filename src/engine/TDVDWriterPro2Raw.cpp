#include "base/SystemError.h"
#include "engine/FileDescriptor.h"
#include "engine/ImageSide.h"
#include "engine/TDVDWriterPro2.h"

#include "engine/drives/DriveRegistry.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <unistd.h>

namespace {

constexpr int64_t ChunkBytes = 1 << 20; // one read from the drive, one write(2)
constexpr qint64 ProgressEveryMs = 50;

} // namespace

bool TDVDWriterPro2::CopyDiscRaw(int index, const QString &isoPath)
{
    auto refuse = [this](const QString &reason) {
        std::lock_guard guard(m_image->writeMutex);
        m_image->lastError = reason;
        return false;
    };
    Drives::DriveRegistry &registry = Drives::DriveRegistry::instance();
    Drives::DriveRegistry::Entry *entry = registry.entry(index);
    if (!entry)
        return refuse(QStringLiteral("There is no such drive."));
    const QString drive = DriveLetter(index) + QLatin1Char(':');
    if (entry->busy)
        return refuse(QStringLiteral("Drive %1 is busy.").arg(drive));
    if (!registry.acquire(*entry))
        return refuse(QStringLiteral("The drive %1 could not be opened.").arg(drive));
    const int64_t total = entry->drive->dataBytes();
    registry.pumpMessages();
    if (total <= 0)
        return refuse(QStringLiteral("The disc in drive %1 holds no data to copy.").arg(drive));

    {
        std::lock_guard guard(m_image->writeMutex);
        m_image->control->reset();
        m_image->writing = true;
    }
    WriteControl &control = *m_image->control;
    const ImageWriter::Result result =
        ImageWriter::writeThrough(isoPath, control, [&](int fd, QString &error) {
            std::unique_ptr<char[]> buffer(new char[ChunkBytes]);
            QElapsedTimer sinceProgress;
            sinceProgress.start();
            Q_EMIT OnImageWriteProgress(0, total);
            for (int64_t done = 0; done < total;) {
                if (control.cancel.load())
                    return false;
                const int64_t want = std::min(ChunkBytes, total - done);
                const bool read = entry->drive->read(done, buffer.get(), want);
                registry.pumpMessages();
                if (!read) {
                    error = QStringLiteral("The disc in drive %1 could not be read at block %2.")
                                .arg(drive)
                                .arg(done / 2048);
                    return false;
                }
                int writeError = 0;
                if (!writeAll(fd, buffer.get(), size_t(want), writeError)) {
                    error =
                        QStringLiteral("Could not write %1: %2").arg(isoPath, SystemErrorText(writeError));
                    return false;
                }
                done += want;
                if (sinceProgress.elapsed() >= ProgressEveryMs || done == total) {
                    Q_EMIT OnImageWriteProgress(done, total);
                    sinceProgress.restart();
                }
            }
            return true;
        });
    std::lock_guard guard(m_image->writeMutex);
    m_image->writing = false;
    m_image->lastError = result.error;
    return result.ok;
}
