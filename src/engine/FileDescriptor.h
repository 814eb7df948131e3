#pragma once

#include <cerrno>
#include <cstddef>
#include <unistd.h>

// An open file descriptor, closed when it goes.
class FileDescriptor final
{
public:
    explicit FileDescriptor(int fd = -1)
        : m_fd(fd)
    { }
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    int get() const { return m_fd; }
    int &ref() { return m_fd; }

private:
    int m_fd;
};

// Writes all `size` bytes, going on after a short write or an interruption; false with `error` set to
// the errno value when the write fails.
inline bool writeAll(int fd, const void *data, size_t size, int &error)
{
    const char *next = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, next, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = errno;
            return false;
        }
        next += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}
