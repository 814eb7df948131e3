// The list-file reader on its own, with a sink that records what it is told.
#include "base/KestraneError.h"
#include "core/ListFile.h"

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
    QString problem = {}; // why a failed load failed
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
        {"empty file", "", R::LoadError, {}, -1, "The list file is empty."},
        {"upper case", "FileList\r\n/a|\\\r\n", R::NotAListFile, {}},
        {"blank before", " filelist\r\n", R::NotAListFile, {}},
        {"blank after", "filelist \r\n", R::NotAListFile, {}},
        {"byte order mark",
         "\xef\xbb\xbf"
         "filelist\r\n",
         R::NotAListFile,
         {}},
        {"empty first line", "\r\nfilelist\r\n", R::NotAListFile, {}},
        // A file that cannot be read as a list reaches the sink not at all, however far down the
        // fault lies.
        {"NUL in a path",
         QByteArray("filelist\r\n/a|\\\r\n/etc/passwd") + '\0' + "x|\\\r\n/b|\\\r\n",
         R::LoadError,
         {},
         -1,
         "Line 3 holds a NUL character."},
        {"engine refuses the second line",
         "filelist\r\n/a|\\\r\n/b|\\\r\n/c|\\\r\n",
         R::LoadError,
         {reset, "/a -> \\"},
         2,
         "Line 3: refused"},
        {"line beyond the limit",
         "filelist\r\n/a|\\\r\n" + QByteArray(ListFile::MaxLineBytes + 1, 'x'),
         R::LoadError,
         {},
         -1,
         QStringLiteral("Line 3: longer than %1 bytes.").arg(ListFile::MaxLineBytes)},
        {"header beyond the limit",
         QByteArray(ListFile::MaxLineBytes + 1, 'f'),
         R::LoadError,
         {},
         -1,
         QStringLiteral("Line 1: longer than %1 bytes.").arg(ListFile::MaxLineBytes)},
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
        QString problem;
        EXPECT_EQ(ListFile::load(device, sink, &problem), row.result);
        EXPECT_EQ(sink.calls, row.calls);
        EXPECT_EQ(problem, row.problem);
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
