#include "core/SizeTexts.h"

namespace {

// |value| / divisor in hundredths, rounded half away from zero.
qint64 roundedHundredths(qint64 value, qint64 divisor)
{
    const quint64 magnitude = value < 0 ? 0 - static_cast<quint64>(value) : static_cast<quint64>(value);
    // 128-bit so that no byte count can overflow the multiplication.
    const unsigned __int128 scaled = static_cast<unsigned __int128>(magnitude) * 100u;
    const unsigned __int128 d = static_cast<unsigned __int128>(divisor);
    return static_cast<qint64>((scaled + d / 2) / d);
}

// `hundredths` written with two decimals in the locale's notation.
QString twoDecimals(qint64 hundredths, bool negative, const QLocale &locale)
{
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

} // namespace

SizeTexts::Formatter::Formatter(const QLocale &locale)
    : m_grouped(locale)
    , m_plain(locale)
{
    m_grouped.setNumberOptions(locale.numberOptions() & ~QLocale::NumberOptions(QLocale::OmitGroupSeparator));
    m_plain.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
}

QString SizeTexts::Formatter::megabytes(qint64 bytes) const
{
    return twoDecimals(roundedHundredths(bytes, 1024 * 1024), bytes < 0, m_plain) + QStringLiteral(" MB");
}

QString SizeTexts::Formatter::kilobytes(qint64 bytes) const
{
    return twoDecimals(roundedHundredths(bytes, 1000), bytes < 0, m_grouped) + QStringLiteral(" KB");
}
