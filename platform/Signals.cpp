#include "platform/Signals.h"

#include <signal.h>

namespace platform {

void IgnoreBrokenPipeSignal()
{
    struct sigaction current {};
    if (sigaction(SIGPIPE, nullptr, &current) != 0) return;
    if (current.sa_handler != SIG_DFL) return;  // already ignored or handled
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
}

} // namespace platform
