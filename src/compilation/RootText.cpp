#include "RootText.h"

namespace {

// Where the size group begins; -1 when the text has none.
qsizetype sizeGroupStart(const QString &text)
{
    return text.lastIndexOf(QLatin1Char('{'));
}

} // namespace

QString RootText::compose(const QString &label, const QString &sizeText)
{
    return label + QStringLiteral("  {") + sizeText + QLatin1Char('}');
}

QString RootText::withNewLabel(const QString &label, const QString &currentText)
{
    const qsizetype start = sizeGroupStart(currentText);
    return label + QLatin1Char(' ') + (start >= 0 ? currentText.mid(start) : currentText);
}

QString RootText::label(const QString &text)
{
    const qsizetype start = sizeGroupStart(text);
    QString label = start >= 0 ? text.left(start) : text;
    while (label.endsWith(QLatin1Char(' ')))
        label.chop(1);
    return label;
}
