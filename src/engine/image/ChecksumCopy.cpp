#include "engine/image/ChecksumCopy.h"

#include "engine/image/SourceFileStream.h"

#include <cstdint>
#include <libisofs/libisofs.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace {

constexpr int64_t Block = 2048;
constexpr int64_t BufferBytes = 4 << 20;
constexpr int Buffers = 3; // one being filled, one being hashed for the session, one spare
constexpr int Md5Bytes = 16;

using Md5 = std::array<char, Md5Bytes>;

class Md5Context final
{
public:
    Md5Context() { iso_md5_start(&m_context); }
    ~Md5Context()
    {
        if (m_context) {
            char ignored[Md5Bytes];
            iso_md5_end(&m_context, ignored);
        }
    }
    Md5Context(const Md5Context &) = delete;
    Md5Context &operator=(const Md5Context &) = delete;
    void add(const char *data, int64_t bytes)
    {
        while (bytes > 0) {
            const int step = int(std::min<int64_t>(bytes, 1 << 30));
            iso_md5_compute(m_context, const_cast<char *>(data), step);
            data += step;
            bytes -= step;
        }
    }
    Md5 end()
    {
        Md5 sum {};
        iso_md5_end(&m_context, sum.data());
        return sum;
    }
    // The checksum so far; the context goes on.
    Md5 snapshot() const
    {
        void *clone = nullptr;
        Md5 sum {};
        if (iso_md5_clone(m_context, &clone) == 1)
            iso_md5_end(&clone, sum.data());
        return sum;
    }

private:
    void *m_context = nullptr;
};

Md5 md5Of(const char *data, int64_t bytes)
{
    Md5Context context;
    context.add(data, bytes);
    return context.end();
}

QByteArray hex(const Md5 &sum)
{
    return QByteArray(sum.data(), Md5Bytes).toHex();
}

bool readFully(int fd, char *buffer, int64_t bytes, int64_t offset, int &error)
{
    for (int64_t got = 0; got < bytes;) {
        const ssize_t n = ::pread(fd, buffer + got, size_t(bytes - got), off_t(offset + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? errno : 0;
            return false;
        }
        got += n;
    }
    return true;
}

bool writeFully(int fd, const char *data, int64_t bytes, int64_t offset, int &error)
{
    for (int64_t put = 0; put < bytes;) {
        const ssize_t n = ::pwrite(fd, data + put, size_t(bytes - put), off_t(offset + put));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = errno;
            return false;
        }
        put += n;
    }
    return true;
}

// The session's MD5, taken on a thread of its own over the buffers in the order they are handed over;
// the same thread then writes each buffer into the image, so that the writer's thread only reads the
// files and takes their MD5s.
class SessionHasher final
{
public:
    explicit SessionHasher(int target)
        : m_target(target)
        , m_thread([this] { run(); })
    { }
    ~SessionHasher()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }
    SessionHasher(const SessionHasher &) = delete;
    SessionHasher &operator=(const SessionHasher &) = delete;

    // `writeAt` -1: the bytes are in the image already.
    void add(const char *data, int64_t bytes, int64_t writeAt = -1)
    {
        {
            std::lock_guard lock(m_mutex);
            m_queue.push_back({data, bytes, writeAt});
        }
        m_wake.notify_all();
    }
    // The errno of the first write into the image that failed; 0 while none has.
    int writeError() const { return m_writeError.load(); }
    // Waits until nothing handed over is still being read.
    void drain()
    {
        std::unique_lock lock(m_mutex);
        m_idle.wait(lock, [this] { return m_queue.empty() && !m_busy; });
    }
    // Waits until the memory at `data` is no longer read.
    void release(const char *data)
    {
        std::unique_lock lock(m_mutex);
        m_idle.wait(lock, [this, data] {
            if (m_busy && m_current == data)
                return false;
            return std::none_of(m_queue.begin(), m_queue.end(),
                                [data](const Work &w) { return w.data == data; });
        });
    }
    // Only after drain().
    Md5Context &context() { return m_context; }

private:
    struct Work
    {
        const char *data;
        int64_t bytes;
        int64_t writeAt;
    };
    void run()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_queue.empty())
                return;
            const Work work = m_queue.front();
            m_queue.pop_front();
            m_busy = true;
            m_current = work.data;
            lock.unlock();
            m_context.add(work.data, work.bytes);
            int error = 0;
            if (work.writeAt >= 0 && m_writeError.load() == 0 &&
                !writeFully(m_target, work.data, work.bytes, work.writeAt, error))
                m_writeError = error;
            lock.lock();
            m_busy = false;
            m_current = nullptr;
            m_idle.notify_all();
        }
    }

    Md5Context m_context;
    int m_target;
    std::atomic<int> m_writeError {0};
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<Work> m_queue;
    bool m_busy = false;
    const char *m_current = nullptr;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace

DirectCopy::Outcome ChecksumCopy::copy(const std::vector<ImageLayout::Piece> &pieces,
                                       const std::vector<ImageLayout::ChecksumAlias> &aliases,
                                       const std::vector<int64_t> &emptyFiles,
                                       const ImageLayout::ChecksumArea &area, int target, int64_t from,
                                       WriteControl &control, const std::function<void(int64_t)> &reached)
{
    DirectCopy::Outcome outcome;
    std::vector<std::unique_ptr<char[]>> buffers;
    for (int i = 0; i < Buffers; ++i)
        buffers.emplace_back(new char[BufferBytes]);
    std::vector<Md5> sums(size_t(area.count));
    SessionHasher session(target);
    int error = 0;

    // What libisofs wrote first, read back from the image.
    int next = 0;
    for (int64_t at = 0; at < from;) {
        char *buffer = buffers[size_t(next)].get();
        session.release(buffer);
        const int64_t bytes = std::min(BufferBytes, from - at);
        if (!readFully(target, buffer, bytes, at, error)) {
            outcome.targetError = error ? error : EIO;
            return outcome;
        }
        session.add(buffer, bytes);
        at += bytes;
        next = (next + 1) % Buffers;
    }

    size_t index = 0; // the piece being read
    int source = -1;
    std::unique_ptr<Md5Context> file;
    auto closeSource = [&source] {
        if (source >= 0)
            ::close(source);
        source = -1;
    };
    for (int64_t cursor = from; cursor < area.start;) {
        if (control.cancel.load(std::memory_order_relaxed)) {
            closeSource();
            outcome.cancelled = true;
            return outcome;
        }
        char *buffer = buffers[size_t(next)].get();
        session.release(buffer);
        const int64_t end = std::min(cursor + BufferBytes, area.start);
        int64_t filled = cursor; // up to here the buffer holds the image's bytes
        while (index < pieces.size() && pieces[index].imageOffset < end) {
            const ImageLayout::Piece &piece = pieces[index];
            const int64_t partStart = std::max(piece.imageOffset, cursor);
            const int64_t partEnd = std::min(piece.imageOffset + piece.length, end);
            std::memset(buffer + (filled - cursor), 0, size_t(partStart - filled)); // padding between files
            if (!file) {
                source = SourceFileStream::openSource(piece.stream);
                if (source < 0)
                    return outcome;
                file = std::make_unique<Md5Context>();
            }
            char *at = buffer + (partStart - cursor);
            if (!readFully(source, at, partEnd - partStart,
                           piece.sourceOffset + (partStart - piece.imageOffset), error)) {
                SourceFileStream::reportReadFailure(piece.stream, error);
                closeSource();
                return outcome;
            }
            file->add(at, partEnd - partStart);
            filled = partEnd;
            if (partEnd < piece.imageOffset + piece.length)
                break; // the file goes on in the next buffer
            sums[size_t(piece.checksumIndex)] = file->end();
            file.reset();
            if (!SourceFileStream::endedAtItsSize(piece.stream, source)) {
                closeSource();
                return outcome;
            }
            closeSource();
            ++index;
        }
        std::memset(buffer + (filled - cursor), 0, size_t(end - filled));
        session.add(buffer, end - cursor, cursor);
        if (session.writeError()) {
            closeSource();
            outcome.targetError = session.writeError();
            return outcome;
        }
        cursor = end;
        reached(cursor);
        next = (next + 1) % Buffers;
    }

    // Entry 0: the session up to the array; then the files; the last entry: the array before it.
    session.drain();
    if (session.writeError()) {
        outcome.targetError = session.writeError();
        return outcome;
    }
    Md5Context &sessionSum = session.context();
    sums[0] = sessionSum.snapshot();
    const Md5 nothing = md5Of(nullptr, 0);
    for (const int64_t empty : emptyFiles)
        sums[size_t(empty)] = nothing;
    for (const ImageLayout::ChecksumAlias &alias : aliases)
        sums[size_t(alias.index)] = sums[size_t(alias.sameAs)];
    QByteArray array(int(area.arrayBytes()), '\0');
    for (size_t i = 0; i + 1 < sums.size(); ++i)
        std::memcpy(array.data() + i * Md5Bytes, sums[i].data(), Md5Bytes);
    const Md5 ofArray = md5Of(array.constData(), int64_t(sums.size() - 1) * Md5Bytes);
    std::memcpy(array.data() + (sums.size() - 1) * Md5Bytes, ofArray.data(), Md5Bytes);
    sessionSum.add(array.constData(), array.size());
    if (!writeFully(target, array.constData(), array.size(), area.start, error)) {
        outcome.targetError = error;
        return outcome;
    }

    // The session tag: one line with the checksum of everything before it and the line's own checksum.
    const int64_t tagBlock = (area.start + area.arrayBytes()) / Block;
    QByteArray tag = QByteArrayLiteral("libisofs_checksum_tag_v1 pos=") + QByteArray::number(tagBlock) +
        " range_start=0 range_size=" + QByteArray::number(tagBlock) + " md5=" + hex(sessionSum.end());
    tag += " self=" + hex(md5Of(tag.constData(), tag.size())) + '\n';
    tag.append(QByteArray(int(Block - tag.size()), '\0'));
    if (!writeFully(target, tag.constData(), Block, tagBlock * Block, error)) {
        outcome.targetError = error;
        return outcome;
    }
    reached(tagBlock * Block + Block);
    outcome.ok = true;
    return outcome;
}
