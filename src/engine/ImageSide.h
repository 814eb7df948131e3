#pragma once

#include "engine/ImageCheck.h"
#include "engine/ImageItem.h"
#include "engine/TDVDWriterPro2.h"
#include "engine/image/ImageTree.h"
#include "engine/image/ImageWriter.h"
#include "engine/image/SourceFileStream.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

// The libisofs half of one engine instance: its image tree, the adds and removals, the size, the
// writing of the image file, the copy of a disc and the checks of images and discs. Any thread may
// call it; the tree is changed under the libisofs lock. Progress goes out as the engine's signals,
// on the calling thread.
// The tree, adds and size: ImageSide.cpp; writing, copying and checking: ImageSideWrite.cpp.
class ImageSide final
{
public:
    explicit ImageSide(TDVDWriterPro2 &engine);
    ~ImageSide();
    ImageSide(const ImageSide &) = delete;
    ImageSide &operator=(const ImageSide &) = delete;

    void ResetImage();
    void KeepImage();
    bool RestoreKeptImage();
    void DropKeptImage();
    void addFile(const QString &destPath, const QString &sourceFile, const ItemSink &sink);
    void addFolder(const QString &destPath, const QString &source, const ItemSink &sink);
    QStringList LastAddNotices() const;
    bool RemoveItem(const QString &destPath);
    std::vector<ImageItem> ListItems(const QString &destPath);
    bool ImageHasItems();
    TDVDWriterPro2::ImageSize ImageSizeOf(const TDVDWriterPro2::SizeOptions &options);
    uint64_t ImageGeneration() const;
    QStringList ImageNotes();

    bool WriteImageFile(const QString &isoPath);
    void CancelImageWrite();
    QString LastImageError() const;
    bool CopyDiscRaw(int index, const QString &isoPath);

    ImageCheck VerifyImageChecksums(const QString &source);
    ImageCheck CompareDiscWithImage(const QString &drive, const QString &isoPath);
    void CancelImageCheck();

private:
    // Called with the libisofs lock held.
    ImageTree &imageTree();
    WriteSettings writeSettings();
    WriteSettings sizeSettings(const TDVDWriterPro2::SizeOptions &options);
    // Paths reach the system and libisofs as C strings, where a null character would cut one short
    // and name another file or item: such a path raises KestraneError.
    static void refuseNullCharacter(const QString &path);
    // Records why a write or a copy did not start, for LastImageError.
    bool refuse(const QString &reason);

    TDVDWriterPro2 &m_engine; // its properties and its signals
    // Made on first use, so that engines can be created before libisofs is needed.
    std::unique_ptr<ImageTree> m_tree;
    // What the last add told beside adding (LastAddNotices).
    QStringList m_addNotices;
    // The image before a load replaced it (KeepImage).
    ImageTree::Kept m_kept;
    // The same tree for readers that do not take the lock (its generation).
    std::atomic<const ImageTree *> m_madeTree {nullptr};
    // Shared with the file streams of this image: the cancel request and the first read failure.
    std::shared_ptr<WriteControl> m_control = std::make_shared<WriteControl>();

    // A cancel only reaches a write, or a reading of a disc, that is running.
    mutable std::mutex m_writeMutex;
    bool m_writing = false;
    bool m_importing = false;

    struct SizeCache
    {
        bool valid = false;
        uint64_t generation = 0;
        WriteSettings settings;
        int64_t blocks = 0;
    } m_sizeCache;

    QString m_lastError;
    std::atomic<bool> m_checkCancel {false};
};
