#include "engine/StickInfo.h"

#include "engine/drives/UdisksModel.h"

QString StickQuestionText(const StickInfo &stick)
{
    const QString name = QStringList {stick.vendor, stick.model}.join(QLatin1Char(' ')).trimmed();
    QString text =
        QStringLiteral("Everything on %1 (%2, %3) will be overwritten by the image.")
            .arg(name.isEmpty() ? stick.device : name, Drives::Udisks::sizeText(stick.size), stick.device);
    if (!stick.labels.isEmpty())
        text +=
            QStringLiteral("\n\nThese will be destroyed: %1.").arg(stick.labels.join(QStringLiteral(", ")));
    text += QStringLiteral("\n\nWrite the image to this stick?");
    return text;
}

QString StickCancelledAdvice()
{
    return QStringLiteral("The stick was only partly written: write the image to it again, or re-format it, "
                          "before you use it.");
}
