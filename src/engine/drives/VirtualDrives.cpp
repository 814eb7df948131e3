#include "engine/drives/VirtualDrives.h"

#include <QFileInfo>

#include <limits>

namespace Drives {

int64_t parseDriveSize(const QString &text)
{
    QString digits = text.trimmed();
    int64_t unit = 1;
    if (!digits.isEmpty()) {
        switch (digits.back().toUpper().unicode()) {
        case 'K':
            unit = int64_t(1) << 10;
            break;
        case 'M':
            unit = int64_t(1) << 20;
            break;
        case 'G':
            unit = int64_t(1) << 30;
            break;
        default:
            break;
        }
        if (unit != 1)
            digits.chop(1);
    }
    if (digits.isEmpty())
        return -1;
    for (QChar c : digits) {
        if (!c.isDigit() || c.unicode() > '9')
            return -1;
    }
    bool ok = false;
    const qulonglong number = digits.toULongLong(&ok);
    if (!ok || number == 0 || number > qulonglong(std::numeric_limits<int64_t>::max() / unit))
        return -1;
    return int64_t(number) * unit;
}

VirtualDriveList parseVirtualDrives(const QString &value)
{
    VirtualDriveList list;
    const QStringList entries = value.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString &entry : entries) {
        VirtualDrive drive;
        QString path = entry;
        const qsizetype equals = entry.lastIndexOf(QLatin1Char('='));
        if (equals >= 0) {
            path = entry.left(equals);
            drive.size = parseDriveSize(entry.mid(equals + 1));
            if (drive.size < 0) {
                list.problems.append(
                    QStringLiteral("\"%1\": the size is not a number of bytes with an optional "
                                   "K, M or G")
                        .arg(entry));
                continue;
            }
        }
        if (path.isEmpty()) {
            list.problems.append(QStringLiteral("\"%1\": no file given").arg(entry));
            continue;
        }
        drive.path = QFileInfo(path).absoluteFilePath();
        list.drives.push_back(drive);
    }
    return list;
}

} // namespace Drives
