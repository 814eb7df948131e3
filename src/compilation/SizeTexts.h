#pragma once

#include <QLocale>
#include <QString>

// The two size notations of the FILETOISO page, computed from whole bytes so that the decimal
// rounding is exact (half away from zero) rather than that of the nearest binary fraction.
namespace SizeTexts {

// Megabytes of 1,048,576 bytes, two decimals, no thousands separator, then " MB": "4482.27 MB".
QString megabytes(qint64 bytes, const QLocale &locale = QLocale());
// Kilobytes of 1000 bytes, two decimals, with thousands separators, then " KB": "1,234.57 KB".
QString kilobytes(qint64 bytes, const QLocale &locale = QLocale());

} // namespace SizeTexts
