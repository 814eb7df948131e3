#include "DamagedDiscs.h"

#include "ImageTestSupport.h"

#include <QFile>
#include <QList>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

namespace DamagedDiscs {

using V = Verdict;

const Row Rows[10] = {
    {"CutInFileData",
     Damage::CutInFileData,
     "Could not read X:\\", // whichever file lies behind the cut
     {V::NoChecksums, "records no checksums"},
     {V::Damaged, "(beyond the end of the image)"},
     {V::Damaged, "files differ from the image"}},
    {"CutInDirectoryArea",
     Damage::CutInDirectoryArea,
     "The disc in drive X: is damaged: it ends after",
     {V::Damaged, "(the folders: it ends after"},
     {V::Refused, "is damaged: it ends after"},
     {V::Refused, "could not be read back for the comparison: it ends after"}},
    {"RandomBytesOverFolderRecords",
     Damage::RandomBytesOverFolderRecords,
     "The disc in drive X: is damaged",
     {V::Damaged, "(the folders: "},
     {V::Refused, "is damaged: "},
     {V::Refused, "could not be read back for the comparison"}},
    {"FolderLoopsToRoot",
     Damage::FolderLoopsToRoot,
     "The disc in drive X: is damaged: the folder \\D1 leads back into a folder that holds it",
     {V::Damaged, "the folder \\D1 leads back into a folder that holds it"},
     {V::Refused, "the folder \\D1 leads back into a folder that holds it"},
     {V::Refused, "the folder \\D1 leads back into a folder that holds it"}},
    {"FanOut",
     Damage::FanOut,
     "The disc in drive X: is damaged: the folders \\a", // whichever two libisofs meets first
     {V::Damaged, "share their records"},
     {V::Refused, "share their records"},
     {V::Refused, "share their records"}},
    {"OverlapIntoParent",
     Damage::OverlapIntoParent,
     "The disc in drive X: is damaged: the folder \\a\\b\\zz leads back into a folder that holds it",
     {V::Damaged, "the folder \\a\\b\\zz leads back into a folder that holds it"},
     {V::Refused, "the folder \\a\\b\\zz leads back into a folder that holds it"},
     {V::Refused, "the folder \\a\\b\\zz leads back into a folder that holds it"}},
    {"ZeroByteFile",
     Damage::ZeroByteFile,
     "There is no disc in drive X:, or the disc in it is blank.",
     {V::Refused, "There is no disc in "},
     {V::Refused, "There is no disc in "},
     {V::Refused, "could not be read back for the comparison: the file is empty"}},
    {"TextFile",
     Damage::TextFile,
     "The disc in drive X: holds no readable file system: it holds no ISO-9660 volume descriptor",
     {V::Refused, "holds no readable ISO-9660 file system: it holds no ISO-9660 volume descriptor"},
     {V::Refused, "holds no readable ISO-9660 file system: it holds no ISO-9660 volume descriptor"},
     {V::Refused, "could not be read back for the comparison: it holds no ISO-9660 volume descriptor"}},
    {"FifoAsDrive",
     Damage::FifoAsDrive,
     "The disc in drive X: (",
     {V::Refused, "cannot be read: it is not a disc or an image file"},
     {V::Refused, "it is not a disc or an image file"},
     {V::Refused, "could not be read back for the comparison: it is not a disc or an image file"}},
    {"EmptyDrive",
     Damage::EmptyDrive,
     "There is no disc in drive X:, or the disc in it is blank.",
     {V::Refused, "There is no disc in "},
     {V::Refused, "There is no disc in "},
     {V::Refused, "could not be read back for the comparison: No such file or directory"}},
};

namespace {

constexpr qint64 Block = 2048;
constexpr qint64 PrimaryDescriptor = 16 * Block;
constexpr qint64 RootRecord = PrimaryDescriptor + 156;

uint32_t le32(const QByteArray &d, qint64 at)
{
    const auto *p = reinterpret_cast<const uint8_t *>(d.constData() + at);
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Both-endian 32-bit field of a directory record.
void setBoth32(QByteArray &d, qint64 at, uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        d[at + i] = char((value >> (8 * i)) & 0xff);
        d[at + 4 + i] = char((value >> (8 * (3 - i))) & 0xff);
    }
}

// The offsets of the records of the folder whose own record is at `folderRecord`, "." and ".." left out.
QList<qint64> recordsOf(const QByteArray &d, qint64 folderRecord)
{
    QList<qint64> records;
    const qint64 start = qint64(le32(d, folderRecord + 2)) * Block;
    const qint64 end = start + le32(d, folderRecord + 10);
    for (qint64 at = start; at < end && at < d.size();) {
        const int length = uint8_t(d[at]);
        if (length == 0) {
            at = (at / Block + 1) * Block;
            continue;
        }
        const bool selfOrParent = uint8_t(d[at + 32]) == 1 && uint8_t(d[at + 33]) <= 1;
        if (!selfOrParent)
            records << at;
        at += length;
    }
    return records;
}

QByteArray recordName(const QByteArray &d, qint64 record)
{
    return d.mid(record + 33, uint8_t(d[record + 32]));
}

// The offset of the record named `name` (ISO-9660 name as recorded, e.g. "F3.BIN;1") in the folder
// whose own record is at `folderRecord`.
std::optional<qint64> childRecord(const QByteArray &d, qint64 folderRecord, const QByteArray &name)
{
    for (qint64 record : recordsOf(d, folderRecord)) {
        if (recordName(d, record) == name)
            return record;
    }
    return std::nullopt;
}

std::optional<qint64> rootRecord(const QByteArray &d, const QByteArray &name)
{
    return childRecord(d, RootRecord, name);
}

qint64 extentOf(const QByteArray &d, const QByteArray &name)
{
    const std::optional<qint64> record = rootRecord(d, name);
    return record ? qint64(le32(d, *record + 2)) * Block : -1;
}

// Every folder record of the folder at `folderRecord` is pointed at the first one's extent; answers
// that first record.
std::optional<qint64> shareOneExtent(QByteArray &d, qint64 folderRecord)
{
    std::optional<qint64> first;
    for (qint64 record : recordsOf(d, folderRecord)) {
        if (!(uint8_t(d[record + 25]) & 0x02))
            continue;
        if (!first) {
            first = record;
            continue;
        }
        setBoth32(d, record + 2, le32(d, *first + 2));
        setBoth32(d, record + 10, le32(d, *first + 10));
    }
    return first;
}

bool makeIso(const QString &tree, const QString &disc)
{
    const ImageTest::ProcessResult made =
        ImageTest::run(QStringLiteral("genisoimage"),
                       {QStringLiteral("-quiet"), QStringLiteral("-J"), QStringLiteral("-R"),
                        QStringLiteral("-o"), disc, tree});
    if (made.exitCode != 0)
        ADD_FAILURE() << "genisoimage: " << made.err.constData();
    return made.exitCode == 0;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        ADD_FAILURE() << "cannot read " << path.toStdString();
    return file.readAll();
}

bool writeAll(const QString &path, const QByteArray &d)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(d) != d.size()) {
        ADD_FAILURE() << "cannot write " << path.toStdString();
        return false;
    }
    return true;
}

// 1.3 MB that would expand to 200 × 200 × 200 folders of one file each.
QString makeFanOut(const QString &folder, const QString &disc)
{
    const QString tree = folder + QStringLiteral("/tree");
    const auto name = [](char level, int i) {
        return QStringLiteral("%1%2").arg(QLatin1Char(level)).arg(i, 3, 10, QLatin1Char('0'));
    };
    for (int i = 0; i < 200; ++i) {
        ImageTest::makeDirs(tree + QLatin1Char('/') + name('a', i));
        ImageTest::makeDirs(tree + QStringLiteral("/a000/") + name('b', i));
        ImageTest::makeDirs(tree + QStringLiteral("/a000/b000/") + name('c', i));
    }
    ImageTest::writeFile(tree + QStringLiteral("/a000/b000/c000/leaf.txt"), "leaf");
    if (!makeIso(tree, disc))
        return {};
    QByteArray d = readAll(disc);
    const std::optional<qint64> a = shareOneExtent(d, RootRecord);
    const std::optional<qint64> b = a ? shareOneExtent(d, *a) : std::nullopt;
    const std::optional<qint64> c = b ? shareOneExtent(d, *b) : std::nullopt;
    if (!c) {
        ADD_FAILURE() << "unexpected layout of the fan-out image";
        return {};
    }
    return writeAll(disc, d) ? disc : QString();
}

// B's records fill several blocks; ZZ's, the last, is pointed at the block that holds it, not B's first.
QString makeOverlap(const QString &folder, const QString &disc)
{
    const QString tree = folder + QStringLiteral("/tree");
    for (int i = 0; i < 60; ++i)
        ImageTest::writeFile(tree + QStringLiteral("/a/b/file %1 with a longer name.txt").arg(i), "b");
    ImageTest::writeFile(tree + QStringLiteral("/a/b/zz/z.txt"), "z");
    if (!makeIso(tree, disc))
        return {};
    QByteArray d = readAll(disc);
    const std::optional<qint64> a = rootRecord(d, "A");
    const std::optional<qint64> b = a ? childRecord(d, *a, "B") : std::nullopt;
    const std::optional<qint64> zz = b ? childRecord(d, *b, "ZZ") : std::nullopt;
    if (!zz || *zz / Block == qint64(le32(d, *b + 2))) {
        ADD_FAILURE() << "unexpected layout of the overlap image";
        return {};
    }
    setBoth32(d, *zz + 2, uint32_t(*zz / Block));
    return writeAll(disc, d) ? disc : QString();
}

} // namespace

QString make(Damage damage, const QString &folder)
{
    const QString disc = folder + QStringLiteral("/disc.iso");
    switch (damage) {
    case Damage::ZeroByteFile:
    case Damage::TextFile:
        ImageTest::writeFile(
            disc, damage == Damage::TextFile ? QByteArray("Just some notes.\n").repeated(400) : QByteArray());
        return disc;
    case Damage::FifoAsDrive:
        ImageTest::makeFifo(disc);
        return disc;
    case Damage::EmptyDrive:
        return disc;
    case Damage::FanOut:
        return makeFanOut(folder, disc);
    case Damage::OverlapIntoParent:
        return makeOverlap(folder, disc);
    default:
        break;
    }
    const QString tree = folder + QStringLiteral("/tree");
    for (int i = 1; i <= 3; ++i)
        ImageTest::writeFile(tree + QStringLiteral("/f%1.bin").arg(i), ImageTest::patterned(1 << 20, i));
    for (int i = 1; i <= 301; ++i)
        ImageTest::writeFile(tree + QStringLiteral("/many/file%1.txt").arg(i), QByteArray::number(i));
    ImageTest::writeFile(tree + QStringLiteral("/D1/in.txt"), "inside");
    if (!makeIso(tree, disc))
        return {};
    QByteArray d = readAll(disc);

    const qint64 lastFile = extentOf(d, "F3.BIN;1");
    const qint64 many = extentOf(d, "MANY");
    if (lastFile < 0 || many < 0) {
        ADD_FAILURE() << "unexpected layout of the genisoimage image";
        return {};
    }
    switch (damage) {
    case Damage::CutInFileData:
        d.truncate(lastFile + 300000);
        break;
    case Damage::CutInDirectoryArea:
        d.truncate(many + 2 * Block);
        break;
    case Damage::RandomBytesOverFolderRecords: {
        QRandomGenerator random(7);
        for (qint64 at = many + 300; at < many + 3 * Block; ++at)
            d[at] = char(random.bounded(256));
        break;
    }
    case Damage::FolderLoopsToRoot: {
        const std::optional<qint64> d1 = rootRecord(d, "D1");
        if (!d1) {
            ADD_FAILURE() << "no record of D1";
            return {};
        }
        setBoth32(d, *d1 + 2, le32(d, RootRecord + 2));
        setBoth32(d, *d1 + 10, le32(d, RootRecord + 10));
        break;
    }
    default:
        break;
    }
    return writeAll(disc, d) ? disc : QString();
}

} // namespace DamagedDiscs
