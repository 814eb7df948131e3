#include "engine/TDVDWriterPro2.h"

#include "engine/DriveSide.h"
#include "engine/ImageSide.h"
#include "engine/image/ImagePaths.h"

#include "engine/drives/DriveRegistry.h"
#include "engine/drives/StickEntries.h"

#include <QMetaMethod>

#include <algorithm>

TDVDWriterPro2::TDVDWriterPro2(Instance instance, QObject *parent)
    : QObject(parent)
    , m_image(std::make_unique<ImageSide>(*this))
    , m_drives(std::make_unique<DriveSide>(*this))
{
    if (instance == Instance::DVDWriterPro) {
        m_volumeIdentifier = QStringLiteral("NEWDISC");
        m_cacheImage = true;
        m_writeType = 0;
        m_isoComplianceLevel = 2;
        m_bufferSizeBlocks = 4096;
    } else {
        m_volumeIdentifier =
            instance == Instance::DVDWriterPro21 ? QStringLiteral("NEW DISC") : QStringLiteral("NEWDISC");
        m_writeType = 1;
        m_isoComplianceLevel = 1;
        m_bufferSizeBlocks = 2048;
    }
    // A stick plugged in or out: told on this object's thread, where UDisks2's answers arrive.
    Drives::followSticks(this, [this] { Q_EMIT OnDriveListChanged(); });
}

TDVDWriterPro2::~TDVDWriterPro2() = default;

// Image side.

ItemSink TDVDWriterPro2::itemSink()
{
    ItemSink sink;
    sink.wanted = isSignalConnected(QMetaMethod::fromSignal(&TDVDWriterPro2::OnISOItemAdded));
    sink.report = [this](const ImageItem &item) {
        Q_EMIT OnISOItemAdded(item.parentDest, item.itemDest, item.name, item.sourcePath, item.isDirectory,
                              item.date, item.size);
    };
    return sink;
}

void TDVDWriterPro2::ResetImage()
{
    m_image->ResetImage();
    Q_EMIT OnISOImageReset();
}

void TDVDWriterPro2::KeepImage()
{
    m_image->KeepImage();
}

bool TDVDWriterPro2::RestoreKeptImage()
{
    return m_image->RestoreKeptImage();
}

void TDVDWriterPro2::DropKeptImage()
{
    m_image->DropKeptImage();
}

void TDVDWriterPro2::AddFile(const QString &destPath, const QString &sourceFile)
{
    m_image->addFile(destPath, sourceFile, itemSink());
}

void TDVDWriterPro2::AddFileReporting(const QString &destPath, const QString &sourceFile,
                                      const ItemReport &report)
{
    m_image->addFile(destPath, sourceFile, ItemSink {report, bool(report)});
}

void TDVDWriterPro2::AddFolder(const QString &destPath, const QString &source)
{
    m_image->addFolder(destPath, source, itemSink());
}

void TDVDWriterPro2::AddFolderReporting(const QString &destPath, const QString &source,
                                        const ItemReport &report)
{
    m_image->addFolder(destPath, source, ItemSink {report, bool(report)});
}

QStringList TDVDWriterPro2::LastAddNotices() const
{
    return m_image->LastAddNotices();
}

bool TDVDWriterPro2::RemoveItem(const QString &destPath)
{
    return m_image->RemoveItem(destPath);
}

void TDVDWriterPro2::EnumItems(const QString &destPath)
{
    // Outside the lock and the iteration: a handler may call back into the engine.
    for (const ImageItem &item : ListItems(destPath))
        Q_EMIT OnEnumISOItems(item.parentDest, item.itemDest, item.name, item.sourcePath, item.isDirectory,
                              item.date, item.size);
}

std::vector<ImageItem> TDVDWriterPro2::ListItems(const QString &destPath)
{
    return m_image->ListItems(destPath);
}

bool TDVDWriterPro2::ImageHasItems()
{
    return m_image->ImageHasItems();
}

int64_t TDVDWriterPro2::ImageSizeBlocks()
{
    return ImageSizeOf(ImageSizeOptions()).blocks;
}

double TDVDWriterPro2::BlocksToBytes(int64_t blocks, int)
{
    // The engine has one block size: 2048-byte data sectors.
    return static_cast<double>(blocks) * 2048.0;
}

QString TDVDWriterPro2::ImageName(const QString &sourceName)
{
    return ImagePaths::imageName(sourceName);
}

QString TDVDWriterPro2::IdentifierText(const QString &text)
{
    QString kept;
    kept.reserve(text.size());
    for (const QChar c : text) {
        if (c.category() != QChar::Other_Control)
            kept.append(c);
    }
    return kept;
}

TDVDWriterPro2::SizeOptions TDVDWriterPro2::ImageSizeOptions() const
{
    SizeOptions options;
    options.joliet = m_volumeType == 1;
    options.versionNumbers = m_useVersionDelimiters;
    options.level = std::clamp(m_isoComplianceLevel, 1, 3);
    options.checksums = m_recordChecksums;
    return options;
}

TDVDWriterPro2::ImageSize TDVDWriterPro2::ImageSizeOf(const SizeOptions &options)
{
    return m_image->ImageSizeOf(options);
}

uint64_t TDVDWriterPro2::ImageGeneration() const
{
    return m_image->ImageGeneration();
}

bool TDVDWriterPro2::WriteImageFile(const QString &isoPath)
{
    return m_image->WriteImageFile(isoPath);
}

void TDVDWriterPro2::CancelImageWrite()
{
    m_image->CancelImageWrite();
}

QString TDVDWriterPro2::LastImageError() const
{
    return m_image->LastImageError();
}

QStringList TDVDWriterPro2::ImageNotes()
{
    return m_image->ImageNotes();
}

ImageCheck TDVDWriterPro2::VerifyImageChecksums(const QString &source)
{
    return m_image->VerifyImageChecksums(source);
}

ImageCheck TDVDWriterPro2::CompareDiscWithImage(const QString &drive, const QString &isoPath)
{
    return m_image->CompareDiscWithImage(drive, isoPath);
}

void TDVDWriterPro2::CancelImageCheck()
{
    m_image->CancelImageCheck();
}

bool TDVDWriterPro2::CopyDiscRaw(int index, const QString &isoPath)
{
    return m_image->CopyDiscRaw(index, isoPath);
}

// Drive side.

void TDVDWriterPro2::setDriveLayer(std::unique_ptr<Drives::DriveLayer> layer)
{
    Drives::DriveRegistry::instance().setLayer(std::move(layer));
}

bool TDVDWriterPro2::InitializeDrives(int)
{
    return m_drives->InitializeDrives();
}

int TDVDWriterPro2::DriveCount() const
{
    return m_drives->DriveCount();
}

QString TDVDWriterPro2::DriveLetter(int index) const
{
    return m_drives->DriveLetter(index);
}

QString TDVDWriterPro2::DriveVendor(int index) const
{
    return m_drives->DriveVendor(index);
}

QString TDVDWriterPro2::DriveProduct(int index) const
{
    return m_drives->DriveProduct(index);
}

bool TDVDWriterPro2::IsWriter(int index) const
{
    return m_drives->IsWriter(index);
}

bool TDVDWriterPro2::SelectDrive(int index)
{
    return m_drives->SelectDrive(index);
}

int TDVDWriterPro2::DiscType()
{
    return m_drives->DiscType();
}

MediumDetails TDVDWriterPro2::CurrentMedium()
{
    return m_drives->CurrentMedium();
}

bool TDVDWriterPro2::HasCapability(int code)
{
    return m_drives->HasCapability(code);
}

int TDVDWriterPro2::MaxWriteSpeed()
{
    return m_drives->MaxWriteSpeed();
}

void TDVDWriterPro2::SetWriteSpeed(int multiple)
{
    m_drives->SetWriteSpeed(multiple);
}

int64_t TDVDWriterPro2::FreeBlocks()
{
    return m_drives->FreeBlocks();
}

bool TDVDWriterPro2::BurnImageFile(const QString &isoPath)
{
    return m_drives->BurnImageFile(isoPath);
}

QString TDVDWriterPro2::LastBurnRefusal() const
{
    return m_drives->LastBurnRefusal();
}

QString TDVDWriterPro2::LastVerifyError() const
{
    return m_drives->LastVerifyError();
}

ReadBack TDVDWriterPro2::LastReadBack() const
{
    return m_drives->LastReadBack();
}

void TDVDWriterPro2::CancelWrite()
{
    m_drives->CancelWrite();
}

void TDVDWriterPro2::EjectTray(int)
{
    m_drives->EjectTray();
}

bool TDVDWriterPro2::EraseDisc(bool quick)
{
    return m_drives->EraseDisc(quick);
}

std::optional<DiscContents> TDVDWriterPro2::DataOnDisc()
{
    return m_drives->DataOnDisc();
}

std::optional<StickInfo> TDVDWriterPro2::StickDetails(int index) const
{
    return m_drives->StickDetails(index);
}

int TDVDWriterPro2::CurrentDrive() const
{
    return m_drives->CurrentDrive();
}

bool TDVDWriterPro2::ConfirmStickWrite(int index)
{
    return m_drives->ConfirmStickWrite(index);
}

bool TDVDWriterPro2::RefreshSticks()
{
    return m_drives->RefreshSticks();
}

bool TDVDWriterPro2::StickLeftPartlyWritten(int index) const
{
    return m_drives->StickLeftPartlyWritten(index);
}
