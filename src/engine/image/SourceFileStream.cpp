#include "engine/image/SourceFileStream.h"
#include "base/SystemError.h"

#include "engine/image/IsoStreamHeader.h"

#include <cstdint>
#include <libisofs/libisofs.h>

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What a file keeps while it is open: the descriptor and one read-ahead chunk.
struct OpenState
{
    int fd = -1;
    char *buffer = nullptr;
    size_t capacity = 0;
    size_t filled = 0;
    size_t consumed = 0;
    off_t left = 0; // bytes still to take from the file
};

// One allocation per file: the header libisofs sees, then our fields, then the name.
struct StreamBlock
{
    IsoStreamHeader header;
    SourceFolder *folder;
    off_t size;
    dev_t dev;
    ino_t ino;
    OpenState *open;
    char *name() { return reinterpret_cast<char *>(this + 1); }
};

constexpr size_t ChunkBytes = 1 << 20;
constexpr unsigned int KestraneFsId = 0x4b45;

StreamBlock *blockOf(IsoStream *stream)
{
    return static_cast<StreamBlock *>(reinterpret_cast<IsoStreamHeader *>(stream)->data);
}

QByteArray pathOf(StreamBlock *block)
{
    QByteArray path = block->folder->path();
    if (!path.endsWith('/'))
        path += '/';
    return path + block->name();
}

int failWith(StreamBlock *block, const QString &reason, int code)
{
    block->folder->control().fail(
        QStringLiteral("Could not read %1: %2").arg(QFile::decodeName(pathOf(block)), reason));
    return code;
}

int errnoFailure(StreamBlock *block, int error)
{
    return failWith(block, SystemErrorText(error), static_cast<int>(ISO_FILE_READ_ERROR));
}

void closeState(StreamBlock *block)
{
    if (!block->open)
        return;
    if (block->open->fd >= 0)
        ::close(block->open->fd);
    std::free(block->open->buffer);
    delete block->open;
    block->open = nullptr;
}

int shorterFailure(StreamBlock *block)
{
    return failWith(block, QStringLiteral("it became shorter after it was added"),
                    static_cast<int>(ISO_FILE_READ_ERROR));
}

// The image holds the size the file had when it was added; more would be cut off without a word.
int longerFailure(StreamBlock *block)
{
    return failWith(block, QStringLiteral("it became longer after it was added"),
                    static_cast<int>(ISO_FILE_READ_ERROR));
}

// After the file's last byte was taken: a file that grew meanwhile fails like one that shrank.
bool endedAtItsSize(StreamBlock *block, int fd)
{
    struct stat st
    {
    };
    if (::fstat(fd, &st) == 0 && st.st_size > block->size) {
        longerFailure(block);
        return false;
    }
    return true;
}

// The file's descriptor when it is still a regular file of at least the size it had when added;
// otherwise the failure is reported and its code answered (negative).
int openChecked(StreamBlock *block)
{
    // Non-blocking, so that a FIFO put in the file's place cannot hang the writer.
    const int fd = ::open(pathOf(block).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return errnoFailure(block, errno);
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return failWith(block, QStringLiteral("it is no longer a regular file"),
                        static_cast<int>(ISO_FILE_READ_ERROR));
    }
    if (st.st_size != block->size) {
        ::close(fd);
        return st.st_size < block->size ? shorterFailure(block) : longerFailure(block);
    }
    return fd;
}

int streamOpen(IsoStream *stream)
{
    StreamBlock *block = blockOf(stream);
    if (block->open)
        return static_cast<int>(ISO_FILE_ALREADY_OPENED);
    const WriteControl &control = block->folder->control();
    if (control.cancel.load(std::memory_order_relaxed) || control.libraryDone.load(std::memory_order_relaxed))
        return static_cast<int>(ISO_CANCELED);
    const int fd = openChecked(block);
    if (fd < 0)
        return fd;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    auto *state = new (std::nothrow) OpenState;
    if (!state) {
        ::close(fd);
        return static_cast<int>(ISO_OUT_OF_MEM);
    }
    state->fd = fd;
    state->left = block->size;
    state->capacity = static_cast<size_t>(std::min<off_t>(block->size, static_cast<off_t>(ChunkBytes)));
    if (state->capacity > 0) {
        state->buffer = static_cast<char *>(std::malloc(state->capacity));
        if (!state->buffer) {
            ::close(fd);
            delete state;
            return static_cast<int>(ISO_OUT_OF_MEM);
        }
    }
    block->open = state;
    return 1;
}

int streamClose(IsoStream *stream)
{
    StreamBlock *block = blockOf(stream);
    if (!block->open)
        return static_cast<int>(ISO_FILE_NOT_OPENED);
    closeState(block);
    return 1;
}

off_t streamSize(IsoStream *stream)
{
    return blockOf(stream)->size;
}

// Refills the chunk; false with the error code in `code` when the file cannot deliver.
bool refill(StreamBlock *block, int &code)
{
    OpenState *s = block->open;
    const size_t want = static_cast<size_t>(std::min<off_t>(s->left, static_cast<off_t>(s->capacity)));
    size_t got = 0;
    while (got < want) {
        const ssize_t n = ::read(s->fd, s->buffer + got, want - got);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            code = errnoFailure(block, errno);
            return false;
        }
        if (n == 0) {
            code = shorterFailure(block);
            return false;
        }
        got += static_cast<size_t>(n);
    }
    s->filled = got;
    s->consumed = 0;
    s->left -= static_cast<off_t>(got);
    if (s->left == 0 && !endedAtItsSize(block, s->fd)) {
        code = static_cast<int>(ISO_FILE_READ_ERROR);
        return false;
    }
    return true;
}

int streamRead(IsoStream *stream, void *buf, size_t count)
{
    StreamBlock *block = blockOf(stream);
    OpenState *s = block->open;
    if (!s)
        return static_cast<int>(ISO_FILE_NOT_OPENED);
    const WriteControl &control = block->folder->control();
    if (control.cancel.load(std::memory_order_relaxed) || control.libraryDone.load(std::memory_order_relaxed))
        return static_cast<int>(ISO_CANCELED);
    auto *out = static_cast<char *>(buf);
    size_t done = 0;
    while (done < count) {
        if (s->consumed == s->filled) {
            if (s->left == 0)
                break; // the size fixed at add time is reached
            int code = 0;
            if (!refill(block, code))
                return code;
        }
        const size_t n = std::min(count - done, s->filled - s->consumed);
        std::memcpy(out + done, s->buffer + s->consumed, n);
        s->consumed += n;
        done += n;
    }
    return static_cast<int>(done);
}

int streamIsRepeatable(IsoStream *)
{
    return 1;
}

void streamGetId(IsoStream *stream, unsigned int *fsId, dev_t *devId, ino_t *inoId)
{
    StreamBlock *block = blockOf(stream);
    *fsId = KestraneFsId;
    *devId = block->dev;
    *inoId = block->ino;
}

void streamFree(IsoStream *stream)
{
    // libisofs frees the allocation itself after this; only our references go here.
    StreamBlock *block = blockOf(stream);
    closeState(block);
    block->folder->unref();
}

int streamUpdateSize(IsoStream *)
{
    return 1; // the size stays what it was when the file was added: the image size depends on it
}

IsoStream *streamInput(IsoStream *, int)
{
    return nullptr;
}

// Inode order keeps the source reads close together on disk. Every file still gets its own content:
// an inode number reused by another file after a delete must not make two files share data.
int streamCompare(IsoStream *a, IsoStream *b)
{
    const StreamBlock *x = blockOf(a);
    const StreamBlock *y = blockOf(b);
    if (x->dev != y->dev)
        return x->dev < y->dev ? -1 : 1;
    if (x->ino != y->ino)
        return x->ino < y->ino ? -1 : 1;
    const auto px = reinterpret_cast<uintptr_t>(x);
    const auto py = reinterpret_cast<uintptr_t>(y);
    return px < py ? -1 : (px > py ? 1 : 0);
}

IsoStreamIface streamClass = {
    3,           {'u', 's', 'e', 'r'}, streamOpen,  streamClose, streamSize,
    streamRead,  streamIsRepeatable,   streamGetId, streamFree,  streamUpdateSize,
    streamInput, streamCompare,        nullptr,
};

} // namespace

SourceFolder::SourceFolder(const QByteArray &nativePath, std::shared_ptr<WriteControl> control)
    : m_path(nativePath)
    , m_control(std::move(control))
{ }

SourceFolder *SourceFolder::create(const QByteArray &nativePath, std::shared_ptr<WriteControl> control)
{
    return new SourceFolder(nativePath, std::move(control));
}

void SourceFolder::unref()
{
    if (m_refs.fetch_sub(1, std::memory_order_acq_rel) == 1)
        delete this;
}

iso_stream *SourceFileStream::create(SourceFolder *folder, const QByteArray &nativeName, off_t size,
                                     dev_t dev, ino_t ino)
{
    const size_t bytes = sizeof(StreamBlock) + static_cast<size_t>(nativeName.size()) + 1;
    auto *block = static_cast<StreamBlock *>(std::malloc(bytes));
    if (!block)
        return nullptr;
    block->header.klass = &streamClass;
    block->header.refcount = 1;
    block->header.data = block;
    folder->ref();
    block->folder = folder;
    block->size = size;
    block->dev = dev;
    block->ino = ino;
    block->open = nullptr;
    std::memcpy(block->name(), nativeName.constData(), static_cast<size_t>(nativeName.size()) + 1);
    return reinterpret_cast<iso_stream *>(block);
}

bool SourceFileStream::isSourceFileStream(iso_stream *stream)
{
    return stream && reinterpret_cast<IsoStreamHeader *>(stream)->klass == &streamClass;
}

QByteArray SourceFileStream::sourcePath(iso_stream *stream)
{
    return pathOf(blockOf(stream));
}

int SourceFileStream::openSource(iso_stream *stream)
{
    const int fd = openChecked(blockOf(stream));
    return fd < 0 ? -1 : fd;
}

bool SourceFileStream::endedAtItsSize(iso_stream *stream, int fd)
{
    return ::endedAtItsSize(blockOf(stream), fd);
}

void SourceFileStream::reportReadFailure(iso_stream *stream, int error)
{
    StreamBlock *block = blockOf(stream);
    if (error == 0)
        shorterFailure(block);
    else
        errnoFailure(block, error);
}

WriteControl &SourceFileStream::control(iso_stream *stream)
{
    return blockOf(stream)->folder->control();
}
