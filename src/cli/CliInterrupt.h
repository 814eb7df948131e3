#pragma once

#include <functional>

// Ctrl+C (SIGINT) and SIGTERM. A command that can be cancelled sets a handler, which runs on a thread
// of its own (never inside a signal handler) and must only ask for the cancel; without a handler the
// signal ends the process as usual.
namespace CliInterrupt {
// First thing in main, before any thread exists: every later thread inherits the blocked signals.
void install();
void setHandler(std::function<void()> handler);
void clearHandler();
bool interrupted();
// The status a command that the signal cancelled exits with: 128 + the signal's number, as the shell
// reports a process the signal ended (130 for SIGINT, 143 for SIGTERM); 1 when no signal came.
int cancelledStatus();
} // namespace CliInterrupt
