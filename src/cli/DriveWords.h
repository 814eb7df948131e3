#pragma once

#include "engine/MediumDetails.h"

#include <QString>

#include <cstdint>

// How the command line words a drive and what it holds, and why it will not burn or erase on it: a
// person must know from the words alone a reader from a recorder and an empty tray from a pressed disc.
namespace Cli {

struct DriveFacts
{
    QString letter; // "D"
    QString name; // vendor and product, as the drive list entry has them
    bool writer = false;
    bool stick = false; // a USB stick or SD card
    int discType = 0; // the engine's DiscType()
    MediumDetails medium;
    int64_t freeBytes = 0;
};

// What follows the drive list entry in `drives`: what the drive is and what it holds.
QString driveStateWords(const DriveFacts &drive);

enum class WriteJob { Burn, Erase };

// The reason the drive or its disc cannot take the job, naming the drive; empty when neither stands in
// the way and the job's own checks decide.
QString writeRefusal(WriteJob job, const DriveFacts &drive);

} // namespace Cli
