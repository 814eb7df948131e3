#pragma once

#include <QString>
#include <QStringList>

// What a check of an image file or a disc found: against the checksums recorded in it
// (VerifyImageChecksums), or byte for byte against an image file (CompareDiscWithImage).
struct ImageCheck
{
    enum class Outcome {
        Intact,
        Damaged, // `damaged` names every damaged file
        NoChecksums, // the image records none: nothing could be checked
        Failed, // `error` says why the check could not be made
        Cancelled,
    };

    Outcome outcome = Outcome::Failed;
    int filesChecked = 0;
    // Image paths ("/Docs/a.txt") of the damaged files; a damaged area outside every file (folders,
    // descriptors, padding) is named by a sentence in brackets instead.
    QStringList damaged;
    QString error;
};
