#include "CliRunner.h"

#include <QProcess>

#include <gtest/gtest.h>

namespace {

struct UsageRow
{
    const char *name;
    QStringList args;
    QString line; // the one line on standard error
};

class CliUsage : public ::testing::TestWithParam<UsageRow>
{
};

TEST_P(CliUsage, ExitsTwoWithOneLine)
{
    const CliRunner::Result result = CliRunner::run(GetParam().args);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.errLines(), QStringList {GetParam().line});
    EXPECT_TRUE(result.out.isEmpty());
}

const UsageRow UsageRows[] = {
    {"no_command", {}, QStringLiteral("kestrane-cli: no command given (see kestrane-cli --help)")},
    {"unknown_command",
     {QStringLiteral("mkiso")},
     QStringLiteral("kestrane-cli: unknown command \"mkiso\" (see kestrane-cli --help)")},
    {"unknown_option",
     {QStringLiteral("burn"), QStringLiteral("a.iso"), QStringLiteral("--fast")},
     QStringLiteral("kestrane-cli: burn: unknown option --fast (see kestrane-cli burn --help)")},
    {"option_of_another_command",
     {QStringLiteral("erase"), QStringLiteral("--checksums")},
     QStringLiteral("kestrane-cli: erase: unknown option --checksums (see kestrane-cli erase --help)")},
    {"make_iso_without_sources",
     {QStringLiteral("make-iso"), QStringLiteral("out.iso")},
     QStringLiteral("kestrane-cli: make-iso: no SOURCE and no --list (see kestrane-cli make-iso --help)")},
    {"make_iso_without_output",
     {QStringLiteral("make-iso")},
     QStringLiteral("kestrane-cli: make-iso: missing OUT.iso (see kestrane-cli make-iso --help)")},
    {"label_without_value",
     {QStringLiteral("make-iso"), QStringLiteral("o.iso"), QStringLiteral("d"), QStringLiteral("--label")},
     QStringLiteral("kestrane-cli: make-iso: --label needs a value (see kestrane-cli make-iso --help)")},
    {"label_twice",
     {QStringLiteral("size"), QStringLiteral("d"), QStringLiteral("--label=A"), QStringLiteral("--label=B")},
     QStringLiteral("kestrane-cli: size: --label is given twice (see kestrane-cli size --help)")},
    {"flag_with_value",
     {QStringLiteral("erase"), QStringLiteral("--full=yes")},
     QStringLiteral("kestrane-cli: erase: --full takes no value (see kestrane-cli erase --help)")},
    {"speed_not_a_number",
     {QStringLiteral("burn"), QStringLiteral("a.iso"), QStringLiteral("--speed"), QStringLiteral("max")},
     QStringLiteral("kestrane-cli: burn: --speed takes a whole number above 0, not \"max\" (see kestrane-cli "
                    "burn --help)")},
    {"copy_disc_two_letters",
     {QStringLiteral("copy-disc"), QStringLiteral("DE"), QStringLiteral("o.iso")},
     QStringLiteral(
         "kestrane-cli: copy-disc: \"DE\" is not a drive letter (see kestrane-cli copy-disc --help)")},
    {"copy_disc_extra_argument",
     {QStringLiteral("copy-disc"), QStringLiteral("D"), QStringLiteral("o.iso"), QStringLiteral("p.iso")},
     QStringLiteral(
         "kestrane-cli: copy-disc: unexpected argument \"p.iso\" (see kestrane-cli copy-disc --help)")},
    {"raw_copy_with_checksums",
     {QStringLiteral("copy-disc"), QStringLiteral("D"), QStringLiteral("o.iso"), QStringLiteral("--raw"),
      QStringLiteral("--checksums")},
     QStringLiteral("kestrane-cli: copy-disc: --raw copies the disc as it is and records no checksums (see "
                    "kestrane-cli copy-disc --help)")},
    {"against_an_image_file",
     {QStringLiteral("verify"), QStringLiteral("/no/such.iso"), QStringLiteral("--against"),
      QStringLiteral("b.iso")},
     QStringLiteral(
         "kestrane-cli: verify: --against compares a drive with an image; \"/no/such.iso\" is not a drive "
         "letter (see kestrane-cli verify --help)")},
};

INSTANTIATE_TEST_SUITE_P(Mistakes, CliUsage, ::testing::ValuesIn(UsageRows),
                         [](const auto &testInfo) { return std::string(testInfo.param.name); });

TEST(CliHelp, EveryCommandHasHelpAndTheToolAVersion)
{
    const CliRunner::Result tool = CliRunner::run({QStringLiteral("--help")});
    ASSERT_EQ(tool.exitCode, 0);
    for (const char *command : {"drives", "make-iso", "copy-disc", "burn", "erase", "verify", "size"}) {
        EXPECT_TRUE(tool.out.contains(QByteArray("  ") + command)) << command;
        const CliRunner::Result own =
            CliRunner::run({QString::fromLatin1(command), QStringLiteral("--help")});
        EXPECT_EQ(own.exitCode, 0) << command;
        EXPECT_TRUE(own.out.startsWith(QByteArray("Usage: kestrane-cli ") + command))
            << own.out.toStdString();
    }
    const CliRunner::Result version = CliRunner::run({QStringLiteral("--version")});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.out.startsWith("kestrane-cli 1.")) << version.out.toStdString();
}

// It runs without a display because nothing of Qt's GUI is linked at all.
TEST(CliHelp, LinksNoQtGuiOrWidgets)
{
    QProcess ldd;
    ldd.start(QStringLiteral("ldd"), {CliRunner::program()});
    ASSERT_TRUE(ldd.waitForFinished(30000));
    const QByteArray libraries = ldd.readAllStandardOutput();
    EXPECT_TRUE(libraries.contains("libQt6Core")) << libraries.toStdString();
    EXPECT_FALSE(libraries.contains("libQt6Gui")) << libraries.toStdString();
    EXPECT_FALSE(libraries.contains("libQt6Widgets")) << libraries.toStdString();
}

TEST(CliErrors, FailuresAreOneLineInTheWindowsWords)
{
    const CliRunner::Result missing =
        CliRunner::run({QStringLiteral("make-iso"), QStringLiteral("/tmp/kestrane-cli-never.iso"),
                        QStringLiteral("/no/such/folder")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.errLines(),
              QStringList {QStringLiteral("kestrane-cli: /no/such/folder: no such file or folder")});
    const CliRunner::Result noWriter =
        CliRunner::run({QStringLiteral("burn"), QStringLiteral("/no/such.iso")});
    EXPECT_EQ(noWriter.exitCode, 1);
    EXPECT_EQ(noWriter.errLines(),
              QStringList {QStringLiteral("kestrane-cli: Please choose the CD/DVD-R driver.")});
}

} // namespace
