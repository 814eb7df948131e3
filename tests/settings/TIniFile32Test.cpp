#include "settings/TIniFile32.h"
#include "TestSupport.h"
#include "base/KestraneError.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <sys/stat.h>

using TestSupport::readAll;
using TestSupport::writeAll;

namespace {

struct WriteCase
{
    const char *name;
    std::optional<QByteArray> before; // nullopt: the file does not exist
    std::function<void(TIniFile32 &)> write;
    QByteArray after;
};

void PrintTo(const WriteCase &c, std::ostream *os)
{
    *os << c.name;
}

class IniWrite : public ::testing::TestWithParam<WriteCase>
{
};

TEST_P(IniWrite, LeavesExactlyTheseBytes)
{
    const WriteCase &c = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.ini"));
    if (c.before)
        writeAll(path, *c.before);
    TIniFile32 ini(path);
    c.write(ini);
    EXPECT_EQ(readAll(path), c.after);
}

const auto writeOption = [](const char *key, bool value) {
    return [=](TIniFile32 &ini) {
        ini.WriteBool(QStringLiteral("option"), QString::fromLatin1(key), value);
    };
};

INSTANTIATE_TEST_SUITE_P(
    Cases, IniWrite,
    ::testing::Values(
        WriteCase {"missing_file_two_bools", std::nullopt,
                   [](TIniFile32 &ini) {
                       ini.WriteBool(QStringLiteral("option"), QStringLiteral("ShowToolbar"), true);
                       ini.WriteBool(QStringLiteral("option"), QStringLiteral("ChangeSkin"), true);
                   },
                   "\r\n[option]\r\nShowToolbar=1\r\nChangeSkin=1\r\n"},
        WriteCase {"replace_drops_old_spacing", QByteArray("[option]\r\nShowToolbar = 0 \r\n"),
                   writeOption("ShowToolbar", true), "[option]\r\nShowToolbar=1\r\n"},
        WriteCase {"key_case_differs_adds_second_line", QByteArray("[option]\r\nshowtoolbar=0\r\n"),
                   writeOption("ShowToolbar", true), "[option]\r\nshowtoolbar=0\r\nShowToolbar=1\r\n"},
        WriteCase {"insert_after_trailing_blanks_before_next_header",
                   QByteArray("[option]\r\nA=1\r\n\r\n\r\n[other]\r\nB=2\r\n"),
                   writeOption("ChangeSkin", false),
                   "[option]\r\nA=1\r\n\r\n\r\nChangeSkin=0\r\n[other]\r\nB=2\r\n"},
        WriteCase {"blank_bracket_header_ends_section_but_does_not_match",
                   QByteArray("[option]\r\nA=1\r\n[ option ]\r\nShowToolbar=0\r\n"),
                   writeOption("ShowToolbar", true),
                   "[option]\r\nA=1\r\nShowToolbar=1\r\n[ option ]\r\nShowToolbar=0\r\n"},
        WriteCase {"header_found_regardless_of_case", QByteArray("[Option]\r\nShowToolbar=0\r\n"),
                   writeOption("ShowToolbar", true), "[Option]\r\nShowToolbar=1\r\n"},
        WriteCase {"duplicate_sections_and_keys_touch_only_first",
                   QByteArray("[option]\r\nK=1\r\nK=2\r\n[option]\r\nK=3\r\n"), writeOption("K", false),
                   "[option]\r\nK=0\r\nK=2\r\n[option]\r\nK=3\r\n"},
        WriteCase {"lf_and_cr_line_ends_saved_as_crlf", QByteArray("x\n[option]\rK=1\n;c=2"),
                   writeOption("K", true), "x\r\n[option]\r\nK=1\r\n;c=2\r\n"},
        WriteCase {"nul_keeps_the_bytes_after_it", QByteArrayLiteral("[option]\r\nK=1\r\n\0garbage"),
                   writeOption("K", false), QByteArrayLiteral("[option]\r\nK=0\r\n\0garbage\r\n")},
        WriteCase {
            "nul_in_a_line_keeps_later_sections",
            QByteArrayLiteral("[option]\r\nNote=a\0b\r\n[After]\r\nimportant=yes\r\n"),
            writeOption("ShowToolbar", true),
            QByteArrayLiteral("[option]\r\nNote=a\0b\r\nShowToolbar=1\r\n[After]\r\nimportant=yes\r\n")},
        WriteCase {"nul_section_after_it_is_found", QByteArrayLiteral("x\0y\r\n[option]\r\nK=1\r\n"),
                   writeOption("K", false), QByteArrayLiteral("x\0y\r\n[option]\r\nK=0\r\n")},
        WriteCase {"nul_entry_line_replaced_whole", QByteArrayLiteral("[option]\r\nK=1\0junk\r\n[b]\r\n"),
                   writeOption("K", false), QByteArrayLiteral("[option]\r\nK=0\r\n[b]\r\n")},
        WriteCase {"other_lines_kept_byte_for_byte",
                   QByteArray("junk \xc3\xa9\r\n  \r\n[option]\r\n# not a comment\r\n"),
                   writeOption("K", true), "junk \xc3\xa9\r\n  \r\n[option]\r\n# not a comment\r\nK=1\r\n"},
        WriteCase {
            "empty_key_adds_header_only", std::nullopt,
            [](TIniFile32 &ini) { ini.WriteString(QStringLiteral("data"), QString(), QStringLiteral("v")); },
            "\r\n[data]\r\n"},
        WriteCase {"value_written_unquoted", QByteArray(),
                   [](TIniFile32 &ini) {
                       ini.WriteString(QStringLiteral("data"), QStringLiteral("skinfile"),
                                       QStringLiteral(" a=b "));
                   },
                   "\r\n[data]\r\nskinfile= a=b \r\n"}),
    [](const auto &testInfo) { return std::string(testInfo.param.name); });

struct ReadCase
{
    const char *name;
    QByteArray file;
    const char *section;
    const char *key;
    QString expectedString; // with default "dflt"
    int32_t expectedInteger; // with default -7
    bool expectedBool; // with default false
};

void PrintTo(const ReadCase &c, std::ostream *os)
{
    *os << c.name;
}

class IniRead : public ::testing::TestWithParam<ReadCase>
{
};

TEST_P(IniRead, AnswersStringIntegerAndBool)
{
    const ReadCase &c = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("r.ini"));
    writeAll(path, c.file);
    const TIniFile32 ini(path);
    const QString section = QString::fromLatin1(c.section);
    const QString key = QString::fromLatin1(c.key);
    EXPECT_EQ(ini.ReadString(section, key, QStringLiteral("dflt")), c.expectedString);
    EXPECT_EQ(ini.ReadInteger(section, key, -7), c.expectedInteger);
    EXPECT_EQ(ini.ReadBool(section, key, false), c.expectedBool);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniRead,
    ::testing::Values(
        ReadCase {"trimmed_value", "[option]\r\nShowToolbar = 1 \r\n", "option", "ShowToolbar", "1", 1, true},
        ReadCase {"empty_value_gives_default", "[option]\r\nShowToolbar=\r\n", "option", "ShowToolbar",
                  "dflt", -7, false},
        ReadCase {"first_entry_wins_even_if_empty", "[o]\r\nK=\r\nK=5\r\n", "o", "K", "dflt", -7, false},
        ReadCase {"key_is_case_sensitive", "[o]\r\nk=5\r\n", "o", "K", "dflt", -7, false},
        ReadCase {"section_case_insensitive", "[OPTION]\r\nK=5\r\n", "option", "K", "5", 5, true},
        ReadCase {"indented_header_not_found", "  [option]\r\nK=5\r\n", "option", "K", "dflt", -7, false},
        ReadCase {"indented_header_ends_section", "[a]\r\n  [b]\r\nK=5\r\n", "a", "K", "dflt", -7, false},
        ReadCase {"first_of_duplicate_sections", "[o]\r\nX=1\r\n[o]\r\nK=5\r\n", "o", "K", "dflt", -7, false},
        ReadCase {"hex_0x", "[o]\r\nK=0x0A\r\n", "o", "K", "0x0A", 10, true},
        ReadCase {"hex_dollar", "[o]\r\nK=$1F\r\n", "o", "K", "$1F", 31, true},
        ReadCase {"hex_without_prefix_is_no_number", "[o]\r\nK=1F\r\n", "o", "K", "1F", -7, false},
        ReadCase {"bare_0x_is_no_number", "[o]\r\nK=0x\r\n", "o", "K", "0x", -7, false},
        ReadCase {"negative", "[o]\r\nK=-1\r\n", "o", "K", "-1", -1, true},
        ReadCase {"zero_is_false", "[o]\r\nK=0\r\n", "o", "K", "0", 0, false},
        ReadCase {"letters_give_default", "[o]\r\nK=abc\r\n", "o", "K", "abc", -7, false},
        ReadCase {"true_is_no_number", "[o]\r\nK=true\r\n", "o", "K", "true", -7, false},
        ReadCase {"int_max", "[o]\r\nK=2147483647\r\n", "o", "K", "2147483647", 2147483647, true},
        ReadCase {"int_min", "[o]\r\nK=-2147483648\r\n", "o", "K", "-2147483648", INT32_MIN, true},
        ReadCase {"out_of_range", "[o]\r\nK=2147483648\r\n", "o", "K", "2147483648", -7, false},
        ReadCase {"value_keeps_inner_equals", "[o]\r\nK= a=b \r\n", "o", "K", "a=b", -7, false},
        ReadCase {"semicolon_is_a_key", "[o]\r\n;x=1\r\n", "o", ";x", "1", 1, true},
        ReadCase {"cr_only_line_ends", "[o]\rA=1\rK=2", "o", "K", "2", 2, true},
        ReadCase {"bom_belongs_to_first_line", "\xef\xbb\xbf[o]\r\nK=2\r\n", "o", "K", "dflt", -7, false},
        ReadCase {"section_after_a_nul_is_read", QByteArrayLiteral("[o]\r\nA=x\0y\r\n[After]\r\nK=5\r\n"),
                  "After", "K", "5", 5, true},
        ReadCase {"value_ends_at_its_nul", QByteArrayLiteral("[o]\r\nK=7\0 8\r\n"), "o", "K", "7", 7, true},
        ReadCase {"utf8_passes_through", "[o]\r\nK=Gr\xc3\xbc\xc3\x9f\r\n", "o", "K", QStringLiteral("Grüß"),
                  -7, false}),
    [](const auto &testInfo) { return std::string(testInfo.param.name); });

TEST(IniFile, MissingFileReadsDefaultsAndCreatesOnFirstWrite)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("new.ini"));
    TIniFile32 ini(path);
    EXPECT_TRUE(ini.Lines().isEmpty());
    EXPECT_EQ(ini.ReadString(QStringLiteral("data"), QStringLiteral("version"), QStringLiteral("1.5")),
              QStringLiteral("1.5"));
    EXPECT_FALSE(QFile::exists(path));
    ini.WriteString(QStringLiteral("data"), QStringLiteral("version"), QStringLiteral("2"));
    EXPECT_EQ(TIniFile32(path).ReadString(QStringLiteral("data"), QStringLiteral("version"), QString()),
              QStringLiteral("2"));
}

// Permission checks mean nothing to root, so the body runs in a child without privileges.
TEST(IniFile, SystemErrorsCarryPathAndReason)
{
    QTemporaryDir dir;
    ::chmod(QFile::encodeName(dir.path()).constData(), 0777);
    const QString unreadable = dir.filePath(QStringLiteral("unreadable.ini"));
    writeAll(unreadable, "[o]\r\n");
    ::chmod(QFile::encodeName(unreadable).constData(), 0);
    const QString readOnly = dir.filePath(QStringLiteral("readonly.ini"));
    writeAll(readOnly, "[o]\r\nK=1\r\n");
    ::chmod(QFile::encodeName(readOnly).constData(), 0444);

    const QStringList seen = TestSupport::runUnprivileged([&] {
        QStringList lines;
        try {
            TIniFile32 ini(unreadable);
            lines << QStringLiteral("no error");
        } catch (const KestraneError &e) {
            lines << e.message();
        }
        TIniFile32 ini(readOnly);
        lines << ini.ReadString(QStringLiteral("o"), QStringLiteral("K"), QString());
        try {
            ini.WriteString(QStringLiteral("o"), QStringLiteral("K"), QStringLiteral("2"));
            lines << QStringLiteral("no error");
        } catch (const KestraneError &e) {
            lines << e.message();
        }
        // The change stays in the object only.
        lines << ini.ReadString(QStringLiteral("o"), QStringLiteral("K"), QString());
        return lines;
    });
    EXPECT_EQ(seen,
              QStringList({QStringLiteral("Cannot open file \"%1\". Permission denied").arg(unreadable),
                           QStringLiteral("1"),
                           QStringLiteral("Cannot create file \"%1\". Permission denied").arg(readOnly),
                           QStringLiteral("2")}));
    EXPECT_EQ(readAll(readOnly), QByteArray("[o]\r\nK=1\r\n"));
}

TEST(IniFile, MissingFolderCannotBeCreated)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("no/such/folder/x.ini"));
    TIniFile32 ini(path);
    try {
        ini.WriteBool(QStringLiteral("o"), QStringLiteral("K"), true);
        FAIL() << "no error raised";
    } catch (const KestraneError &e) {
        EXPECT_EQ(e.message(),
                  QStringLiteral("Cannot create file \"%1\". No such file or directory").arg(path));
    }
}

TEST(IniFile, DirectoryInPlaceOfFileCannotBeOpened)
{
    // Works for root too: a folder can be opened but not read as a file.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("folder.ini"));
    QDir().mkpath(path);
    try {
        TIniFile32 ini(path);
        FAIL() << "no error raised";
    } catch (const KestraneError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Cannot open file \"%1\". Is a directory").arg(path));
    }
}

} // namespace
