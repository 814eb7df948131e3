#include "ListFile.h"

#include "KestraneError.h"

#include <QIODevice>

#include <optional>

namespace {

const QChar Backslash = QLatin1Char('\\');

// Hands out the lines of a device one at a time without holding more than one line in memory.
class LineReader final
{
public:
    explicit LineReader(QIODevice &device)
        : m_device(device)
    { }

    // The next line without its end, or nothing at the end of the data. Throws KestraneError
    // when the device fails or a line grows beyond MaxLineBytes.
    std::optional<QByteArray> next()
    {
        QByteArray line;
        for (;;) {
            if (m_pos >= m_chunk.size() && !refill())
                break;
            if (m_skipLf) {
                m_skipLf = false;
                if (m_chunk.at(m_pos) == '\n') {
                    ++m_pos;
                    continue;
                }
            }
            const char *begin = m_chunk.constData() + m_pos;
            const qsizetype left = m_chunk.size() - m_pos;
            qsizetype end = 0;
            while (end < left && begin[end] != '\r' && begin[end] != '\n')
                ++end;
            if (line.size() + end > ListFile::MaxLineBytes)
                throw KestraneError(QStringLiteral("A line of the list file is too long."));
            line.append(begin, end);
            m_pos += end;
            if (end < left) {
                m_skipLf = begin[end] == '\r';
                ++m_pos;
                return line;
            }
        }
        // The last line needs no line end; a line end at the very end starts no further line.
        if (line.isEmpty())
            return std::nullopt;
        return line;
    }

private:
    bool refill()
    {
        if (m_eof)
            return false;
        m_chunk.resize(64 * 1024);
        const qint64 got = m_device.read(m_chunk.data(), m_chunk.size());
        if (got < 0)
            throw KestraneError(m_device.errorString());
        m_chunk.resize(got);
        m_pos = 0;
        if (got == 0) {
            m_eof = true;
            return false;
        }
        return true;
    }

    QIODevice &m_device;
    QByteArray m_chunk;
    qsizetype m_pos = 0;
    bool m_eof = false;
    bool m_skipLf = false;
};

} // namespace

ListFile::Entry ListFile::splitLine(const QString &line)
{
    Entry entry;
    const qsizetype bar = line.indexOf(QLatin1Char('|'));
    if (bar < 0) {
        entry.destFolder = line;
    } else {
        entry.source = line.left(bar);
        entry.destFolder = line.mid(bar + 1);
    }
    if (!entry.destFolder.endsWith(Backslash))
        entry.destFolder.append(Backslash);
    return entry;
}

ListFile::LoadResult ListFile::load(QIODevice &device, Sink &sink)
{
    try {
        LineReader reader(device);
        const std::optional<QByteArray> first = reader.next();
        if (!first)
            return LoadResult::LoadError; // an empty file
        if (*first != Header)
            return LoadResult::NotAListFile;
        sink.reset();
        while (const std::optional<QByteArray> bytes = reader.next()) {
            // A NUL cannot be part of a path: passed on, the file system would read a shorter,
            // different path than the line names.
            if (bytes->contains('\0'))
                return LoadResult::LoadError;
            const Entry entry = splitLine(QString::fromUtf8(*bytes));
            sink.addFolder(entry.destFolder, entry.source);
        }
    } catch (const KestraneError &) {
        return LoadResult::LoadError;
    }
    return LoadResult::Loaded;
}

QString ListFile::entryLine(const QString &sourcePath, const QString &itemDestPath, const QString &itemName)
{
    QString folder = itemDestPath;
    if (folder.endsWith(itemName))
        folder.chop(itemName.size());
    else
        folder = folder.left(folder.lastIndexOf(Backslash) + 1);
    if (!folder.endsWith(Backslash))
        folder.append(Backslash);
    return sourcePath + QLatin1Char('|') + folder;
}

QByteArray ListFile::encode(const QStringList &lines)
{
    QByteArray bytes;
    for (const QString &line : lines) {
        bytes += line.toUtf8();
        bytes += "\r\n";
    }
    return bytes;
}
