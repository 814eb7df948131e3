#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

// Virtual drives: writers backed by plain files, listed in KESTRANE_VIRTUAL_DRIVES.
namespace Drives {

constexpr int64_t DefaultVirtualDriveSize = 4'700'372'992; // a single-layer DVD

struct VirtualDrive
{
    QString path; // absolute
    int64_t size = DefaultVirtualDriveSize;
};

struct VirtualDriveList
{
    std::vector<VirtualDrive> drives;
    QStringList problems; // entries that were left out, each with its reason
};

// "PATH" or "PATH=SIZE" entries separated by ':'; SIZE in bytes or with a K, M or G suffix (1024 steps).
VirtualDriveList parseVirtualDrives(const QString &value);
// A SIZE as above; -1 when it is not one.
int64_t parseDriveSize(const QString &text);

} // namespace Drives
