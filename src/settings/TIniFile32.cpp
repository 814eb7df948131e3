#include "settings/TIniFile32.h"
#include "base/SystemError.h"

#include "base/KestraneError.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <unistd.h>

namespace {

bool isBlankByte(char c)
{
    // Spaces and control characters, as the store trims them; bytes of UTF-8 sequences are kept.
    return static_cast<unsigned char>(c) <= ' ';
}

QByteArray trimmed(const QByteArray &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlankByte(text[begin]))
        ++begin;
    while (end > begin && isBlankByte(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

bool equalsIgnoringAsciiCase(const QByteArray &a, const QByteArray &b)
{
    return a.size() == b.size() && qstrnicmp(a.constData(), b.constData(), a.size()) == 0;
}

// What the parsing rules see of a line: the bytes before a NUL in it.
QByteArray visible(const QByteArray &line)
{
    const qsizetype nul = line.indexOf('\0');
    return nul < 0 ? line : line.left(nul);
}

bool isEntryFor(const QByteArray &line, const QByteArray &key)
{
    return visible(line).contains('=') && TIniFile32::LineKey(line) == key;
}

} // namespace

TIniFile32::TIniFile32(const QString &fileName)
    : m_fileName(fileName)
{
    if (QFile::exists(m_fileName))
        Load();
}

QList<QByteArray> TIniFile32::splitLines(const QByteArray &text)
{
    // A NUL byte is kept inside its line: the lines after it are the user's too, and a save must not
    // drop them. Reads look at a line only up to its NUL (see visible()).
    QList<QByteArray> lines;
    const qsizetype end = text.size();
    qsizetype start = 0;
    qsizetype i = 0;
    while (i < end) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.append(text.mid(start, i - start));
            if (c == '\r' && i + 1 < end && text[i + 1] == '\n')
                ++i;
            start = i + 1;
        }
        ++i;
    }
    if (start < end)
        lines.append(text.mid(start, end - start));
    return lines;
}

void TIniFile32::Load()
{
    const QByteArray path = QFile::encodeName(m_fileName);
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        throw KestraneError(
            QStringLiteral("Cannot open file \"%1\". %2").arg(m_fileName, SystemErrorText(error)));
    }
    QByteArray text;
    char buffer[16384];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            ::close(fd);
            throw KestraneError(
                QStringLiteral("Cannot open file \"%1\". %2").arg(m_fileName, SystemErrorText(error)));
        }
        if (got == 0)
            break;
        text.append(buffer, got);
    }
    ::close(fd);
    m_lines = splitLines(text);
}

TIniFile32 TIniFile32::fromText(const QString &fileName, const QByteArray &text)
{
    TIniFile32 ini;
    ini.m_fileName = fileName;
    ini.m_lines = splitLines(text);
    return ini;
}

QByteArray TIniFile32::text() const
{
    QByteArray text;
    for (const QByteArray &line : m_lines) {
        text.append(line);
        text.append("\r\n");
    }
    return text;
}

void TIniFile32::Save() const
{
    const QByteArray text = this->text();
    const auto fail = [this](int error) {
        throw KestraneError(
            QStringLiteral("Cannot create file \"%1\". %2").arg(m_fileName, SystemErrorText(error)));
    };
    const QByteArray path = QFile::encodeName(m_fileName);
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        fail(errno);
    qsizetype done = 0;
    while (done < text.size()) {
        const ssize_t put = ::write(fd, text.constData() + done, static_cast<size_t>(text.size() - done));
        if (put < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            ::close(fd);
            fail(error);
        }
        done += put;
    }
    if (::close(fd) != 0)
        fail(errno);
}

bool TIniFile32::IsSectionLine(const QByteArray &line)
{
    const QByteArray t = trimmed(visible(line));
    return !t.isEmpty() && t.startsWith('[') && t.endsWith(']');
}

QByteArray TIniFile32::LineKey(const QByteArray &line)
{
    const QByteArray seen = visible(line);
    const qsizetype eq = seen.indexOf('=');
    return eq < 0 ? QByteArray() : trimmed(seen.left(eq));
}

QByteArray TIniFile32::LineValue(const QByteArray &line)
{
    const QByteArray seen = visible(line);
    const qsizetype eq = seen.indexOf('=');
    return eq < 0 ? QByteArray() : trimmed(seen.mid(eq + 1));
}

std::optional<qsizetype> TIniFile32::SectionIndex(const QByteArray &section) const
{
    const QByteArray header = '[' + section + ']';
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        if (equalsIgnoringAsciiCase(visible(m_lines[i]), header))
            return i;
    }
    return std::nullopt;
}

QString TIniFile32::ReadString(const QString &section, const QString &key, const QString &defaultValue) const
{
    const auto header = SectionIndex(section.toUtf8());
    if (!header)
        return defaultValue;
    const QByteArray wanted = key.toUtf8();
    for (qsizetype i = *header + 1; i < m_lines.size() && !IsSectionLine(m_lines[i]); ++i) {
        if (isEntryFor(m_lines[i], wanted)) {
            const QByteArray value = LineValue(m_lines[i]);
            return value.isEmpty() ? defaultValue : QString::fromUtf8(value);
        }
    }
    return defaultValue;
}

std::optional<int32_t> TIniFile32::parseInteger(const QByteArray &input)
{
    QByteArray text = input;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.replace(0, 2, "$");
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < text.size() && text[i] == '$') {
        base = 16;
        ++i;
    }
    if (i >= text.size())
        return std::nullopt;
    // Accumulate in 64 bits; anything past the 32-bit signed range is not a number here.
    const int64_t limit = negative ? int64_t(std::numeric_limits<int32_t>::max()) + 1
                                   : int64_t(std::numeric_limits<int32_t>::max());
    int64_t value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return std::nullopt;
        value = value * base + digit;
        if (value > limit)
            return std::nullopt;
    }
    return static_cast<int32_t>(negative ? -value : value);
}

int32_t TIniFile32::ReadInteger(const QString &section, const QString &key, int32_t defaultValue) const
{
    return parseInteger(ReadString(section, key, QString()).toUtf8()).value_or(defaultValue);
}

bool TIniFile32::ReadBool(const QString &section, const QString &key, bool defaultValue) const
{
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void TIniFile32::WriteString(const QString &section, const QString &key, const QString &value)
{
    const QByteArray keyBytes = key.toUtf8();
    const QByteArray entry = keyBytes + '=' + value.toUtf8();
    const auto header = SectionIndex(section.toUtf8());
    if (!header) {
        m_lines.append(QByteArray());
        m_lines.append('[' + section.toUtf8() + ']');
        if (!keyBytes.isEmpty())
            m_lines.append(entry);
    } else {
        qsizetype i = *header + 1;
        while (i < m_lines.size() && !IsSectionLine(m_lines[i]) && !isEntryFor(m_lines[i], keyBytes))
            ++i;
        const bool found = i < m_lines.size() && !IsSectionLine(m_lines[i]);
        if (!keyBytes.isEmpty()) {
            if (found)
                m_lines[i] = entry;
            else
                m_lines.insert(i, entry);
        }
    }
    Save();
}

void TIniFile32::WriteBool(const QString &section, const QString &key, bool value)
{
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}
