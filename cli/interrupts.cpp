#include "cli/interrupts.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>

namespace tollenby::cli {
namespace {

// The count of interrupts so far: the process-wide state a signal handler can touch. Lock-free, so
// the handler may use it.
std::atomic<int> interruptCount{0};
static_assert(std::atomic<int>::is_always_lock_free);

void OnInterrupt(int) {
    if (interruptCount.fetch_add(1) >= 1) {
        // The second one: end now. Files written before are whole, since every export is renamed into
        // place only once complete; a temporary file being written may stay behind.
        constexpr char kMessage[] = "\n已中断\n";
        [[maybe_unused]] ssize_t ignored = ::write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
        ::_exit(kInterruptedExitCode);
    }
}

}  // namespace

void InstallInterruptHandler() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

bool InterruptRequested() {
    return interruptCount.load() > 0;
}

}  // namespace tollenby::cli
