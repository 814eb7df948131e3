// Reading a burn back: the image's files against the same place of the track on the medium.
#include "engine/drives/BurnVerifier.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray pattern(int bytes, int seed)
{
    QByteArray data(bytes, '\0');
    for (int i = 0; i < bytes; ++i)
        data[i] = char((i * 13 + seed) % 251);
    return data;
}

TEST(BurnVerifier, CountsTheFilesWhoseBytesAreOnTheMediumWhereTheImagePutThem)
{
    QTemporaryDir dir;
    const QString tree = dir.filePath(QStringLiteral("tree"));
    QDir().mkpath(tree + QStringLiteral("/Sub"));
    const QByteArray first = pattern(100000, 1);
    TestSupport::writeAll(tree + QStringLiteral("/first.bin"), first);
    TestSupport::writeAll(tree + QStringLiteral("/Sub/second.bin"), pattern(5000, 2));
    TestSupport::writeAll(tree + QStringLiteral("/empty.txt"), QByteArray());
    const QString iso = dir.filePath(QStringLiteral("image.iso"));
    QProcess maker;
    maker.start(QStringLiteral("genisoimage"),
                {QStringLiteral("-quiet"), QStringLiteral("-R"), QStringLiteral("-o"), iso, tree});
    ASSERT_TRUE(maker.waitForFinished(60000));
    ASSERT_EQ(maker.exitCode(), 0);
    const QByteArray image = TestSupport::readAll(iso);
    const qsizetype firstAt = image.indexOf(first);
    ASSERT_GT(firstAt, 0);

    QByteArray flipped = image;
    flipped[firstAt + 777] = char(flipped[firstAt + 777] ^ 0x55);
    const QByteArray junk(3 * 2048, 'j');
    // The files lie on the disc as first.bin, then Sub/second.bin: the first that differs is named in
    // that order, with the offset of its first differing or unreadable byte.
    ASSERT_LT(firstAt, image.indexOf(pattern(5000, 2)));
    struct Row
    {
        const char *name;
        QByteArray medium; // empty: no medium file at all
        int64_t trackStart;
        int matched;
        const char *firstDiffering;
        int64_t at;
    };
    const Row rows[] = {
        {"the same bytes", image, 0, 3, "", -1},
        {"one byte changed in the first file", flipped, 0, 2, "/first.bin", 777},
        {"the medium ends inside the first file", image.left(firstAt + 50000), 0, 1, "/first.bin", 50000},
        {"the track after three sectors", junk + image, 3, 3, "", -1},
        {"the track looked for at the wrong place", junk + image, 0, 1, "/first.bin", 0},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        const QString medium = dir.filePath(QStringLiteral("medium.bin"));
        QFile::remove(medium);
        if (!row.medium.isEmpty())
            TestSupport::writeAll(medium, row.medium);
        const std::atomic<bool> stop {false};
        Drives::VerifyProgress progress;
        const Drives::VerifyResult result = Drives::verifyBurn(iso, medium, row.trackStart, stop, &progress);
        EXPECT_TRUE(result.error.isEmpty()) << result.error.toStdString();
        EXPECT_EQ(result.filesCompared, 3);
        // The empty file has no bytes to differ: it matches wherever a medium can be read.
        EXPECT_EQ(result.filesMatched, row.matched);
        EXPECT_EQ(result.firstDifferingFile, QString::fromUtf8(row.firstDiffering));
        EXPECT_EQ(result.firstDifferenceOffset, row.at);
        // Every file's bytes are counted, those of a file left at its first difference too.
        EXPECT_EQ(progress.bytesTotal.load(), 105000);
        EXPECT_EQ(progress.bytesDone.load(), 105000);
    }

    // Without a medium nothing is compared: no file passes, and none is called damaged for it.
    const std::atomic<bool> noStop {false};
    const Drives::VerifyResult noMedium = Drives::verifyBurn(
        iso, dir.filePath(QStringLiteral("medium.bin")) + QStringLiteral(".gone"), 0, noStop);
    EXPECT_TRUE(noMedium.error.contains(QLatin1String("could not be opened for reading")))
        << noMedium.error.toStdString();
    EXPECT_EQ(noMedium.filesMatched, 0);
    EXPECT_EQ(noMedium.firstDifferingFile, QString());

    const std::atomic<bool> stop {false};
    const Drives::VerifyResult unreadable =
        Drives::verifyBurn(dir.filePath(QStringLiteral("missing.iso")), iso, 0, stop);
    EXPECT_FALSE(unreadable.error.isEmpty());
    EXPECT_EQ(unreadable.filesCompared, 0);
}

} // namespace
