#pragma once

#include "engine/image/ImageLayout.h"

#include <cstdint>
#include <functional>
#include <vector>

struct WriteControl;

namespace DirectCopy {

struct Outcome
{
    bool ok = false;
    bool cancelled = false;
    int targetError = 0; // errno of a failed write into the image; a source failure goes to the control
};

// Copies every piece from its source file into `target` at its place: in the kernel where the file
// systems allow it (copy_file_range(2), which can share blocks, else sendfile(2)), by reads and
// writes elsewhere. `reached` is told how far the image is complete, after every few megabytes.
Outcome copy(const std::vector<ImageLayout::Piece> &pieces, int target, WriteControl &control,
             const std::function<void(int64_t reached)> &reached);

} // namespace DirectCopy
