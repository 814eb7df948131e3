#include "base/SystemError.h"
#include "engine/DriveSide.h"
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

using Drives::DriveRegistry;
using Entry = Drives::DriveRegistry::Entry;

namespace {

// Progress reaches the receivers ten times a second.
constexpr int PollMs = 100;
constexpr int64_t BlockBytes = 2048;

DriveRegistry &registry()
{
    return DriveRegistry::instance();
}

// Messages a job gathered and did not turn into its event.
void logJobMessages(const std::vector<Drives::LibraryMessage> &messages, int except = -1)
{
    for (int i = 0; i < int(messages.size()); ++i) {
        if (i != except && !Drives::isDebug(messages[size_t(i)]))
            Drives::logMessage(messages[size_t(i)]);
    }
}

// Refreshes what the drive holds; false when the drive cannot be opened.
bool refreshMedium(Entry &entry)
{
    if (entry.busy)
        return true; // keep what was learnt before the job: the drive is not asked while it works
    if (!registry().acquire(entry))
        return false;
    entry.lastMedium = entry.drive->medium();
    registry().pumpMessages();
    return true;
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

// A timer is deleted on its own thread; one whose thread has ended can go at once.
void dropPollTimer(QTimer *timer)
{
    if (!timer)
        return;
    QThread *home = timer->thread();
    if (!home || home == QThread::currentThread() || home->isFinished())
        delete timer;
    else
        timer->deleteLater();
}

} // namespace

TDVDWriterPro2::DriveSide::~DriveSide()
{
    stopVerifying = true;
    if (verifier.joinable())
        verifier.join();
    dropPollTimer(poll);
    if (!job)
        return;
    DriveRegistry &r = registry();
    Entry *entry = job->generation == r.generation() ? r.entry(job->drive) : nullptr;
    if (entry && entry->busy && entry->drive) {
        entry->drive->cancel();
        for (int i = 0; i < 500 && entry->drive->progress().busy; ++i)
            QThread::msleep(10);
        entry->drive->outcome();
        entry->busy = false;
    }
    r.pumpMessages();
    r.removeCollector(&job->messages);
    logJobMessages(job->messages);
}

void TDVDWriterPro2::startVerify(int drive, int generation, const QString &imagePath,
                                 int64_t trackStartSector)
{
    Entry *entry = registry().entry(drive);
    const QString medium = entry->isVirtual ? entry->virtualPath : entry->description.devicePath;
    // A real drive is let go, so that its device can be opened for reading; the next use takes it again.
    if (!entry->isVirtual && entry->drive)
        entry->drive->release(false);
    entry->busy = true; // no other job on the drive until the comparison has ended
    if (m_drives->verifier.joinable())
        m_drives->verifier.join();
    m_drives->stopVerifying = false;
    m_drives->lastVerifyError.clear();
    // The end of the comparison is handled on the thread that runs the drive side, where the poll lives.
    QTimer *home = m_drives->poll;
    m_drives->verifier = std::thread([this, home, drive, generation, imagePath, medium, trackStartSector] {
        const Drives::VerifyResult result =
            Drives::verifyBurn(imagePath, medium, trackStartSector, m_drives->stopVerifying);
        QMetaObject::invokeMethod(
            home,
            [this, drive, generation, result] {
                if (m_drives->verifier.joinable())
                    m_drives->verifier.join();
                DriveRegistry &r = registry();
                if (Entry *done = generation == r.generation() ? r.entry(drive) : nullptr)
                    done->busy = false;
                m_drives->lastVerifyError = result.error;
                if (!result.error.isEmpty())
                    Drives::logLine(result.error); // the window has no other place to say it
                Q_EMIT OnFileVerifyComplete(result.filesCompared, result.filesMatched);
                Q_EMIT OnWriteComplete();
            },
            Qt::QueuedConnection);
    });
}

void TDVDWriterPro2::setDriveLayer(std::unique_ptr<Drives::DriveLayer> layer)
{
    registry().setLayer(std::move(layer));
}

bool TDVDWriterPro2::InitializeDrives(int)
{
    return registry().initialize();
}

int TDVDWriterPro2::DriveCount() const
{
    return registry().count();
}

QString TDVDWriterPro2::DriveLetter(int index) const
{
    if (!registry().entry(index))
        return {};
    return QString(QChar('D' + index));
}

QString TDVDWriterPro2::DriveVendor(int index) const
{
    const Entry *entry = registry().entry(index);
    return entry ? entry->description.vendor : QString();
}

QString TDVDWriterPro2::DriveProduct(int index) const
{
    const Entry *entry = registry().entry(index);
    return entry ? entry->description.product : QString();
}

bool TDVDWriterPro2::IsWriter(int index) const
{
    const Entry *entry = registry().entry(index);
    return entry && entry->description.writer;
}

bool TDVDWriterPro2::SelectDrive(int index)
{
    DriveRegistry &r = registry();
    m_drives->selectionMade = true;
    m_drives->selectionGeneration = r.generation();
    m_drives->selected = -1;
    Entry *entry = r.entry(index);
    if (!entry)
        return false;
    if (!entry->busy && !r.acquire(*entry))
        return false;
    m_drives->selected = index;
    return true;
}

int TDVDWriterPro2::DriveSide::currentIndex() const
{
    if (selectionMade && selectionGeneration == registry().generation())
        return selected;
    return registry().defaultWriter();
}

Entry *TDVDWriterPro2::DriveSide::current() const
{
    return registry().entry(currentIndex());
}

int TDVDWriterPro2::DiscType()
{
    Entry *entry = m_drives->current();
    if (entry && entry->isVirtual)
        return Drives::DiscTypes::RandomAccess;
    if (!entry || !refreshMedium(*entry))
        return Drives::DiscTypes::NoWritableMedium;
    return Drives::discTypeFor(entry->lastMedium.profile, entry->lastMedium.status);
}

MediumDetails TDVDWriterPro2::CurrentMedium()
{
    Entry *entry = m_drives->current();
    if (entry && entry->isVirtual) {
        MediumDetails details;
        details.state = MediumDetails::State::Blank;
        details.virtualDisc = true;
        return details;
    }
    if (!entry || !refreshMedium(*entry))
        return {};
    return Drives::mediumDetailsFor(entry->lastMedium.profile, entry->lastMedium.status);
}

bool TDVDWriterPro2::HasCapability(int code)
{
    Entry *entry = m_drives->current();
    if (!entry)
        return false;
    if (entry->isVirtual)
        return code == Drives::Capabilities::FormatRandomAccess;
    return refreshMedium(*entry) && Drives::driveHasCapability(code, entry->lastMedium.driveProfiles);
}

int TDVDWriterPro2::MaxWriteSpeed()
{
    Entry *entry = m_drives->current();
    if (!entry || entry->isVirtual || !refreshMedium(*entry))
        return 0;
    return entry->lastMedium.maxWriteSpeed;
}

void TDVDWriterPro2::SetWriteSpeed(int multiple)
{
    m_drives->speedMultiple = multiple;
}

int64_t TDVDWriterPro2::FreeBlocks()
{
    Entry *entry = m_drives->current();
    if (!entry)
        return 0;
    if (entry->isVirtual)
        return entry->virtualSize / BlockBytes;
    if (!refreshMedium(*entry))
        return 0;
    return entry->lastMedium.freeBytes / BlockBytes;
}

QString TDVDWriterPro2::LastVerifyError() const
{
    return m_drives->lastVerifyError;
}

QString TDVDWriterPro2::LastBurnRefusal() const
{
    return m_drives->lastRefusal;
}

bool TDVDWriterPro2::BurnImageFile(const QString &isoPath)
{
    DriveRegistry &r = registry();
    m_drives->lastRefusal.clear();
    const auto refuseEarly = [this](const QString &reason) {
        m_drives->lastRefusal = reason;
        Drives::logLine(QStringLiteral("Burn refused: ") + reason);
        return false;
    };
    Entry *entry = m_drives->current();
    if (!entry)
        return refuseEarly(QStringLiteral("no drive is selected"));
    if (m_drives->job || entry->busy)
        return refuseEarly(QStringLiteral("drive %1 is busy").arg(entry->description.devicePath));
    const QFileInfo info(isoPath);
    QFile image(isoPath);
    if (!info.isFile() || info.size() <= 0 || !image.open(QIODevice::ReadOnly))
        return refuseEarly(QStringLiteral("%1 is not a readable image file").arg(isoPath));
    image.close();

    auto job = std::make_unique<DriveSide::Job>();
    job->kind = DriveSide::Job::Kind::Burn;
    job->drive = m_drives->currentIndex();
    job->generation = r.generation();
    job->imagePath = info.absoluteFilePath();
    job->imageBytes = info.size();
    job->totalBlocks = (job->imageBytes + BlockBytes - 1) / BlockBytes;
    job->simulate = m_testWrite;
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
            job->kind = DriveSide::Job::Kind::FailedStart;
            m_drives->job = std::move(job);
            pollDriveJob();
            return true;
        }
    } else {
        if (!refreshMedium(*entry))
            return refuse(QStringLiteral("drive %1 cannot be opened").arg(entry->description.devicePath));
        const Drives::MediumInfo &medium = entry->lastMedium;
        if (Drives::discTypeFor(medium.profile, medium.status) == Drives::DiscTypes::NoWritableMedium)
            return refuse(QStringLiteral("no writable medium in %1").arg(entry->description.devicePath));
        if (job->imageBytes > medium.freeBytes)
            return refuse(QStringLiteral("the image (%1 bytes) is larger than the free space (%2 bytes)")
                              .arg(job->imageBytes)
                              .arg(medium.freeBytes));
        if (m_drives->speedMultiple > 0)
            speedKBs = m_drives->speedMultiple * Drives::baseSpeedFor(medium.profile);
    }

    Drives::WriteRequest request;
    request.imagePath = job->imagePath;
    request.imageBytes = job->imageBytes;
    request.simulate = m_testWrite;
    request.closeDisc = m_closeSession;
    request.underrunProtection = m_burnFlag;
    request.sessionAtOnce = m_writeType == 1;
    request.speedKBs = speedKBs;
    if (!entry->drive->startWrite(request))
        return refuse(QStringLiteral("the drive library did not start the burn"));
    entry->busy = true;
    m_drives->job = std::move(job);
    pollDriveJob();
    return true;
}

void TDVDWriterPro2::CancelWrite()
{
    // A read-back after the burn stops too, its loading of the image's folders included.
    m_drives->stopVerifying = true;
    DriveSide::Job *job = m_drives->job.get();
    if (!job || job->kind != DriveSide::Job::Kind::Burn || job->cancelRequested)
        return;
    job->cancelRequested = true;
    if (job->generation != registry().generation())
        return;
    if (Entry *entry = registry().entry(job->drive))
        entry->drive->cancel();
}

void TDVDWriterPro2::EjectTray(int)
{
    Entry *entry = m_drives->current();
    if (!entry || entry->isVirtual || entry->busy)
        return;
    // Released with eject; the next use opens the drive again, closing the tray.
    entry->drive->release(true);
    registry().pumpMessages();
}

bool TDVDWriterPro2::EraseDisc(bool quick)
{
    DriveRegistry &r = registry();
    Entry *entry = m_drives->current();
    if (!entry || entry->busy || m_drives->job)
        return false;
    auto job = std::make_unique<DriveSide::Job>();
    job->drive = m_drives->currentIndex();
    job->generation = r.generation();
    if (entry->isVirtual) {
        job->kind = DriveSide::Job::Kind::VirtualErase;
    } else {
        job->kind = DriveSide::Job::Kind::Erase;
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
    m_drives->job = std::move(job);
    pollDriveJob();
    return true;
}

void TDVDWriterPro2::pollDriveJob()
{
    if (m_drives->poll && m_drives->poll->thread() != QThread::currentThread()) {
        // The drive side moved to another thread since the last job (a window's drive thread ended).
        dropPollTimer(std::exchange(m_drives->poll, nullptr));
    }
    if (!m_drives->poll) {
        m_drives->poll = new QTimer;
        m_drives->poll->setInterval(PollMs);
        connect(m_drives->poll, &QTimer::timeout, m_drives->poll, [this] { pollDriveJob(); });
    }
    DriveSide::Job *job = m_drives->job.get();
    if (!job) {
        m_drives->poll->stop();
        return;
    }
    if (!m_drives->poll->isActive()) {
        // Called from the call that started the job: its events come later, from the event loop.
        m_drives->poll->start();
        return;
    }
    DriveRegistry &r = registry();
    r.pumpMessages();
    Entry *entry = job->generation == r.generation() ? r.entry(job->drive) : nullptr;
    using Kind = DriveSide::Job::Kind;
    if (!entry || job->kind == Kind::FailedStart || job->kind == Kind::VirtualErase) {
        finishDriveJob();
        return;
    }
    if (job->kind == Kind::Erase && !job->started) {
        job->started = true;
        Q_EMIT OnEraseDiscStart();
        if (m_drives->job.get() != job)
            return;
    }
    const Drives::Progress progress = entry->drive->progress();
    if (!progress.busy) {
        finishDriveJob();
        return;
    }
    if (job->kind == Kind::Burn) {
        // libburn's counter reads zero between phases: the events only ever go up.
        job->blocksWritten = std::clamp<int64_t>(progress.sector, job->blocksWritten, job->totalBlocks);
        Q_EMIT OnTrackWriteStatus(1, job->blocksWritten, job->totalBlocks);
    }
}

void TDVDWriterPro2::finishDriveJob()
{
    using Kind = DriveSide::Job::Kind;
    std::unique_ptr<DriveSide::Job> job = std::move(m_drives->job);
    m_drives->poll->stop();
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
        Q_EMIT OnEraseDiscStart();
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
            Q_EMIT OnTrackWriteStatus(1, job->totalBlocks, job->totalBlocks);
            if (m_autoVerify && !job->simulate && entry) {
                startVerify(job->drive, job->generation, job->imagePath, outcome.trackStartSector);
                return;
            }
            Q_EMIT OnWriteComplete();
        } else {
            Q_EMIT OnEraseDiscComplete();
        }
        return;
    }
    if (job->kind == Kind::Burn && job->cancelRequested && failure.isEmpty()) {
        logJobMessages(job->messages);
        Q_EMIT OnWriteCancelled();
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
    Q_EMIT OnWriteError(report.writeError, report.driveError, report.errorInfo, report.senseInfo);
}
