#pragma once

#include <QString>

#include <optional>

// SCSI sense data in libburn's messages, and the drive error table codes (1000-1055) they stand for.
namespace Drives {

struct Sense
{
    int key = 0;
    int asc = 0;
    int ascq = 0;
    QString text() const; // "KK/AA/QQ", two hex digits each
};

// The sense bytes of a message text: "[3 0C 00]" or "key=3 asc=0Ch ascq=00h"; none when absent.
std::optional<Sense> parseSense(const QString &messageText);

// The drive error code that fits the sense; 1051 when none does.
int driveErrorFor(const Sense &sense);

} // namespace Drives
