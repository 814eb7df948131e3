#include "engine/image/DiscImporter.h"

#include "base/KestraneError.h"
#include "engine/Libraries.h"
#include "engine/image/DiscBoot.h"
#include "engine/image/DiscDataSource.h"
#include "engine/image/DiscLoader.h"
#include "engine/image/ImagePaths.h"
#include "engine/image/ImportedFileStream.h"
#include "engine/image/IsoChildren.h"
#include "engine/image/SourceFileStream.h"

#include <cstdint>
#include <libisofs/libisofs.h>

#include <QFile>

#include <vector>

namespace {

class Merger final
{
public:
    Merger(ImageTree &tree, const ItemSink &sink, const QString &drivePrefix)
        : m_tree(tree)
        , m_sink(sink)
        , m_drivePrefix(drivePrefix)
    { }

    // Moves the children of `from` (in the disc's image) into `into` (in ours).
    void merge(IsoDir *into, const QString &intoDest, IsoDir *from, const QString &discPath)
    {
        std::vector<IsoNode *> children;
        if (!isoChildren(from, children))
            return;

        for (IsoNode *node : children) {
            const QString name = ImageTree::nodeName(node);
            const QString childDisc = ImagePaths::childDest(discPath, name);
            const bool isDir = iso_node_get_type(node) == LIBISO_DIR;
            IsoNode *existing = nullptr;
            bool replaced = false;
            if (iso_dir_get_node(into, iso_node_get_name(node), &existing) == 1) {
                const bool existingIsDir = iso_node_get_type(existing) == LIBISO_DIR;
                if (existingIsDir && isDir) {
                    merge(reinterpret_cast<IsoDir *>(existing), ImagePaths::childDest(intoDest, name),
                          reinterpret_cast<IsoDir *>(node), childDisc);
                    continue;
                }
                if (existingIsDir) {
                    noteConflict(childDisc);
                    continue;
                }
                m_tree.countRemoved(existing);
                iso_node_remove(existing);
                replaced = !isDir;
            }
            iso_node_take(node);
            const int ret = iso_dir_add_node(into, node, ISO_REPLACE_NEVER);
            if (ret < 0) {
                iso_node_unref(node);
                noteConflict(childDisc);
                continue;
            }
            m_tree.countAdded(node);
            m_tree.touch();
            label(node, childDisc);
            if (!replaced)
                report(node, intoDest);
        }
    }

    void throwIfConflicts() const
    {
        if (m_conflicts > 0)
            throw KestraneError(
                QStringLiteral("%1 entries of the disc could not be added, the first %2: a folder "
                               "of that name is already in the image.")
                    .arg(m_conflicts)
                    .arg(m_firstConflict));
    }

private:
    // Remembers each moved item's place on the disc, folders before what they hold.
    void label(IsoNode *node, const QString &discPath)
    {
        ImageTree::setSourcePath(node, m_drivePrefix + discPath);
        if (iso_node_get_type(node) != LIBISO_DIR)
            return;
        forChildren(reinterpret_cast<IsoDir *>(node), [&](IsoNode *child) {
            label(child, ImagePaths::childDest(discPath, ImageTree::nodeName(child)));
        });
    }

    void report(IsoNode *node, const QString &parentDest)
    {
        if (!m_sink.wanted)
            return;
        const ImageItem item = ImageTree::describe(node, parentDest);
        m_sink.report(item);
        if (!item.isDirectory)
            return;
        std::vector<IsoNode *> subfolders;
        forChildren(reinterpret_cast<IsoDir *>(node), [&](IsoNode *child) {
            if (iso_node_get_type(child) == LIBISO_DIR)
                subfolders.push_back(child);
            else
                m_sink.report(ImageTree::describe(child, item.itemDest));
        });
        for (IsoNode *sub : subfolders)
            report(sub, item.itemDest);
    }

    template<typename Fn>
    static void forChildren(IsoDir *dir, Fn fn)
    {
        std::vector<IsoNode *> children;
        isoChildren(dir, children);
        for (IsoNode *child : children)
            fn(child);
    }

    void noteConflict(const QString &discPath)
    {
        if (m_conflicts++ == 0)
            m_firstConflict = m_drivePrefix + discPath;
    }

    ImageTree &m_tree;
    const ItemSink &m_sink;
    QString m_drivePrefix;
    int m_conflicts = 0;
    QString m_firstConflict;
};

void copyAttributes(IsoNode *from, IsoNode *to)
{
    iso_node_set_permissions(to, iso_node_get_permissions(from));
    iso_node_set_uid(to, iso_node_get_uid(from));
    iso_node_set_gid(to, iso_node_get_gid(from));
    iso_node_set_atime(to, iso_node_get_atime(from));
    iso_node_set_mtime(to, iso_node_get_mtime(from));
    iso_node_set_ctime(to, iso_node_get_ctime(from));
    iso_node_set_hidden(to, iso_node_get_hidden(from));
}

struct Renewal
{
    const std::shared_ptr<WriteControl> &control;
    QString drive;
};

// A fresh node in `dir` standing for the disc's `node` (same name, which must be free), or null.
IsoNode *renewedNode(IsoDir *dir, IsoNode *node, const char *name, const Renewal &renewal,
                     const QString &discPath)
{
    switch (iso_node_get_type(node)) {
    case LIBISO_FILE: {
        IsoStream *stream = ImportedFileStream::wrap(iso_file_get_stream(reinterpret_cast<IsoFile *>(node)),
                                                     renewal.control, renewal.drive + discPath);
        IsoFile *file = nullptr;
        if (!stream)
            return nullptr;
        if (iso_tree_add_new_file(dir, name, stream, &file) < 0) {
            iso_stream_unref(stream);
            return nullptr;
        }
        return reinterpret_cast<IsoNode *>(file);
    }
    case LIBISO_SYMLINK: {
        IsoSymlink *link = nullptr;
        if (iso_tree_add_new_symlink(dir, name, iso_symlink_get_dest(reinterpret_cast<IsoSymlink *>(node)),
                                     &link) < 0)
            return nullptr;
        return reinterpret_cast<IsoNode *>(link);
    }
    case LIBISO_SPECIAL: {
        IsoSpecial *special = nullptr;
        if (iso_tree_add_new_special(dir, name, iso_node_get_mode(node),
                                     iso_special_get_dev(reinterpret_cast<IsoSpecial *>(node)), &special) < 0)
            return nullptr;
        return reinterpret_cast<IsoNode *>(special);
    }
    default:
        return nullptr;
    }
}

// Replaces every file, link and special file of the disc's tree by a new node that libisofs numbers
// like any other item of the image (see ImportedFileStream.h). Folders need no renewal: the import
// drops their disc numbers (DiscDataSource::importImage).
void renewDiscNodes(IsoDir *dir, const QString &discPath, const Renewal &renewal)
{
    std::vector<IsoNode *> children;
    if (!isoChildren(dir, children))
        throw KestraneError(QStringLiteral("The disc's folders could not be read."));

    for (IsoNode *node : children) {
        const QString childPath = ImagePaths::childDest(discPath, ImageTree::nodeName(node));
        if (iso_node_get_type(node) == LIBISO_DIR) {
            renewDiscNodes(reinterpret_cast<IsoDir *>(node), childPath, renewal);
            continue;
        }
        if (iso_node_get_type(node) == LIBISO_BOOT) {
            // The disc's catalogue stays behind: the copy gets one of its own (DiscBoot), in its place.
            iso_node_remove(node);
            continue;
        }
        // The old node keeps its name alive until the new one has copied it.
        iso_node_take(node);
        IsoNode *fresh = renewedNode(dir, node, iso_node_get_name(node), renewal, childPath);
        if (!fresh) {
            iso_node_unref(node);
            throw KestraneError(QStringLiteral("Out of memory while reading the disc."));
        }
        copyAttributes(node, fresh);
        iso_node_unref(node);
    }
}

// Folders deeper than eight levels live in a root folder "rr_moved" on discs mastered the classic
// way; Rock Ridge puts them back in place on import and leaves that folder empty behind.
void dropEmptyRelocationFolder(IsoImage *disc)
{
    IsoNode *node = nullptr;
    if (iso_dir_get_node(iso_image_get_root(disc), "rr_moved", &node) != 1 ||
        iso_node_get_type(node) != LIBISO_DIR)
        return;
    if (iso_dir_get_children_count(reinterpret_cast<IsoDir *>(node)) == 0)
        iso_node_remove(node);
}

} // namespace

void DiscImporter::importDisc(ImageTree &tree, const QStringList &dest, QChar driveLetter,
                              const ItemSink &sink, const std::shared_ptr<WriteControl> &control)
{
    const QString drive = QString(driveLetter.toUpper()) + QLatin1Char(':');
    const QString device = DriveLetters::devicePath(driveLetter);
    if (device.isEmpty())
        throw KestraneError(QStringLiteral("Drive %1 is not available.").arg(drive));
    const DiscLoader::Loaded read =
        DiscLoader::load(QFile::encodeName(device), DiscLoader::Medium::Drive, control->cancel);
    IsoImage *disc = read.image;
    switch (read.outcome) {
    case DiscLoader::Outcome::Loaded:
        break;
    case DiscLoader::Outcome::Cancelled:
        throw KestraneError(QStringLiteral("Reading the disc in drive %1 was cancelled.").arg(drive));
    case DiscLoader::Outcome::NoDisc:
        throw KestraneError(
            QStringLiteral("There is no disc in drive %1, or the disc in it is blank.").arg(drive));
    case DiscLoader::Outcome::NotADisc:
    case DiscLoader::Outcome::Unreadable:
        throw KestraneError(
            QStringLiteral("The disc in drive %1 (%2) cannot be read: %3").arg(drive, device, read.reason));
    case DiscLoader::Outcome::NoFileSystem:
        throw KestraneError(
            QStringLiteral("The disc in drive %1 holds no readable file system: %2").arg(drive, read.reason));
    case DiscLoader::Outcome::Damaged:
        throw KestraneError(QStringLiteral("The disc in drive %1 is damaged: %2").arg(drive, read.reason));
    }

    Merger merger(tree, sink, drive);
    try {
        IsoDir *into = tree.ensureFolder(dest, sink, nullptr);
        dropEmptyRelocationFolder(disc);
        DiscBoot boot(disc, drive);
        renewDiscNodes(iso_image_get_root(disc), QStringLiteral("\\"), Renewal {control, drive});
        merger.merge(into, ImagePaths::joinDest(dest), iso_image_get_root(disc), QStringLiteral("\\"));
        boot.apply(tree, dest, control);
    } catch (...) {
        iso_image_unref(disc);
        throw;
    }
    iso_image_unref(disc);
    merger.throwIfConflicts();
}
