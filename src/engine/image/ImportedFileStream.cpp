#include "engine/image/ImportedFileStream.h"

#include "engine/image/ImageTree.h"
#include "engine/image/IsoStreamHeader.h"
#include "engine/image/SourceFileStream.h"

#include <cstdint>
#include <libisofs/libisofs.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

// What does not fit a plain C allocation: libisofs frees the block itself, we free this.
struct Watch
{
    std::shared_ptr<WriteControl> control;
    QString discPath;
};

struct StreamBlock
{
    IsoStreamHeader header;
    IsoStream *disc;
    ino_t serial;
    off_t delivered; // bytes handed out since the stream was opened
    Watch *watch;
};

constexpr unsigned int ImportedFsId = 0x4b49;
std::atomic<ino_t> nextSerial {1};

StreamBlock *blockOf(IsoStream *stream)
{
    return static_cast<StreamBlock *>(reinterpret_cast<IsoStreamHeader *>(stream)->data);
}

IsoStream *discOf(IsoStream *stream)
{
    return blockOf(stream)->disc;
}

int failWith(StreamBlock *block, const QString &reason)
{
    block->watch->control->fail(
        QStringLiteral("Could not read %1 from the disc: %2").arg(block->watch->discPath, reason));
    return static_cast<int>(ISO_FILE_READ_ERROR);
}

int streamOpen(IsoStream *stream)
{
    StreamBlock *block = blockOf(stream);
    block->delivered = 0;
    const int ret = iso_stream_open(block->disc);
    if (ret < 0)
        return failWith(block, isoErrorText(ret));
    return ret;
}

int streamClose(IsoStream *stream)
{
    return iso_stream_close(discOf(stream));
}

off_t streamSize(IsoStream *stream)
{
    return iso_stream_get_size(discOf(stream));
}

int streamRead(IsoStream *stream, void *buf, size_t count)
{
    StreamBlock *block = blockOf(stream);
    if (block->watch->control->cancel.load(std::memory_order_relaxed))
        return static_cast<int>(ISO_CANCELED);
    const int got = iso_stream_read(block->disc, buf, count);
    if (got < 0)
        return failWith(block, isoErrorText(got));
    const off_t size = iso_stream_get_size(block->disc);
    if (got == 0 && count > 0 && block->delivered < size)
        return failWith(block,
                        QStringLiteral("it ends after %1 of its %2 bytes").arg(block->delivered).arg(size));
    block->delivered += got;
    return got;
}

int streamIsRepeatable(IsoStream *stream)
{
    return iso_stream_is_repeatable(discOf(stream));
}

void streamGetId(IsoStream *stream, unsigned int *fsId, dev_t *devId, ino_t *inoId)
{
    *fsId = ImportedFsId;
    *devId = 0;
    *inoId = blockOf(stream)->serial;
}

void streamFree(IsoStream *stream)
{
    // libisofs frees the allocation itself after this.
    StreamBlock *block = blockOf(stream);
    delete block->watch;
    iso_stream_unref(block->disc);
}

int streamUpdateSize(IsoStream *stream)
{
    return iso_stream_update_size(discOf(stream));
}

IsoStream *streamInput(IsoStream *, int)
{
    return nullptr;
}

int streamCompare(IsoStream *a, IsoStream *b)
{
    const ino_t x = blockOf(a)->serial;
    const ino_t y = blockOf(b)->serial;
    return x < y ? -1 : (x > y ? 1 : 0);
}

IsoStreamIface streamClass = {
    3,           {'u', 's', 'e', 'r'}, streamOpen,  streamClose, streamSize,
    streamRead,  streamIsRepeatable,   streamGetId, streamFree,  streamUpdateSize,
    streamInput, streamCompare,        nullptr,
};

} // namespace

iso_stream *ImportedFileStream::wrap(iso_stream *disc, std::shared_ptr<WriteControl> control,
                                     const QString &discPath)
{
    auto *watch = new (std::nothrow) Watch {std::move(control), discPath};
    auto *block = static_cast<StreamBlock *>(std::malloc(sizeof(StreamBlock)));
    if (!block || !watch) {
        std::free(block);
        delete watch;
        return nullptr;
    }
    block->header.klass = &streamClass;
    block->header.refcount = 1;
    block->header.data = block;
    iso_stream_ref(disc);
    block->disc = disc;
    block->serial = nextSerial.fetch_add(1, std::memory_order_relaxed);
    block->delivered = 0;
    block->watch = watch;
    return reinterpret_cast<iso_stream *>(block);
}
