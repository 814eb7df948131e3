#include "engine/image/ImageTree.h"

#include "engine/image/IsoChildren.h"

#include "base/KestraneError.h"
#include "engine/image/ImagePaths.h"
#include "engine/image/SourceFileStream.h"

#include <cstdint>
#include <libisofs/libisofs.h>

#include <QFile>

#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

namespace {

// Files this large or larger do not fit one ISO-9660 extent: levels 1 and 2 refuse them.
constexpr off_t HugeFileBytes = 0xFFFFF800LL;

int sourcePathInfo(void *data, int flag)
{
    if (flag & 1)
        std::free(data);
    return 1;
}

int64_t countHuge(IsoNode *node)
{
    switch (iso_node_get_type(node)) {
    case LIBISO_FILE:
        return iso_file_get_size(reinterpret_cast<IsoFile *>(node)) >= HugeFileBytes ? 1 : 0;
    case LIBISO_DIR: {
        int64_t n = 0;
        std::vector<IsoNode *> children;
        isoChildren(reinterpret_cast<IsoDir *>(node), children);
        for (IsoNode *child : children)
            n += countHuge(child);
        return n;
    }
    default:
        return 0;
    }
}

} // namespace

QString isoErrorText(int code)
{
    const char *text = iso_error_to_msg(code);
    return text ? QString::fromUtf8(text) : QStringLiteral("error %1").arg(code);
}

ImageTree::ImageTree()
{
    reset();
}

ImageTree::~ImageTree()
{
    if (m_image)
        iso_image_unref(m_image);
}

void ImageTree::reset()
{
    IsoImage *fresh = nullptr;
    const int ret = iso_image_new("NEW DISC", &fresh);
    if (ret < 0)
        throw KestraneError(QStringLiteral("The image could not be created: %1").arg(isoErrorText(ret)));
    if (m_image)
        iso_image_unref(m_image);
    m_image = fresh;
    m_hugeFiles = 0;
    m_systemArea = SystemArea();
    m_notes.clear();
    touch();
}

ImageTree::Kept ImageTree::keep() const
{
    iso_image_ref(m_image);
    return Kept {m_image, m_hugeFiles};
}

void ImageTree::restore(Kept &kept)
{
    if (!kept.image)
        return;
    iso_image_unref(m_image);
    m_image = std::exchange(kept.image, nullptr);
    m_hugeFiles = kept.hugeFiles;
    touch(); // a new generation: sizes known for the image left behind do not apply
}

void ImageTree::drop(Kept &kept)
{
    if (kept.image)
        iso_image_unref(std::exchange(kept.image, nullptr));
}

IsoDir *ImageTree::root() const
{
    return iso_image_get_root(m_image);
}

void ImageTree::touch()
{
    static std::atomic<uint64_t> counter {0};
    m_generation.store(++counter);
}

void ImageTree::countAdded(IsoNode *node)
{
    m_hugeFiles += countHuge(node);
}

void ImageTree::countRemoved(IsoNode *node)
{
    m_hugeFiles -= countHuge(node);
}

IsoNode *ImageTree::find(const QStringList &components) const
{
    IsoNode *node = reinterpret_cast<IsoNode *>(root());
    for (const QString &component : components) {
        if (iso_node_get_type(node) != LIBISO_DIR)
            return nullptr;
        IsoNode *child = nullptr;
        if (iso_dir_get_node(reinterpret_cast<IsoDir *>(node), component.toUtf8().constData(), &child) != 1)
            return nullptr;
        node = child;
    }
    return node;
}

IsoDir *ImageTree::ensureFolder(const QStringList &components, const ItemSink &sink,
                                const FolderOrigin *origin)
{
    IsoDir *dir = root();
    QString dest = QStringLiteral("\\");
    for (qsizetype i = 0; i < components.size(); ++i) {
        const QString &name = components.at(i);
        const QString childDest = ImagePaths::childDest(dest, name);
        const QByteArray nameBytes = name.toUtf8();
        IsoNode *child = nullptr;
        if (iso_dir_get_node(dir, nameBytes.constData(), &child) == 1) {
            if (iso_node_get_type(child) != LIBISO_DIR)
                throw KestraneError(
                    QStringLiteral("%1 cannot be a folder: a file of that name is in the image.")
                        .arg(childDest));
            dir = reinterpret_cast<IsoDir *>(child);
            dest = childDest;
            continue;
        }
        IsoDir *made = nullptr;
        const int ret = iso_image_add_new_dir(m_image, dir, nameBytes.constData(), &made);
        if (ret < 0)
            throw KestraneError(
                QStringLiteral("The folder %1 could not be made: %2").arg(childDest, isoErrorText(ret)));
        touch();
        auto *node = reinterpret_cast<IsoNode *>(made);
        const bool last = i == components.size() - 1;
        if (last && origin) {
            applyOrigin(node, *origin);
        } else {
            iso_node_set_permissions(node, 0755);
            const time_t now = std::time(nullptr);
            iso_node_set_mtime(node, now);
            iso_node_set_atime(node, now);
            iso_node_set_ctime(node, now);
        }
        if (sink.wanted)
            sink.report(describe(node, dest));
        dir = made;
        dest = childDest;
    }
    return dir;
}

bool ImageTree::remove(const QStringList &components)
{
    if (components.isEmpty())
        return false; // the root stays
    IsoNode *node = find(components);
    if (!node)
        return false;
    const bool bootGoes = holdsBootRecords(node);
    countRemoved(node);
    if (iso_node_remove(node) < 0)
        return false;
    // An image whose boot image or catalogue was taken out is no longer bootable, rather than booting
    // from a file the compilation no longer shows.
    if (bootGoes)
        iso_image_remove_boot_image(m_image);
    touch();
    return true;
}

bool ImageTree::holdsBootRecords(IsoNode *node) const
{
    if (iso_image_get_boot_image(m_image, nullptr, nullptr, nullptr) != 1)
        return false;
    const auto within = [node](IsoNode *item) {
        for (IsoNode *at = item; at; at = reinterpret_cast<IsoNode *>(iso_node_get_parent(at))) {
            if (at == node)
                return true;
            if (reinterpret_cast<IsoNode *>(iso_node_get_parent(at)) == at)
                return false; // the root is its own parent
        }
        return false;
    };
    IsoBoot *catalog = nullptr;
    if (iso_image_get_boot_image(m_image, nullptr, nullptr, &catalog) == 1 && catalog &&
        within(reinterpret_cast<IsoNode *>(catalog)))
        return true;
    int count = 0;
    ElToritoBootImage **boots = nullptr;
    IsoFile **files = nullptr;
    bool found = false;
    if (iso_image_get_all_boot_imgs(m_image, &count, &boots, &files, 0) == 1) {
        for (int i = 0; i < count && !found; ++i)
            found = files[i] && within(reinterpret_cast<IsoNode *>(files[i]));
    }
    std::free(boots);
    std::free(files);
    return found;
}

QString ImageTree::nodeName(IsoNode *node)
{
    return QString::fromUtf8(iso_node_get_name(node));
}

ImageItem ImageTree::describe(IsoNode *node, const QString &parentDest)
{
    ImageItem item;
    item.parentDest = parentDest;
    item.name = nodeName(node);
    item.itemDest = ImagePaths::childDest(parentDest, item.name);
    item.isDirectory = iso_node_get_type(node) == LIBISO_DIR;
    item.date = QDateTime::fromSecsSinceEpoch(iso_node_get_mtime(node));
    if (iso_node_get_type(node) == LIBISO_FILE) {
        auto *file = reinterpret_cast<IsoFile *>(node);
        item.size = static_cast<qint64>(iso_file_get_size(file));
        IsoStream *stream = iso_file_get_stream(file);
        if (SourceFileStream::isSourceFileStream(stream)) {
            item.sourcePath = QFile::decodeName(SourceFileStream::sourcePath(stream));
            return item;
        }
    }
    item.sourcePath = sourcePathOf(node);
    return item;
}

void ImageTree::setSourcePath(IsoNode *node, const QString &path)
{
    setSourcePathBytes(node, path.toUtf8());
}

void ImageTree::setSourcePathBytes(IsoNode *node, const QByteArray &bytes)
{
    iso_node_remove_xinfo(node, sourcePathInfo);
    char *copy = static_cast<char *>(std::malloc(static_cast<size_t>(bytes.size()) + 1));
    if (!copy)
        return;
    std::memcpy(copy, bytes.constData(), static_cast<size_t>(bytes.size()) + 1);
    if (iso_node_add_xinfo(node, sourcePathInfo, copy) != 1)
        std::free(copy);
}

QString ImageTree::sourcePathOf(IsoNode *node)
{
    return QString::fromUtf8(sourcePathBytesOf(node));
}

QByteArray ImageTree::sourcePathBytesOf(IsoNode *node)
{
    void *data = nullptr;
    if (iso_node_get_xinfo(node, sourcePathInfo, &data) != 1 || !data)
        return {};
    return QByteArray(static_cast<const char *>(data));
}

void ImageTree::applyOrigin(IsoNode *node, const FolderOrigin &origin)
{
    iso_node_set_permissions(node, origin.mode & 07777);
    iso_node_set_uid(node, origin.uid);
    iso_node_set_gid(node, origin.gid);
    iso_node_set_mtime(node, origin.mtime);
    iso_node_set_atime(node, origin.atime);
    iso_node_set_ctime(node, origin.ctime);
    if (!origin.sourcePath.isEmpty())
        setSourcePath(node, origin.sourcePath);
}
