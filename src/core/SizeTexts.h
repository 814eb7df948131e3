#pragma once

#include <QLocale>
#include <QString>

// The two size notations of the FILETOISO page, computed from whole bytes so that the decimal
// rounding is exact (half away from zero) rather than that of the nearest binary fraction.
namespace SizeTexts {

// Holds the locale prepared for both notations; make one per batch of texts, as making it costs
// more than writing a text.
class Formatter final
{
public:
    explicit Formatter(const QLocale &locale = QLocale());
    // Megabytes of 1,048,576 bytes, two decimals, no thousands separator, then " MB": "4482.27 MB".
    QString megabytes(qint64 bytes) const;
    // Kilobytes of 1000 bytes, two decimals, with thousands separators, then " KB": "1,234.57 KB".
    QString kilobytes(qint64 bytes) const;

private:
    QLocale m_grouped;
    QLocale m_plain;
};

inline QString megabytes(qint64 bytes, const QLocale &locale = QLocale())
{
    return Formatter(locale).megabytes(bytes);
}
inline QString kilobytes(qint64 bytes, const QLocale &locale = QLocale())
{
    return Formatter(locale).kilobytes(bytes);
}

} // namespace SizeTexts
