#pragma once

#include <QString>

// What the read-back after a burn (AutoVerify) found: each file of the image compared, byte for byte,
// with the disc.
struct ReadBack
{
    int filesCompared = 0;
    int filesMatched = 0;
    // Why it could not compare every file (the image unreadable, cancelled); empty when it did.
    QString error;
    // The first file that did not match, as an image path ("/Docs/a.txt"), and the offset inside it of
    // its first differing or unreadable byte; empty and -1 when every compared file matched.
    QString firstDifferingFile;
    qint64 firstDifferenceOffset = -1;
};
