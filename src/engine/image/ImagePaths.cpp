#include "engine/image/ImagePaths.h"
#include "engine/NativePath.h"

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
    // A byte of a name that is not UTF-8 (carried as NativePath carries it) shows as U+FFFD in the
    // image, as it does for the names inside a folder.
    if (NativePath::hasRawBytes(name))
        name = QString::fromUtf8(NativePath::encode(name));
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

QString ImagePaths::displayNative(const QByteArray &nativePath)
{
    QString text;
    const auto *bytes = reinterpret_cast<const unsigned char *>(nativePath.constData());
    const qsizetype size = nativePath.size();
    for (qsizetype i = 0; i < size;) {
        const unsigned char lead = bytes[i];
        const int length = lead < 0x80 ? 1
            : (lead >> 5) == 6         ? 2
            : (lead >> 4) == 14        ? 3
            : (lead >> 3) == 30        ? 4
                                       : 0;
        bool whole = length > 0 && i + length <= size;
        for (int k = 1; whole && k < length; ++k)
            whole = (bytes[i + k] & 0xc0) == 0x80;
        if (whole) {
            // Overlong forms and surrogates decode to U+FFFD: those bytes are shown too.
            const QString piece = QString::fromUtf8(nativePath.constData() + i, length);
            if (!piece.contains(QChar::ReplacementCharacter)) {
                text += piece;
                i += length;
                continue;
            }
        }
        text +=
            QStringLiteral("\\x") + QString::number(lead, 16).toUpper().rightJustified(2, QLatin1Char('0'));
        ++i;
    }
    return text;
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
