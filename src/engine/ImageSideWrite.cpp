#include "base/KestraneError.h"
#include "base/SystemError.h"
#include "engine/FileDescriptor.h"
#include "engine/ImageSide.h"
#include "engine/Libraries.h"

#include "engine/drives/DriveRegistry.h"
#include "engine/image/ChecksumVerifier.h"
#include "engine/image/ImageComparison.h"

#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <unistd.h>

namespace {

constexpr int64_t ChunkBytes = 1 << 20; // one read from the drive, one write(2)
constexpr qint64 CopyProgressEveryMs = 50;
constexpr qint64 CheckProgressEveryMs = 100;

// "D" or "D:": the path the drive of that letter reads from; empty when no drive has the letter.
QString drivePath(const QString &drive)
{
    const QString letter = drive.endsWith(QLatin1Char(':')) ? drive.chopped(1) : drive;
    if (letter.size() != 1)
        return {};
    return DriveLetters::devicePath(letter.at(0).toUpper());
}

bool namesDrive(const QString &source)
{
    return source.size() == 2 && source.at(0).isLetter() && source.at(1) == QLatin1Char(':');
}

} // namespace

bool ImageSide::refuse(const QString &reason)
{
    std::lock_guard guard(m_writeMutex);
    m_lastError = reason;
    return false;
}

bool ImageSide::WriteImageFile(const QString &isoPath)
{
    WriteSettings settings;
    Iso_Image *image = nullptr;
    try {
        refuseNullCharacter(isoPath);
        std::lock_guard lock(EngineLibraries::isoLock());
        image = imageTree().image();
        settings = writeSettings();
    } catch (const KestraneError &e) {
        return refuse(e.message());
    }
    {
        std::lock_guard guard(m_writeMutex);
        m_control->reset();
        m_writing = true;
    }
    const ImageWriter::Result result =
        ImageWriter::write(image, settings, isoPath, *m_control, [this](qint64 written, qint64 total) {
            Q_EMIT m_engine.OnImageWriteProgress(written, total);
        });
    std::lock_guard guard(m_writeMutex);
    m_writing = false;
    m_lastError = result.error;
    return result.ok;
}

void ImageSide::CancelImageWrite()
{
    std::lock_guard guard(m_writeMutex);
    if (m_writing || m_importing)
        m_control->cancel = true;
}

QString ImageSide::LastImageError() const
{
    std::lock_guard guard(m_writeMutex);
    return m_lastError;
}

bool ImageSide::CopyDiscRaw(int index, const QString &isoPath)
{
    // Reads the drive from the image job's thread: the drive registry is shared, not any drive side.
    Drives::DriveRegistry &registry = Drives::DriveRegistry::instance();
    Drives::DriveRegistry::Entry *entry = registry.entry(index);
    if (!entry)
        return refuse(QStringLiteral("There is no such drive."));
    const QString drive = QString(QChar('D' + index)) + QLatin1Char(':');
    if (entry->busy)
        return refuse(QStringLiteral("Drive %1 is busy.").arg(drive));
    if (!registry.acquire(*entry))
        return refuse(QStringLiteral("The drive %1 could not be opened.").arg(drive));
    const int64_t total = entry->drive->dataBytes();
    registry.pumpMessages();
    if (total <= 0)
        return refuse(QStringLiteral("The disc in drive %1 holds no data to copy.").arg(drive));

    {
        std::lock_guard guard(m_writeMutex);
        m_control->reset();
        m_writing = true;
    }
    WriteControl &control = *m_control;
    const ImageWriter::Result result =
        ImageWriter::writeThrough(isoPath, control, [&](int fd, QString &error) {
            std::unique_ptr<char[]> buffer(new char[ChunkBytes]);
            QElapsedTimer sinceProgress;
            sinceProgress.start();
            Q_EMIT m_engine.OnImageWriteProgress(0, total);
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
                if (sinceProgress.elapsed() >= CopyProgressEveryMs || done == total) {
                    Q_EMIT m_engine.OnImageWriteProgress(done, total);
                    sinceProgress.restart();
                }
            }
            return true;
        });
    std::lock_guard guard(m_writeMutex);
    m_writing = false;
    m_lastError = result.error;
    return result.ok;
}

ImageCheck ImageSide::VerifyImageChecksums(const QString &source)
{
    m_checkCancel = false;
    QString path = source;
    if (namesDrive(source)) {
        path = drivePath(source);
        if (path.isEmpty()) {
            ImageCheck check;
            check.error = QStringLiteral("There is no drive %1").arg(source);
            return check;
        }
    }
    QElapsedTimer since;
    since.start();
    const DiscLoader::Medium medium =
        namesDrive(source) ? DiscLoader::Medium::Drive : DiscLoader::Medium::ImageFile;
    return ChecksumVerifier::verify(QFile::encodeName(path), medium, m_checkCancel,
                                    [&](int64_t done, int64_t total) {
                                        if (since.elapsed() >= CheckProgressEveryMs || done == total) {
                                            Q_EMIT m_engine.OnImageCheckProgress(done, total);
                                            since.restart();
                                        }
                                    });
}

ImageCheck ImageSide::CompareDiscWithImage(const QString &drive, const QString &isoPath)
{
    m_checkCancel = false;
    const QString medium = drivePath(drive);
    if (medium.isEmpty()) {
        ImageCheck check;
        check.error = QStringLiteral("There is no drive %1").arg(drive);
        return check;
    }
    QElapsedTimer since;
    since.start();
    return ImageComparison::compare(QFile::encodeName(medium), QFile::encodeName(isoPath), m_checkCancel,
                                    [&](int64_t done, int64_t total) {
                                        if (since.elapsed() >= CheckProgressEveryMs || done == total) {
                                            Q_EMIT m_engine.OnImageCheckProgress(done, total);
                                            since.restart();
                                        }
                                    });
}

void ImageSide::CancelImageCheck()
{
    m_checkCancel = true;
}
