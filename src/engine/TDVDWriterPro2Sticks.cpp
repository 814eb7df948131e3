#include "engine/DriveSide.h"
#include "engine/StickInfo.h"
#include "engine/TDVDWriterPro2.h"

#include "engine/drives/DriveRegistry.h"
#include "engine/drives/StickDrive.h"
#include "engine/drives/StickEntries.h"
#include "engine/drives/UdisksModel.h"

namespace {

Drives::StickDrive *stickAt(int index)
{
    Drives::DriveRegistry::Entry *entry = Drives::DriveRegistry::instance().entry(index);
    if (!entry || !Drives::isStickAddress(entry->description.address))
        return nullptr;
    return dynamic_cast<Drives::StickDrive *>(entry->drive.get());
}

QString labelText(const QString &label, const QString &device)
{
    return label.isEmpty() ? QStringLiteral("(no label) %1").arg(device) : label;
}

} // namespace

std::optional<StickInfo> TDVDWriterPro2::StickDetails(int index) const
{
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

int TDVDWriterPro2::CurrentDrive() const
{
    return m_drives->current() ? m_drives->currentIndex() : -1;
}

bool TDVDWriterPro2::ConfirmStickWrite(int index)
{
    Drives::StickDrive *drive = stickAt(index);
    if (drive)
        drive->confirmWrite();
    return drive != nullptr;
}

bool TDVDWriterPro2::StickLeftPartlyWritten(int index) const
{
    const Drives::StickDrive *drive = stickAt(index);
    return drive && drive->leftPartlyWritten();
}

bool TDVDWriterPro2::RefreshSticks()
{
    return Drives::DriveRegistry::instance().refreshSticks();
}

void TDVDWriterPro2::followStickChanges()
{
    Drives::followSticks(this, [this] { Q_EMIT OnDriveListChanged(); });
}

QString StickQuestionText(const StickInfo &stick)
{
    const QString name = QStringList {stick.vendor, stick.model}.join(QLatin1Char(' ')).trimmed();
    QString text =
        QStringLiteral("Everything on %1 (%2, %3) will be overwritten by the image.")
            .arg(name.isEmpty() ? stick.device : name, Drives::Udisks::sizeText(stick.size), stick.device);
    if (!stick.labels.isEmpty())
        text +=
            QStringLiteral("\n\nThese will be destroyed: %1.").arg(stick.labels.join(QStringLiteral(", ")));
    text += QStringLiteral("\n\nWrite the image to this stick?");
    return text;
}

QString StickCancelledAdvice()
{
    return QStringLiteral("The stick was only partly written: write the image to it again, or re-format it, "
                          "before you use it.");
}
