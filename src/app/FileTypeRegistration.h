#pragma once

#include <QString>

// Records the ".mst" list-file type with the desktop (shared-mime-info plus an icon) in the user's data
// folder, at every start, unless the system's data folders already know the type and its icon (an
// installed package): then it writes nothing. Throws KestraneError when a file cannot be written.
void RegisterListFileType();
QString DataHomeFolder();
