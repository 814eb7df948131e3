#include "cli/DriveWords.h"

#include "engine/EngineCodes.h"

#include <QLocale>
#include <QStringList>

namespace Cli {

namespace {

using State = MediumDetails::State;

QString writableTypeWords(int type)
{
    using namespace EngineCodes;
    switch (type) {
    case CdR:
        return QStringLiteral("CD-R");
    case CdRw:
        return QStringLiteral("CD-RW");
    case DvdRw:
        return QStringLiteral("DVD-RW");
    case DvdR:
        return QStringLiteral("DVD-R");
    case DvdPlusRw:
        return QStringLiteral("DVD+RW");
    case DvdPlusR:
        return QStringLiteral("DVD+R");
    case RandomAccess:
        return QStringLiteral("rewritable in place (DVD-RAM, BD-RE or a virtual drive)");
    case BdR:
        return QStringLiteral("BD-R");
    }
    return QStringLiteral("unknown disc (%1)").arg(type);
}

QString stateWords(State state)
{
    switch (state) {
    case State::Blank:
        return QStringLiteral("blank");
    case State::Appendable:
        return QStringLiteral("appendable");
    case State::Closed:
        return QStringLiteral("closed");
    case State::NoDisc:
    case State::Unreadable:
        break;
    }
    return {};
}

QString kindOf(const MediumDetails &medium)
{
    return medium.kind.isEmpty() ? QStringLiteral("disc") : medium.kind;
}

QString discWords(const DriveFacts &drive)
{
    const MediumDetails &medium = drive.medium;
    if (medium.state == State::NoDisc)
        return QStringLiteral("no disc");
    if (medium.state == State::Unreadable)
        return QStringLiteral("a disc it cannot read");
    if (medium.virtualDisc || (drive.discType == EngineCodes::RandomAccess && medium.kind.isEmpty()))
        return writableTypeWords(EngineCodes::RandomAccess);
    if (medium.pressed)
        return kindOf(medium) + QStringLiteral(" (pressed, read-only)");
    if (drive.discType == EngineCodes::RandomAccess)
        return kindOf(medium) + QStringLiteral(" (rewritable in place)");
    const QString kind = drive.discType == EngineCodes::NoWritableMedium || medium.kind.isEmpty()
        ? kindOf(medium)
        : writableTypeWords(drive.discType);
    if (medium.state == State::Closed && drive.discType == EngineCodes::NoWritableMedium)
        return kind + QStringLiteral(" (closed: nothing more can be written)");
    return kind + QStringLiteral(" (") + stateWords(medium.state) + QLatin1Char(')');
}

QString driveName(const DriveFacts &drive)
{
    return QStringLiteral("drive %1: (%2)").arg(drive.letter, drive.name);
}

} // namespace

QString driveStateWords(const DriveFacts &drive)
{
    QStringList words;
    // A stick stands in for a rewritable disc inside the engine; the user knows it as a stick.
    if (drive.stick)
        words << QStringLiteral("USB stick or SD card");
    else if (!drive.writer)
        words << QStringLiteral("reads discs only") << discWords(drive);
    else
        words << discWords(drive);
    if (drive.writer && drive.discType != EngineCodes::NoWritableMedium)
        words << QStringLiteral("%1 bytes free").arg(QLocale().toString(qint64(drive.freeBytes)));
    return words.join(QStringLiteral(", "));
}

QString writeRefusal(WriteJob job, const DriveFacts &drive)
{
    if (drive.stick || drive.medium.virtualDisc)
        return {};
    const bool burn = job == WriteJob::Burn;
    const QString what = burn ? QStringLiteral("written") : QStringLiteral("erased");
    const MediumDetails &medium = drive.medium;
    if (medium.state == State::NoDisc)
        return QStringLiteral("There is no disc in %1.").arg(driveName(drive));
    if (!drive.writer) {
        return QStringLiteral("%1 cannot %2 discs: it only reads them.")
            .arg(driveName(drive).replace(0, 1, QLatin1Char('D')),
                 burn ? QStringLiteral("write") : QStringLiteral("erase"));
    }
    const QString disc = QStringLiteral("The %1 in %2").arg(kindOf(medium), driveName(drive));
    if (medium.state == State::Unreadable)
        return QStringLiteral("%1 cannot be read by the drive.").arg(disc);
    if (medium.pressed)
        return QStringLiteral("%1 is a pressed, read-only disc: it cannot be %2.").arg(disc, what);
    if (drive.discType != EngineCodes::NoWritableMedium)
        return {};
    if (!burn)
        return QStringLiteral("%1 cannot be erased: only rewritable discs can.").arg(disc);
    if (medium.state == State::Closed)
        return QStringLiteral("%1 is closed: nothing more can be written to it.").arg(disc);
    return QStringLiteral("%1 cannot be written by this drive.").arg(disc);
}

} // namespace Cli
