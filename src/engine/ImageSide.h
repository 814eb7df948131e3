#pragma once

#include "engine/TDVDWriterPro2.h"
#include "engine/image/ImageTree.h"
#include "engine/image/ImageWriter.h"
#include "engine/image/SourceFileStream.h"

#include <atomic>
#include <memory>
#include <mutex>

// The libisofs state of one engine instance.
struct TDVDWriterPro2::ImageSide
{
    ImageSide();
    ~ImageSide();

    // Made on first use, so that engines can be created before libisofs is needed.
    std::unique_ptr<ImageTree> tree;
    // What the last add told beside adding (LastAddNotices).
    QStringList addNotices;
    // The image before a load replaced it (KeepImage).
    ImageTree::Kept kept;
    // The same tree for readers that do not take the lock (its generation).
    std::atomic<const ImageTree *> madeTree {nullptr};
    // Shared with the file streams of this image: the cancel request and the first read failure.
    std::shared_ptr<WriteControl> control = std::make_shared<WriteControl>();

    // A cancel only reaches a write, or a reading of a disc, that is running.
    std::mutex writeMutex;
    bool writing = false;
    bool importing = false;

    struct SizeCache
    {
        bool valid = false;
        uint64_t generation = 0;
        WriteSettings settings;
        int64_t blocks = 0;
    } sizeCache;

    QString lastError;
    std::atomic<bool> checkCancel {false};
};
