#pragma once

#include "engine/DiscContents.h"
#include "engine/ImageCheck.h"
#include "engine/ImageItem.h"
#include "engine/MediumDetails.h"
#include "engine/ReadBack.h"
#include "engine/StickInfo.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace Drives {
class DriveLayer;
}
class DriveSide;
class ImageSide;

// The disc engine: image building and writing on libisofs, drives, burning and erasing on libburn.
// Qt Core only. Events are signals; those raised inside a call are emitted before the call returns.
// A facade over two halves: the image side (engine/ImageSide) and the drive side (engine/DriveSide).
// The drive side belongs to one thread: the window's DriveThread once it adopted the engine, otherwise
// the thread that made the engine; a drive-side call from any other thread ends the program. A burn's
// or an erase's events come from that thread's event loop.
class TDVDWriterPro2 : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString VolumeIdentifier READ VolumeIdentifier WRITE setVolumeIdentifier)
    Q_PROPERTY(bool TestWrite READ TestWrite WRITE setTestWrite)
    Q_PROPERTY(int WriteType READ WriteType WRITE setWriteType)
    Q_PROPERTY(int VolumeType READ VolumeType WRITE setVolumeType)
    Q_PROPERTY(bool CloseSession READ CloseSession WRITE setCloseSession)
    Q_PROPERTY(bool DVDHighCompatibilityMode READ DVDHighCompatibilityMode WRITE setDVDHighCompatibilityMode)
    Q_PROPERTY(bool AutoVerify READ AutoVerify WRITE setAutoVerify)

public:
    // The start values the three instances of the main window get.
    enum class Instance { DVDWriterPro, DVDWriterPro21, DVDWriterPro1 };

    explicit TDVDWriterPro2(Instance instance, QObject *parent = nullptr);
    ~TDVDWriterPro2() override;

    // Properties. Plain values, read when a job starts: the identifiers, VolumeType (Joliet),
    // UseVersionDelimiters and ISOComplianceLevel by WriteImageFile and the size; TestWrite,
    // WriteType, CloseSession, BurnFlag (under-run protection) and AutoVerify by BurnImageFile.
    QString VolumeIdentifier() const { return m_volumeIdentifier; }
    void setVolumeIdentifier(const QString &value) { m_volumeIdentifier = value; }
    QString VolumeApplicationIdentifier() const { return m_volumeApplicationIdentifier; }
    void setVolumeApplicationIdentifier(const QString &value) { m_volumeApplicationIdentifier = value; }
    QString VolumeSetIdentifier() const { return m_volumeSetIdentifier; }
    void setVolumeSetIdentifier(const QString &value) { m_volumeSetIdentifier = value; }
    QString PublisherIdentifier() const { return m_publisherIdentifier; }
    void setPublisherIdentifier(const QString &value) { m_publisherIdentifier = value; }
    QString DataPreparerIdentifier() const { return m_dataPreparerIdentifier; }
    void setDataPreparerIdentifier(const QString &value) { m_dataPreparerIdentifier = value; }
    QString SystemIdentifier() const { return m_systemIdentifier; }
    void setSystemIdentifier(const QString &value) { m_systemIdentifier = value; }
    bool TestWrite() const { return m_testWrite; }
    void setTestWrite(bool value) { m_testWrite = value; }
    int WriteType() const { return m_writeType; }
    void setWriteType(int value) { m_writeType = value; }
    int VolumeType() const { return m_volumeType; }
    void setVolumeType(int value) { m_volumeType = value; }
    bool CloseSession() const { return m_closeSession; }
    void setCloseSession(bool value) { m_closeSession = value; }
    // Kept for callers that set them; the engine reads none of the three: libburn chooses the
    // DVD layout, the caching and the buffer itself.
    bool DVDHighCompatibilityMode() const { return m_dvdHighCompatibilityMode; }
    void setDVDHighCompatibilityMode(bool value) { m_dvdHighCompatibilityMode = value; }
    bool AutoVerify() const { return m_autoVerify; }
    void setAutoVerify(bool value) { m_autoVerify = value; }
    bool UseVersionDelimiters() const { return m_useVersionDelimiters; }
    void setUseVersionDelimiters(bool value) { m_useVersionDelimiters = value; }
    bool CacheImage() const { return m_cacheImage; }
    void setCacheImage(bool value) { m_cacheImage = value; }
    int ISOComplianceLevel() const { return m_isoComplianceLevel; }
    void setISOComplianceLevel(int value) { m_isoComplianceLevel = value; }
    int BufferSizeBlocks() const { return m_bufferSizeBlocks; }
    void setBufferSizeBlocks(int value) { m_bufferSizeBlocks = value; }
    bool BurnFlag() const { return m_burnFlag; }
    void SetBurnFlag(bool value) { m_burnFlag = value; }
    // MD5s of the session and of every file inside the images WriteImageFile writes (and in the
    // size), readable by libisofs's loader and by VerifyImageChecksums. Off by default.
    bool RecordChecksums() const { return m_recordChecksums; }
    void setRecordChecksums(bool value) { m_recordChecksums = value; }

    // Image side.
    void ResetImage();
    // A load that replaces the image whole keeps the image it replaces: KeepImage before the
    // ResetImage, then DropKeptImage once the load has succeeded, or RestoreKeptImage to have the
    // image back exactly as it was. Keeping again drops what was kept before.
    void KeepImage();
    bool RestoreKeptImage(); // false when nothing was kept
    void DropKeptImage();
    void AddFile(const QString &destPath, const QString &sourceFile);
    void AddFolder(const QString &destPath, const QString &source);
    // What the last AddFile or AddFolder did beside adding, one sentence each, also when it raised
    // an error: a folder merged with a folder of the same name from another source, FIFOs, sockets
    // and devices inside a folder that were left out. Empty when there was nothing to tell.
    QStringList LastAddNotices() const;
    bool RemoveItem(const QString &destPath);
    void EnumItems(const QString &destPath);
    // The items of an image folder in the engine's order, as EnumItems reports them, without events.
    std::vector<ImageItem> ListItems(const QString &destPath);
    // Whether the image holds any file or folder.
    bool ImageHasItems();
    int64_t ImageSizeBlocks();
    static double BlocksToBytes(int64_t blocks, int unit);
    // The name a file or folder of that name gets in an image.
    static QString ImageName(const QString &sourceName);
    // An identifier (the volume label among them) as an image holds it: control characters (line
    // breaks, tabs, escapes) have no place in a volume descriptor and are left out.
    static QString IdentifierText(const QString &text);

    // Beside the calls above, for work away from the UI thread. The size an image gets depends on
    // these properties only; they are read on the UI thread and handed to ImageSizeOf.
    struct SizeOptions
    {
        int level = 1;
        bool joliet = true;
        bool versionNumbers = true;
        bool checksums = false; // the checksum area is part of the size
    };
    SizeOptions ImageSizeOptions() const;
    struct ImageSize
    {
        int64_t blocks = 0;
        bool hasItems = false;
        uint64_t generation = 0; // the state of the image the size belongs to
    };
    // The exact size of the image as it is at the call; any thread may ask, and several at once.
    // Raises KestraneError when libisofs refuses the image.
    ImageSize ImageSizeOf(const SizeOptions &options);
    // Changes with every change of the image (never back to an earlier value); any thread may read
    // it without waiting for a running engine call.
    uint64_t ImageGeneration() const;
    // AddFolder and AddFile that report the items they make to `report` instead of OnISOItemAdded,
    // so that a thread other than the UI thread can add (the events would reach the views there).
    using ItemReport = std::function<void(const ImageItem &)>;
    void AddFolderReporting(const QString &destPath, const QString &source, const ItemReport &report);
    void AddFileReporting(const QString &destPath, const QString &sourceFile, const ItemReport &report);

    bool WriteImageFile(const QString &isoPath);
    // Stops a running WriteImageFile, or the reading of a disc by AddFolder, from any thread; harmless
    // when neither runs.
    void CancelImageWrite();
    // Why the last WriteImageFile returned false (empty after a success).
    QString LastImageError() const;
    // What the image could not keep of the discs read into it since the last reset, one sentence
    // each: parts of a disc's boot set-up that cannot be laid out again in a copy.
    QStringList ImageNotes();

    // Checks, run on the calling thread. `source` is an image file or a
    // drive ("D:"), checked against the checksums recorded in it; CompareDiscWithImage reads the disc
    // in `drive` ("D" or "D:") over exactly the image's length. CancelImageCheck stops either from any
    // thread. Progress comes as OnImageCheckProgress, on the calling thread.
    ImageCheck VerifyImageChecksums(const QString &source);
    ImageCheck CompareDiscWithImage(const QString &drive, const QString &isoPath);
    void CancelImageCheck();

    // Drive side.
    bool InitializeDrives(int flags);
    int DriveCount() const;
    QString DriveLetter(int index) const;
    QString DriveVendor(int index) const;
    QString DriveProduct(int index) const;
    bool IsWriter(int index) const;
    bool SelectDrive(int index);
    int DiscType();
    // What the current drive holds, for telling the user; NoDisc also when the drive cannot be opened.
    MediumDetails CurrentMedium();
    bool HasCapability(int code);
    int MaxWriteSpeed();
    void SetWriteSpeed(int multiple);
    int64_t FreeBlocks();
    bool BurnImageFile(const QString &isoPath);
    // Why the last BurnImageFile returned false (empty after a start).
    QString LastBurnRefusal() const;
    // Why the read-back of the last burn (AutoVerify) could not compare it with its image, cancelled
    // included; empty when it compared every file. Set before OnFileVerifyComplete.
    QString LastVerifyError() const;
    // All the read-back of the last burn found; set before OnFileVerifyComplete.
    ReadBack LastReadBack() const;
    void CancelWrite();
    void EjectTray(int flags);
    bool EraseDisc(bool quick);
    // What the disc in the current drive holds when a burn or an erase would destroy it: none for a
    // blank or write-once disc, a stick (asked about by StickDetails) or a drive that cannot be opened.
    std::optional<DiscContents> DataOnDisc();
    // Copies the data area of the disc in the drive at `index` (block 0 to the end of its last data
    // track) byte for byte into the file `isoPath`, with the safety of WriteImageFile: progress through
    // OnImageWriteProgress, stopped by CancelImageWrite, the reason of a false in LastImageError. Like
    // WriteImageFile it runs on the calling thread (an image job's); a drive that is busy is refused.
    bool CopyDiscRaw(int index, const QString &isoPath);
    // USB sticks and SD cards: listed after the optical and virtual drives.
    // Details of the drive at `index` when it is a stick.
    std::optional<StickInfo> StickDetails(int index) const;
    // The drive the next burn goes to, -1 for none.
    int CurrentDrive() const;
    // A stick is only written after this was called for it (the user said Yes, or a script's --yes);
    // it holds for the next BurnImageFile only. False when the drive is no stick.
    bool ConfirmStickWrite(int index);
    // Lists the sticks again after OnDriveListChanged, the other drives kept; false while a job runs.
    bool RefreshSticks();
    // Whether the last burn to the stick stopped after it had begun to overwrite it.
    bool StickLeftPartlyWritten(int index) const;
    // The drive layer every instance uses from the next InitializeDrives on: libburn unless a test
    // gives scripted drives.
    static void setDriveLayer(std::unique_ptr<Drives::DriveLayer> layer);

Q_SIGNALS:
    void OnISOImageReset();
    void OnISOItemAdded(const QString &sParentDestPath, const QString &sItemDestPath,
                        const QString &sItemName, const QString &SourceFilePath, bool bIsDirectory,
                        const QDateTime &dteFileDate, qint64 lFileSize);
    void OnEnumISOItems(const QString &sParentDestPath, const QString &sItemDestPath,
                        const QString &sItemName, const QString &sSourceFilePath, bool bIsDirectory,
                        const QDateTime &dteFileDate, qint64 lFileSize);
    // Progress of WriteImageFile, emitted on the writing thread.
    void OnImageWriteProgress(qint64 bytesWritten, qint64 bytesTotal);
    void OnImageCheckProgress(qint64 bytesChecked, qint64 bytesTotal);
    void OnTrackWriteStatus(int lTrackNumber, qint64 lBlocksWritten, qint64 lBlocksToWrite);
    void OnWriteComplete();
    void OnWriteCancelled();
    void OnWriteError(int WriteError, int DriveError, const QString &sErrorInfo, const QString &sSenseInfo);
    // How far a burn, its read-back or an erase has come, beside OnTrackWriteStatus: `stage` is an
    // EngineCodes::BurnStage, the counts are bytes (an erase's: the drive library's steps), 0 of 0 while
    // the total is not known.
    void OnBurnProgress(int stage, qint64 bytesDone, qint64 bytesTotal);
    void OnEraseDiscStart();
    void OnEraseDiscComplete();
    void OnFileVerifyComplete(int lFilesCompared, int lFilesMatched);
    // A stick was plugged in or out: the drive lists are out of date (RefreshSticks reads them again).
    void OnDriveListChanged();

private:
    friend class DriveThread; // adopts the drive side onto its thread

    // The sink of AddFile and AddFolder: OnISOItemAdded, when anybody listens.
    struct ItemSink itemSink();

    QString m_volumeIdentifier;
    QString m_volumeApplicationIdentifier = QStringLiteral("CDPROLIB");
    QString m_volumeSetIdentifier;
    QString m_publisherIdentifier;
    QString m_dataPreparerIdentifier;
    QString m_systemIdentifier;
    bool m_testWrite = false;
    int m_writeType = 0;
    int m_volumeType = 1;
    bool m_closeSession = true;
    bool m_dvdHighCompatibilityMode = false;
    bool m_autoVerify = false;
    bool m_useVersionDelimiters = true;
    bool m_cacheImage = false;
    int m_isoComplianceLevel = 1;
    int m_bufferSizeBlocks = 2048;
    bool m_burnFlag = false;
    bool m_recordChecksums = false;

    std::unique_ptr<ImageSide> m_image;
    std::unique_ptr<DriveSide> m_drives;
};
