#include "core/WriteErrors.h"

#include "engine/EngineCodes.h"

#include <array>

namespace {

constexpr int kFirstCode = 1000;
constexpr std::array<const char *, 56> kDriveErrors = {
    "No additional error data was reported",
    "Abnormal I/O Termination",
    "The drive is not ready",
    "Communication with drive unit failed",
    "The drive could not track properly",
    "Writing error of unknown origin",
    "Writing occurred, but recovery is needed",
    "Recovery attempt failed",
    "A buffer under-run has occurred",
    "The disc could not be read",
    "The drive's attempts at reading retries failed ",
    "The read timed out",
    "While reading, the LEC was not recovered",
    "The CIRC could not be validated",
    "Reading of the UPC failed",
    "Reading of the ISRC failed",
    "Streaming while reading was interrupted",
    "Drive could not position media",
    "An incompatible parameter length was sent to the drive",
    "A transfer error occurred to the drive",
    "An invalid command was sent to the drive",
    "Error trying to write past the end of the media",
    "Invalid command field",
    "An incompatible parameter field was sent to the drive",
    "A command parameter is not supported",
    "A command parameter had an invalid value",
    "The SCSI/ATAPI bus was reset and caused a write failure",
    "A command parameter changed while in progress",
    "The disc is not compatible with the drive mode",
    "The drive does not recognize the format of the disc",
    "The disc format is not compatible with the drive",
    "The disc is of an unknown format",
    "The drive cannot write because of an incompatible format",
    "A disc is not present",
    "The drive had an unknown failure",
    "The drive has timed out while completing a command",
    "The disc could not be erased",
    "The Table of Contents is unrecoverable",
    "Error trying to write past the user area of the media",
    "Packet recording is not configured correctly",
    "The current track mode is incompatible with the disc format",
    "Packet recording has incorrect size",
    "A generic session closing error occurred",
    "Error closing Lead-in area",
    "Error closing Lead-out area",
    "While closing, the track was never completed",
    "Error attempting to write to a reserved track",
    "Power calibration area is full",
    "A flaw exists in the Power calibration area",
    "The disc's PMA could not be updated",
    "The disc's PMA is full",
    "Unknown error - use extended data for more information",
    "No Error Reported",
    "A seek command was interrupted by another command",
    "A NT disc I/O operation failed",
    "A format is in progress causing operation failure",
};

} // namespace

QString DriveErrorText(int code)
{
    QString text;
    const int index = code - kFirstCode;
    if (index >= 0 && index < int(kDriveErrors.size()))
        text = QString::fromLatin1(kDriveErrors[size_t(index)]);
    return text + QStringLiteral(" (") + QString::number(code) + QStringLiteral(").");
}

QString ComposeWriteErrorText(int WriteError, int DriveError, const QString &sErrorInfo,
                              const QString &sSenseInfo)
{
    QString text = QStringLiteral("Writing Error: (") + QString::number(WriteError) + QStringLiteral(")   ") +
        sErrorInfo + QLatin1Char('\r');
    if (WriteError == EngineCodes::DriveSenseError) {
        text += DriveErrorText(DriveError) + QLatin1Char('\r') + QStringLiteral(" Error Sense Data: ") +
            sSenseInfo;
    }
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    return nul < 0 ? text : text.left(nul);
}
