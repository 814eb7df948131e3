#include "engine/image/LocalSourceAdder.h"
#include "base/SystemError.h"

#include "base/KestraneError.h"
#include "engine/NativePath.h"
#include "engine/image/ImagePaths.h"
#include "engine/image/SourceFileStream.h"

#include <cstdint>
#include <libisofs/libisofs.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

QByteArray joinNative(const QByteArray &folder, const QByteArray &name)
{
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

FolderOrigin originOf(const struct stat &st, const QString &sourcePath)
{
    FolderOrigin origin;
    origin.sourcePath = sourcePath;
    origin.mode = st.st_mode;
    origin.uid = st.st_uid;
    origin.gid = st.st_gid;
    origin.mtime = st.st_mtime;
    origin.atime = st.st_atime;
    origin.ctime = st.st_ctime;
    return origin;
}

struct FolderRef
{
    void operator()(SourceFolder *folder) const { folder->unref(); }
};
using FolderHandle = std::unique_ptr<SourceFolder, FolderRef>;

} // namespace

LocalSourceAdder::LocalSourceAdder(ImageTree &tree, std::shared_ptr<WriteControl> control,
                                   const ItemSink &sink, QStringList *notices)
    : m_tree(tree)
    , m_control(std::move(control))
    , m_sink(sink)
    , m_notices(notices)
{ }

LocalSourceAdder::~LocalSourceAdder()
{
    // Also after an add that failed: what was merged or left out before the failure stays so.
    if (!m_notices)
        return;
    *m_notices << m_merged;
    if (m_leftOut == 1)
        *m_notices << QStringLiteral("%1 is a FIFO, a socket or a device; it was left out.")
                          .arg(ImagePaths::displayNative(m_firstLeftOut));
    if (m_leftOut > 1)
        *m_notices << QStringLiteral("%1 and %2 more FIFOs, sockets or devices were left out.")
                          .arg(ImagePaths::displayNative(m_firstLeftOut))
                          .arg(m_leftOut - 1);
}

void LocalSourceAdder::addEntry(const QStringList &dest, const QString &sourcePath)
{
    const QByteArray native = NativePath::encode(sourcePath);
    Entry entry {};
    if (sourcePath.isEmpty())
        throw KestraneError(QStringLiteral("Could not read the file: no path was given."));
    if (::lstat(native.constData(), &entry.st) != 0)
        throw KestraneError(QStringLiteral("Could not read %1: %2").arg(sourcePath, SystemErrorText(errno)));
    if (S_ISDIR(entry.st.st_mode)) {
        addFolderContent(dest, sourcePath);
        return;
    }
    if (!S_ISREG(entry.st.st_mode) && !S_ISLNK(entry.st.st_mode))
        throw KestraneError(
            QStringLiteral("Could not read %1: it is not a file or a folder.").arg(sourcePath));
    if (S_ISREG(entry.st.st_mode) && ::access(native.constData(), R_OK) != 0)
        throw KestraneError(QStringLiteral("Could not read %1: %2").arg(sourcePath, SystemErrorText(errno)));
    if (dest.isEmpty())
        throw KestraneError(QStringLiteral("Could not add %1: the image root is a folder.").arg(sourcePath));

    IsoDir *parent = m_tree.ensureFolder(dest.mid(0, dest.size() - 1), m_sink, nullptr);
    const QString parentDest = ImagePaths::joinDest(dest.mid(0, dest.size() - 1));
    const QFileInfo info(sourcePath);
    FolderHandle folder(SourceFolder::create(NativePath::encode(info.path()), m_control));
    // The image keeps the destination's name; the source keeps its own.
    const QByteArray sourceName = NativePath::encode(info.fileName());
    entry.name = ImagePaths::imageName(dest.last()).toUtf8();
    std::vector<ImageItem> reports;
    addChild(parent, parentDest, folder.get(), NativePath::encode(info.path()), entry, reports, sourceName);
    throwIfSkipped();
    for (const ImageItem &item : reports)
        m_sink.report(item);
}

void LocalSourceAdder::addFolderContent(const QStringList &dest, const QString &folderPath)
{
    const QByteArray native = NativePath::encode(folderPath);
    struct stat st
    {
    };
    // The folder named by the user is followed even when it is a symlink; nothing below it is.
    if (folderPath.isEmpty())
        throw KestraneError(QStringLiteral("Could not read the folder: no path was given."));
    if (::stat(native.constData(), &st) != 0)
        throw KestraneError(QStringLiteral("Could not read %1: %2").arg(folderPath, SystemErrorText(errno)));
    if (!S_ISDIR(st.st_mode))
        throw KestraneError(QStringLiteral("Could not read %1: it is not a folder.").arg(folderPath));
    if (::access(native.constData(), R_OK | X_OK) != 0)
        throw KestraneError(QStringLiteral("Could not read %1: %2").arg(folderPath, SystemErrorText(errno)));

    const FolderOrigin origin = originOf(st, folderPath);
    // A folder of that name from another source is already there: the two become one (a file that
    // both hold is refused below), and the user is told.
    if (IsoNode *existing = dest.isEmpty() ? nullptr : m_tree.find(dest);
        existing && iso_node_get_type(existing) == LIBISO_DIR) {
        const QString before = ImageTree::sourcePathOf(existing);
        if (!before.isEmpty() && QDir::cleanPath(before) != QDir::cleanPath(folderPath))
            m_merged << QStringLiteral("%1 and %2 have the same name; their contents were merged into %3.")
                            .arg(before, folderPath, ImagePaths::joinDest(dest));
    }
    IsoDir *dir = m_tree.ensureFolder(dest, m_sink, &origin);
    m_ancestors.emplace_back(st.st_dev, st.st_ino);
    walk(dir, ImagePaths::joinDest(dest), native);
    m_ancestors.pop_back();
    throwIfSkipped();
}

void LocalSourceAdder::walk(IsoDir *dir, const QString &dirDest, const QByteArray &nativePath)
{
    DIR *handle = ::opendir(nativePath.constData());
    if (!handle) {
        skip(nativePath, SystemErrorText(errno));
        return;
    }
    std::vector<Entry> entries;
    while (dirent *de = ::readdir(handle)) {
        if (std::strcmp(de->d_name, ".") == 0 || std::strcmp(de->d_name, "..") == 0)
            continue;
        Entry entry {};
        entry.name = QByteArray(de->d_name);
        if (::fstatat(dirfd(handle), de->d_name, &entry.st, AT_SYMLINK_NOFOLLOW) != 0) {
            skip(joinNative(nativePath, entry.name), SystemErrorText(errno));
            continue;
        }
        entries.push_back(std::move(entry));
    }
    ::closedir(handle);

    // libisofs keeps a folder's children in a list sorted by name and walks it on every insert:
    // inserting in descending order finds the place at the head. Reports still go out ascending.
    std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) { return a.name > b.name; });
    FolderHandle folder(SourceFolder::create(nativePath, m_control));
    std::vector<ImageItem> reports;
    std::vector<std::pair<IsoDir *, const Entry *>> subfolders;
    for (const Entry &entry : entries) {
        if (IsoDir *sub = addChild(dir, dirDest, folder.get(), nativePath, entry, reports, entry.name))
            subfolders.emplace_back(sub, &entry);
    }
    folder.reset();
    for (auto it = reports.rbegin(); it != reports.rend(); ++it)
        m_sink.report(*it);
    for (auto it = subfolders.rbegin(); it != subfolders.rend(); ++it) {
        const Entry &entry = *it->second;
        const QString subDest =
            ImagePaths::childDest(dirDest, ImageTree::nodeName(reinterpret_cast<IsoNode *>(it->first)));
        m_ancestors.emplace_back(entry.st.st_dev, entry.st.st_ino);
        walk(it->first, subDest, joinNative(nativePath, entry.name));
        m_ancestors.pop_back();
    }
}

IsoDir *LocalSourceAdder::addChild(IsoDir *dir, const QString &dirDest, SourceFolder *folder,
                                   const QByteArray &nativePath, const Entry &entry,
                                   std::vector<ImageItem> &reports, const QByteArray &sourceName)
{
    const struct stat &st = entry.st;
    const QByteArray full = joinNative(nativePath, sourceName);
    const bool isDir = S_ISDIR(st.st_mode);
    if (!isDir && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
        leaveOut(full); // FIFOs, sockets and devices have no place in an image
        return nullptr;
    }
    if (isDir &&
        std::find(m_ancestors.begin(), m_ancestors.end(), std::pair(st.st_dev, st.st_ino)) !=
            m_ancestors.end())
        return nullptr;
    if (!S_ISLNK(st.st_mode) && ::access(full.constData(), isDir ? (R_OK | X_OK) : R_OK) != 0) {
        skip(full, SystemErrorText(errno));
        return nullptr;
    }

    const QByteArray imageName = ImagePaths::imageNameBytes(entry.name);
    IsoImage *image = m_tree.image();
    IsoNode *existing = nullptr;
    bool replaced = false;
    if (iso_dir_get_node(dir, imageName.constData(), &existing) == 1) {
        const bool existingIsDir = iso_node_get_type(existing) == LIBISO_DIR;
        const QByteArray existingSource = sourceOf(existing);
        // Only the same source added again may take an existing place (a folder made for a
        // destination has none): two sources whose names become one never silently merge.
        if (existingIsDir && isDir && (existingSource == full || existingSource.isEmpty()))
            return reinterpret_cast<IsoDir *>(existing); // merged, already reported
        if (!existingSource.isEmpty() && existingSource != full) {
            clash(existingSource, full, ImagePaths::childDest(dirDest, QString::fromUtf8(imageName)));
            return nullptr;
        }
        if (existingIsDir) {
            skip(full, QStringLiteral("a folder of that name is already in the image"));
            return nullptr;
        }
        // The same file added again replaces itself; a folder takes the place of what was its file.
        m_tree.countRemoved(existing);
        iso_node_remove(existing);
        m_tree.touch();
        replaced = !isDir;
    }

    IsoNode *node = nullptr;
    int ret = 0;
    if (isDir) {
        IsoDir *made = nullptr;
        ret = iso_image_add_new_dir(image, dir, imageName.constData(), &made);
        node = reinterpret_cast<IsoNode *>(made);
    } else if (S_ISREG(st.st_mode)) {
        IsoStream *stream = SourceFileStream::create(folder, sourceName, st.st_size, st.st_dev, st.st_ino);
        if (!stream) {
            skip(full, isoErrorText(static_cast<int>(ISO_OUT_OF_MEM)));
            return nullptr;
        }
        IsoFile *file = nullptr;
        ret = iso_image_add_new_file(image, dir, imageName.constData(), stream, &file);
        if (ret < 0)
            iso_stream_unref(stream);
        node = reinterpret_cast<IsoNode *>(file);
    } else {
        char target[PATH_MAX + 1];
        const ssize_t n = ::readlink(full.constData(), target, PATH_MAX);
        if (n < 0) {
            skip(full, SystemErrorText(errno));
            return nullptr;
        }
        target[n] = '\0';
        IsoSymlink *link = nullptr;
        ret = iso_image_add_new_symlink(image, dir, imageName.constData(), target, &link);
        node = reinterpret_cast<IsoNode *>(link);
    }
    if (ret < 0) {
        skip(full, isoErrorText(ret));
        return nullptr;
    }
    ImageTree::applyOrigin(node, originOf(st, QString()));
    if (isDir || S_ISLNK(st.st_mode))
        ImageTree::setSourcePathBytes(node, full);
    m_tree.countAdded(node);
    m_tree.touch();
    if (m_sink.wanted && !replaced)
        reports.push_back(ImageTree::describe(node, dirDest));
    return isDir ? reinterpret_cast<IsoDir *>(node) : nullptr;
}

void LocalSourceAdder::skip(const QByteArray &path, const QString &reason)
{
    // Folders are walked in descending name order: the one named is the first in name order.
    if (m_skipped++ == 0 || path < m_firstSkippedPath) {
        m_firstSkippedPath = path;
        m_firstSkipped = QStringLiteral("%1: %2").arg(QFile::decodeName(path), reason);
    }
}

void LocalSourceAdder::leaveOut(const QByteArray &path)
{
    if (m_leftOut++ == 0 || path < m_firstLeftOut)
        m_firstLeftOut = path;
}

QByteArray LocalSourceAdder::sourceOf(IsoNode *node)
{
    if (iso_node_get_type(node) == LIBISO_FILE) {
        IsoStream *stream = iso_file_get_stream(reinterpret_cast<IsoFile *>(node));
        if (SourceFileStream::isSourceFileStream(stream))
            return SourceFileStream::sourcePath(stream);
    }
    return ImageTree::sourcePathBytesOf(node);
}

void LocalSourceAdder::clash(const QByteArray &kept, const QByteArray &left, const QString &dest)
{
    if (m_clashes++ == 0) {
        m_firstClash = QStringLiteral("%1 and %2 would both be %3 in the image, so %2 was left out.")
                           .arg(ImagePaths::displayNative(kept), ImagePaths::displayNative(left), dest);
    }
}

void LocalSourceAdder::throwIfSkipped() const
{
    QStringList problems;
    if (m_clashes == 1)
        problems << m_firstClash;
    if (m_clashes > 1)
        problems << QStringLiteral("%1 %2 entries in all were left out for a name already taken.")
                        .arg(m_firstClash)
                        .arg(m_clashes);
    if (m_skipped == 1)
        problems << QStringLiteral("Could not read %1. It was skipped.").arg(m_firstSkipped);
    if (m_skipped > 1)
        problems << QStringLiteral("Could not read %1. %2 entries that could not be read were skipped.")
                        .arg(m_firstSkipped)
                        .arg(m_skipped);
    if (!problems.isEmpty())
        throw KestraneError(problems.join(QLatin1Char(' ')) + QStringLiteral(" Everything else was added."));
}
