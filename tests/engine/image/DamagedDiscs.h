#pragma once

#include <QString>

// Discs as a careful user's bad day brings them: a genisoimage image of a small tree (three 1 MB
// files, a folder of 301 files, a folder D1 with one file), damaged in one way.
namespace DamagedDiscs {

enum class Damage {
    CutInFileData, // ends inside the last file's data
    CutInDirectoryArea, // ends inside the records of the folder of 301 files
    RandomBytesOverFolderRecords, // that folder's records overwritten
    FolderLoopsToRoot, // D1's record points at the root's own extent
    ZeroByteFile,
    TextFile,
};

struct Row
{
    const char *name;
    Damage damage;
    const char *reason; // how the engine's error starts, for a disc in drive X
};
extern const Row Rows[6];

// Makes the disc in `folder` and answers its path; empty (with a test failure) when it could not.
QString make(Damage damage, const QString &folder);

} // namespace DamagedDiscs
