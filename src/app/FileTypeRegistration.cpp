#include "app/FileTypeRegistration.h"

#include "app/GlobalSettings.h"
#include "base/KestraneError.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

const char kPackageXml[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<mime-info xmlns="http://www.freedesktop.org/standards/shared-mime-info">
  <mime-type type="application/x-kestrane-filelist">
    <comment>Kestrane list file</comment>
    <icon name="application-x-kestrane-filelist"/>
    <glob pattern="*.mst"/>
  </mime-type>
</mime-info>
)";

[[noreturn]] void cannotCreate(const QString &path, const QString &reason)
{
    throw KestraneError(QStringLiteral("Cannot create file \"%1\". %2").arg(path, reason));
}

// Writes the file only when its content differs; answers whether it changed.
bool writeIfChanged(const QString &path, const QByteArray &content)
{
    QFile existing(path);
    if (existing.open(QIODevice::ReadOnly) && existing.readAll() == content)
        return false;
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        cannotCreate(path, QStringLiteral("The folder cannot be created"));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit())
        cannotCreate(path, file.errorString());
    return true;
}

QByteArray iconPng()
{
    QImageReader reader(Globals().ExeFolder + QStringLiteral("App.ico"));
    QImage icon = reader.read();
    if (icon.isNull())
        return {};
    if (icon.size() != QSize(32, 32))
        icon = icon.scaled(32, 32, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    icon.save(&buffer, "PNG");
    return png;
}

bool cacheNamesListType(const QString &globs)
{
    QFile file(globs);
    return file.open(QIODevice::ReadOnly) && file.readAll().contains("application/x-kestrane-filelist:*.mst");
}

// The system's data folders, as the desktop reads them after the user's own.
QStringList systemDataFolders()
{
    QStringList folders;
    const QString variable = qEnvironmentVariable("XDG_DATA_DIRS");
    const QStringList listed = variable.isEmpty()
        ? QStringList {QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share")}
        : variable.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString &folder : listed) {
        if (QDir::isAbsolutePath(folder))
            folders.append(QDir::cleanPath(folder));
    }
    return folders;
}

// An installed package records the type and its icon for everyone: the user's own copies would only
// be files left in the home.
bool knownSystemWide()
{
    bool type = false;
    bool icon = false;
    for (const QString &folder : systemDataFolders()) {
        const QString mime = folder + QStringLiteral("/mime/");
        type = type ||
            (QFileInfo::exists(mime + QStringLiteral("packages/kestrane-filelist.xml")) &&
             cacheNamesListType(mime + QStringLiteral("globs2")));
        const QString icons = folder + QStringLiteral("/icons/hicolor/");
        icon = icon ||
            QFileInfo::exists(icons +
                              QStringLiteral("scalable/mimetypes/application-x-kestrane-filelist.svg")) ||
            QFileInfo::exists(icons + QStringLiteral("32x32/mimetypes/application-x-kestrane-filelist.png"));
    }
    return type && icon;
}

} // namespace

QString DataHomeFolder()
{
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty() || !QDir::isAbsolutePath(data))
        data = QDir::homePath() + QStringLiteral("/.local/share");
    return data;
}

void RegisterListFileType()
{
    if (knownSystemWide())
        return;
    const QString dataHome = DataHomeFolder();
    const QString mimeFolder = dataHome + QStringLiteral("/mime");
    bool changed =
        writeIfChanged(mimeFolder + QStringLiteral("/packages/kestrane-filelist.xml"), kPackageXml);
    const QByteArray png = iconPng();
    if (!png.isEmpty()) {
        changed |= writeIfChanged(
            dataHome + QStringLiteral("/icons/hicolor/32x32/mimetypes/application-x-kestrane-filelist.png"),
            png);
    }
    // An unchanged package needs no rebuild only when the cache already names the type: a cache
    // made without it (the tool missing last time, or rebuilt by another program since) is renewed.
    if (!changed && cacheNamesListType(mimeFolder + QStringLiteral("/globs2")))
        return;
    // Rebuilding the MIME cache takes a moment; it runs on its own and never holds up start-up.
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("update-mime-database"));
    if (!tool.isEmpty())
        QProcess::startDetached(tool, {mimeFolder});
}
