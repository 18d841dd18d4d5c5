#include "app/termination_signals.h"

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace velmora {
namespace {

std::atomic<int> receivedSignal{0};
int pipeEnds[2] = {-1, -1};

// Only async-signal-safe calls: the flag, and a byte down a pipe that never blocks.
extern "C" void onTerminatingSignal(int signal)
{
    receivedSignal.store(signal);
    if (pipeEnds[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const auto written = ::write(pipeEnds[1], &byte, 1);
    }
}

}  // namespace

void TerminationSignals::install()
{
    if (pipeEnds[0] < 0 && ::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0)
        pipeEnds[0] = pipeEnds[1] = -1;
    struct sigaction action {};
    action.sa_handler = onTerminatingSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction previous {};
        if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN)
            ::sigaction(signal, &action, nullptr);
    }
}

int TerminationSignals::received() { return receivedSignal.load(); }

int TerminationSignals::notifier() { return pipeEnds[0]; }

}  // namespace velmora
