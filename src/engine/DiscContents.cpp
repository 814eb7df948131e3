#include "engine/DiscContents.h"

#include "engine/drives/UdisksModel.h"

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
