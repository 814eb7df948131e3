#pragma once

#include "cli/CliArguments.h"

#include <QString>

// The texts of --help and --version.
namespace CliHelp {
QString toolHelp();
QString commandHelp(const CliArguments::Command &command);
QString versionText();
} // namespace CliHelp
