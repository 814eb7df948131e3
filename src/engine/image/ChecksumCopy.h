#pragma once

#include "engine/image/DirectCopy.h"
#include "engine/image/ImageLayout.h"

#include <cstdint>
#include <functional>
#include <vector>

struct WriteControl;

namespace ChecksumCopy {

// Completes an image that records MD5s, from `from` (where libisofs stopped, right before the first
// file's data) to its end: the files' data, the checksum array and the session tag, in the format
// libisofs writes and reads (doc/checksums.txt of libisofs). The session's checksum also covers the
// `from` bytes already in `target`, which are read back for it. The files are read once into memory:
// each file's checksum is taken there while a second thread takes the session's over the same memory
// and writes it to the image.
DirectCopy::Outcome copy(const std::vector<ImageLayout::Piece> &pieces,
                         const std::vector<ImageLayout::ChecksumAlias> &aliases,
                         const std::vector<int64_t> &emptyFiles, const ImageLayout::ChecksumArea &area,
                         int target, int64_t from, WriteControl &control,
                         const std::function<void(int64_t reached)> &reached);

} // namespace ChecksumCopy
