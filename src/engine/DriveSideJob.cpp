#include "base/SystemError.h"
#include "engine/DriveSide.h"

#include "engine/EngineCodes.h"
#include "engine/FileSync.h"
#include "engine/TDVDWriterPro2.h"

#include "engine/drives/BurnVerifier.h"
#include "engine/drives/DriveRegistry.h"
#include "engine/drives/LibraryMessages.h"
#include "engine/drives/MediaTable.h"

#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

using Drives::BlockBytes;
using Drives::DriveRegistry;
using Drives::registry;
using Entry = Drives::DriveRegistry::Entry;

namespace {

// Messages a job gathered and did not turn into its event.
void logJobMessages(const std::vector<Drives::LibraryMessage> &messages, int except = -1)
{
    for (int i = 0; i < int(messages.size()); ++i) {
        if (i != except && !Drives::isDebug(messages[size_t(i)]))
            Drives::logMessage(messages[size_t(i)]);
    }
}

// A virtual drive is erased by emptying its file; libburn cannot blank a plain file.
QString emptyVirtualDrive(const Entry &entry)
{
    const QByteArray path = QFile::encodeName(entry.virtualPath);
    if (::truncate(path.constData(), 0) == 0)
        return {};
    const int error = errno;
    if (error == ENOENT && QFileInfo(QFileInfo(entry.virtualPath).absolutePath()).isDir())
        return {}; // no file yet: the disc is blank already
    return QStringLiteral("Cannot empty the virtual drive file %1: %2")
        .arg(entry.virtualPath, SystemErrorText(error));
}

// libburn has synced the data at the end of the track; the cut to the image's length and a file
// libburn has just made are synced here, before the burn is reported complete.
int syncVirtualDrive(const Entry &entry)
{
    const QByteArray path = QFile::encodeName(entry.virtualPath);
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return errno;
    const int error = FileSync::syncFile(fd);
    ::close(fd);
    return error ? error : FileSync::syncFolder(FileSync::folderOf(path));
}

} // namespace

DriveSide::~DriveSide()
{
    m_stopVerifying = true;
    if (m_verifier)
        m_verifier->wait(); // deleted with the other children
    if (!m_job)
        return;
    DriveRegistry &r = registry();
    Entry *entry = m_job->generation == r.generation() ? r.entry(m_job->drive) : nullptr;
    if (entry && entry->busy && entry->drive) {
        entry->drive->cancel();
        for (int i = 0; i < 500 && entry->drive->progress().busy; ++i)
            QThread::msleep(10);
        entry->drive->outcome();
        entry->busy = false;
    }
    r.pumpMessages();
    r.removeCollector(&m_job->messages);
    logJobMessages(m_job->messages);
}

void DriveSide::startVerify(int drive, int generation, const QString &imagePath, int64_t trackStartSector)
{
    Entry *entry = registry().entry(drive);
    const QString medium = entry->isVirtual ? entry->virtualPath : entry->description.devicePath;
    // A real drive is let go, so that its device can be opened for reading; the next use takes it again.
    if (!entry->isVirtual && entry->drive)
        entry->drive->release(false);
    entry->busy = true; // no other job on the drive until the comparison has ended
    if (m_verifier)
        m_verifier->wait(); // one read-back at a time; the earlier one still reports
    m_stopVerifying = false;
    m_lastReadBack = {};
    auto result = std::make_shared<Drives::VerifyResult>();
    auto progress = std::make_shared<Drives::VerifyProgress>();
    QThread *verifier = QThread::create([this, result, progress, imagePath, medium, trackStartSector] {
        *result = Drives::verifyBurn(imagePath, medium, trackStartSector, m_stopVerifying, progress.get());
    });
    // The read-back's progress, polled like the burn's; until its folders are read the total is unknown.
    Q_EMIT m_engine.OnBurnProgress(EngineCodes::Verifying, 0, 0);
    m_verifyPoll->disconnect();
    connect(m_verifyPoll, &QTimer::timeout, this, [this, progress] {
        Q_EMIT m_engine.OnBurnProgress(EngineCodes::Verifying, progress->bytesDone, progress->bytesTotal);
    });
    m_verifyPoll->start();
    verifier->setParent(this); // a finished one whose end was not reported yet goes with this object
    m_verifier = verifier;
    // The end is reported here, on the drive side's thread, where the burn's events come from.
    connect(verifier, &QThread::finished, this, [this, verifier, result, progress, drive, generation] {
        verifier->wait();
        if (m_verifier == verifier) {
            m_verifier = nullptr;
            m_verifyPoll->stop();
        }
        delete verifier;
        DriveRegistry &r = registry();
        if (Entry *done = generation == r.generation() ? r.entry(drive) : nullptr)
            done->busy = false;
        m_lastReadBack.filesCompared = result->filesCompared;
        m_lastReadBack.filesMatched = result->filesMatched;
        m_lastReadBack.error = result->error;
        m_lastReadBack.firstDifferingFile = result->firstDifferingFile;
        m_lastReadBack.firstDifferenceOffset = result->firstDifferenceOffset;
        if (!result->error.isEmpty())
            Drives::logLine(result->error); // the window has no other place to say it
        // Its last figures, however short the read-back was.
        Q_EMIT m_engine.OnBurnProgress(EngineCodes::Verifying, progress->bytesDone, progress->bytesTotal);
        Q_EMIT m_engine.OnFileVerifyComplete(result->filesCompared, result->filesMatched);
        Q_EMIT m_engine.OnWriteComplete();
    });
    verifier->start();
}

bool DriveSide::BurnImageFile(const QString &isoPath)
{
    requireOwnThread("BurnImageFile");
    DriveRegistry &r = registry();
    m_lastRefusal.clear();
    const auto refuseEarly = [this](const QString &reason) {
        m_lastRefusal = reason;
        Drives::logLine(QStringLiteral("Burn refused: ") + reason);
        return false;
    };
    Entry *entry = current();
    if (!entry)
        return refuseEarly(QStringLiteral("no drive is selected"));
    if (m_job || entry->busy)
        return refuseEarly(QStringLiteral("drive %1 is busy").arg(entry->description.devicePath));
    const QFileInfo info(isoPath);
    QFile image(isoPath);
    if (!info.isFile() || info.size() <= 0 || !image.open(QIODevice::ReadOnly))
        return refuseEarly(QStringLiteral("%1 is not a readable image file").arg(isoPath));
    image.close();

    auto job = std::make_unique<Job>();
    job->kind = Job::Kind::Burn;
    job->drive = currentIndex();
    job->generation = r.generation();
    job->imagePath = info.absoluteFilePath();
    job->imageBytes = info.size();
    job->totalBlocks = (job->imageBytes + BlockBytes - 1) / BlockBytes;
    job->simulate = m_engine.TestWrite();
    r.pumpMessages();
    r.addCollector(&job->messages);
    const auto refuse = [&](const QString &reason) {
        r.pumpMessages();
        r.removeCollector(&job->messages);
        logJobMessages(job->messages);
        return refuseEarly(reason);
    };

    int speedKBs = 0;
    if (entry->isVirtual) {
        // libburn does not check a file's capacity: the drive's size is the engine's to enforce.
        if (job->imageBytes > entry->virtualSize)
            return refuse(
                QStringLiteral("the image (%1 bytes) is larger than the virtual drive %2 (%3 bytes)")
                    .arg(job->imageBytes)
                    .arg(entry->virtualPath)
                    .arg(entry->virtualSize));
        if (!r.acquire(*entry)) {
            // The reason (a vanished folder, say) reaches the receivers as the burn's error.
            job->kind = Job::Kind::FailedStart;
            m_job = std::move(job);
            pollJob();
            return true;
        }
    } else {
        if (!registry().refreshMedium(*entry))
            return refuse(QStringLiteral("drive %1 cannot be opened").arg(entry->description.devicePath));
        const Drives::MediumInfo &medium = entry->lastMedium;
        if (Drives::discTypeFor(medium.profile, medium.status) == Drives::DiscTypes::NoWritableMedium)
            return refuse(QStringLiteral("no writable medium in %1").arg(entry->description.devicePath));
        if (job->imageBytes > medium.freeBytes)
            return refuse(QStringLiteral("the image (%1 bytes) is larger than the free space (%2 bytes)")
                              .arg(job->imageBytes)
                              .arg(medium.freeBytes));
        if (m_speedMultiple > 0)
            speedKBs = m_speedMultiple * Drives::baseSpeedFor(medium.profile);
    }

    Drives::WriteRequest request;
    request.imagePath = job->imagePath;
    request.imageBytes = job->imageBytes;
    request.simulate = m_engine.TestWrite();
    request.closeDisc = m_engine.CloseSession();
    request.underrunProtection = m_engine.BurnFlag();
    request.sessionAtOnce = m_engine.WriteType() == 1;
    request.speedKBs = speedKBs;
    if (!entry->drive->startWrite(request))
        return refuse(QStringLiteral("the drive library did not start the burn"));
    entry->busy = true;
    m_job = std::move(job);
    pollJob();
    return true;
}

void DriveSide::CancelWrite()
{
    requireOwnThread("CancelWrite");
    // A read-back after the burn stops too, its loading of the image's folders included.
    m_stopVerifying = true;
    Job *job = m_job.get();
    if (!job || job->kind != Job::Kind::Burn || job->cancelRequested)
        return;
    job->cancelRequested = true;
    if (job->generation != registry().generation())
        return;
    if (Entry *entry = registry().entry(job->drive))
        entry->drive->cancel();
}

bool DriveSide::EraseDisc(bool quick)
{
    requireOwnThread("EraseDisc");
    DriveRegistry &r = registry();
    Entry *entry = current();
    if (!entry || entry->busy || m_job)
        return false;
    auto job = std::make_unique<Job>();
    job->drive = currentIndex();
    job->generation = r.generation();
    if (entry->isVirtual) {
        job->kind = Job::Kind::VirtualErase;
    } else {
        job->kind = Job::Kind::Erase;
        if (!r.acquire(*entry))
            return false;
        r.pumpMessages();
        r.addCollector(&job->messages);
        if (!entry->drive->startErase(quick)) {
            r.pumpMessages();
            r.removeCollector(&job->messages);
            logJobMessages(job->messages);
            return false;
        }
    }
    entry->busy = true;
    m_job = std::move(job);
    pollJob();
    return true;
}

void DriveSide::pollJob()
{
    Job *job = m_job.get();
    if (!job) {
        m_poll->stop();
        return;
    }
    if (!m_poll->isActive()) {
        // Called from the call that started the job: its events come later, from the event loop.
        m_poll->start();
        return;
    }
    DriveRegistry &r = registry();
    r.pumpMessages();
    Entry *entry = job->generation == r.generation() ? r.entry(job->drive) : nullptr;
    using Kind = Job::Kind;
    if (!entry || job->kind == Kind::FailedStart || job->kind == Kind::VirtualErase) {
        finishJob();
        return;
    }
    if (job->kind == Kind::Erase && !job->started) {
        job->started = true;
        Q_EMIT m_engine.OnEraseDiscStart();
        if (m_job.get() != job)
            return;
    }
    const Drives::Progress progress = entry->drive->progress();
    if (!progress.busy) {
        finishJob();
        return;
    }
    if (job->kind == Kind::Burn) {
        // libburn's counter reads zero between phases: the events only ever go up.
        job->blocksWritten = std::clamp<int64_t>(progress.sector, job->blocksWritten, job->totalBlocks);
        Q_EMIT m_engine.OnTrackWriteStatus(1, job->blocksWritten, job->totalBlocks);
        if (m_job.get() != job)
            return;
        const int stage = progress.closing || job->blocksWritten >= job->totalBlocks ? EngineCodes::Closing
            : job->blocksWritten > 0                                                 ? EngineCodes::Writing
                                                                                     : EngineCodes::Preparing;
        Q_EMIT m_engine.OnBurnProgress(stage, std::min(job->blocksWritten * BlockBytes, job->imageBytes),
                                       job->imageBytes);
    } else if (job->kind == Kind::Erase) {
        job->erased = std::max<qint64>(job->erased, progress.sector);
        const qint64 steps = progress.sectors > 0 ? std::max<qint64>(progress.sectors, job->erased) : 0;
        Q_EMIT m_engine.OnBurnProgress(EngineCodes::Erasing, steps > 0 ? job->erased : 0, steps);
    }
}

void DriveSide::finishJob()
{
    using Kind = Job::Kind;
    std::unique_ptr<Job> job = std::move(m_job);
    m_poll->stop();
    DriveRegistry &r = registry();
    Entry *entry = job->generation == r.generation() ? r.entry(job->drive) : nullptr;

    Drives::JobOutcome outcome;
    QString failure; // a failure of the engine's own part of the job
    if (!entry) {
        failure = QStringLiteral("The drive list was rebuilt while the drive worked");
    } else if (job->kind == Kind::Burn || job->kind == Kind::Erase) {
        outcome = entry->drive->outcome();
        entry->busy = false;
    } else if (job->kind == Kind::VirtualErase) {
        entry->busy = false;
        Q_EMIT m_engine.OnEraseDiscStart();
        failure = emptyVirtualDrive(*entry);
        outcome.succeeded = failure.isEmpty();
    }
    r.pumpMessages();
    r.removeCollector(&job->messages);

    if (job->kind == Kind::Burn && outcome.succeeded && entry->isVirtual && !job->simulate) {
        // The file holds exactly the image: whatever an older, longer image left behind goes.
        if (::truncate(QFile::encodeName(entry->virtualPath).constData(), job->imageBytes) != 0) {
            failure = QStringLiteral("Cannot cut the virtual drive file %1 to the image's length: %2")
                          .arg(entry->virtualPath, SystemErrorText(errno));
            outcome.succeeded = false;
        } else if (const int error = syncVirtualDrive(*entry)) {
            failure = QStringLiteral("Cannot write the virtual drive file %1 to the disk: %2")
                          .arg(entry->virtualPath, SystemErrorText(error));
            outcome.succeeded = false;
        }
    }

    if (outcome.succeeded) {
        logJobMessages(job->messages);
        if (job->kind == Kind::Burn) {
            Q_EMIT m_engine.OnTrackWriteStatus(1, job->totalBlocks, job->totalBlocks);
            if (m_engine.AutoVerify() && !job->simulate && entry) {
                startVerify(job->drive, job->generation, job->imagePath, outcome.trackStartSector);
                return;
            }
            Q_EMIT m_engine.OnWriteComplete();
        } else {
            Q_EMIT m_engine.OnEraseDiscComplete();
        }
        return;
    }
    if (job->kind == Kind::Burn && job->cancelRequested && failure.isEmpty()) {
        logJobMessages(job->messages);
        Q_EMIT m_engine.OnWriteCancelled();
        return;
    }
    Drives::WriteErrorReport report;
    if (!failure.isEmpty()) {
        report.errorInfo = failure;
    } else {
        report = Drives::reportFailure(job->messages, outcome.sourceError);
    }
    logJobMessages(job->messages, report.usedMessage);
    // A failed drive is let go, so that the next job starts from a freshly opened drive.
    if (entry && entry->drive && !entry->busy)
        entry->drive->release(false);
    r.pumpMessages();
    Q_EMIT m_engine.OnWriteError(report.writeError, report.driveError, report.errorInfo, report.senseInfo);
}
