#include "engine/image/DiscDataSource.h"

#include "engine/image/ImportGuard.h"

#include <cstdint>
#include <libisofs/libisofs.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <new>
#include <unistd.h>

namespace {

constexpr size_t BlockBytes = 2048;
constexpr size_t JumpBlocks = 16; // 32 KB after a jump: a folder's records, not a whole file
constexpr size_t RunBlocks = 512; // 1 MB while the reads run on

struct SourceState
{
    QByteArray path;
    std::mutex mutex; // libisofs may read from its writer thread while the caller's thread imports
    int fd = -1;
    int opened = 0;
    uint8_t *buffer = nullptr;
    uint32_t first = 0; // the block in buffer[0]
    size_t count = 0; // blocks held
    ImportGuard *guard = nullptr; // while the file system is read
};

SourceState *stateOf(IsoDataSource *src)
{
    return static_cast<SourceState *>(src->data);
}

int sourceOpen(IsoDataSource *src)
{
    SourceState *s = stateOf(src);
    std::lock_guard lock(s->mutex);
    if (s->opened++ > 0)
        return 1;
    // Never blocking: what DiscLoader looked at may have been swapped for a FIFO since.
    s->fd = ::open(s->path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (s->fd < 0) {
        s->opened = 0;
        return errno == EACCES ? static_cast<int>(ISO_FILE_ACCESS_DENIED) : static_cast<int>(ISO_FILE_ERROR);
    }
    s->count = 0;
    return 1;
}

int sourceClose(IsoDataSource *src)
{
    SourceState *s = stateOf(src);
    std::lock_guard lock(s->mutex);
    if (s->opened == 0)
        return static_cast<int>(ISO_FILE_NOT_OPENED);
    if (--s->opened == 0) {
        ::close(s->fd);
        s->fd = -1;
        s->count = 0;
    }
    return 1;
}

// Fills the buffer from `lba` on; false when not even that block could be read.
bool refill(SourceState *s, uint32_t lba, size_t blocks)
{
    const size_t want = blocks * BlockBytes;
    const off_t at = static_cast<off_t>(lba) * static_cast<off_t>(BlockBytes);
    size_t got = 0;
    while (got < want) {
        const ssize_t n = ::pread(s->fd, s->buffer + got, want - got, at + static_cast<off_t>(got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<size_t>(n);
    }
    s->first = lba;
    s->count = got / BlockBytes;
    return s->count > 0;
}

int sourceReadBlock(IsoDataSource *src, uint32_t lba, uint8_t *out)
{
    SourceState *s = stateOf(src);
    std::lock_guard lock(s->mutex);
    if (s->opened == 0)
        return static_cast<int>(ISO_FILE_NOT_OPENED);
    if (!s->buffer)
        return static_cast<int>(ISO_DATA_SOURCE_FAILURE);
    if (s->count == 0 || lba < s->first || lba >= s->first + s->count) {
        const bool runsOn = s->count > 0 && lba == s->first + s->count;
        if (!refill(s, lba, runsOn ? RunBlocks : JumpBlocks))
            return static_cast<int>(ISO_DATA_SOURCE_FAILURE);
    }
    const uint8_t *block = s->buffer + static_cast<size_t>(lba - s->first) * BlockBytes;
    if (s->guard && !s->guard->blockRead(lba, block))
        return static_cast<int>(ISO_CANCELED);
    std::memcpy(out, block, BlockBytes);
    return 1;
}

void sourceFree(IsoDataSource *src)
{
    // libisofs frees the IsoDataSource itself after this.
    SourceState *s = stateOf(src);
    if (s->fd >= 0)
        ::close(s->fd);
    std::free(s->buffer);
    delete s;
}

} // namespace

iso_data_source *DiscDataSource::create(const QByteArray &nativePath)
{
    auto *state = new (std::nothrow) SourceState;
    if (!state)
        return nullptr;
    state->path = nativePath;
    state->buffer = static_cast<uint8_t *>(std::malloc(RunBlocks * BlockBytes));
    auto *src = static_cast<IsoDataSource *>(std::calloc(1, sizeof(IsoDataSource)));
    if (!state->buffer || !src) {
        std::free(state->buffer);
        std::free(src);
        delete state;
        return nullptr;
    }
    src->version = 0;
    src->refcount = 1;
    src->open = sourceOpen;
    src->close = sourceClose;
    src->read_block = sourceReadBlock;
    src->free_data = sourceFree;
    src->data = state;
    return src;
}

int DiscDataSource::importImage(const QByteArray &nativePath, IsoImage **image, ImportGuard *guard,
                                bool checksums)
{
    *image = nullptr;
    IsoDataSource *source = create(nativePath);
    if (!source)
        return static_cast<int>(ISO_OUT_OF_MEM);
    IsoReadOpts *options = nullptr;
    int ret = iso_read_opts_new(&options, 0);
    // The disc's own inode numbers are dropped: moved into another image they would clash with the
    // numbers given to its other items, and readers take equal numbers for hard links.
    if (ret >= 0)
        ret = iso_read_opts_set_new_inos(options, 1);
    // The checksum array's place is an AAIP attribute of the root. Its tags are not checked on
    // loading: a damaged image is loaded so that the check can say where it is damaged.
    // A hybrid disc's MBR lies in its first 32 KB, outside the file system; a copy needs it to boot.
    if (ret >= 0)
        ret = iso_read_opts_load_system_area(options, 1);
    if (ret >= 0 && checksums)
        ret = iso_read_opts_set_no_aaip(options, 0);
    if (ret >= 0 && checksums)
        ret = iso_read_opts_set_no_md5(options, 2);
    if (ret >= 0)
        ret = iso_image_new("DISC", image);
    if (ret >= 0 && guard) {
        guard->attach(*image);
        stateOf(source)->guard = guard;
    }
    if (ret >= 0)
        ret = iso_image_import(*image, source, options, nullptr);
    {
        // The image's files read through this source later, when the image is written.
        SourceState *s = stateOf(source);
        std::lock_guard lock(s->mutex);
        s->guard = nullptr;
        // After a reading the guard stopped, libisofs 1.5.4 keeps its file system, and with it this
        // source, for ever: give back at least the buffer. Nothing reads from it again.
        if (ret < 0 && guard && (guard->cancelled() || guard->refused())) {
            std::free(s->buffer);
            s->buffer = nullptr;
            s->count = 0;
        }
    }
    if (guard)
        guard->collectMessages();
    if (options)
        iso_read_opts_free(options);
    iso_data_source_unref(source);
    if (ret < 0 && *image) {
        iso_image_unref(*image);
        *image = nullptr;
    }
    return ret;
}
