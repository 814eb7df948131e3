#include "engine/drives/SenseTable.h"

#include <QRegularExpression>

#include <array>

namespace Drives {

namespace {

constexpr int Any = -1;

struct Row
{
    int key;
    int asc;
    int ascq;
    int code;
};

// First matching row wins: specific rows before the rows of their whole class.
constexpr std::array Rows {
    Row {0x00, 0x00, 0x00, 1000}, // no sense: the drive gave no detail
    Row {Any, 0x04, 0x04, 1055}, // format in progress
    Row {Any, 0x04, Any, 1002}, // becoming ready, not ready
    Row {Any, 0x3A, Any, 1033}, // medium not present
    Row {Any, 0x08, 0x03, 1019}, // logical unit communication CRC error
    Row {Any, 0x08, Any, 1003}, // logical unit communication failure
    Row {Any, 0x09, Any, 1004}, // track following, servo failures
    Row {Any, 0x0C, 0x07, 1006}, // write error, recovery needed
    Row {Any, 0x0C, 0x08, 1007}, // write error, recovery failed
    Row {Any, 0x0C, 0x09, 1008}, // write error, loss of streaming
    Row {Any, 0x0C, Any, 1005}, // write error
    Row {Any, 0x11, 0x01, 1010}, // read retries exhausted
    Row {Any, 0x11, 0x05, 1012}, // L-EC uncorrectable
    Row {Any, 0x11, 0x06, 1013}, // CIRC unrecovered
    Row {Any, 0x11, 0x0F, 1014}, // error reading UPC/EAN
    Row {Any, 0x11, 0x10, 1015}, // error reading ISRC
    Row {Any, 0x11, 0x11, 1016}, // read error, loss of streaming
    Row {Any, 0x11, Any, 1009}, // unrecovered read error
    Row {Any, 0x15, Any, 1017}, // positioning error
    Row {Any, 0x1A, Any, 1018}, // parameter list length error
    Row {Any, 0x1B, Any, 1019}, // synchronous data transfer error
    Row {Any, 0x20, Any, 1020}, // invalid command operation code
    Row {Any, 0x21, Any, 1021}, // LBA out of range, invalid address for write
    Row {Any, 0x24, Any, 1022}, // invalid field in CDB
    Row {Any, 0x26, 0x01, 1024}, // parameter not supported
    Row {Any, 0x26, 0x02, 1025}, // parameter value invalid
    Row {Any, 0x26, Any, 1023}, // invalid field in parameter list
    Row {0x06, 0x29, Any, 1026}, // power on, reset, bus reset
    Row {0x06, 0x2A, Any, 1027}, // parameters changed
    Row {Any, 0x2E, Any, 1035}, // insufficient time for operation
    Row {Any, 0x30, 0x01, 1029}, // cannot read medium, unknown format
    Row {Any, 0x30, 0x02, 1030}, // cannot read medium, incompatible format
    Row {Any, 0x30, 0x04, 1031}, // cannot write medium, unknown format
    Row {Any, 0x30, 0x05, 1032}, // cannot write medium, incompatible format
    Row {Any, 0x30, 0x06, 1030}, // cannot format medium, incompatible medium
    Row {Any, 0x30, Any, 1028}, // incompatible medium installed
    Row {Any, 0x31, Any, 1031}, // medium format corrupted, format failed
    Row {Any, 0x3E, 0x02, 1035}, // timeout on logical unit
    Row {Any, 0x44, Any, 1034}, // internal target failure
    Row {Any, 0x47, Any, 1019}, // SCSI parity error
    Row {Any, 0x4B, Any, 1019}, // data phase error
    Row {Any, 0x51, Any, 1036}, // erase failure
    Row {Any, 0x57, Any, 1037}, // unable to recover table of contents
    Row {Any, 0x63, 0x01, 1041}, // packet does not fit in available space
    Row {Any, 0x63, Any, 1038}, // end of user area encountered
    Row {Any, 0x64, 0x01, 1041}, // invalid packet size
    Row {Any, 0x64, Any, 1040}, // illegal mode for this track
    Row {Any, 0x72, 0x01, 1043}, // session fixation error writing lead-in
    Row {Any, 0x72, 0x02, 1044}, // session fixation error writing lead-out
    Row {Any, 0x72, 0x03, 1045}, // incomplete track in session
    Row {Any, 0x72, 0x04, 1046}, // empty or partially written reserved track
    Row {Any, 0x72, 0x05, 1046}, // no more track reservations allowed
    Row {Any, 0x72, Any, 1042}, // session fixation error
    Row {Any, 0x73, 0x01, 1047}, // power calibration area almost full
    Row {Any, 0x73, 0x02, 1047}, // power calibration area is full
    Row {Any, 0x73, 0x03, 1047}, // power calibration area error
    Row {Any, 0x73, 0x04, 1049}, // program memory area update failure
    Row {Any, 0x73, 0x05, 1050}, // program memory area is full
    Row {0x0B, Any, Any, 1001}, // aborted command
    Row {0x04, Any, Any, 1034}, // hardware error of another kind
};

bool matches(int pattern, int value)
{
    return pattern == Any || pattern == value;
}

} // namespace

QString Sense::text() const
{
    return QStringLiteral("%1/%2/%3")
        .arg(key, 2, 16, QLatin1Char('0'))
        .arg(asc, 2, 16, QLatin1Char('0'))
        .arg(ascq, 2, 16, QLatin1Char('0'))
        .toUpper();
}

std::optional<Sense> parseSense(const QString &messageText)
{
    static const QRegularExpression bracketed(
        QStringLiteral(R"(\[([0-9A-Fa-f]{1,2}) ([0-9A-Fa-f]{1,2}) ([0-9A-Fa-f]{1,2})\])"));
    static const QRegularExpression named(
        QStringLiteral(R"(key=([0-9A-Fa-f]{1,2})h? asc=([0-9A-Fa-f]{1,2})h? ascq=([0-9A-Fa-f]{1,2})h?)"));
    for (const QRegularExpression *pattern : {&bracketed, &named}) {
        const QRegularExpressionMatch match = pattern->match(messageText);
        if (match.hasMatch())
            return Sense {match.captured(1).toInt(nullptr, 16), match.captured(2).toInt(nullptr, 16),
                          match.captured(3).toInt(nullptr, 16)};
    }
    return std::nullopt;
}

int driveErrorFor(const Sense &sense)
{
    for (const Row &row : Rows) {
        if (matches(row.key, sense.key) && matches(row.asc, sense.asc) && matches(row.ascq, sense.ascq))
            return row.code;
    }
    return 1051;
}

} // namespace Drives
