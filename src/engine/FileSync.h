#pragma once

#include <QByteArray>

// Making what was written reach the disk before anyone is told it is there.
namespace FileSync {
// fsync(2) of an open file; 0 or the errno value.
int syncFile(int fd);
// fsync(2) of a folder, so that a name just given or changed in it survives a crash; 0 or the errno
// value. File systems that cannot sync a folder answer 0.
int syncFolder(const QByteArray &folder);
// The folder a path lies in ("." for a bare name).
QByteArray folderOf(const QByteArray &path);
} // namespace FileSync
