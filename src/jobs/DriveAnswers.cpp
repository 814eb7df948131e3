#include "jobs/DriveAnswers.h"

QString DriveNotAnsweringText(std::chrono::milliseconds bound)
{
    const double seconds = static_cast<double>(bound.count()) / 1000.0;
    return QStringLiteral("The drive did not answer within %1 seconds. It may still be busy: "
                          "try again in a moment.")
        .arg(QString::number(seconds, 'g', 3));
}
