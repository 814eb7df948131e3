#include "engine/DiscContents.h"
#include "engine/DriveSide.h"
#include "engine/TDVDWriterPro2.h"

#include "engine/drives/DriveRegistry.h"
#include "engine/drives/MediumHead.h"
#include "engine/drives/StickEntries.h"
#include "engine/drives/UdisksModel.h"

#include <QFile>
#include <QFileInfo>

using Drives::DriveRegistry;
using Entry = Drives::DriveRegistry::Entry;

namespace {

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

std::optional<DiscContents> TDVDWriterPro2::DataOnDisc()
{
    Entry *entry = m_drives->current();
    if (!entry || Drives::isStickAddress(entry->description.address))
        return std::nullopt; // no drive; a stick has its own question
    DiscContents disc;
    disc.driveLetter = DriveLetter(m_drives->currentIndex());
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
        if (entry->busy || !DriveRegistry::instance().acquire(*entry))
            return std::nullopt; // a drive that cannot be opened is not written either
        entry->lastMedium = entry->drive->medium();
        DriveRegistry::instance().pumpMessages();
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
        DriveRegistry::instance().pumpMessages();
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

namespace {

QString whatItHolds(const DiscContents &disc)
{
    const QString used = disc.usedBytes >= 0 ? Drives::Udisks::sizeText(disc.usedBytes) : QString();
    if (!disc.label.isEmpty())
        return used.isEmpty() ? QStringLiteral("It holds \"%1\".").arg(disc.label)
                              : QStringLiteral("It holds \"%1\", %2 used.").arg(disc.label, used);
    if (!used.isEmpty())
        return QStringLiteral("It holds %1 of data without a volume label.").arg(used);
    return QStringLiteral("It holds data whose label and size could not be read.");
}

QString whichDisc(const DiscContents &disc)
{
    return QStringLiteral("the %1 in drive %2: (%3, %4)")
        .arg(disc.kind, disc.driveLetter, disc.driveName.trimmed(), disc.device);
}

} // namespace

QString OverwriteDiscQuestionText(const DiscContents &disc)
{
    return QStringLiteral("Everything on %1 will be overwritten by the image.\n\n%2\n\nWrite the image to "
                          "this disc?")
        .arg(whichDisc(disc), whatItHolds(disc));
}

QString EraseDiscQuestionText(const DiscContents &disc)
{
    return QStringLiteral("Everything on %1 will be erased.\n\n%2\n\nErase this disc?")
        .arg(whichDisc(disc), whatItHolds(disc));
}
