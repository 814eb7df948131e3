#pragma once

#include <QString>

// ${XDG_CONFIG_HOME:-~/.config}/Kestrane/, with its trailing '/'.
QString UserConfigFolder();

// Where the option and skin files live: beside the executable when the user can write its folder
// (the build tree, a portable copy), else in UserConfigFolder() (an installed program, whose folder
// is read-only for the user). The answer ends in '/'.
QString SettingsFolderFor(const QString &exeFolder);
