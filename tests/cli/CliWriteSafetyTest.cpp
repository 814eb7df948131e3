// What make-iso and burn do with awkward input and where they write: FIFOs, labels, paths that are not
// UTF-8, folders that merge, and the data on the disk before success is said.
#include "CliRunner.h"
#include "ImageTestSupport.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <sys/stat.h>

using namespace ImageTest;

namespace {

constexpr int BoundMs = 20000; // a hang ends here, as a failure

struct AwkwardRow
{
    const char *name;
    // Builds the inputs in `work`; answers make-iso's arguments after the image's name.
    std::function<QStringList(const QString &work)> build;
    int exitCode;
    const char *errorPart; // a part of a line on standard error
};

void PrintTo(const AwkwardRow &row, std::ostream *os)
{
    *os << row.name;
}

class CliAwkwardSources : public ::testing::TestWithParam<AwkwardRow>
{
};

TEST_P(CliAwkwardSources, EndInTimeWithTheirMessage)
{
    const AwkwardRow &row = GetParam();
    QTemporaryDir work;
    const QStringList args = row.build(work.path());
    const QString out = work.filePath(QStringLiteral("out.iso"));
    const CliRunner::Result result =
        CliRunner::run(QStringList {QStringLiteral("make-iso"), out} + args, {}, BoundMs);
    ASSERT_NE(result.exitCode, -1) << "make-iso did not end within " << BoundMs << " ms";
    EXPECT_EQ(result.exitCode, row.exitCode) << result.err.toStdString();
    EXPECT_TRUE(QString::fromUtf8(result.err).contains(QString::fromUtf8(row.errorPart)))
        << result.err.toStdString();
    EXPECT_EQ(QFileInfo::exists(out), row.exitCode == 0);
}

QStringList fifoAsList(const QString &work)
{
    makeFifo(work + QStringLiteral("/list.mst"));
    return {QStringLiteral("--list"), work + QStringLiteral("/list.mst")};
}

QStringList fifoInAList(const QString &work)
{
    makeFifo(work + QStringLiteral("/pipe"));
    writeFile(work + QStringLiteral("/list.mst"), "filelist\r\n" + QFile::encodeName(work) + "/pipe|\\\r\n");
    return {QStringLiteral("--list"), work + QStringLiteral("/list.mst")};
}

QStringList fifoAsSource(const QString &work)
{
    makeFifo(work + QStringLiteral("/pipe"));
    return {work + QStringLiteral("/pipe")};
}

QStringList fifoInsideAFolder(const QString &work)
{
    writeFile(work + QStringLiteral("/src/a.txt"), "a");
    makeDirs(work + QStringLiteral("/src/sub"));
    makeFifo(work + QStringLiteral("/src/sub/pipe"));
    return {work + QStringLiteral("/src")};
}

QStringList twoFoldersOfOneName(const QString &work)
{
    writeFile(work + QStringLiteral("/one/Docs/a.txt"), "a");
    writeFile(work + QStringLiteral("/two/Docs/b.txt"), "b");
    return {work + QStringLiteral("/one/Docs"), work + QStringLiteral("/two/Docs")};
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CliAwkwardSources,
    ::testing::Values(AwkwardRow {"fifo_as_the_list", fifoAsList, 1,
                                  "File load error, please redo it. Cannot open"},
                      AwkwardRow {"fifo_named_in_a_list", fifoInAList, 1, "it is not a file or a folder"},
                      AwkwardRow {"fifo_as_a_source", fifoAsSource, 1, "it is not a file or a folder"},
                      AwkwardRow {"fifo_inside_a_folder_is_named", fifoInsideAFolder, 0,
                                  "src/sub/pipe is a FIFO, a socket or a device; it was left out."},
                      AwkwardRow {"two_folders_of_one_name_merge_and_say_so", twoFoldersOfOneName, 0,
                                  "have the same name; their contents were merged into \\Docs"}),
    [](const auto &testInfo) { return std::string(testInfo.param.name); });

TEST(CliLabel, ControlCharactersAreLeftOutAndSaid)
{
    QTemporaryDir work;
    writeFile(work.filePath(QStringLiteral("src/a.txt")), "a");
    const QString out = work.filePath(QStringLiteral("out.iso"));
    const CliRunner::Result result =
        CliRunner::run({QStringLiteral("make-iso"), out, work.filePath(QStringLiteral("src")),
                        QStringLiteral("--label"), QStringLiteral("Back\nup\t2026\x1b")});
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_TRUE(result.errLines().contains(QStringLiteral(
        "kestrane-cli: the label \"Back\\nup\\t2026\\x1b\" holds control characters; they were "
        "left out: \"Backup2026\"")))
        << result.err.toStdString();
    EXPECT_EQ(primaryVolumeId(out), QStringLiteral("Backup2026"));
    EXPECT_EQ(jolietVolumeId(out), QStringLiteral("Backup2026"));
}

// Arguments that are not UTF-8 cannot pass through QProcess: a shell makes them from octal escapes.
TEST(CliBytes, SourceAndOutputThatAreNotUtf8KeepTheirBytes)
{
    QTemporaryDir work;
    const QByteArray folder = QFile::encodeName(work.path());
    const QByteArray source = folder + "/bad\xff.txt";
    const QByteArray out = folder + "/out\xff.iso";
    writeFile(QFile::decodeName(folder + "/plain.txt"), "bytes");
    ASSERT_EQ(::rename((folder + "/plain.txt").constData(), source.constData()), 0);

    const ProcessResult result =
        run(QStringLiteral("sh"),
            {QStringLiteral("-c"),
             QStringLiteral("exec \"$0\" make-iso \"$(printf '%s/out\\377.iso' \"$1\")\" "
                            "\"$(printf '%s/bad\\377.txt' \"$1\")\""),
             CliRunner::program(), work.path()},
            BoundMs);
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_TRUE(result.out.contains("ISO File Created successfully!"));
    struct stat st
    {
    };
    ASSERT_EQ(::stat(out.constData(), &st), 0) << "no file under the output's own bytes";
    // Nothing else appeared beside them (QDir leaves out names that are not UTF-8).
    EXPECT_EQ(QDir(work.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList());

    const QString readable = work.filePath(QStringLiteral("readable.iso"));
    ASSERT_EQ(::rename(out.constData(), QFile::encodeName(readable).constData()), 0);
    const QString extracted = work.filePath(QStringLiteral("x"));
    ASSERT_TRUE(extractWithXorriso(readable, extracted));
    EXPECT_EQ(QDir(extracted).entryList(QDir::Files), QStringList {QStringLiteral("bad\uFFFD.txt")});
    EXPECT_EQ(TestSupport::readAll(extracted + QStringLiteral("/bad\uFFFD.txt")), QByteArray("bytes"));
}

// The system calls of a run, in order, as strace saw them.
QStringList tracedCalls(const QStringList &args, const QString &virtualDrives, const QString &log)
{
    QProcess process;
    process.setProcessEnvironment(CliRunner::environment(virtualDrives));
    process.start(QStringLiteral("strace"),
                  QStringList {QStringLiteral("-f"), QStringLiteral("-qq"), QStringLiteral("-o"), log,
                               QStringLiteral("-e"),
                               QStringLiteral("trace=fsync,fdatasync,linkat,rename,renameat,renameat2,write,"
                                              "truncate,ftruncate"),
                               CliRunner::program()} +
                      args);
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished(5000);
        return {};
    }
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    return QString::fromUtf8(TestSupport::readAll(log)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

qsizetype firstIndex(const QStringList &lines, const std::function<bool(const QString &)> &matches,
                     qsizetype from = 0)
{
    for (qsizetype i = from; i < lines.size(); ++i) {
        if (matches(lines.at(i)))
            return i;
    }
    return -1;
}

bool isSync(const QString &line)
{
    return line.contains(QLatin1String(" fsync(")) || line.contains(QLatin1String(" fdatasync("));
}

class CliFlush : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable(QStringLiteral("strace")).isEmpty())
            GTEST_SKIP() << "strace is not installed";
        writeFile(m_work.filePath(QStringLiteral("src/a.bin")), patterned(3 << 20, 2));
    }
    QTemporaryDir m_work;
};

// The image's data is synced before it gets its name, the folder after, and only then is success said.
TEST_F(CliFlush, MakeIsoSyncsDataAndFolderBeforeItSaysSuccess)
{
    const QString out = m_work.filePath(QStringLiteral("out.iso"));
    for (const bool replacing : {false, true}) {
        SCOPED_TRACE(replacing ? "over an older image" : "a new name");
        const QStringList calls =
            tracedCalls({QStringLiteral("make-iso"), out, m_work.filePath(QStringLiteral("src"))}, {},
                        m_work.filePath(QStringLiteral("trace.log")));
        const qsizetype named = firstIndex(calls, [&](const QString &line) {
            return (line.contains(QLatin1String(" linkat(")) || line.contains(QLatin1String(" rename"))) &&
                line.contains(QLatin1String("\"") + out + QLatin1String("\"")) &&
                line.endsWith(QLatin1String(" = 0"));
        });
        const qsizetype success = firstIndex(calls, [](const QString &line) {
            return line.contains(QLatin1String("ISO File Created successfully!"));
        });
        ASSERT_GE(named, 0) << calls.join(QLatin1Char('\n')).toStdString();
        ASSERT_GT(success, named);
        const qsizetype dataSync = firstIndex(calls, isSync);
        ASSERT_GE(dataSync, 0) << "no fsync at all";
        EXPECT_LT(dataSync, named) << "the name appeared before the data was synced";
        const qsizetype folderSync = firstIndex(calls, isSync, named + 1);
        EXPECT_GT(folderSync, named);
        EXPECT_LT(folderSync, success) << "success was said before the folder was synced";
    }
}

// A burn to a virtual drive: libburn syncs the track, the engine the cut to the image's length, both
// before "Writing is complete!".
TEST_F(CliFlush, BurnToAVirtualDriveSyncsBeforeItIsComplete)
{
    const QString image = m_work.filePath(QStringLiteral("image.iso"));
    ASSERT_EQ(
        CliRunner::run({QStringLiteral("make-iso"), image, m_work.filePath(QStringLiteral("src"))}).exitCode,
        0);
    const QString disc = m_work.filePath(QStringLiteral("disc.img"));
    // An older, longer image on the drive: the burn cuts the file to the new one's length.
    writeFile(disc, patterned(8 << 20, 3));
    const QStringList calls = tracedCalls({QStringLiteral("burn"), image, QStringLiteral("--yes")}, disc,
                                          m_work.filePath(QStringLiteral("trace.log")));
    const qsizetype complete = firstIndex(
        calls, [](const QString &line) { return line.contains(QLatin1String("Writing is complete!")); });
    ASSERT_GE(complete, 0) << calls.join(QLatin1Char('\n')).toStdString();
    const qsizetype cut = firstIndex(calls, [&](const QString &line) {
        return line.contains(QLatin1String(" truncate(\"") + disc + QLatin1Char('"'));
    });
    ASSERT_GE(cut, 0) << "the file was not cut to the image's length";
    const qsizetype trackSync = firstIndex(calls, isSync);
    EXPECT_GE(trackSync, 0);
    EXPECT_LT(trackSync, cut) << "libburn did not sync the track it wrote";
    const qsizetype cutSync = firstIndex(calls, isSync, cut + 1);
    EXPECT_GT(cutSync, cut);
    EXPECT_LT(cutSync, complete) << "the burn was complete before its file was synced";
    EXPECT_EQ(QFileInfo(disc).size(), QFileInfo(image).size());
}

} // namespace
