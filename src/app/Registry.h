#pragma once

#include <QString>

// The machine-wide key \Software\Kestrane, kept as an INI file under the XDG config folder.
QString RegistryFilePath();
void RecordFirstRun();
void RecordExecutablePath();
