#include "DirectCopy.h"

#include "SourceFileStream.h"

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

private:
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
        for (ssize_t put = 0; put < got;) {
            const ssize_t n = ::pwrite(m_target, m_buffer.get() + put, size_t(got - put), out + put);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                m_outcome.targetError = errno;
                return -1;
            }
            put += n;
        }
        return got;
    }

    int m_target;
    WriteControl &m_control;
    std::unique_ptr<char[]> m_buffer;
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
            closeSource();
            openStream = piece.stream;
            source = SourceFileStream::openSource(piece.stream);
            if (source < 0)
                return copier.outcome();
        }
        unsigned int fsId = 0;
        dev_t dev = 0;
        ino_t ino = 0;
        iso_stream_get_id(piece.stream, &fsId, &dev, &ino);
        Method &method = methods.try_emplace(dev, Method::CopyFileRange).first->second;
        if (!copier.copyPiece(piece, source, method, reached)) {
            closeSource();
            return copier.outcome();
        }
    }
    closeSource();
    copier.outcome().ok = true;
    return copier.outcome();
}
