#pragma once
// What wakes the X11 and Wayland players' main loop besides its display
// connection: SIGTERM, SIGINT and SIGHUP, which end it (the XScreenSaver
// daemon ends its programs with SIGTERM); SIGUSR1, which starts the show
// again from its first picture (xsecurelock's "reset"); and the decoders'
// workers when a picture is ready. All write a byte to one pipe that the loop
// polls; a signal is also noted in a flag, so that it is never lost behind a
// full pipe. Until the show's loop runs, an ending signal ends the player at
// once, with status 0 as always, and SIGUSR1 changes nothing: the show has
// not begun. POSIX only: the Windows player wakes by its message queue.
namespace player {

class Wakeup {
public:
    // Opens the pipe and sets the handlers; false when the system refused.
    static bool install();
    // From now on the loop ends the player on a signal.
    static void loopRuns();
    // The end the loop polls.
    static int readEnd();
    // Reads what is waiting (never blocks).
    static void drain();
    // Safe on any thread (the decoder's worker).
    static void wake();
    static bool signalled();
    // The signal that came, for a message; 0 when none.
    static int signalNumber();
    // Whether SIGUSR1 came since the last call: the loop then starts the show afresh.
    static bool takeReset();
};

} // namespace player
