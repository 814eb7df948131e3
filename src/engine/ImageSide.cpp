#include "engine/ImageSide.h"

#include "base/KestraneError.h"
#include "engine/Libraries.h"
#include "engine/image/DiscImporter.h"
#include "engine/image/ImagePaths.h"
#include "engine/image/IsoChildren.h"
#include "engine/image/LocalSourceAdder.h"
#include "engine/image/SizeSnapshot.h"

#include <cstdint>
#include <libisofs/libisofs.h>

#include <QFileInfo>

#include <algorithm>
#include <optional>
#include <vector>

namespace {

// libisofs and UTF-8 names: set once, whatever locale the process started with.
void ensureImageLibrary()
{
    if (!EngineLibraries::ensureIsoInit())
        throw KestraneError(QStringLiteral("The image library could not be started."));
    static const bool charsetSet = [] {
        std::lock_guard lock(EngineLibraries::isoLock());
        iso_set_local_charset(const_cast<char *>("UTF-8"), 0);
        return true;
    }();
    (void)charsetSet;
}

QString lastComponentName(const QString &path)
{
    QString trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    return QFileInfo(trimmed).fileName();
}

} // namespace

ImageSide::ImageSide(TDVDWriterPro2 &engine)
    : m_engine(engine)
{ }

ImageSide::~ImageSide()
{
    if (m_tree || m_kept.image) {
        std::lock_guard lock(EngineLibraries::isoLock());
        ImageTree::drop(m_kept);
        m_tree.reset();
    }
}

void ImageSide::refuseNullCharacter(const QString &path)
{
    if (path.contains(QChar(0)))
        throw KestraneError(QStringLiteral("The path \"%1\" holds a null character.")
                                .arg(QString(path).replace(QChar(0), QStringLiteral("\\0"))));
}

ImageTree &ImageSide::imageTree()
{
    ensureImageLibrary();
    if (!m_tree) {
        m_tree = std::make_unique<ImageTree>();
        m_madeTree.store(m_tree.get());
    }
    return *m_tree;
}

WriteSettings ImageSide::writeSettings()
{
    WriteSettings s = sizeSettings(m_engine.ImageSizeOptions());
    s.volumeId = TDVDWriterPro2::IdentifierText(m_engine.VolumeIdentifier());
    s.applicationId = TDVDWriterPro2::IdentifierText(m_engine.VolumeApplicationIdentifier());
    s.volumeSetId = TDVDWriterPro2::IdentifierText(m_engine.VolumeSetIdentifier());
    s.publisherId = TDVDWriterPro2::IdentifierText(m_engine.PublisherIdentifier());
    s.dataPreparerId = TDVDWriterPro2::IdentifierText(m_engine.DataPreparerIdentifier());
    s.systemId = TDVDWriterPro2::IdentifierText(m_engine.SystemIdentifier());
    return s;
}

WriteSettings ImageSide::sizeSettings(const TDVDWriterPro2::SizeOptions &options)
{
    WriteSettings s;
    s.joliet = options.joliet;
    s.versionNumbers = options.versionNumbers;
    s.level = std::clamp(options.level, 1, 3);
    s.checksums = options.checksums;
    // Levels 1 and 2 cannot hold a file of 4 GiB: such an image is written at level 3.
    if (imageTree().hugeFileCount() > 0)
        s.level = 3;
    s.systemArea = imageTree().systemArea().data;
    s.systemAreaOptions = imageTree().systemArea().options;
    return s;
}

void ImageSide::ResetImage()
{
    std::lock_guard lock(EngineLibraries::isoLock());
    imageTree().reset();
}

void ImageSide::KeepImage()
{
    std::lock_guard lock(EngineLibraries::isoLock());
    ImageTree &tree = imageTree();
    ImageTree::drop(m_kept);
    m_kept = tree.keep();
}

bool ImageSide::RestoreKeptImage()
{
    std::lock_guard lock(EngineLibraries::isoLock());
    if (!m_kept.image)
        return false;
    imageTree().restore(m_kept);
    return true;
}

void ImageSide::DropKeptImage()
{
    std::lock_guard lock(EngineLibraries::isoLock());
    ImageTree::drop(m_kept);
}

void ImageSide::addFile(const QString &destPath, const QString &sourceFile, const ItemSink &sink)
{
    refuseNullCharacter(destPath);
    refuseNullCharacter(sourceFile);
    std::lock_guard lock(EngineLibraries::isoLock());
    ImageTree &tree = imageTree();
    m_addNotices.clear();
    QStringList dest = ImagePaths::splitDest(destPath);
    if (dest.isEmpty())
        dest << ImagePaths::imageName(lastComponentName(sourceFile));
    LocalSourceAdder(tree, m_control, sink, &m_addNotices).addEntry(dest, sourceFile);
}

void ImageSide::addFolder(const QString &destPath, const QString &source, const ItemSink &sink)
{
    refuseNullCharacter(destPath);
    refuseNullCharacter(source);
    std::lock_guard lock(EngineLibraries::isoLock());
    ImageTree &tree = imageTree();
    m_addNotices.clear();
    const ImagePaths::Source parsed = ImagePaths::parseSource(source);
    QStringList dest = ImagePaths::splitDest(destPath);
    switch (parsed.kind) {
    case ImagePaths::Source::Kind::DriveContent: {
        // A damaged disc can take long to read: the job's cancel must reach the reading too.
        {
            std::lock_guard guard(m_writeMutex);
            m_control->reset();
            m_importing = true;
        }
        struct ImportEnd
        {
            ImageSide &side;
            ~ImportEnd()
            {
                std::lock_guard guard(side.m_writeMutex);
                side.m_importing = false;
            }
        } end {*this};
        DiscImporter::importDisc(tree, dest, parsed.driveLetter, sink, m_control);
        return;
    }
    case ImagePaths::Source::Kind::FolderContent:
        LocalSourceAdder(tree, m_control, sink, &m_addNotices).addFolderContent(dest, parsed.path);
        return;
    case ImagePaths::Source::Kind::Entry:
        // A destination folder ("\Docs\", the list-file form) takes the entry under its own name.
        if (dest.isEmpty() || ImagePaths::destNamesFolder(destPath))
            dest << ImagePaths::imageName(lastComponentName(parsed.path));
        LocalSourceAdder(tree, m_control, sink, &m_addNotices).addEntry(dest, parsed.path);
        return;
    }
}

QStringList ImageSide::LastAddNotices() const
{
    std::lock_guard lock(EngineLibraries::isoLock());
    return m_addNotices;
}

bool ImageSide::RemoveItem(const QString &destPath)
{
    std::lock_guard lock(EngineLibraries::isoLock());
    return imageTree().remove(ImagePaths::splitDest(destPath));
}

bool ImageSide::ImageHasItems()
{
    std::lock_guard lock(EngineLibraries::isoLock());
    IsoDir *root = iso_image_get_root(imageTree().image());
    return iso_dir_get_children_count(root) > 0;
}

std::vector<ImageItem> ImageSide::ListItems(const QString &destPath)
{
    std::vector<ImageItem> items;
    std::lock_guard lock(EngineLibraries::isoLock());
    const QStringList dest = ImagePaths::splitDest(destPath);
    IsoNode *node = imageTree().find(dest);
    if (!node)
        throw KestraneError(QStringLiteral("%1 is not in the image.").arg(destPath));
    if (iso_node_get_type(node) != LIBISO_DIR)
        throw KestraneError(QStringLiteral("%1 is not a folder.").arg(destPath));
    const QString parentDest = ImagePaths::joinDest(dest);
    std::vector<IsoNode *> children;
    if (!isoChildren(reinterpret_cast<IsoDir *>(node), children))
        throw KestraneError(QStringLiteral("%1 could not be listed.").arg(destPath));
    items.reserve(children.size());
    for (IsoNode *child : children)
        items.push_back(ImageTree::describe(child, parentDest));
    return items;
}

TDVDWriterPro2::ImageSize ImageSide::ImageSizeOf(const TDVDWriterPro2::SizeOptions &options)
{
    TDVDWriterPro2::ImageSize answer;
    WriteSettings settings;
    std::optional<SizeSnapshot> snapshot;
    SizeCache &cache = m_sizeCache;
    {
        std::lock_guard lock(EngineLibraries::isoLock());
        ImageTree &tree = imageTree();
        answer.generation = tree.generation();
        answer.hasItems = iso_dir_get_children_count(tree.root()) > 0;
        settings = sizeSettings(options);
        if (cache.valid && cache.generation == answer.generation && cache.settings.sameLayout(settings)) {
            answer.blocks = cache.blocks;
            return answer;
        }
        // The lock for a copy of the tree's shape only, not for the layout, so that the window can
        // change the compilation meanwhile. What the copy cannot hold is laid out here as it is.
        snapshot = SizeSnapshot::take(tree.root());
        if (!snapshot->complete()) {
            answer.blocks = ImageWriter::sizeBlocks(tree.image(), settings);
            snapshot.reset();
        }
    }
    if (snapshot)
        answer.blocks = snapshot->sizeBlocks(settings);
    std::lock_guard lock(EngineLibraries::isoLock());
    // Two sizes may be computed at once; the older tree's must not replace the newer one's.
    if (cache.valid && cache.generation > answer.generation)
        return answer;
    cache.blocks = answer.blocks;
    cache.generation = answer.generation;
    cache.settings = settings;
    cache.valid = true;
    return answer;
}

uint64_t ImageSide::ImageGeneration() const
{
    const ImageTree *tree = m_madeTree.load();
    return tree ? tree->generation() : 0;
}

QStringList ImageSide::ImageNotes()
{
    std::lock_guard lock(EngineLibraries::isoLock());
    return imageTree().notes();
}
