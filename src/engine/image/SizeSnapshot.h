#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <unordered_map>
#include <vector>

struct Iso_Dir;
struct WriteSettings;

// The shape of the compilation as far as it decides the image's size, copied out of the libisofs tree.
// Laying out a big image takes libisofs seconds; laid out from a private image of the same shape, it
// no longer holds the lock that every change of the compilation needs meanwhile.
class SizeSnapshot final
{
public:
    // With EngineLibraries::isoLock() held. Every node is copied except what the snapshot cannot
    // reproduce, which leaves it incomplete.
    static SizeSnapshot take(Iso_Dir *root);
    bool complete() const { return m_complete; }

    // Without the lock: the exact size in 2048-byte blocks of the image the settings would write from
    // the tree the snapshot was taken of. Raises KestraneError when libisofs refuses it.
    int64_t sizeBlocks(const WriteSettings &settings) const;

private:
    struct Node
    {
        std::string name;
        std::string target; // a symbolic link's
        int type = 0; // IsoNodeType
        int folder = -1; // a folder's own entry in m_folders
        int hidden = 0;
        mode_t mode = 0;
        dev_t device = 0;
        off_t size = 0;
        const void *stream = nullptr; // nodes sharing one stream share their data in the image
    };
    bool copyFolder(Iso_Dir *dir, int folder);
    void buildFolder(Iso_Dir *dir, int folder, std::unordered_map<const void *, void *> &streams) const;

    std::vector<std::vector<Node>> m_folders; // [0] is the root's children, each in libisofs's order
    mode_t m_rootMode = 0755;
    bool m_complete = true;
};
