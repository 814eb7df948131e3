#pragma once

#include "cli/CliSession.h"

// The commands of kestrane-cli; each answers the status to exit with.
namespace Cli {
int runDrives(const Invocation &invocation);
int runMakeIso(const Invocation &invocation);
int runSize(const Invocation &invocation);
int runCopyDisc(const Invocation &invocation);
int runBurn(const Invocation &invocation);
int runErase(const Invocation &invocation);
int runVerify(const Invocation &invocation);
} // namespace Cli
