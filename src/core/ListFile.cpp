#include "core/ListFile.h"

#include "base/KestraneError.h"
#include "base/SystemError.h"

#include <QFile>
#include <QIODevice>
#include <QList>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
                throw KestraneError(QStringLiteral("longer than %1 bytes.").arg(ListFile::MaxLineBytes));
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
            throw KestraneError(QStringLiteral("cannot be read (%1).").arg(m_device.errorString()));
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

bool ListFile::open(QFile &file, QString *problem)
{
    const auto fail = [&](const QString &why) {
        if (problem)
            *problem = QStringLiteral("Cannot open \"%1\": %2").arg(file.fileName(), why);
        return false;
    };
    const QByteArray path = QFile::encodeName(file.fileName());
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return fail(SystemErrorText(errno));
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(S_ISDIR(st.st_mode) ? QStringLiteral("it is a folder.")
                                        : QStringLiteral("it is not a regular file."));
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fail(file.errorString());
    }
    return true;
}

ListFile::LoadResult ListFile::load(QIODevice &device, Sink &sink, QString *problem)
{
    const auto fail = [problem](const QString &why) {
        if (problem)
            *problem = why;
        return LoadResult::LoadError;
    };
    // The whole file is read before the sink hears of it: a fault found further down must not
    // cost the user the compilation that was there before.
    QList<Entry> entries;
    qsizetype lineNumber = 0; // of the last line read whole
    try {
        LineReader reader(device);
        const std::optional<QByteArray> first = reader.next();
        if (!first)
            return fail(QStringLiteral("The list file is empty."));
        if (*first != Header)
            return LoadResult::NotAListFile;
        lineNumber = 1;
        while (const std::optional<QByteArray> bytes = reader.next()) {
            ++lineNumber;
            // A NUL cannot be part of a path: passed on, the file system would read a shorter,
            // different path than the line names.
            if (bytes->contains('\0'))
                return fail(QStringLiteral("Line %1 holds a NUL character.").arg(lineNumber));
            entries.append(splitLine(QString::fromUtf8(*bytes)));
        }
    } catch (const KestraneError &error) {
        return fail(QStringLiteral("Line %1: %2").arg(lineNumber + 1).arg(error.message()));
    }
    sink.expect(entries.size());
    sink.reset();
    lineNumber = 1;
    try {
        for (const Entry &entry : std::as_const(entries)) {
            ++lineNumber;
            sink.addFolder(entry.destFolder, entry.source);
        }
    } catch (const KestraneError &error) {
        return fail(QStringLiteral("Line %1: %2").arg(lineNumber).arg(error.message()));
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
