#include "ImportedFileStream.h"

#include "IsoStreamHeader.h"

#include <cstdint>
#include <libisofs/libisofs.h>

#include <atomic>
#include <cstdlib>

namespace {

struct StreamBlock
{
    IsoStreamHeader header;
    IsoStream *disc;
    ino_t serial;
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

int streamOpen(IsoStream *stream)
{
    return iso_stream_open(discOf(stream));
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
    return iso_stream_read(discOf(stream), buf, count);
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
    iso_stream_unref(discOf(stream));
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

iso_stream *ImportedFileStream::wrap(iso_stream *disc)
{
    auto *block = static_cast<StreamBlock *>(std::malloc(sizeof(StreamBlock)));
    if (!block)
        return nullptr;
    block->header.klass = &streamClass;
    block->header.refcount = 1;
    block->header.data = block;
    iso_stream_ref(disc);
    block->disc = disc;
    block->serial = nextSerial.fetch_add(1, std::memory_order_relaxed);
    return reinterpret_cast<iso_stream *>(block);
}
