#include "app/Shell.h"

#include "app/TestSeam.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace {

// Opening has no answer: the seam's answer type is a placeholder.
TestSeam<QString, bool> &seam()
{
    static TestSeam<QString, bool> state;
    return state;
}

bool isAddress(const QString &target)
{
    return target.contains(QStringLiteral("://")) || target.startsWith(QStringLiteral("mailto:"));
}

} // namespace

void OpenDocument(const QString &target)
{
    if (seam().enabled()) {
        seam().record(target, true);
        return;
    }
    if (isAddress(target)) {
        QDesktopServices::openUrl(QUrl(target));
        return;
    }
    const QString path = QDir::cleanPath(target);
    // A missing file would only make the desktop show its own error: pass silently instead.
    if (QFileInfo::exists(path))
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

namespace ShellSeam {
void enable()
{
    seam().enable();
}
void disable()
{
    seam().disable();
}
QStringList takeOpened()
{
    return seam().takeRequests();
}
} // namespace ShellSeam
