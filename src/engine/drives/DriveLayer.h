#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

// The small layer below the engine's drive side: one libburn implementation in the product, scripted
// drives in tests. Every call is made on the engine's thread; a drive never runs two jobs at once.
namespace Drives {

// What a scan learns about a drive without keeping it open.
struct DriveDescription
{
    QString vendor;
    QString product;
    QString address; // what the layer opens again: "/dev/sr0", or "stdio:/path" for a virtual drive
    QString devicePath; // what a reader opens: "/dev/sr0", or the virtual drive's file
    bool writer = false;
};

enum class DiscStatus { Unknown, Blank, Empty, Appendable, Full, Unsuitable };

struct MediumInfo
{
    int profile = 0; // MMC profile of the loaded medium: 0 none, 0xffff a plain file
    DiscStatus status = DiscStatus::Unknown;
    int64_t freeBytes = 0;
    int maxWriteSpeed = 0; // kB/s
    std::vector<int> driveProfiles; // every profile the drive can handle: what it is capable of
};

struct WriteRequest
{
    QString imagePath;
    int64_t imageBytes = 0;
    bool simulate = false;
    bool closeDisc = true;
    bool underrunProtection = false;
    bool sessionAtOnce = false;
    int speedKBs = 0; // 0: the drive's highest speed
};

struct Progress
{
    bool busy = false;
    int64_t sector = 0; // sectors done by the running write, or steps of an erase
    int64_t sectors = 0; // of how many, where the library tells (an erase); 0 when it does not
    bool closing = false; // the data is written; the drive closes the track or session, or syncs
};

// How the last job ended, asked once the drive is idle again.
struct JobOutcome
{
    bool succeeded = false;
    QString sourceError; // not empty when the image file could not be read
    int64_t trackStartSector = 0; // where a burn's track began on the medium
};

// One message of libburn (or libisofs), as the library queues it.
struct LibraryMessage
{
    int code = 0;
    QString severity; // "DEBUG", "NOTE", "SORRY", "FAILURE", "FATAL", ...
    int osErrno = 0;
    QString text;
    QString library = QStringLiteral("libburn");
};

class Drive
{
public:
    virtual ~Drive() = default;
    // Opens the drive for this process; true when it is held (already or now).
    virtual bool acquire() = 0;
    virtual bool isAcquired() const = 0;
    virtual void release(bool eject) = 0;
    // The loaded medium; the drive must be held.
    virtual MediumInfo medium() = 0;
    // Start a job and return at once; false when it could not start (the reason is in the messages).
    virtual bool startWrite(const WriteRequest &request) = 0;
    virtual bool startErase(bool quick) = 0;
    virtual Progress progress() = 0;
    virtual JobOutcome outcome() = 0;
    virtual void cancel() = 0;
    // The first `bytes` of the loaded medium, for telling what it holds; the drive must be held. Empty
    // when they cannot be read (a blank medium, or a drive that cannot read it).
    virtual QByteArray readStart(int64_t bytes)
    {
        Q_UNUSED(bytes);
        return {};
    }
    // How many bytes of the loaded medium hold data: from block 0 to the end of its last data track,
    // the whole file of a virtual drive; -1 when the drive cannot tell. The drive must be held.
    virtual int64_t dataBytes() { return -1; }
    // Reads `bytes` (whole 2048-byte blocks, or what is left of a virtual drive's file) from `offset`
    // on; false on a read error, whose reason is in the messages.
    virtual bool read(int64_t /*offset*/, char * /*buffer*/, int64_t /*bytes*/) { return false; }
};

class DriveLayer
{
public:
    virtual ~DriveLayer() = default;
    // Starts the drive library; false when it cannot start.
    virtual bool start() = 0;
    // The optical drives of the machine, none of them left open.
    virtual std::vector<DriveDescription> scan() = 0;
    // A drive object for a scanned drive or a virtual drive's "stdio:" address, not yet acquired.
    virtual std::unique_ptr<Drive> drive(const DriveDescription &description) = 0;
    // Every message queued since the last call, oldest first.
    virtual std::vector<LibraryMessage> takeMessages() = 0;
};

} // namespace Drives
