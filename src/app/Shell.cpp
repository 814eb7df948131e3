#include "app/Shell.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace {

struct SeamState
{
    bool enabled = false;
    QStringList opened;
};

SeamState &seam()
{
    static SeamState state;
    return state;
}

bool isAddress(const QString &target)
{
    return target.contains(QStringLiteral("://")) || target.startsWith(QStringLiteral("mailto:"));
}

} // namespace

void OpenDocument(const QString &target)
{
    if (seam().enabled) {
        seam().opened.append(target);
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
    seam().enabled = true;
}
void disable()
{
    seam() = SeamState {};
}
QStringList takeOpened()
{
    return std::exchange(seam().opened, {});
}
} // namespace ShellSeam
