#pragma once

#include <libisofs/libisofs.h>

#include <vector>

// The children of an image folder, taken out in one go: libisofs's iterator must not see nodes
// move or go, and every walk over a folder wants that guarantee. Answers false, with `children`
// empty, when libisofs cannot list the folder.
inline bool isoChildren(IsoDir *dir, std::vector<IsoNode *> &children)
{
    children.clear();
    IsoDirIter *iter = nullptr;
    if (iso_dir_get_children(dir, &iter) < 0)
        return false;
    IsoNode *child = nullptr;
    while (iso_dir_iter_next(iter, &child) == 1)
        children.push_back(child);
    iso_dir_iter_free(iter);
    return true;
}
