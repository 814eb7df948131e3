#include "app/SettingsLocation.h"
#include "TestSupport.h"
#include "app/GlobalSettings.h"
#include "base/KestraneError.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using TestSupport::readAll;
using TestSupport::writeAll;

namespace {

// A scratch folder the unprivileged child can use, with its config folder named in the environment.
class SettingsLocationTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ::chmod(QFile::encodeName(m_dir.path()).constData(), 0777);
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("config"))));
    }
    void TearDown() override { qunsetenv("XDG_CONFIG_HOME"); }

    QString program() const { return m_dir.filePath(QStringLiteral("Kestrane")) + QLatin1Char('/'); }
    QString config() const { return m_dir.filePath(QStringLiteral("config/Kestrane")) + QLatin1Char('/'); }

    QTemporaryDir m_dir;
};

TEST_F(SettingsLocationTest, ProgramFolderWhenTheUserCanWriteItElseTheConfigFolder)
{
    const struct
    {
        const char *name;
        int mode; // -1: the folder does not exist
        bool besideProgram;
    } rows[] = {
        {"portable copy", 0777, true},
        {"installed, read-only for the user", 0555, false},
        {"program folder gone", -1, false},
    };
    for (const auto &row : rows) {
        QDir(program()).removeRecursively();
        QDir(config()).removeRecursively();
        if (row.mode >= 0) {
            QDir().mkpath(program());
            ::chmod(QFile::encodeName(program()).constData(), row.mode);
        }
        // Without the trailing '/' as well: the folder of a running executable comes without one.
        const QStringList seen = TestSupport::runUnprivileged([&] {
            return QStringList {SettingsFolderFor(program()), SettingsFolderFor(program().chopped(1)),
                                QDir(config()).exists() ? QStringLiteral("made") : QStringLiteral("absent")};
        });
        const QString expected = row.besideProgram ? program() : config();
        EXPECT_EQ(seen,
                  QStringList({expected, expected,
                               row.besideProgram ? QStringLiteral("absent") : QStringLiteral("made")}))
            << row.name;
        ::chmod(QFile::encodeName(program()).constData(), 0777);
    }
}

TEST_F(SettingsLocationTest, ConfigFolderFallsBackToHomeWhenTheVariableIsUnsetOrRelative)
{
    EXPECT_EQ(UserConfigFolder(), config());
    const QByteArray home = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(m_dir.path()));
    for (const char *value : {"", "relative/config"}) {
        qputenv("XDG_CONFIG_HOME", value);
        EXPECT_EQ(UserConfigFolder(), m_dir.filePath(QStringLiteral(".config/Kestrane/"))) << value;
    }
    qputenv("HOME", home);
}

TEST_F(SettingsLocationTest, InstalledProgramReadsAndWritesTheUserSettingsInTheConfigFolder)
{
    QDir().mkpath(program());
    writeAll(program() + QStringLiteral("Kestrane_verdata.ini"), "[data]\r\nversion=2.0\r\n");
    ::chmod(QFile::encodeName(program()).constData(), 0555);
    QDir().mkpath(config());
    ::chmod(QFile::encodeName(config()).constData(), 0777);
    writeAll(config() + QStringLiteral("Kestrane_option.ini"), "[option]\nShowToolbar=0\n");
    ::chmod(QFile::encodeName(config() + QStringLiteral("Kestrane_option.ini")).constData(), 0666);

    const QStringList seen = TestSupport::runUnprivileged([&] {
        try {
            InitProductSettings(program());
            ReadOptionFile();
            ReadSkinSetting();
            WriteSkinSetting();
            WriteOptionFile();
        } catch (const KestraneError &error) {
            return QStringList {error.message()};
        }
        const GlobalSettings &g = Globals();
        return QStringList {g.VersionText, g.ShowToolbar ? QStringLiteral("1") : QStringLiteral("0")};
    });
    ::chmod(QFile::encodeName(program()).constData(), 0777);
    // The version ships with the program; the user's settings keep the store's exact format.
    EXPECT_EQ(seen, QStringList({QStringLiteral("2.0"), QStringLiteral("0")}));
    EXPECT_EQ(readAll(config() + QStringLiteral("Kestrane_option.ini")),
              QByteArray("[option]\r\nShowToolbar=0\r\nChangeSkin=1\r\n"));
    EXPECT_EQ(readAll(config() + QStringLiteral("Kestrane_skinfile.ini")),
              QByteArray("\r\n[data]\r\nskinfile=1\r\n"));
    EXPECT_EQ(QDir(program()).entryList(QDir::Files), QStringList({QStringLiteral("Kestrane_verdata.ini")}));
}

} // namespace
