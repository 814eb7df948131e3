#include "base/KestraneError.h"
#include "engine/ImageSide.h"
#include "engine/Libraries.h"
#include "engine/TDVDWriterPro2.h"
#include "engine/image/DiscImporter.h"
#include "engine/image/ImagePaths.h"
#include "engine/image/IsoChildren.h"
#include "engine/image/LocalSourceAdder.h"
#include "engine/image/SizeSnapshot.h"

#include <cstdint>
#include <libisofs/libisofs.h>

#include <QFileInfo>
#include <QMetaMethod>

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

// Paths reach the system and libisofs as C strings, where a null character would cut one short and
// name another file or item.
void refuseNullCharacter(const QString &path)
{
    if (path.contains(QChar(0)))
        throw KestraneError(QStringLiteral("The path \"%1\" holds a null character.")
                                .arg(QString(path).replace(QChar(0), QStringLiteral("\\0"))));
}

QString lastComponentName(const QString &path)
{
    QString trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    return QFileInfo(trimmed).fileName();
}

} // namespace

TDVDWriterPro2::ImageSide::ImageSide() = default;

TDVDWriterPro2::ImageSide::~ImageSide()
{
    if (tree || kept.image) {
        std::lock_guard lock(EngineLibraries::isoLock());
        ImageTree::drop(kept);
        tree.reset();
    }
}

ImageTree &TDVDWriterPro2::imageTree()
{
    ensureImageLibrary();
    if (!m_image->tree) {
        m_image->tree = std::make_unique<ImageTree>();
        m_image->madeTree.store(m_image->tree.get());
    }
    return *m_image->tree;
}

ItemSink TDVDWriterPro2::itemSink()
{
    ItemSink sink;
    sink.wanted = isSignalConnected(QMetaMethod::fromSignal(&TDVDWriterPro2::OnISOItemAdded));
    sink.report = [this](const ImageItem &item) {
        Q_EMIT OnISOItemAdded(item.parentDest, item.itemDest, item.name, item.sourcePath, item.isDirectory,
                              item.date, item.size);
    };
    return sink;
}

WriteSettings TDVDWriterPro2::writeSettings()
{
    WriteSettings s = sizeSettings(ImageSizeOptions());
    s.volumeId = IdentifierText(m_volumeIdentifier);
    s.applicationId = IdentifierText(m_volumeApplicationIdentifier);
    s.volumeSetId = IdentifierText(m_volumeSetIdentifier);
    s.publisherId = IdentifierText(m_publisherIdentifier);
    s.dataPreparerId = IdentifierText(m_dataPreparerIdentifier);
    s.systemId = IdentifierText(m_systemIdentifier);
    return s;
}

QString TDVDWriterPro2::IdentifierText(const QString &text)
{
    QString kept;
    kept.reserve(text.size());
    for (const QChar c : text) {
        if (c.category() != QChar::Other_Control)
            kept.append(c);
    }
    return kept;
}

TDVDWriterPro2::SizeOptions TDVDWriterPro2::ImageSizeOptions() const
{
    SizeOptions options;
    options.joliet = m_volumeType == 1;
    options.versionNumbers = m_useVersionDelimiters;
    options.level = std::clamp(m_isoComplianceLevel, 1, 3);
    options.checksums = m_recordChecksums;
    return options;
}

WriteSettings TDVDWriterPro2::sizeSettings(const SizeOptions &options)
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

void TDVDWriterPro2::ResetImage()
{
    {
        std::lock_guard lock(EngineLibraries::isoLock());
        imageTree().reset();
    }
    Q_EMIT OnISOImageReset();
}

void TDVDWriterPro2::KeepImage()
{
    std::lock_guard lock(EngineLibraries::isoLock());
    ImageTree &tree = imageTree();
    ImageTree::drop(m_image->kept);
    m_image->kept = tree.keep();
}

bool TDVDWriterPro2::RestoreKeptImage()
{
    {
        std::lock_guard lock(EngineLibraries::isoLock());
        if (!m_image->kept.image)
            return false;
        imageTree().restore(m_image->kept);
    }
    return true;
}

void TDVDWriterPro2::DropKeptImage()
{
    std::lock_guard lock(EngineLibraries::isoLock());
    ImageTree::drop(m_image->kept);
}

void TDVDWriterPro2::AddFile(const QString &destPath, const QString &sourceFile)
{
    addFile(destPath, sourceFile, itemSink());
}

void TDVDWriterPro2::AddFileReporting(const QString &destPath, const QString &sourceFile,
                                      const ItemReport &report)
{
    addFile(destPath, sourceFile, ItemSink {report, bool(report)});
}

void TDVDWriterPro2::addFile(const QString &destPath, const QString &sourceFile, const ItemSink &sink)
{
    refuseNullCharacter(destPath);
    refuseNullCharacter(sourceFile);
    std::lock_guard lock(EngineLibraries::isoLock());
    ImageTree &tree = imageTree();
    m_image->addNotices.clear();
    QStringList dest = ImagePaths::splitDest(destPath);
    if (dest.isEmpty())
        dest << ImagePaths::imageName(lastComponentName(sourceFile));
    LocalSourceAdder(tree, m_image->control, sink, &m_image->addNotices).addEntry(dest, sourceFile);
}

void TDVDWriterPro2::AddFolder(const QString &destPath, const QString &source)
{
    addFolder(destPath, source, itemSink());
}

void TDVDWriterPro2::AddFolderReporting(const QString &destPath, const QString &source,
                                        const ItemReport &report)
{
    addFolder(destPath, source, ItemSink {report, bool(report)});
}

void TDVDWriterPro2::addFolder(const QString &destPath, const QString &source, const ItemSink &sink)
{
    refuseNullCharacter(destPath);
    refuseNullCharacter(source);
    std::lock_guard lock(EngineLibraries::isoLock());
    ImageTree &tree = imageTree();
    m_image->addNotices.clear();
    const ImagePaths::Source parsed = ImagePaths::parseSource(source);
    QStringList dest = ImagePaths::splitDest(destPath);
    switch (parsed.kind) {
    case ImagePaths::Source::Kind::DriveContent: {
        // A damaged disc can take long to read: the job's cancel must reach the reading too.
        {
            std::lock_guard guard(m_image->writeMutex);
            m_image->control->reset();
            m_image->importing = true;
        }
        struct ImportEnd
        {
            ImageSide &side;
            ~ImportEnd()
            {
                std::lock_guard guard(side.writeMutex);
                side.importing = false;
            }
        } end {*m_image};
        DiscImporter::importDisc(tree, dest, parsed.driveLetter, sink, m_image->control);
        return;
    }
    case ImagePaths::Source::Kind::FolderContent:
        LocalSourceAdder(tree, m_image->control, sink, &m_image->addNotices)
            .addFolderContent(dest, parsed.path);
        return;
    case ImagePaths::Source::Kind::Entry:
        // A destination folder ("\Docs\", the list-file form) takes the entry under its own name.
        if (dest.isEmpty() || ImagePaths::destNamesFolder(destPath))
            dest << ImagePaths::imageName(lastComponentName(parsed.path));
        LocalSourceAdder(tree, m_image->control, sink, &m_image->addNotices).addEntry(dest, parsed.path);
        return;
    }
}

QStringList TDVDWriterPro2::LastAddNotices() const
{
    std::lock_guard lock(EngineLibraries::isoLock());
    return m_image->addNotices;
}

bool TDVDWriterPro2::RemoveItem(const QString &destPath)
{
    std::lock_guard lock(EngineLibraries::isoLock());
    return imageTree().remove(ImagePaths::splitDest(destPath));
}

void TDVDWriterPro2::EnumItems(const QString &destPath)
{
    // Outside the lock and the iteration: a handler may call back into the engine.
    for (const ImageItem &item : ListItems(destPath))
        Q_EMIT OnEnumISOItems(item.parentDest, item.itemDest, item.name, item.sourcePath, item.isDirectory,
                              item.date, item.size);
}

bool TDVDWriterPro2::ImageHasItems()
{
    std::lock_guard lock(EngineLibraries::isoLock());
    IsoDir *root = iso_image_get_root(imageTree().image());
    return iso_dir_get_children_count(root) > 0;
}

std::vector<ImageItem> TDVDWriterPro2::ListItems(const QString &destPath)
{
    std::vector<ImageItem> items;
    {
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
    }
    return items;
}

int64_t TDVDWriterPro2::ImageSizeBlocks()
{
    return ImageSizeOf(ImageSizeOptions()).blocks;
}

TDVDWriterPro2::ImageSize TDVDWriterPro2::ImageSizeOf(const SizeOptions &options)
{
    ImageSize answer;
    WriteSettings settings;
    std::optional<SizeSnapshot> snapshot;
    ImageSide::SizeCache &cache = m_image->sizeCache;
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

uint64_t TDVDWriterPro2::ImageGeneration() const
{
    const ImageTree *tree = m_image->madeTree.load();
    return tree ? tree->generation() : 0;
}

QString TDVDWriterPro2::ImageName(const QString &sourceName)
{
    return ImagePaths::imageName(sourceName);
}

double TDVDWriterPro2::BlocksToBytes(int64_t blocks, int)
{
    // The engine has one block size: 2048-byte data sectors.
    return static_cast<double>(blocks) * 2048.0;
}

bool TDVDWriterPro2::WriteImageFile(const QString &isoPath)
{
    WriteSettings settings;
    IsoImage *image = nullptr;
    try {
        refuseNullCharacter(isoPath);
        std::lock_guard lock(EngineLibraries::isoLock());
        image = imageTree().image();
        settings = writeSettings();
    } catch (const KestraneError &e) {
        std::lock_guard guard(m_image->writeMutex);
        m_image->lastError = e.message();
        return false;
    }
    {
        std::lock_guard guard(m_image->writeMutex);
        m_image->control->reset();
        m_image->writing = true;
    }
    const ImageWriter::Result result =
        ImageWriter::write(image, settings, isoPath, *m_image->control, [this](qint64 written, qint64 total) {
            Q_EMIT OnImageWriteProgress(written, total);
        });
    std::lock_guard guard(m_image->writeMutex);
    m_image->writing = false;
    m_image->lastError = result.error;
    return result.ok;
}

void TDVDWriterPro2::CancelImageWrite()
{
    std::lock_guard guard(m_image->writeMutex);
    if (m_image->writing || m_image->importing)
        m_image->control->cancel = true;
}

QStringList TDVDWriterPro2::ImageNotes()
{
    std::lock_guard lock(EngineLibraries::isoLock());
    return imageTree().notes();
}

QString TDVDWriterPro2::LastImageError() const
{
    std::lock_guard guard(m_image->writeMutex);
    return m_image->lastError;
}
