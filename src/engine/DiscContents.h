#pragma once

#include <QString>

#include <cstdint>

// What a disc that a burn would overwrite, or an erase empty, holds: what the user is told before.
struct DiscContents
{
    QString driveLetter; // "E"
    QString driveName; // vendor and product, as the drive lists show them
    QString device; // "/dev/sr1", or the virtual drive's file
    QString kind; // "DVD+RW", "BD-RE", "virtual disc", ...
    QString label; // the volume label of the file system on it; empty when none was read
    int64_t usedBytes = -1; // what the file system on it takes; -1 when unknown
};

// The questions asked before the disc's data is lost, the same for the window and the command line.
QString OverwriteDiscQuestionText(const DiscContents &disc);
QString EraseDiscQuestionText(const DiscContents &disc);
