#pragma once

#include "ImageTree.h"

#include <QChar>
#include <QStringList>

// Reads the ISO-9660 file system (with Rock Ridge and Joliet where present) of the disc in a drive,
// or of the file its letter is bound to, and merges its whole tree into the folder `dest`.
// Raises KestraneError when the letter is unknown or holds no readable file system.
namespace DiscImporter {
void importDisc(ImageTree &tree, const QStringList &dest, QChar driveLetter, const ItemSink &sink);
}
