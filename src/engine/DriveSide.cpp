#include "engine/DriveSide.h"

#include "engine/TDVDWriterPro2.h"

#include "engine/drives/DriveRegistry.h"
#include "engine/drives/MediaTable.h"
#include "engine/drives/MediumHead.h"
#include "engine/drives/StickDrive.h"
#include "engine/drives/StickEntries.h"
#include "engine/drives/UdisksModel.h"

#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QTimer>

using Drives::BlockBytes;
using Drives::DriveRegistry;
using Drives::registry;
using Entry = Drives::DriveRegistry::Entry;

namespace {

Drives::StickDrive *stickAt(int index)
{
    Entry *entry = registry().entry(index);
    if (!entry || !Drives::isStickAddress(entry->description.address))
        return nullptr;
    return dynamic_cast<Drives::StickDrive *>(entry->drive.get());
}

QString labelText(const QString &label, const QString &device)
{
    return label.isEmpty() ? QStringLiteral("(no label) %1").arg(device) : label;
}

enum class Recording { WriteOnce, Sequential, InPlace };

struct MediumKind
{
    QString name;
    Recording recording = Recording::WriteOnce;
};

// Rewritable media by MMC profile: a sequential one holds data once it is not blank; one written in
// place (libburn calls it blank whatever it holds) only tells by what lies at its start.
MediumKind kindOf(int profile)
{
    switch (profile) {
    case 0x0a:
        return {QStringLiteral("CD-RW"), Recording::Sequential};
    case 0x14:
        return {QStringLiteral("DVD-RW"), Recording::Sequential};
    case 0x13:
        return {QStringLiteral("DVD-RW"), Recording::InPlace};
    case 0x12:
        return {QStringLiteral("DVD-RAM"), Recording::InPlace};
    case 0x1a:
        return {QStringLiteral("DVD+RW"), Recording::InPlace};
    case 0x2a:
        return {QStringLiteral("DVD+RW DL"), Recording::InPlace};
    case 0x43:
        return {QStringLiteral("BD-RE"), Recording::InPlace};
    default:
        return {};
    }
}

QByteArray readVirtualHead(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(Drives::MediumHeadBytes);
}

} // namespace

DriveSide::DriveSide(TDVDWriterPro2 &engine)
    : m_engine(engine)
    , m_poll(new QTimer(this))
    , m_verifyPoll(new QTimer(this))
{
    m_poll->setInterval(100); // progress reaches the receivers ten times a second
    connect(m_poll, &QTimer::timeout, this, &DriveSide::pollJob);
    m_verifyPoll->setInterval(100);
}

void DriveSide::requireOwnThread(const char *call) const
{
    if (QThread::currentThread() != thread())
        qFatal("TDVDWriterPro2::%s was called on a thread other than its drive side's", call);
}

int DriveSide::currentIndex() const
{
    if (m_selectionMade && m_selectionGeneration == registry().generation())
        return m_selected;
    return registry().defaultWriter();
}

Entry *DriveSide::current() const
{
    return registry().entry(currentIndex());
}

bool DriveSide::InitializeDrives()
{
    requireOwnThread("InitializeDrives");
    return registry().initialize();
}

int DriveSide::DriveCount() const
{
    requireOwnThread("DriveCount");
    return registry().count();
}

QString DriveSide::DriveLetter(int index) const
{
    requireOwnThread("DriveLetter");
    if (!registry().entry(index))
        return {};
    return QString(QChar('D' + index));
}

QString DriveSide::DriveVendor(int index) const
{
    requireOwnThread("DriveVendor");
    const Entry *entry = registry().entry(index);
    return entry ? entry->description.vendor : QString();
}

QString DriveSide::DriveProduct(int index) const
{
    requireOwnThread("DriveProduct");
    const Entry *entry = registry().entry(index);
    return entry ? entry->description.product : QString();
}

bool DriveSide::IsWriter(int index) const
{
    requireOwnThread("IsWriter");
    const Entry *entry = registry().entry(index);
    return entry && entry->description.writer;
}

bool DriveSide::SelectDrive(int index)
{
    requireOwnThread("SelectDrive");
    DriveRegistry &r = registry();
    m_selectionMade = true;
    m_selectionGeneration = r.generation();
    m_selected = -1;
    Entry *entry = r.entry(index);
    if (!entry)
        return false;
    if (!entry->busy && !r.acquire(*entry))
        return false;
    m_selected = index;
    return true;
}

int DriveSide::DiscType()
{
    requireOwnThread("DiscType");
    Entry *entry = current();
    if (entry && entry->isVirtual)
        return Drives::DiscTypes::RandomAccess;
    if (!entry || !registry().refreshMedium(*entry))
        return Drives::DiscTypes::NoWritableMedium;
    return Drives::discTypeFor(entry->lastMedium.profile, entry->lastMedium.status);
}

MediumDetails DriveSide::CurrentMedium()
{
    requireOwnThread("CurrentMedium");
    Entry *entry = current();
    if (entry && entry->isVirtual) {
        MediumDetails details;
        details.state = MediumDetails::State::Blank;
        details.virtualDisc = true;
        return details;
    }
    if (!entry || !registry().refreshMedium(*entry))
        return {};
    return Drives::mediumDetailsFor(entry->lastMedium.profile, entry->lastMedium.status);
}

bool DriveSide::HasCapability(int code)
{
    requireOwnThread("HasCapability");
    Entry *entry = current();
    if (!entry)
        return false;
    if (entry->isVirtual)
        return code == Drives::Capabilities::FormatRandomAccess;
    return registry().refreshMedium(*entry) &&
        Drives::driveHasCapability(code, entry->lastMedium.driveProfiles);
}

int DriveSide::MaxWriteSpeed()
{
    requireOwnThread("MaxWriteSpeed");
    Entry *entry = current();
    if (!entry || entry->isVirtual || !registry().refreshMedium(*entry))
        return 0;
    return entry->lastMedium.maxWriteSpeed;
}

void DriveSide::SetWriteSpeed(int multiple)
{
    requireOwnThread("SetWriteSpeed");
    m_speedMultiple = multiple;
}

int64_t DriveSide::FreeBlocks()
{
    requireOwnThread("FreeBlocks");
    Entry *entry = current();
    if (!entry)
        return 0;
    if (entry->isVirtual)
        return entry->virtualSize / BlockBytes;
    if (!registry().refreshMedium(*entry))
        return 0;
    return entry->lastMedium.freeBytes / BlockBytes;
}

void DriveSide::EjectTray()
{
    requireOwnThread("EjectTray");
    Entry *entry = current();
    if (!entry || entry->isVirtual || entry->busy)
        return;
    // Released with eject; the next use opens the drive again, closing the tray.
    entry->drive->release(true);
    registry().pumpMessages();
}

std::optional<DiscContents> DriveSide::DataOnDisc()
{
    requireOwnThread("DataOnDisc");
    Entry *entry = current();
    if (!entry || Drives::isStickAddress(entry->description.address))
        return std::nullopt; // no drive; a stick has its own question
    DiscContents disc;
    disc.driveLetter = DriveLetter(currentIndex());
    disc.driveName = entry->description.vendor + QLatin1Char(' ') + entry->description.product;
    Drives::MediumHead head;
    if (entry->isVirtual) {
        // A missing or empty file is a blank disc.
        const QFileInfo file(entry->virtualPath);
        if (!file.exists() || file.size() == 0)
            return std::nullopt;
        disc.device = entry->virtualPath;
        disc.kind = QStringLiteral("virtual disc");
        head = Drives::readMediumHead(readVirtualHead(entry->virtualPath));
        if (head.usedBytes < 0)
            head.usedBytes = file.size();
    } else {
        if (entry->busy || !registry().acquire(*entry))
            return std::nullopt; // a drive that cannot be opened is not written either
        entry->lastMedium = entry->drive->medium();
        registry().pumpMessages();
        const MediumKind kind = kindOf(entry->lastMedium.profile);
        const Drives::DiscStatus status = entry->lastMedium.status;
        if (kind.recording == Recording::WriteOnce || status == Drives::DiscStatus::Empty ||
            status == Drives::DiscStatus::Unknown)
            return std::nullopt;
        const bool written = status != Drives::DiscStatus::Blank;
        if (!written && kind.recording == Recording::Sequential)
            return std::nullopt;
        disc.device = entry->description.devicePath;
        disc.kind = kind.name;
        const QByteArray start = entry->drive->readStart(Drives::MediumHeadBytes);
        registry().pumpMessages();
        head = Drives::readMediumHead(start);
        // A medium written in place whose start cannot be read may hold anything: asked about too.
        const bool unreadableInPlace = kind.recording == Recording::InPlace && start.isEmpty();
        if (!written && !head.holdsData && !unreadableInPlace)
            return std::nullopt;
    }
    disc.label = head.label;
    disc.usedBytes = head.usedBytes;
    return disc;
}

std::optional<StickInfo> DriveSide::StickDetails(int index) const
{
    requireOwnThread("StickDetails");
    const Drives::StickDrive *drive = stickAt(index);
    if (!drive)
        return std::nullopt;
    const Drives::Udisks::Stick &stick = drive->stick();
    StickInfo info;
    info.vendor = stick.vendor;
    info.model = stick.model;
    info.size = stick.size;
    info.device = stick.device;
    if (stick.hasFilesystem)
        info.labels.append(labelText(stick.label, stick.device));
    for (const Drives::Udisks::Partition &partition : stick.partitions)
        info.labels.append(labelText(partition.label, partition.device));
    return info;
}

int DriveSide::CurrentDrive() const
{
    requireOwnThread("CurrentDrive");
    return current() ? currentIndex() : -1;
}

bool DriveSide::ConfirmStickWrite(int index)
{
    requireOwnThread("ConfirmStickWrite");
    Drives::StickDrive *drive = stickAt(index);
    if (drive)
        drive->confirmWrite();
    return drive != nullptr;
}

bool DriveSide::StickLeftPartlyWritten(int index) const
{
    requireOwnThread("StickLeftPartlyWritten");
    const Drives::StickDrive *drive = stickAt(index);
    return drive && drive->leftPartlyWritten();
}

bool DriveSide::RefreshSticks()
{
    requireOwnThread("RefreshSticks");
    return registry().refreshSticks();
}

QString DriveSide::LastVerifyError() const
{
    requireOwnThread("LastVerifyError");
    return m_lastReadBack.error;
}

ReadBack DriveSide::LastReadBack() const
{
    requireOwnThread("LastReadBack");
    return m_lastReadBack;
}

QString DriveSide::LastBurnRefusal() const
{
    requireOwnThread("LastBurnRefusal");
    return m_lastRefusal;
}
