#include "base/SystemError.h"
#include <cstdint>
// libburn.h puts its API in namespace burn.
#include <libburn/libburn.h>

#include "engine/drives/ImageFileSource.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace Drives {

namespace {

constexpr int64_t ChunkBytes = 1 << 20;

struct SourceData
{
    int fd = -1;
    int64_t size = 0;
    int64_t fixedSize = 0;
    int64_t readFromFile = 0;
    std::vector<unsigned char> chunk;
    size_t chunkPos = 0;
    size_t chunkLen = 0;
    QString path;
    std::shared_ptr<ImageReadState> state;
};

SourceData *dataOf(burn::burn_source *source)
{
    return static_cast<SourceData *>(source->data);
}

bool refill(SourceData *d)
{
    const int64_t want = std::min<int64_t>(ChunkBytes, d->size - d->readFromFile);
    size_t got = 0;
    while (got < size_t(want)) {
        const ssize_t n = ::read(d->fd, d->chunk.data() + got, size_t(want) - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            d->state->fail(
                QStringLiteral("Cannot read the image file %1: %2").arg(d->path, SystemErrorText(errno)));
            return false;
        }
        if (n == 0) {
            d->state->fail(QStringLiteral("The image file %1 ended after %2 of %3 bytes")
                               .arg(d->path)
                               .arg(d->readFromFile + int64_t(got))
                               .arg(d->size));
            return false;
        }
        got += size_t(n);
    }
    d->readFromFile += int64_t(got);
    d->chunkPos = 0;
    d->chunkLen = got;
    return true;
}

int readXt(burn::burn_source *source, unsigned char *buffer, int size)
{
    SourceData *d = dataOf(source);
    int delivered = 0;
    while (delivered < size) {
        if (d->chunkPos == d->chunkLen) {
            if (d->readFromFile >= d->size)
                break;
            if (!refill(d))
                return -1;
        }
        const size_t n = std::min(d->chunkLen - d->chunkPos, size_t(size - delivered));
        std::memcpy(buffer + delivered, d->chunk.data() + d->chunkPos, n);
        d->chunkPos += n;
        delivered += int(n);
    }
    return delivered;
}

off_t getSize(burn::burn_source *source)
{
    SourceData *d = dataOf(source);
    return off_t(d->fixedSize > 0 ? d->fixedSize : d->size);
}

int setSize(burn::burn_source *source, off_t size)
{
    dataOf(source)->fixedSize = int64_t(size);
    return 1;
}

void freeData(burn::burn_source *source)
{
    SourceData *d = dataOf(source);
    if (d->fd >= 0)
        ::close(d->fd);
    delete d;
    source->data = nullptr;
}

int cancelSource(burn::burn_source *)
{
    return 1;
}

} // namespace

void ImageReadState::fail(const QString &reason)
{
    std::lock_guard guard(m_mutex);
    if (m_error.isEmpty())
        m_error = reason;
}

QString ImageReadState::error() const
{
    std::lock_guard guard(m_mutex);
    return m_error;
}

burn::burn_source *createImageFileSource(const QString &path, int64_t size,
                                         const std::shared_ptr<ImageReadState> &state)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        state->fail(QStringLiteral("Cannot open the image file %1: %2").arg(path, SystemErrorText(errno)));
        return nullptr;
    }
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    auto data = std::make_unique<SourceData>();
    data->fd = fd;
    data->size = size;
    data->chunk.resize(size_t(ChunkBytes));
    data->path = path;
    data->state = state;

    auto *source = static_cast<burn::burn_source *>(std::calloc(1, sizeof(burn::burn_source)));
    if (!source) {
        ::close(fd);
        state->fail(QStringLiteral("Out of memory"));
        return nullptr;
    }
    // libburn frees the struct itself with free() once the last reference is gone.
    source->refcount = 1;
    source->read = nullptr;
    source->read_sub = nullptr;
    source->get_size = getSize;
    source->set_size = setSize;
    source->free_data = freeData;
    source->next = nullptr;
    source->data = data.release();
    source->version = 1;
    source->read_xt = readXt;
    source->cancel = cancelSource;
    return source;
}

} // namespace Drives
