#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>
#include <QStringList>

// The engine's destination notation ("\" for the root, "\Docs\a.txt") and the source notations it
// accepts ("/home/ann/Photos/*.*", "/home/ann/a.txt", "E:\*.*").
namespace ImagePaths {

// The components of a destination path; empty components (a doubled or trailing "\") are dropped.
QStringList splitDest(const QString &destPath);
// "\" for no components, otherwise "\a\b".
QString joinDest(const QStringList &components);
// The destination path of a child named `name` in the folder `parentDest`.
QString childDest(const QString &parentDest, const QString &name);
bool destNamesFolder(const QString &destPath); // ends with "\" (the list-file form)

// A Linux file name as it is stored in the image: a "\" would break the notation, so it becomes "_".
QString imageName(const QString &fileName);
// The same for a native name in bytes, answering the UTF-8 bytes that libisofs stores.
QByteArray imageNameBytes(const QByteArray &nativeName);
// A native path for messages: bytes that are not UTF-8 show as \xFF, so that two paths that differ
// only there do not read alike.
QString displayNative(const QByteArray &nativePath);

struct Source
{
    enum class Kind { Entry, FolderContent, DriveContent };
    Kind kind = Kind::Entry;
    QString path; // native path: the entry itself, or the folder whose content is meant
    QChar driveLetter; // DriveContent only
};
// Reads a source as given to AddFolder: "X:\*.*" or "X:/*.*" is a drive's content, a path
// followed by "\*.*" or "/*.*" is a folder's content, anything else names one entry.
Source parseSource(const QString &source);

} // namespace ImagePaths
