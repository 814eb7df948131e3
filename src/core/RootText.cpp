#include "core/RootText.h"

QString RootText::compose(const QString &label, const QString &sizeText)
{
    return label + QStringLiteral("  {") + sizeText + QLatin1Char('}');
}

QString RootText::afterLabelChange(const QString &label, const QString &sizeText)
{
    return label + QStringLiteral(" {") + sizeText + QLatin1Char('}');
}
