#pragma once

namespace velmora {

// Ctrl+C (SIGINT), SIGTERM and SIGHUP turned from an abrupt end into a request the program answers in its own
// time: it removes what it had begun to write and then ends with status 128 + N. Work in progress asks
// received() between steps; an event loop watches notifier(). Signals the caller chose to ignore (nohup, a
// background job) stay ignored.
class TerminationSignals {
public:
    static void install();

    // The signal that asked the program to end, or 0.
    static int received();

    // A descriptor that becomes readable when a signal has come.
    static int notifier();
};

}  // namespace velmora
