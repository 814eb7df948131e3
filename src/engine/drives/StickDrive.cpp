#include "engine/drives/StickDrive.h"

#include "base/SystemError.h"
#include "engine/FileDescriptor.h"
#include "engine/drives/UdisksClient.h"

#include <QCryptographicHash>
#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Drives {

namespace {

// Large enough for a stick's erase blocks, small enough that Cancel and the progress bar answer
// within a second on a slow stick (each write is synchronous: the device is opened O_SYNC).
constexpr int64_t ChunkBytes = 4 * 1024 * 1024;
constexpr size_t Alignment = 4096;
// The old backup GPT lies in the last 33 sectors (512-byte) or 6 sectors (4096-byte): clear more,
// never what the image wrote.
constexpr int64_t TailClearBytes = 1024 * 1024;
constexpr int64_t SectorBytes = 2048;

std::mutex &queueMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::vector<LibraryMessage> &queue()
{
    static std::vector<LibraryMessage> messages;
    return messages;
}

void queueMessage(const QString &severity, const QString &text, int osErrno = 0)
{
    LibraryMessage message;
    message.severity = severity;
    message.text = text;
    message.osErrno = osErrno;
    message.library = QStringLiteral("udisks");
    const std::lock_guard lock(queueMutex());
    queue().push_back(message);
}

std::mutex &partlyMutex()
{
    static std::mutex mutex;
    return mutex;
}

QStringList &partlyWrittenDevices()
{
    static QStringList devices;
    return devices;
}

void notePartlyWritten(const QString &device, bool partly)
{
    const std::lock_guard lock(partlyMutex());
    partlyWrittenDevices().removeAll(device);
    if (partly)
        partlyWrittenDevices().append(device);
}

struct AlignedBuffer
{
    explicit AlignedBuffer(size_t bytes)
        : data(static_cast<char *>(std::aligned_alloc(Alignment, bytes)))
    { }
    ~AlignedBuffer() { std::free(data); }
    AlignedBuffer(const AlignedBuffer &) = delete;
    AlignedBuffer &operator=(const AlignedBuffer &) = delete;
    char *data;
};

// Fills `bytes` from `fd` at `offset`; answers what was read (less only at the end) or -1 with errno.
int64_t readFully(int fd, char *data, int64_t bytes, int64_t offset)
{
    int64_t done = 0;
    while (done < bytes) {
        const ssize_t n = ::pread(fd, data + done, size_t(bytes - done), offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

bool writeFully(int fd, const char *data, int64_t bytes, int64_t offset)
{
    int64_t done = 0;
    while (done < bytes) {
        const ssize_t n = ::pwrite(fd, data + done, size_t(bytes - done), offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        done += n;
    }
    return true;
}

// A step that stopped on a cancel, or whose failure is reported otherwise (the image as the source).
const QString NoMessage = QStringLiteral("no message");

} // namespace

std::vector<LibraryMessage> takeStickMessages()
{
    const std::lock_guard lock(queueMutex());
    return std::exchange(queue(), {});
}

bool stickHoldsFile(const Udisks::Stick &stick, const QString &path)
{
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return false;
    return std::find(stick.deviceNumbers.begin(), stick.deviceNumbers.end(), uint64_t(info.st_dev)) !=
        stick.deviceNumbers.end();
}

StickDrive::StickDrive(Udisks::Stick stick, std::shared_ptr<Udisks::UdisksCalls> calls)
    : m_stick(std::move(stick))
    , m_calls(std::move(calls))
{ }

StickDrive::~StickDrive()
{
    m_stop = true;
    if (m_worker.joinable())
        m_worker.join();
}

bool StickDrive::leftPartlyWritten() const
{
    const std::lock_guard lock(partlyMutex());
    return partlyWrittenDevices().contains(m_stick.device);
}

MediumInfo StickDrive::medium()
{
    MediumInfo info;
    info.profile = 0xffff; // written in place, like a file
    info.status = DiscStatus::Blank;
    info.freeBytes = m_stick.size;
    return info; // no drive profiles: nothing can blank or format it
}

bool StickDrive::startWrite(const WriteRequest &request)
{
    if (m_running)
        return false;
    const bool confirmed = std::exchange(m_confirmed, false);
    if (!confirmed) {
        fail(QStringLiteral("Writing to %1 was not confirmed").arg(m_stick.device));
        return false;
    }
    if (request.simulate) {
        fail(QStringLiteral("A USB stick or SD card cannot be test-written"));
        return false;
    }
    if (request.imageBytes > m_stick.size) {
        fail(QStringLiteral("The image (%1 bytes) is larger than %2 (%3 bytes)")
                 .arg(request.imageBytes)
                 .arg(m_stick.device)
                 .arg(m_stick.size));
        return false;
    }
    if (m_worker.joinable())
        m_worker.join();
    m_stop = false;
    m_bytesDone = 0;
    m_partlyWritten = false;
    m_outcome = JobOutcome();
    m_running = true;
    m_worker = std::thread(&StickDrive::run, this, request);
    return true;
}

bool StickDrive::startErase(bool)
{
    fail(QStringLiteral("A USB stick or SD card cannot be erased"));
    return false;
}

Progress StickDrive::progress()
{
    // The bar covers the copy and the read-back, half each: reading a large image back takes as long
    // as a while of writing, and a bar standing at 100 meanwhile would look hung.
    return {m_running, m_bytesDone / 2 / SectorBytes};
}

JobOutcome StickDrive::outcome()
{
    if (m_worker.joinable())
        m_worker.join();
    return m_outcome;
}

void StickDrive::fail(const QString &text, int osErrno)
{
    queueMessage(QStringLiteral("FAILURE"), text, osErrno);
}

void StickDrive::run(WriteRequest request)
{
    const auto finish = [this](bool succeeded) {
        notePartlyWritten(m_stick.device, m_partlyWritten && !succeeded);
        m_outcome.succeeded = succeeded;
        m_running = false;
    };
    if (stickHoldsFile(m_stick, request.imagePath)) {
        fail(QStringLiteral("The image %1 lies on %2, the stick it would be written to")
                 .arg(request.imagePath, m_stick.device));
        return finish(false);
    }
    if (const QString error = unmountAll(); !error.isEmpty()) {
        if (error != NoMessage)
            fail(error);
        return finish(false);
    }
    FileDescriptor device;
    if (const QString error = openDevice(device.ref()); !error.isEmpty()) {
        if (error != NoMessage)
            fail(error);
        return finish(false);
    }
    QByteArray hash;
    QString error = copy(device.get(), request, hash);
    if (error.isEmpty())
        error = clearBackupGpt(device.get(), request.imageBytes);
    if (error.isEmpty() && ::fsync(device.get()) != 0)
        error = QStringLiteral("Cannot flush %1: %2").arg(m_stick.device, SystemErrorText(errno));
    if (error.isEmpty())
        error = readBack(device.get(), request.imageBytes, hash);
    if (!error.isEmpty() && error != NoMessage)
        fail(error);
    if (m_partlyWritten) {
        // The kernel learns the new partitions; a failure here leaves a good stick, so it is a note.
        const std::atomic<bool> never {false};
        const Udisks::CallResult rescan = m_calls->rescan(m_stick.objectPath, never);
        if (!rescan.ok())
            queueMessage(
                QStringLiteral("NOTE"),
                QStringLiteral("UDisks2 did not rescan %1: %2").arg(m_stick.device, rescan.errorText));
    }
    finish(error.isEmpty());
}

QString StickDrive::unmountAll()
{
    std::vector<std::pair<QString, QString>> mounted; // object path, device
    if (m_stick.hasFilesystem)
        mounted.emplace_back(m_stick.objectPath, m_stick.device);
    for (const Udisks::Partition &partition : m_stick.partitions) {
        if (partition.hasFilesystem)
            mounted.emplace_back(partition.objectPath, partition.device);
    }
    // Every file system is asked, not only those mounted when the list was made: one may have been
    // mounted since.
    for (const auto &[path, device] : mounted) {
        const Udisks::CallResult result = m_calls->unmount(path, m_stop);
        if (m_stop)
            return NoMessage;
        if (!result.ok())
            return QStringLiteral("Cannot unmount %1, so nothing was written: %2")
                .arg(device, result.errorText);
    }
    return {};
}

QString StickDrive::openDevice(int &fd)
{
    const Udisks::CallResult result = m_calls->openDevice(m_stick.objectPath, fd, m_stop);
    if (m_stop)
        return NoMessage;
    if (result.ok())
        return {};
    const QString name = result.errorName;
    if (name.startsWith(QLatin1String("org.freedesktop.UDisks2.Error.NotAuthorized")) ||
        name == QLatin1String("org.freedesktop.DBus.Error.AccessDenied"))
        return QStringLiteral("The system did not allow Kestrane to write to %1, so nothing was written (%2)")
            .arg(m_stick.device, result.errorText);
    if (result.errorText.contains(QLatin1String("Device or resource busy")))
        return QStringLiteral("%1 is in use by another program, so nothing was written. Close what uses it, "
                              "or unplug and plug the stick in again, then try again (%2)")
            .arg(m_stick.device, result.errorText);
    return QStringLiteral("Cannot open %1, so nothing was written: %2").arg(m_stick.device, result.errorText);
}

QString StickDrive::copy(int fd, const WriteRequest &request, QByteArray &hash)
{
    const FileDescriptor image(
        ::open(QFile::encodeName(request.imagePath).constData(), O_RDONLY | O_CLOEXEC));
    if (image.get() < 0) {
        m_outcome.sourceError =
            QStringLiteral("Cannot open %1: %2").arg(request.imagePath, SystemErrorText(errno));
        return NoMessage; // reported as the source's error, not as a message
    }
    ::posix_fadvise(image.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    AlignedBuffer buffer(ChunkBytes);
    QCryptographicHash sha(QCryptographicHash::Sha256);
    for (int64_t offset = 0; offset < request.imageBytes;) {
        if (m_stop)
            return NoMessage;
        const int64_t want = std::min(ChunkBytes, request.imageBytes - offset);
        const int64_t got = readFully(image.get(), buffer.data, want, offset);
        if (got != want) {
            m_outcome.sourceError = got < 0
                ? QStringLiteral("Cannot read %1: %2").arg(request.imagePath, SystemErrorText(errno))
                : QStringLiteral("%1 became shorter while it was written").arg(request.imagePath);
            return NoMessage;
        }
        sha.addData(QByteArrayView(buffer.data, want));
        m_partlyWritten = true;
        if (!writeFully(fd, buffer.data, want, offset))
            return QStringLiteral("Writing %1 failed at byte %2: %3")
                .arg(m_stick.device)
                .arg(offset)
                .arg(SystemErrorText(errno));
        offset += want;
        m_bytesDone = offset;
    }
    hash = sha.result();
    return {};
}

QString StickDrive::clearBackupGpt(int fd, int64_t imageBytes)
{
    const off_t end = ::lseek(fd, 0, SEEK_END);
    if (end < 0)
        return QStringLiteral("Cannot learn the size of %1: %2").arg(m_stick.device, SystemErrorText(errno));
    const int64_t from = std::max<int64_t>(imageBytes, int64_t(end) - TailClearBytes);
    if (from >= end)
        return {};
    const QByteArray zeros(int(end - from), '\0');
    if (!writeFully(fd, zeros.constData(), zeros.size(), from))
        return QStringLiteral("Cannot clear the end of %1: %2").arg(m_stick.device, SystemErrorText(errno));
    return {};
}

QString StickDrive::readBack(int fd, int64_t imageBytes, const QByteArray &hash)
{
    // Without this the comparison would read the page cache, not the stick.
    ::posix_fadvise(fd, 0, imageBytes, POSIX_FADV_DONTNEED);
    AlignedBuffer buffer(ChunkBytes);
    QCryptographicHash sha(QCryptographicHash::Sha256);
    for (int64_t offset = 0; offset < imageBytes;) {
        if (m_stop)
            return NoMessage;
        const int64_t want = std::min(ChunkBytes, imageBytes - offset);
        const int64_t got = readFully(fd, buffer.data, want, offset);
        if (got != want)
            return QStringLiteral("Reading %1 back failed at byte %2: %3")
                .arg(m_stick.device)
                .arg(offset)
                .arg(got < 0 ? SystemErrorText(errno) : QStringLiteral("the stick ended early"));
        sha.addData(QByteArrayView(buffer.data, want));
        offset += want;
        m_bytesDone = imageBytes + offset;
    }
    if (sha.result() != hash)
        return QStringLiteral("What was read back from %1 differs from the image: the stick may be faulty or "
                              "smaller than it claims")
            .arg(m_stick.device);
    return {};
}

} // namespace Drives
