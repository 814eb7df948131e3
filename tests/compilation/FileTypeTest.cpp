// The ".mst" type recorded the freedesktop way, in a data folder of the test's own.
#include "TestSupport.h"
#include "app/FileTypeRegistration.h"
#include "app/GlobalSettings.h"
#include "base/KestraneError.h"

#include <QDir>
#include <QFile>
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
    }
    void TearDown() override
    {
        TestSupport::waitForMimeTool(m_dir.path());
        qunsetenv("XDG_DATA_HOME");
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

TEST_F(FileTypeFixture, AFolderThatCannotBeMadeIsAnError)
{
    TestSupport::writeAll(data("file"), "x");
    qputenv("XDG_DATA_HOME", QFile::encodeName(data("file/below")));
    EXPECT_THROW(RegisterListFileType(), KestraneError);
}
