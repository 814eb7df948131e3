#include "SizeTexts.h"

namespace {

// `hundredths` written with two decimals in the locale's notation.
QString twoDecimals(qint64 hundredths, bool negative, bool groups, const QLocale &base)
{
    QLocale locale = base;
    QLocale::NumberOptions options = locale.numberOptions();
    if (groups)
        options &= ~QLocale::NumberOptions(QLocale::OmitGroupSeparator);
    else
        options |= QLocale::OmitGroupSeparator;
    locale.setNumberOptions(options);
    QString text = locale.toString(hundredths / 100);
    text += locale.decimalPoint();
    const qint64 fraction = hundredths % 100;
    if (fraction < 10)
        text += locale.zeroDigit();
    text += locale.toString(fraction);
    if (negative && hundredths != 0)
        text.prepend(locale.negativeSign());
    return text;
}

// |value| / divisor in hundredths, rounded half away from zero.
qint64 roundedHundredths(qint64 value, qint64 divisor)
{
    const quint64 magnitude = value < 0 ? 0 - static_cast<quint64>(value) : static_cast<quint64>(value);
    // 128-bit so that no byte count can overflow the multiplication.
    const unsigned __int128 scaled = static_cast<unsigned __int128>(magnitude) * 100u;
    const unsigned __int128 d = static_cast<unsigned __int128>(divisor);
    return static_cast<qint64>((scaled + d / 2) / d);
}

} // namespace

QString SizeTexts::megabytes(qint64 bytes, const QLocale &locale)
{
    return twoDecimals(roundedHundredths(bytes, 1024 * 1024), bytes < 0, false, locale) +
        QStringLiteral(" MB");
}

QString SizeTexts::kilobytes(qint64 bytes, const QLocale &locale)
{
    return twoDecimals(roundedHundredths(bytes, 1000), bytes < 0, true, locale) + QStringLiteral(" KB");
}
