#pragma once

#include <QString>

#include <ostream>

// Discs as a careful user's bad day, or a hostile one, brings them: mostly a genisoimage image of a
// small tree (three 1 MB files, a folder of 301 files, a folder D1 with one file), damaged in one way.
namespace DamagedDiscs {

enum class Damage {
    CutInFileData, // ends inside the last file's data
    CutInDirectoryArea, // ends inside the records of the folder of 301 files
    RandomBytesOverFolderRecords, // that folder's records overwritten
    FolderLoopsToRoot, // D1's record points at the root's own extent
    FanOut, // 200 sibling folders on each of 3 levels, each level's sharing one extent: 8 million files
    OverlapIntoParent, // /A/B/ZZ's extent is the block of B's records that holds ZZ's own record
    ZeroByteFile,
    TextFile,
    FifoAsDrive, // the drive's file is a FIFO nobody writes to
    EmptyDrive, // no disc: the drive's file is not there
};

// What a check of the disc makes of it (verify, verify --against, burn --verify).
enum class Verdict {
    Refused, // an error: the check could not be made
    Damaged, // damage found, named in the check's lines
    NoChecksums, // the folders read well, but nothing is recorded to check them against
    Intact, // nothing found wrong
};

struct PathExpectation
{
    Verdict verdict;
    const char *said; // a part of what the check says: its error, or its damage lines
};

struct Row
{
    const char *name;
    Damage damage;
    const char *reason; // how the engine's error starts when the disc is copied, for a disc in drive X
    // The disc as drive X checked against its recorded checksums, compared with itself as the image,
    // and read back after a burn of itself.
    PathExpectation checksums;
    PathExpectation against;
    PathExpectation burnVerify;
};
extern const Row Rows[10];

inline void PrintTo(const Row &row, std::ostream *os)
{
    *os << row.name;
}

// Makes the disc in `folder` and answers its path; empty (with a test failure) when it could not.
QString make(Damage damage, const QString &folder);

} // namespace DamagedDiscs
