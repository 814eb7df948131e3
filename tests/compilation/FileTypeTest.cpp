// The ".mst" type recorded the freedesktop way, in a data folder of the test's own.
#include "TestSupport.h"
#include "app/FileTypeRegistration.h"
#include "app/GlobalSettings.h"
#include "base/KestraneError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString MimeType = QStringLiteral("application/x-kestrane-filelist");

class FileTypeFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        Globals().ExeFolder = QStringLiteral(KESTRANE_PROGRAM_DIR "/");
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.path()));
        // The machine's own folders might hold an installed copy's type: the system is ours too.
        qputenv("XDG_DATA_DIRS", QFile::encodeName(data("system")));
    }
    void TearDown() override
    {
        TestSupport::waitForMimeTool(m_dir.path());
        qunsetenv("XDG_DATA_HOME");
        qunsetenv("XDG_DATA_DIRS");
    }

    QString data(const char *relative) const { return m_dir.filePath(QLatin1String(relative)); }

    QByteArray globs() const
    {
        QFile file(data("mime/globs2"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Waits for the background cache rebuild to name the type for "*.mst" and to end.
    bool cacheKnowsTheType() const
    {
        return TestSupport::waitFor(
            [this] {
                return globs().contains(MimeType.toUtf8() + ":*.mst") &&
                    !TestSupport::mimeToolRunning(m_dir.path());
            },
            30000);
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(FileTypeFixture, PackageAndIconAreWrittenAndTheDesktopKnowsTheType)
{
    RegisterListFileType();
    const QByteArray package = TestSupport::readAll(data("mime/packages/kestrane-filelist.xml"));
    EXPECT_TRUE(package.contains("<mime-type type=\"application/x-kestrane-filelist\">"));
    EXPECT_TRUE(package.contains("<comment>Kestrane list file</comment>"));
    EXPECT_TRUE(package.contains("<glob pattern=\"*.mst\"/>"));
    EXPECT_TRUE(package.contains("<icon name=\"application-x-kestrane-filelist\"/>"));
    const QImage icon(data("icons/hicolor/32x32/mimetypes/application-x-kestrane-filelist.png"));
    EXPECT_EQ(icon.size(), QSize(32, 32));

    ASSERT_FALSE(QStandardPaths::findExecutable(QStringLiteral("update-mime-database")).isEmpty());
    ASSERT_TRUE(cacheKnowsTheType());
    // GIO reads the built database (mime.cache, else globs2), as file managers and file choosers
    // do; the package file alone does not make it answer the type.
    const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio"));
    ASSERT_FALSE(gio.isEmpty()) << "gio (libglib2.0-bin) is one of the packages the tests need";
    const QString sample = data("some.mst");
    TestSupport::writeAll(sample, "filelist\r\n");
    QProcess query;
    query.start(gio, {QStringLiteral("info"), QStringLiteral("--attributes=standard::content-type"), sample});
    ASSERT_TRUE(query.waitForFinished(30000));
    EXPECT_TRUE(query.readAllStandardOutput().contains("standard::content-type: " + MimeType.toUtf8()));
}

TEST_F(FileTypeFixture, ACacheWithoutTheTypeIsRebuiltAtTheNextStart)
{
    // A first start wrote the package but the cache was never rebuilt with it (the tool was
    // missing, or the user's cache was made by another program since).
    RegisterListFileType();
    ASSERT_TRUE(cacheKnowsTheType());
    TestSupport::writeAll(data("mime/globs2"), "# stale\n50:text/plain:*.txt\n");
    RegisterListFileType();
    EXPECT_TRUE(cacheKnowsTheType());
}

// What an installed package may have put into a system data folder.
struct SystemRow
{
    const char *name;
    bool package; // share/mime/packages/kestrane-filelist.xml
    bool cache; // the MIME database built over it (update-mime-database)
    const char *icon; // below share/icons/hicolor, or null
    bool userWrites; // whether the user's data folder still gets its own registration
};

class FileTypeSystemWide : public FileTypeFixture, public ::testing::WithParamInterface<SystemRow>
{
};

TEST_P(FileTypeSystemWide, TheHomeIsLeftAloneOnlyWhenTheSystemKnowsTypeAndIcon)
{
    const SystemRow &row = GetParam();
    // A first folder without anything: the desktop looks through every listed folder.
    qputenv("XDG_DATA_DIRS", QFile::encodeName(data("empty") + QLatin1Char(':') + data("system")));
    const QString system = data("system/");
    ASSERT_TRUE(QDir().mkpath(system + QStringLiteral("mime/packages")));
    if (row.package) {
        QFile::copy(QStringLiteral(KESTRANE_MIME_PACKAGE),
                    system + QStringLiteral("mime/packages/kestrane-filelist.xml"));
        ASSERT_TRUE(QFileInfo::exists(system + QStringLiteral("mime/packages/kestrane-filelist.xml")));
    }
    if (row.cache) {
        const QString tool = QStandardPaths::findExecutable(QStringLiteral("update-mime-database"));
        ASSERT_FALSE(tool.isEmpty());
        ASSERT_EQ(QProcess::execute(tool, {system + QStringLiteral("mime")}), 0);
    }
    if (row.icon) {
        const QString icon = system + QStringLiteral("icons/hicolor/") + QLatin1String(row.icon);
        ASSERT_TRUE(QDir().mkpath(QFileInfo(icon).path()));
        TestSupport::writeAll(icon, "icon");
    }

    RegisterListFileType();

    const QString package = data("mime/packages/kestrane-filelist.xml");
    const QString icon = data("icons/hicolor/32x32/mimetypes/application-x-kestrane-filelist.png");
    EXPECT_EQ(QFileInfo::exists(package), row.userWrites);
    EXPECT_EQ(QFileInfo::exists(icon), row.userWrites);
    if (!row.userWrites) {
        EXPECT_FALSE(QFileInfo::exists(data("mime")));
        EXPECT_FALSE(QFileInfo::exists(data("icons")));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FileTypeSystemWide,
    ::testing::Values(SystemRow {"InstalledWithScalableIcon", true, true,
                                 "scalable/mimetypes/application-x-kestrane-filelist.svg", false},
                      SystemRow {"InstalledWithSizedIcon", true, true,
                                 "32x32/mimetypes/application-x-kestrane-filelist.png", false},
                      SystemRow {"PackageWhoseDatabaseWasNeverBuilt", true, false,
                                 "scalable/mimetypes/application-x-kestrane-filelist.svg", true},
                      SystemRow {"TypeWithoutIcon", true, true, nullptr, true},
                      SystemRow {"IconOfAnotherType", true, true,
                                 "scalable/mimetypes/application-x-other.svg", true},
                      SystemRow {"IconWithoutType", false, true,
                                 "scalable/mimetypes/application-x-kestrane-filelist.svg", true},
                      SystemRow {"NothingInstalled", false, false, nullptr, true}),
    [](const ::testing::TestParamInfo<SystemRow> &row) { return std::string(row.param.name); });

TEST_F(FileTypeFixture, AFolderThatCannotBeMadeIsAnError)
{
    TestSupport::writeAll(data("file"), "x");
    qputenv("XDG_DATA_HOME", QFile::encodeName(data("file/below")));
    EXPECT_THROW(RegisterListFileType(), KestraneError);
}
