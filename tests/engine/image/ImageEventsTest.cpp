// What the engine reports while items are added and listed, and how it removes them.
#include "ImageTestSupport.h"
#include "base/KestraneError.h"
#include "engine/TDVDWriterPro2.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace ImageTest;

namespace {

class ImageEvents : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_source = m_work.filePath(QStringLiteral("Photos"));
        writeFile(m_source + QStringLiteral("/b.txt"), "bb");
        writeFile(m_source + QStringLiteral("/a.txt"), "a");
        writeFile(m_source + QStringLiteral("/Trip/Day 1/sea.jpg"), patterned(5000, 1));
        writeFile(m_source + QStringLiteral("/Trip/note.txt"), "n");
        makeDirs(m_source + QStringLiteral("/Trip/Day 2"));
        makeDirs(m_source + QStringLiteral("/Empty"));
    }
    QTemporaryDir m_work;
    QString m_source;
    TDVDWriterPro2 m_engine {TDVDWriterPro2::Instance::DVDWriterPro21};
    EventLog m_log {m_engine};
};

TEST_F(ImageEvents, NestedFoldersAreReportedParentFirstWithTheParentsPaths)
{
    m_engine.AddFolder(QStringLiteral("\\Docs\\Photos"), m_source + QStringLiteral("/*.*"));
    EXPECT_EQ(m_log.addedPaths(),
              QStringList({QStringLiteral("\\Docs"), QStringLiteral("\\Docs\\Photos"),
                           QStringLiteral("\\Docs\\Photos\\Empty"), QStringLiteral("\\Docs\\Photos\\Trip"),
                           QStringLiteral("\\Docs\\Photos\\a.txt"), QStringLiteral("\\Docs\\Photos\\b.txt"),
                           QStringLiteral("\\Docs\\Photos\\Trip\\Day 1"),
                           QStringLiteral("\\Docs\\Photos\\Trip\\Day 2"),
                           QStringLiteral("\\Docs\\Photos\\Trip\\note.txt"),
                           QStringLiteral("\\Docs\\Photos\\Trip\\Day 1\\sea.jpg")}));
    QStringList reported {QStringLiteral("\\")};
    for (const Event &e : m_log.added) {
        EXPECT_TRUE(reported.contains(e.parentDest)) << e.itemDest.toStdString() << " before its parent";
        EXPECT_EQ(e.itemDest,
                  (e.parentDest == QStringLiteral("\\") ? QString() : e.parentDest) + QLatin1Char('\\') +
                      e.name);
        reported << e.itemDest;
    }
    const Event &photos = m_log.added.at(1);
    EXPECT_TRUE(photos.isDirectory);
    EXPECT_EQ(photos.sourcePath, m_source);
    EXPECT_EQ(m_log.added.at(0).sourcePath, QString()); // made for the destination, no source
    const Event &sea = m_log.added.last();
    EXPECT_FALSE(sea.isDirectory);
    EXPECT_EQ(sea.size, 5000);
    EXPECT_EQ(sea.sourcePath, m_source + QStringLiteral("/Trip/Day 1/sea.jpg"));
    EXPECT_EQ(sea.date,
              QFileInfo(sea.sourcePath)
                  .lastModified()
                  .toUTC()
                  .addMSecs(-QFileInfo(sea.sourcePath).lastModified().time().msec()));
}

TEST_F(ImageEvents, ReAddingAFolderReportsNothingNew)
{
    m_engine.AddFolder(QStringLiteral("\\Photos"), m_source + QStringLiteral("/*.*"));
    const int64_t blocks = m_engine.ImageSizeBlocks();
    m_log.clear();
    m_engine.AddFolder(QStringLiteral("\\Photos"), m_source + QStringLiteral("/*.*"));
    EXPECT_EQ(m_log.addedPaths(), QStringList());
    EXPECT_EQ(m_engine.ImageSizeBlocks(), blocks);
    // A new file in the source is the one thing a second add brings.
    writeFile(m_source + QStringLiteral("/Trip/new.txt"), "new");
    m_engine.AddFolder(QStringLiteral("\\Photos"), m_source + QStringLiteral("\\*.*"));
    EXPECT_EQ(m_log.addedPaths(), QStringList({QStringLiteral("\\Photos\\Trip\\new.txt")}));
}

TEST_F(ImageEvents, ListFileFormCreatesEveryMissingFolderAboveTheFile)
{
    m_engine.AddFolder(QStringLiteral("\\A\\B\\C\\"), m_source + QStringLiteral("/a.txt"));
    EXPECT_EQ(m_log.addedPaths(),
              QStringList({QStringLiteral("\\A"), QStringLiteral("\\A\\B"), QStringLiteral("\\A\\B\\C"),
                           QStringLiteral("\\A\\B\\C\\a.txt")}));
    m_log.clear();
    m_engine.AddFolder(QStringLiteral("\\A\\B\\"), m_source + QStringLiteral("/b.txt"));
    EXPECT_EQ(m_log.addedPaths(), QStringList({QStringLiteral("\\A\\B\\b.txt")}));
    m_log.clear();
    m_engine.AddFolder(QStringLiteral("\\"), m_source + QStringLiteral("/b.txt"));
    EXPECT_EQ(m_log.addedPaths(), QStringList({QStringLiteral("\\b.txt")}));
}

TEST_F(ImageEvents, TheSameFileAddedAgainReplacesItselfAnotherFileIsRefused)
{
    m_engine.AddFile(QStringLiteral("\\x.txt"), m_source + QStringLiteral("/a.txt"));
    m_log.clear();
    // "Add" and then "Close" in the picker submit the same items twice.
    m_engine.AddFile(QStringLiteral("\\x.txt"), m_source + QStringLiteral("/a.txt"));
    EXPECT_EQ(m_log.addedPaths(), QStringList());
    try {
        m_engine.AddFile(QStringLiteral("\\x.txt"), m_source + QStringLiteral("/b.txt"));
        ADD_FAILURE() << "another file took the place of x.txt";
    } catch (const KestraneError &e) {
        EXPECT_TRUE(e.message().contains(m_source + QStringLiteral("/a.txt"))) << e.message().toStdString();
        EXPECT_TRUE(e.message().contains(m_source + QStringLiteral("/b.txt"))) << e.message().toStdString();
    }
    m_engine.EnumItems(QStringLiteral("\\"));
    ASSERT_EQ(m_log.listed.size(), 1);
    EXPECT_EQ(m_log.listed.at(0).sourcePath, m_source + QStringLiteral("/a.txt"));
    EXPECT_EQ(m_log.listed.at(0).size, 1);
    // A file never takes the place of a folder.
    m_engine.AddFolder(QStringLiteral("\\Trip"), m_source + QStringLiteral("/Trip/*.*"));
    EXPECT_THROW(m_engine.AddFile(QStringLiteral("\\Trip"), m_source + QStringLiteral("/a.txt")),
                 KestraneError);
}

// Source names that become one image name: the first stays, the second is refused with both paths.
struct Clash
{
    const char *name;
    QByteArray first; // native names inside the source folder; a trailing "/" makes a folder
    QByteArray second;
    const char *shownFirst; // how the error names them
    const char *shownSecond;
    bool picker; // added one by one, as the picker adds files, instead of as one folder
};

const Clash Clashes[] = {
    {"invalid_utf8_bytes", "x\xff", "x\xfe", "x\\xFF", "x\\xFE", false},
    {"backslash_and_underscore", "a_b", "a\\b", "a_b", "a\\b", false},
    {"backslash_and_underscore_folders", "a_b/", "a\\b/", "a_b", "a\\b", false},
    {"same_name_from_two_folders", "one/x.txt", "two/x.txt", "one/x.txt", "two/x.txt", true},
};

class ImageNameClash : public ::testing::TestWithParam<Clash>
{
};

TEST_P(ImageNameClash, SecondSourceIsRefusedNamingBothPaths)
{
    const Clash &c = GetParam();
    QTemporaryDir work;
    const QByteArray source = QFile::encodeName(work.filePath(QStringLiteral("src")));
    // Qt cannot remove a name that is not UTF-8: the test does.
    QByteArrayList made;
    const auto removeMade = qScopeGuard([&] {
        for (const QByteArray &path : made)
            ::unlink(path.constData());
    });
    auto make = [&](const QByteArray &name, const QByteArray &content) {
        QByteArray path = source + '/' + name;
        if (path.endsWith('/'))
            path += "inside.txt";
        made << path;
        makeDirs(QFile::decodeName(path.left(path.lastIndexOf('/'))));
        // Raw bytes: QFile would turn a name that is not UTF-8 into another name.
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0) << path.constData();
        ASSERT_EQ(::write(fd, content.constData(), size_t(content.size())), content.size());
        ::close(fd);
    };
    make(c.first, "first");
    make(c.second, "second!");

    TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro21);
    QString error;
    try {
        if (c.picker) {
            engine.AddFile(QStringLiteral("\\x.txt"), QFile::decodeName(source + '/' + c.first));
            engine.AddFile(QStringLiteral("\\x.txt"), QFile::decodeName(source + '/' + c.second));
        } else {
            engine.AddFolder(QStringLiteral("\\"), QFile::decodeName(source) + QStringLiteral("/*.*"));
        }
    } catch (const KestraneError &e) {
        error = e.message();
    }
    const QString shownSource = QFile::decodeName(source) + QLatin1Char('/');
    EXPECT_TRUE(error.contains(shownSource + QString::fromUtf8(c.shownFirst))) << error.toStdString();
    EXPECT_TRUE(error.contains(shownSource + QString::fromUtf8(c.shownSecond))) << error.toStdString();

    // The image holds the first source alone, whole.
    const QString iso = work.filePath(QStringLiteral("out.iso"));
    ASSERT_TRUE(engine.WriteImageFile(iso)) << engine.LastImageError().toStdString();
    const QString extracted = work.filePath(QStringLiteral("x"));
    ASSERT_TRUE(extractWithBsdtar(iso, extracted));
    QStringList files;
    QDirIterator it(extracted, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        files << QString::fromUtf8(file.readAll());
    }
    EXPECT_EQ(files, QStringList {QStringLiteral("first")});
}

INSTANTIATE_TEST_SUITE_P(Clashes, ImageNameClash, ::testing::ValuesIn(Clashes),
                         [](const auto &testInfo) { return std::string(testInfo.param.name); });

TEST_F(ImageEvents, EnumItemsListsEveryChildInImageOrder)
{
    m_engine.AddFolder(QStringLiteral("\\Photos"), m_source + QStringLiteral("/*.*"));
    m_engine.AddFile(QStringLiteral("\\top.txt"), m_source + QStringLiteral("/a.txt"));
    m_engine.EnumItems(QStringLiteral("\\"));
    EXPECT_EQ(m_log.listedPaths(), QStringList({QStringLiteral("\\Photos"), QStringLiteral("\\top.txt")}));
    m_log.clear();
    m_engine.EnumItems(QStringLiteral("\\Photos"));
    EXPECT_EQ(m_log.listedPaths(),
              QStringList({QStringLiteral("\\Photos\\Empty"), QStringLiteral("\\Photos\\Trip"),
                           QStringLiteral("\\Photos\\a.txt"), QStringLiteral("\\Photos\\b.txt")}));
    for (const Event &e : m_log.listed)
        EXPECT_EQ(e.parentDest, QStringLiteral("\\Photos"));
    EXPECT_TRUE(m_log.listed.at(1).isDirectory);
    EXPECT_EQ(m_log.listed.at(1).sourcePath, m_source + QStringLiteral("/Trip"));
    EXPECT_EQ(m_log.listed.at(3).size, 2);
    EXPECT_EQ(m_log.listed.at(3).sourcePath, m_source + QStringLiteral("/b.txt"));
    m_log.clear();
    m_engine.EnumItems(QStringLiteral("\\Photos\\Trip\\Day 1"));
    EXPECT_EQ(m_log.listedPaths(), QStringList({QStringLiteral("\\Photos\\Trip\\Day 1\\sea.jpg")}));
    m_log.clear();
    m_engine.EnumItems(QStringLiteral("\\Photos\\Empty"));
    EXPECT_TRUE(m_log.listed.isEmpty());
    EXPECT_THROW(m_engine.EnumItems(QStringLiteral("\\Nowhere")), KestraneError);
    EXPECT_THROW(m_engine.EnumItems(QStringLiteral("\\photos")), KestraneError); // exact case
}

TEST_F(ImageEvents, RemoveItemTakesFilesAndFoldersAndRefusesWhatIsNotThere)
{
    m_engine.AddFolder(QStringLiteral("\\Photos"), m_source + QStringLiteral("/*.*"));
    struct Row
    {
        const char *path;
        bool removed;
    } rows[] = {
        {"\\Photos\\a.txt", true},
        {"\\Photos\\Trip", true},
        {"\\Photos\\Trip\\note.txt", false},
        {"\\Photos\\missing", false},
        {"\\", false},
        {"\\Photos\\A.TXT", false},
    };
    for (const Row &row : rows)
        EXPECT_EQ(m_engine.RemoveItem(QString::fromUtf8(row.path)), row.removed) << row.path;
    m_engine.EnumItems(QStringLiteral("\\Photos"));
    EXPECT_EQ(m_log.listedPaths(),
              QStringList({QStringLiteral("\\Photos\\Empty"), QStringLiteral("\\Photos\\b.txt")}));
}

TEST_F(ImageEvents, ResetEmptiesTheImageAndSaysSo)
{
    int resets = 0;
    QObject::connect(&m_engine, &TDVDWriterPro2::OnISOImageReset, &m_log, [&resets] { ++resets; });
    m_engine.AddFolder(QStringLiteral("\\Photos"), m_source + QStringLiteral("/*.*"));
    m_engine.setVolumeIdentifier(QStringLiteral("Kept"));
    m_engine.ResetImage();
    EXPECT_EQ(resets, 1);
    m_engine.EnumItems(QStringLiteral("\\"));
    EXPECT_TRUE(m_log.listed.isEmpty());
    EXPECT_EQ(m_engine.VolumeIdentifier(), QStringLiteral("Kept"));
}

struct BadSource
{
    const char *name;
    const char *dest;
    const char *source; // relative to the work folder, "" for an empty text
    bool folderCall;
    const char *messagePart;
};

class ImageBadSources : public ::testing::TestWithParam<BadSource>
{
};

TEST_P(ImageBadSources, RaiseAnErrorNamingThePathAndTheReason)
{
    QTemporaryDir work;
    writeFile(work.filePath(QStringLiteral("file.txt")), "f");
    makeFifo(work.filePath(QStringLiteral("fifo")));
    const BadSource &row = GetParam();
    const QString source =
        QString::fromUtf8(row.source).isEmpty() ? QString() : work.filePath(QString::fromUtf8(row.source));
    TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro21);
    try {
        if (row.folderCall)
            engine.AddFolder(QString::fromUtf8(row.dest), source);
        else
            engine.AddFile(QString::fromUtf8(row.dest), source);
        FAIL() << "no error";
    } catch (const KestraneError &e) {
        QString named = source;
        if (named.endsWith(QStringLiteral("/*.*")))
            named.chop(4);
        if (!named.isEmpty()) {
            EXPECT_TRUE(e.message().contains(named)) << e.message().toStdString();
        }
        EXPECT_TRUE(e.message().contains(QString::fromUtf8(row.messagePart))) << e.message().toStdString();
    }
}

const BadSource BadSources[] = {
    {"missing_file", "\\x.txt", "missing.txt", false, "No such file"},
    {"missing_folder", "\\X", "missing/*.*", true, "No such file"},
    {"missing_list_line_file", "\\Docs\\", "gone.txt", true, "No such file"},
    {"file_as_folder_pattern", "\\X", "file.txt/*.*", true, "not a folder"},
    {"fifo_as_file", "\\f", "fifo", false, "not a file or a folder"},
    {"empty_source", "\\Docs\\", "", true, "no path"},
};

INSTANTIATE_TEST_SUITE_P(Sources, ImageBadSources, ::testing::ValuesIn(BadSources),
                         [](const auto &testInfo) { return std::string(testInfo.param.name); });

} // namespace
