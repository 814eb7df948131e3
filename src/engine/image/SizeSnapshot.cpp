#include "engine/image/SizeSnapshot.h"

#include "base/KestraneError.h"
#include "engine/image/ImageTree.h"
#include "engine/image/ImageWriter.h"
#include "engine/image/IsoChildren.h"
#include "engine/image/IsoStreamHeader.h"

#include <libisofs/libisofs.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unordered_map>

namespace {

// A file's size without its data: the private image is only laid out, but libisofs's writer thread
// may start reading before it is cancelled, so it reads zeros.
struct SizeOnlyBlock
{
    IsoStreamHeader header;
    off_t size;
    off_t left;
    ino_t serial;
};

SizeOnlyBlock *blockOf(IsoStream *stream)
{
    return reinterpret_cast<SizeOnlyBlock *>(stream);
}

std::atomic<ino_t> nextSerial {1};

int sizeOnlyOpen(IsoStream *stream)
{
    blockOf(stream)->left = blockOf(stream)->size;
    return 1;
}

int sizeOnlyClose(IsoStream *)
{
    return 1;
}

off_t sizeOnlySize(IsoStream *stream)
{
    return blockOf(stream)->size;
}

int sizeOnlyRead(IsoStream *stream, void *buffer, size_t count)
{
    SizeOnlyBlock *block = blockOf(stream);
    const size_t n = static_cast<size_t>(std::min<off_t>(block->left, static_cast<off_t>(count)));
    std::memset(buffer, 0, n);
    block->left -= static_cast<off_t>(n);
    return static_cast<int>(n);
}

int sizeOnlyRepeatable(IsoStream *)
{
    return 1;
}

void sizeOnlyId(IsoStream *stream, unsigned int *fsId, dev_t *devId, ino_t *inoId)
{
    *fsId = 0x6b657374; // our own file system id, never one of libisofs's
    *devId = 0;
    *inoId = blockOf(stream)->serial;
}

void sizeOnlyFree(IsoStream *)
{
    // libisofs frees the allocation itself after this.
}

int sizeOnlyUpdateSize(IsoStream *)
{
    return 1;
}

IsoStream *sizeOnlyInput(IsoStream *, int)
{
    return nullptr;
}

// Each stream its own data, as the compilation's streams are.
int sizeOnlyCompare(IsoStream *a, IsoStream *b)
{
    const ino_t x = blockOf(a)->serial;
    const ino_t y = blockOf(b)->serial;
    return x < y ? -1 : (x > y ? 1 : 0);
}

IsoStreamIface sizeOnlyClass = {
    3,
    {'s', 'i', 'z', 'e'},
    sizeOnlyOpen,
    sizeOnlyClose,
    sizeOnlySize,
    sizeOnlyRead,
    sizeOnlyRepeatable,
    sizeOnlyId,
    sizeOnlyFree,
    sizeOnlyUpdateSize,
    sizeOnlyInput,
    sizeOnlyCompare,
    nullptr,
};

IsoStream *sizeOnlyStream(off_t size)
{
    auto *block = static_cast<SizeOnlyBlock *>(std::malloc(sizeof(SizeOnlyBlock)));
    if (!block)
        throw KestraneError(QStringLiteral("The image size could not be computed: out of memory."));
    block->header.klass = &sizeOnlyClass;
    block->header.refcount = 1;
    block->header.data = block;
    block->size = size;
    block->left = size;
    block->serial = nextSerial.fetch_add(1, std::memory_order_relaxed);
    return reinterpret_cast<IsoStream *>(block);
}

void refuse(int ret)
{
    throw KestraneError(QStringLiteral("The image size could not be computed: %1").arg(isoErrorText(ret)));
}

struct ImageUnref
{
    void operator()(IsoImage *image) const { iso_image_unref(image); }
};

} // namespace

SizeSnapshot SizeSnapshot::take(IsoDir *root)
{
    SizeSnapshot snapshot;
    snapshot.m_rootMode = iso_node_get_permissions(reinterpret_cast<IsoNode *>(root));
    snapshot.m_folders.emplace_back();
    snapshot.m_complete = snapshot.copyFolder(root, 0);
    return snapshot;
}

bool SizeSnapshot::copyFolder(IsoDir *dir, int folder)
{
    std::vector<IsoNode *> children;
    if (!isoChildren(dir, children))
        return false;
    m_folders[folder].reserve(children.size());
    for (IsoNode *child : children) {
        Node node;
        node.name = iso_node_get_name(child);
        node.type = iso_node_get_type(child);
        node.hidden = iso_node_get_hidden(child);
        node.mode = iso_node_get_mode(child);
        switch (node.type) {
        case LIBISO_DIR:
            node.folder = static_cast<int>(m_folders.size());
            m_folders.emplace_back();
            break;
        case LIBISO_FILE: {
            auto *file = reinterpret_cast<IsoFile *>(child);
            node.size = iso_file_get_size(file);
            node.stream = iso_file_get_stream(file);
            break;
        }
        case LIBISO_SYMLINK:
            node.target = iso_symlink_get_dest(reinterpret_cast<IsoSymlink *>(child));
            break;
        case LIBISO_SPECIAL:
            node.device = iso_special_get_dev(reinterpret_cast<IsoSpecial *>(child));
            break;
        default:
            return false; // a boot catalogue, which the compilation never holds
        }
        const int own = node.folder;
        m_folders[folder].push_back(std::move(node));
        if (own >= 0 && !copyFolder(reinterpret_cast<IsoDir *>(child), own))
            return false;
    }
    return true;
}

void SizeSnapshot::buildFolder(IsoDir *dir, int folder,
                               std::unordered_map<const void *, void *> &streams) const
{
    // libisofs keeps a folder's children in a list sorted by name and walks it on every insert:
    // inserting in descending order finds the place at the head.
    const std::vector<Node> &nodes = m_folders[folder];
    for (auto it = nodes.rbegin(); it != nodes.rend(); ++it) {
        const Node &node = *it;
        IsoNode *made = nullptr;
        int ret = 0;
        switch (node.type) {
        case LIBISO_DIR: {
            IsoDir *sub = nullptr;
            ret = iso_tree_add_new_dir(dir, node.name.c_str(), &sub);
            made = reinterpret_cast<IsoNode *>(sub);
            if (ret >= 0)
                buildFolder(sub, node.folder, streams);
            break;
        }
        case LIBISO_FILE: {
            IsoStream *stream = nullptr;
            void *&known = streams[node.stream];
            if (known) {
                stream = static_cast<IsoStream *>(known);
                iso_stream_ref(stream);
            } else {
                stream = sizeOnlyStream(node.size);
                known = stream;
            }
            IsoFile *file = nullptr;
            ret = iso_tree_add_new_file(dir, node.name.c_str(), stream, &file);
            if (ret < 0)
                iso_stream_unref(stream);
            made = reinterpret_cast<IsoNode *>(file);
            break;
        }
        case LIBISO_SYMLINK: {
            IsoSymlink *link = nullptr;
            ret = iso_tree_add_new_symlink(dir, node.name.c_str(), node.target.c_str(), &link);
            made = reinterpret_cast<IsoNode *>(link);
            break;
        }
        case LIBISO_SPECIAL: {
            IsoSpecial *special = nullptr;
            ret = iso_tree_add_new_special(dir, node.name.c_str(), node.mode, node.device, &special);
            made = reinterpret_cast<IsoNode *>(special);
            break;
        }
        default:
            ret = ISO_WRONG_ARG_VALUE;
        }
        if (ret < 0)
            refuse(ret);
        iso_node_set_permissions(made, node.mode & 07777);
        iso_node_set_hidden(made, node.hidden);
    }
}

int64_t SizeSnapshot::sizeBlocks(const WriteSettings &settings) const
{
    IsoImage *raw = nullptr;
    const int ret = iso_image_new("NEW DISC", &raw);
    if (ret < 0)
        refuse(ret);
    const std::unique_ptr<IsoImage, ImageUnref> image(raw);
    IsoDir *root = iso_image_get_root(raw);
    iso_node_set_permissions(reinterpret_cast<IsoNode *>(root), m_rootMode);
    std::unordered_map<const void *, void *> streams;
    buildFolder(root, 0, streams);
    return ImageWriter::sizeBlocksOfPrivateImage(raw, settings);
}
