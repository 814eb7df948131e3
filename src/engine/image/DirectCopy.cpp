#include "engine/image/DirectCopy.h"

#include "engine/image/SourceFileStream.h"

#include <cstdint>
#include <libisofs/libisofs.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <sys/sendfile.h>
#include <unistd.h>
#include <unordered_map>

namespace {

constexpr int64_t StepBytes = 8 << 20; // one call: short enough for a prompt cancel
constexpr size_t BufferBytes = 1 << 20;
// Small files are read into one buffer that is written at once: a call into the kernel per file for
// the copy would cost more than the copy itself.
constexpr int64_t SmallBytes = 64 << 10;

// How far down the ladder a source's file system has been found to need: not every pair of file
// systems supports copy_file_range, and sendfile into a file needs a kernel that allows it.
enum class Method { CopyFileRange, Sendfile, ReadWrite };

bool targetFull(int error)
{
    return error == EFBIG || error == ENOSPC || error == EDQUOT;
}

class Copier final
{
public:
    Copier(int target, WriteControl &control)
        : m_target(target)
        , m_control(control)
    { }

    // False when the copy has to stop: a source failure (reported), a target failure, a cancel.
    bool copyPiece(const ImageLayout::Piece &piece, int source, Method &method,
                   const std::function<void(int64_t)> &reached)
    {
        int64_t done = 0;
        while (done < piece.length) {
            if (m_control.cancel.load(std::memory_order_relaxed)) {
                m_outcome.cancelled = true;
                return false;
            }
            const int64_t want = std::min(StepBytes, piece.length - done);
            off_t in = off_t(piece.sourceOffset + done);
            off_t out = off_t(piece.imageOffset + done);
            ssize_t n = -1;
            if (method == Method::CopyFileRange) {
                n = ::copy_file_range(source, &in, m_target, &out, size_t(want), 0);
                if (n < 0 && errno != EINTR && !targetFull(errno)) {
                    // Unsupported here, or a failure that only plain reads and writes can place.
                    method = errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP
                        ? Method::Sendfile
                        : Method::ReadWrite;
                    continue;
                }
            } else if (method == Method::Sendfile) {
                if (::lseek(m_target, out, SEEK_SET) < 0) {
                    m_outcome.targetError = errno;
                    return false;
                }
                n = ::sendfile(m_target, source, &in, size_t(want));
                if (n < 0 && errno != EINTR && !targetFull(errno)) {
                    method = Method::ReadWrite;
                    continue;
                }
            } else {
                n = readWrite(piece.stream, source, in, out, want);
                if (n < 0)
                    return false;
            }
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                m_outcome.targetError = errno;
                return false;
            }
            if (n == 0) {
                SourceFileStream::reportReadFailure(piece.stream, 0);
                return false;
            }
            done += n;
            reached(piece.imageOffset + done);
        }
        return true;
    }

    DirectCopy::Outcome &outcome() { return m_outcome; }

    // Reads a small file into the staging buffer at its place in the image; the run of small files
    // before it is written first when the buffer cannot take it.
    bool stage(const ImageLayout::Piece &piece, int source, const std::function<void(int64_t)> &reached)
    {
        if (m_control.cancel.load(std::memory_order_relaxed)) {
            m_outcome.cancelled = true;
            return false;
        }
        if (m_stageStart >= 0 && piece.imageOffset + piece.length - m_stageStart > int64_t(BufferBytes) &&
            !flush(reached))
            return false;
        if (!m_buffer)
            m_buffer.reset(new char[BufferBytes]);
        if (m_stageStart < 0)
            m_stageStart = m_stageEnd = piece.imageOffset;
        char *at = m_buffer.get() + (piece.imageOffset - m_stageStart);
        std::fill(m_buffer.get() + (m_stageEnd - m_stageStart), at, '\0'); // the padding between files
        for (int64_t got = 0; got < piece.length;) {
            const ssize_t n =
                ::pread(source, at + got, size_t(piece.length - got), off_t(piece.sourceOffset + got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                SourceFileStream::reportReadFailure(piece.stream, n < 0 ? errno : 0);
                return false;
            }
            got += n;
        }
        m_stageEnd = piece.imageOffset + piece.length;
        return true;
    }

    bool flush(const std::function<void(int64_t)> &reached)
    {
        if (m_stageStart < 0)
            return true;
        const bool ok = writeAt(m_buffer.get(), m_stageEnd - m_stageStart, m_stageStart);
        m_stageStart = -1;
        if (ok)
            reached(m_stageEnd);
        return ok;
    }

private:
    bool writeAt(const char *data, int64_t size, int64_t offset)
    {
        for (int64_t put = 0; put < size;) {
            const ssize_t n = ::pwrite(m_target, data + put, size_t(size - put), off_t(offset + put));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                m_outcome.targetError = errno;
                return false;
            }
            put += n;
        }
        return true;
    }

    // Answers the bytes copied, 0 at the source's end, -1 after a failure (reported or recorded).
    ssize_t readWrite(iso_stream *stream, int source, off_t in, off_t out, int64_t want)
    {
        if (!m_buffer)
            m_buffer.reset(new char[BufferBytes]);
        const size_t size = size_t(std::min<int64_t>(want, int64_t(BufferBytes)));
        ssize_t got = -1;
        do
            got = ::pread(source, m_buffer.get(), size, in);
        while (got < 0 && errno == EINTR);
        if (got < 0) {
            SourceFileStream::reportReadFailure(stream, errno);
            return -1;
        }
        return writeAt(m_buffer.get(), got, out) ? got : -1;
    }

    int m_target;
    WriteControl &m_control;
    std::unique_ptr<char[]> m_buffer; // staging for small files, or one step of reads and writes
    int64_t m_stageStart = -1; // where the staged run of small files starts in the image; -1: none
    int64_t m_stageEnd = 0;
    DirectCopy::Outcome m_outcome;
};

} // namespace

DirectCopy::Outcome DirectCopy::copy(const std::vector<ImageLayout::Piece> &pieces, int target,
                                     WriteControl &control, const std::function<void(int64_t)> &reached)
{
    Copier copier(target, control);
    std::unordered_map<dev_t, Method> methods;
    iso_stream *openStream = nullptr;
    int source = -1;
    auto closeSource = [&] {
        if (source >= 0)
            ::close(source);
        source = -1;
    };
    for (const ImageLayout::Piece &piece : pieces) {
        // The sections of a file of 4 GiB and more follow each other: one open serves them all.
        if (piece.stream != openStream) {
            if (source >= 0 && !SourceFileStream::endedAtItsSize(openStream, source)) {
                closeSource();
                return copier.outcome();
            }
            closeSource();
            openStream = piece.stream;
            source = SourceFileStream::openSource(piece.stream);
            if (source < 0)
                return copier.outcome();
        }
        if (piece.length <= SmallBytes) {
            if (!copier.stage(piece, source, reached)) {
                closeSource();
                return copier.outcome();
            }
            continue;
        }
        unsigned int fsId = 0;
        dev_t dev = 0;
        ino_t ino = 0;
        iso_stream_get_id(piece.stream, &fsId, &dev, &ino);
        Method &method = methods.try_emplace(dev, Method::CopyFileRange).first->second;
        if (!copier.flush(reached) || !copier.copyPiece(piece, source, method, reached)) {
            closeSource();
            return copier.outcome();
        }
    }
    if (!copier.flush(reached) || (source >= 0 && !SourceFileStream::endedAtItsSize(openStream, source))) {
        closeSource();
        return copier.outcome();
    }
    closeSource();
    copier.outcome().ok = true;
    return copier.outcome();
}
