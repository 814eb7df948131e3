#include "engine/FileSync.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

int FileSync::syncFile(int fd)
{
    while (::fsync(fd) != 0) {
        if (errno != EINTR)
            return errno;
    }
    return 0;
}

int FileSync::syncFolder(const QByteArray &folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    int error = syncFile(fd);
    ::close(fd);
    // Some file systems (and /proc-like ones) have nothing to sync in a folder and say so this way.
    if (error == EINVAL || error == EROFS || error == ENOTSUP)
        error = 0;
    return error;
}

QByteArray FileSync::folderOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArray(".");
    return slash == 0 ? QByteArray("/") : path.left(slash);
}
