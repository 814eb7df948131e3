#pragma once

#include "engine/EngineCodes.h"
#include "engine/drives/DriveLayer.h"

#include <vector>

// libburn's messages: which are worth an event, how one becomes an OnWriteError, and the log line of
// the others (stderr; the program has no log file).
namespace Drives {

// Rank of a severity name: DEBUG 0, ALL below it, ABORT highest; unknown names rank as WARNING.
int severityRank(const QString &severity);
bool isDebug(const LibraryMessage &message);
// The text with the system's reason appended when the message carries an errno.
QString describe(const LibraryMessage &message);
void logMessage(const LibraryMessage &message);
// A line of the engine's own on stderr.
void logLine(const QString &text);

struct WriteErrorReport
{
    int writeError = EngineCodes::DriveLibraryError;
    int driveError = 0;
    QString errorInfo;
    QString senseInfo;
    int usedMessage = -1; // index of the message the report was made from, -1 for none
};

// The OnWriteError of a failed job: 1 when the image could not be read, 3 when the drive gave sense
// data, else 2 with libburn's most severe message.
WriteErrorReport reportFailure(const std::vector<LibraryMessage> &messages, const QString &sourceError);

} // namespace Drives
