#pragma once

#include "engine/image/ImageTree.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>
#include <sys/stat.h>
#include <utility>
#include <vector>

struct WriteControl;
class SourceFolder;

// Puts files and folders of the local file system into an image tree, reporting every new item.
// Symlinks are stored as symlinks and never followed; FIFOs, sockets and devices are left out
// without being opened (a notice names them). Entries inside a folder that cannot be read are skipped, and so
// is an entry whose image name (after "\\" becomes "_" and bytes that are not UTF-8 become U+FFFD) is already
// taken by another source: the rest is added and one KestraneError at the end names the first of
// each, with both paths of a clash, and how many there were. The same source added again replaces
// (a file) or merges with (a folder) what it added before.
class LocalSourceAdder final
{
public:
    // `notices`, when given, receives at the end what the add did beside adding, one sentence each:
    // a folder merged into one of the same name from another source, entries left out.
    LocalSourceAdder(ImageTree &tree, std::shared_ptr<WriteControl> control, const ItemSink &sink,
                     QStringList *notices = nullptr);
    ~LocalSourceAdder();
    LocalSourceAdder(const LocalSourceAdder &) = delete;
    LocalSourceAdder &operator=(const LocalSourceAdder &) = delete;

    // One file, folder or symlink, stored under the last component of `dest`.
    void addEntry(const QStringList &dest, const QString &sourcePath);
    // The whole content of a folder, hidden entries included, merged into the folder `dest`.
    void addFolderContent(const QStringList &dest, const QString &folderPath);

private:
    struct Entry
    {
        QByteArray name;
        struct stat st;
    };
    void walk(Iso_Dir *dir, const QString &dirDest, const QByteArray &nativePath);
    // Adds one entry of a folder (`entry.name` is its name in the image, `sourceName` on disk);
    // answers the new folder to descend into, or the merged one.
    Iso_Dir *addChild(Iso_Dir *dir, const QString &dirDest, SourceFolder *folder,
                      const QByteArray &nativePath, const Entry &entry, std::vector<ImageItem> &reports,
                      const QByteArray &sourceName);
    void skip(const QByteArray &path, const QString &reason);
    void leaveOut(const QByteArray &path);
    void clash(const QByteArray &kept, const QByteArray &left, const QString &dest);
    void throwIfSkipped() const;
    // The native path an item of the image was added from; empty when it was not added from disk.
    static QByteArray sourceOf(Iso_Node *node);

    ImageTree &m_tree;
    std::shared_ptr<WriteControl> m_control;
    const ItemSink &m_sink;
    std::vector<std::pair<dev_t, ino_t>> m_ancestors; // folders being walked: a bind-mount loop ends here
    int m_skipped = 0;
    QByteArray m_firstSkippedPath;
    QString m_firstSkipped;
    int m_clashes = 0;
    QString m_firstClash;
    QStringList *m_notices = nullptr;
    QStringList m_merged; // notices of merged folders
    int m_leftOut = 0;
    QByteArray m_firstLeftOut;
};
