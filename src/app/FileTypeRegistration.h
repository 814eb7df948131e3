#pragma once

#include <QString>

// Records the ".mst" list-file type with the desktop (shared-mime-info plus an icon), at every start.
// Throws KestraneError when a file cannot be written.
void RegisterListFileType();
QString DataHomeFolder();
