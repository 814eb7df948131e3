#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// What a check of an image file or a disc found: against the checksums recorded in it
// (VerifyImageChecksums), or byte for byte against an image file (CompareDiscWithImage).
struct ImageCheck
{
    enum class Outcome {
        Intact,
        Damaged, // `damaged`, `damagedAreas` and `unchecked` name what is wrong
        NoChecksums, // the image records none: nothing could be checked
        Failed, // `error` says why the check could not be made
        Cancelled,
    };

    // A file that could not be compared, with why ("beyond the end of the disc").
    struct Unchecked
    {
        QString path;
        QString why;
    };

    Outcome outcome = Outcome::Failed;
    // The files compared in full; neither the unchecked ones nor the areas outside the files count.
    int filesChecked = 0;
    // Image paths ("/Docs/a.txt") of the damaged files.
    QStringList damaged;
    // Damage outside every file (folders, descriptors, padding, a medium cut short), each a sentence in
    // brackets.
    QStringList damagedAreas;
    std::vector<Unchecked> unchecked;
    QString error;
};
