#pragma once

#include "engine/image/ImageTree.h"

#include <QChar>
#include <QStringList>

#include <memory>

struct WriteControl;

// Reads the ISO-9660 file system (with Rock Ridge and Joliet where present) of the disc in a drive,
// or of the file its letter is bound to, and merges its whole tree into the folder `dest`.
// Raises KestraneError, leaving the image as it was, when the letter is unknown, the disc holds no
// readable file system, libisofs reports that it lost part of it, a folder leads back into itself, or
// `control.cancel` is set while it reads. The files keep reading from the disc until the image is
// written; `control` learns of a file that then cannot deliver what the disc's folder promised.
namespace DiscImporter {
void importDisc(ImageTree &tree, const QStringList &dest, QChar driveLetter, const ItemSink &sink,
                const std::shared_ptr<WriteControl> &control);
}
