#include "DamagedDiscs.h"

#include "ImageTestSupport.h"

#include <QFile>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

namespace DamagedDiscs {

const Row Rows[6] = {
    {"CutInFileData", Damage::CutInFileData, "Could not read X:\\"}, // whichever file lies behind the cut
    {"CutInDirectoryArea", Damage::CutInDirectoryArea, "The disc in drive X: holds no readable file system"},
    {"RandomBytesOverFolderRecords", Damage::RandomBytesOverFolderRecords, "The disc in drive X: is damaged"},
    {"FolderLoopsToRoot", Damage::FolderLoopsToRoot,
     "The disc in drive X: is damaged: the folder \\D1 leads back into a folder that holds it"},
    {"ZeroByteFile", Damage::ZeroByteFile, "The disc in drive X: holds no readable file system"},
    {"TextFile", Damage::TextFile, "The disc in drive X: holds no readable file system"},
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

// The offset of the root's record named `name` (ISO-9660 name as recorded, e.g. "F3.BIN;1").
std::optional<qint64> rootRecord(const QByteArray &d, const QByteArray &name)
{
    const qint64 start = qint64(le32(d, RootRecord + 2)) * Block;
    const qint64 end = start + le32(d, RootRecord + 10);
    for (qint64 at = start; at < end && at < d.size();) {
        const int length = uint8_t(d[at]);
        if (length == 0) {
            at = (at / Block + 1) * Block;
            continue;
        }
        if (d.mid(at + 33, uint8_t(d[at + 32])) == name)
            return at;
        at += length;
    }
    return std::nullopt;
}

qint64 extentOf(const QByteArray &d, const QByteArray &name)
{
    const std::optional<qint64> record = rootRecord(d, name);
    return record ? qint64(le32(d, *record + 2)) * Block : -1;
}

} // namespace

QString make(Damage damage, const QString &folder)
{
    const QString disc = folder + QStringLiteral("/disc.iso");
    if (damage == Damage::ZeroByteFile || damage == Damage::TextFile) {
        ImageTest::writeFile(
            disc, damage == Damage::TextFile ? QByteArray("Just some notes.\n").repeated(400) : QByteArray());
        return disc;
    }
    const QString tree = folder + QStringLiteral("/tree");
    for (int i = 1; i <= 3; ++i)
        ImageTest::writeFile(tree + QStringLiteral("/f%1.bin").arg(i), ImageTest::patterned(1 << 20, i));
    for (int i = 1; i <= 301; ++i)
        ImageTest::writeFile(tree + QStringLiteral("/many/file%1.txt").arg(i), QByteArray::number(i));
    ImageTest::writeFile(tree + QStringLiteral("/D1/in.txt"), "inside");
    const ImageTest::ProcessResult made =
        ImageTest::run(QStringLiteral("genisoimage"),
                       {QStringLiteral("-quiet"), QStringLiteral("-J"), QStringLiteral("-R"),
                        QStringLiteral("-o"), disc, tree});
    if (made.exitCode != 0) {
        ADD_FAILURE() << "genisoimage: " << made.err.constData();
        return {};
    }
    QFile file(disc);
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot read " << disc.toStdString();
        return {};
    }
    QByteArray d = file.readAll();
    file.close();

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
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(d) != d.size()) {
        ADD_FAILURE() << "cannot write " << disc.toStdString();
        return {};
    }
    return disc;
}

} // namespace DamagedDiscs
