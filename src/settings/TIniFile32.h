#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

// A short-lived view of one INI file: loaded whole at creation, every write saves the whole file.
// Works on bytes, so UTF-8 text passes through unchanged.
// A NUL byte stays in its line and every line after it is kept; the rules read a line only up to
// its NUL.
class TIniFile32 final
{
public:
    // Loads the file if it exists; throws KestraneError "Cannot open file ..." when it exists but
    // cannot be read.
    explicit TIniFile32(const QString &fileName);

    QString ReadString(const QString &section, const QString &key, const QString &defaultValue) const;
    int32_t ReadInteger(const QString &section, const QString &key, int32_t defaultValue) const;
    bool ReadBool(const QString &section, const QString &key, bool defaultValue) const;
    // Both write at once; throw KestraneError "Cannot create file ..." when the file cannot be written.
    void WriteString(const QString &section, const QString &key, const QString &value);
    void WriteBool(const QString &section, const QString &key, bool value);

    // An object over text already in memory, saved to fileName on the first write.
    static TIniFile32 fromText(const QString &fileName, const QByteArray &text);
    // The file's bytes as a save writes them.
    QByteArray text() const;

    const QString &FileName() const { return m_fileName; }
    const QList<QByteArray> &Lines() const { return m_lines; }

    // The parsing rules, exposed for the fuzzer and for callers that parse INI text they already hold.
    static QList<QByteArray> splitLines(const QByteArray &text);
    static bool IsSectionLine(const QByteArray &line);
    static QByteArray LineKey(const QByteArray &line);
    static QByteArray LineValue(const QByteArray &line);
    static std::optional<int32_t> parseInteger(const QByteArray &text);

private:
    TIniFile32() = default;
    void Load();
    void Save() const;
    std::optional<qsizetype> SectionIndex(const QByteArray &section) const;

    QString m_fileName;
    QList<QByteArray> m_lines;
};
