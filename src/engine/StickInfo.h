#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

// What the user is told about a USB stick or SD card before it is overwritten.
struct StickInfo
{
    QString vendor;
    QString model;
    int64_t size = 0;
    QString device; // "/dev/sdb"
    QStringList labels; // of the file systems that writing destroys: "DEBIAN 12", "(no label) /dev/sdb2"
};

// The question asked before writing to a stick, the same for the window and the command line.
QString StickQuestionText(const StickInfo &stick);
// Said after a cancelled write that had begun to change the stick.
QString StickCancelledAdvice();
