// The list-file reader on its own, with a sink that records what it is told.
#include "KestraneError.h"
#include "ListFile.h"

#include <QBuffer>

#include <gtest/gtest.h>

namespace {

class RecordingSink final : public ListFile::Sink
{
public:
    int failOnCall = -1; // the add that raises an engine error
    QStringList calls;

    void reset() override { calls.append(QStringLiteral("reset")); }
    void addFolder(const QString &destFolder, const QString &source) override
    {
        if (calls.size() == failOnCall)
            throw KestraneError(QStringLiteral("refused"));
        calls.append(source + QStringLiteral(" -> ") + destFolder);
    }
};

struct ParseRow
{
    const char *name;
    QByteArray bytes;
    ListFile::LoadResult result;
    QStringList calls;
    int failOnCall = -1;
};

using R = ListFile::LoadResult;

QList<ParseRow> rows()
{
    const QString reset = QStringLiteral("reset");
    return {
        {"CR LF", "filelist\r\n/a|\\D\\\r\n/b|\\\r\n", R::Loaded, {reset, "/a -> \\D\\", "/b -> \\"}},
        {"LF only", "filelist\n/a|\\D\\\n/b|\\\n", R::Loaded, {reset, "/a -> \\D\\", "/b -> \\"}},
        {"CR only", "filelist\r/a|\\D\\\r/b|\\\r", R::Loaded, {reset, "/a -> \\D\\", "/b -> \\"}},
        {"no end on the last line", "filelist\r\n/a|\\", R::Loaded, {reset, "/a -> \\"}},
        {"header alone", "filelist", R::Loaded, {reset}},
        {"LF CR is two line ends", "filelist\n\r/a|\\\n", R::Loaded, {reset, " -> \\", "/a -> \\"}},
        {"empty line", "filelist\r\n\r\n/a|\\\r\n", R::Loaded, {reset, " -> \\", "/a -> \\"}},
        {"no bar: all destination", "filelist\r\n/a\r\n", R::Loaded, {reset, " -> /a\\"}},
        {"first bar splits", "filelist\r\n/a|b|c\\\r\n", R::Loaded, {reset, "/a -> b|c\\"}},
        {"destination made a folder", "filelist\r\n/a|\\Docs\r\n", R::Loaded, {reset, "/a -> \\Docs\\"}},
        {"UTF-8 names",
         "filelist\r\n/\xc3\xa4|\\\xc3\xb6\\\r\n",
         R::Loaded,
         {reset, QStringLiteral("/ä -> \\ö\\")}},
        {"empty file", "", R::LoadError, {}},
        {"upper case", "FileList\r\n/a|\\\r\n", R::NotAListFile, {}},
        {"blank before", " filelist\r\n", R::NotAListFile, {}},
        {"blank after", "filelist \r\n", R::NotAListFile, {}},
        {"byte order mark",
         "\xef\xbb\xbf"
         "filelist\r\n",
         R::NotAListFile,
         {}},
        {"empty first line", "\r\nfilelist\r\n", R::NotAListFile, {}},
        {"NUL in a path",
         QByteArray("filelist\r\n/a|\\\r\n/etc/passwd") + '\0' + "x|\\\r\n/b|\\\r\n",
         R::LoadError,
         {reset, "/a -> \\"}},
        {"engine refuses the second line",
         "filelist\r\n/a|\\\r\n/b|\\\r\n/c|\\\r\n",
         R::LoadError,
         {reset, "/a -> \\"},
         2},
        {"line beyond the limit",
         "filelist\r\n" + QByteArray(ListFile::MaxLineBytes + 1, 'x'),
         R::LoadError,
         {reset}},
        {"line at the limit",
         "filelist\r\n" + QByteArray(ListFile::MaxLineBytes, 'x'),
         R::Loaded,
         {reset, " -> " + QString(ListFile::MaxLineBytes, QLatin1Char('x')) + "\\"}},
    };
}

} // namespace

TEST(ListFileParser, RowsOfTheTable)
{
    for (const ParseRow &row : rows()) {
        SCOPED_TRACE(row.name);
        QByteArray bytes = row.bytes;
        QBuffer device(&bytes);
        ASSERT_TRUE(device.open(QIODevice::ReadOnly));
        RecordingSink sink;
        sink.failOnCall = row.failOnCall;
        EXPECT_EQ(ListFile::load(device, sink), row.result);
        EXPECT_EQ(sink.calls, row.calls);
    }
}

TEST(ListFileParser, LinesOfFilesAndTheirBytes)
{
    EXPECT_EQ(ListFile::entryLine(QStringLiteral("/n/a.txt"), QStringLiteral("\\Docs\\a.txt"),
                                  QStringLiteral("a.txt")),
              QStringLiteral("/n/a.txt|\\Docs\\"));
    EXPECT_EQ(
        ListFile::entryLine(QStringLiteral("/n/a.txt"), QStringLiteral("\\a.txt"), QStringLiteral("a.txt")),
        QStringLiteral("/n/a.txt|\\"));
    EXPECT_EQ(ListFile::encode({QStringLiteral("filelist"), QStringLiteral("/ä|\\")}),
              QByteArray("filelist\r\n/\xc3\xa4|\\\r\n"));
}
