#include "engine/ImageSide.h"
#include "engine/Libraries.h"
#include "engine/TDVDWriterPro2.h"
#include "engine/image/ChecksumVerifier.h"
#include "engine/image/ImageComparison.h"

#include <QElapsedTimer>
#include <QFile>

namespace {

constexpr qint64 ProgressEveryMs = 100;

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

ImageCheck TDVDWriterPro2::VerifyImageChecksums(const QString &source)
{
    m_image->checkCancel = false;
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
    return ChecksumVerifier::verify(QFile::encodeName(path), medium, m_image->checkCancel,
                                    [&](int64_t done, int64_t total) {
                                        if (since.elapsed() >= ProgressEveryMs || done == total) {
                                            Q_EMIT OnImageCheckProgress(done, total);
                                            since.restart();
                                        }
                                    });
}

ImageCheck TDVDWriterPro2::CompareDiscWithImage(const QString &drive, const QString &isoPath)
{
    m_image->checkCancel = false;
    const QString medium = drivePath(drive);
    if (medium.isEmpty()) {
        ImageCheck check;
        check.error = QStringLiteral("There is no drive %1").arg(drive);
        return check;
    }
    QElapsedTimer since;
    since.start();
    return ImageComparison::compare(QFile::encodeName(medium), QFile::encodeName(isoPath),
                                    m_image->checkCancel, [&](int64_t done, int64_t total) {
                                        if (since.elapsed() >= ProgressEveryMs || done == total) {
                                            Q_EMIT OnImageCheckProgress(done, total);
                                            since.restart();
                                        }
                                    });
}

void TDVDWriterPro2::CancelImageCheck()
{
    m_image->checkCancel = true;
}
