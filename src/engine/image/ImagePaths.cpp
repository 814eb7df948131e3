#include "ImagePaths.h"

#include <QFile>

namespace {
const QChar Backslash = QLatin1Char('\\');
}

QStringList ImagePaths::splitDest(const QString &destPath)
{
    return destPath.split(Backslash, Qt::SkipEmptyParts);
}

QString ImagePaths::joinDest(const QStringList &components)
{
    if (components.isEmpty())
        return QString(Backslash);
    return Backslash + components.join(Backslash);
}

QString ImagePaths::childDest(const QString &parentDest, const QString &name)
{
    if (parentDest == QString(Backslash))
        return Backslash + name;
    return parentDest + Backslash + name;
}

bool ImagePaths::destNamesFolder(const QString &destPath)
{
    return destPath.endsWith(Backslash);
}

QString ImagePaths::imageName(const QString &fileName)
{
    QString name = fileName;
    return name.replace(Backslash, QLatin1Char('_'));
}

QByteArray ImagePaths::imageNameBytes(const QByteArray &nativeName)
{
    if (!nativeName.contains('\\')) {
        // The common case: UTF-8 names pass through as they are.
        const QString decoded = QFile::decodeName(nativeName);
        if (decoded.toUtf8() == nativeName)
            return nativeName;
    }
    return imageName(QFile::decodeName(nativeName)).toUtf8();
}

ImagePaths::Source ImagePaths::parseSource(const QString &source)
{
    Source result;
    static const QString Pattern = QStringLiteral("*.*");
    const bool isPattern = source.endsWith(Pattern) && source.size() > Pattern.size() &&
        (source.at(source.size() - 4) == Backslash || source.at(source.size() - 4) == QLatin1Char('/'));
    if (!isPattern) {
        result.path = source;
        return result;
    }
    QString folder = source.left(source.size() - 4);
    if (folder.size() == 2 && folder.at(1) == QLatin1Char(':') && folder.at(0).isLetter()) {
        result.kind = Source::Kind::DriveContent;
        result.driveLetter = folder.at(0).toUpper();
        result.path = folder;
        return result;
    }
    // "/home/ann/" + "/*.*" and "/" + "/*.*" both name a folder: drop doubled separators, keep "/".
    while (folder.size() > 1 && (folder.endsWith(QLatin1Char('/')) || folder.endsWith(Backslash)))
        folder.chop(1);
    result.kind = Source::Kind::FolderContent;
    result.path = folder.isEmpty() ? QStringLiteral("/") : folder;
    return result;
}
