// Ctrl-C for the command line: the first one asks the run to stop (the caller notices it at its next
// look), a second one ends the process at once with exit code 130, writing nothing more.
#pragma once

namespace tollenby::cli {

inline constexpr int kInterruptedExitCode = 130;

// Installs the SIGINT (and SIGTERM) handler. Call once, early in main.
void InstallInterruptHandler();

// Whether a first interrupt has arrived.
bool InterruptRequested();

}  // namespace tollenby::cli
