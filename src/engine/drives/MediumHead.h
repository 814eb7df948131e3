#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

// What the first blocks of a medium tell about the data on it, without mounting anything.
namespace Drives {

// How much of a medium's start is read to tell: the system area, the volume descriptors of ISO 9660
// and the recognition sequence of UDF.
constexpr int64_t MediumHeadBytes = 64 * 1024;

struct MediumHead
{
    bool holdsData = false; // a file system, or anything that is not zeros
    QString label; // the ISO 9660 volume label, blanks at its end removed
    int64_t usedBytes = -1; // the ISO 9660 volume's size
};

MediumHead readMediumHead(const QByteArray &head);

} // namespace Drives
