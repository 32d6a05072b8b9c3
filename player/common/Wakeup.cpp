#include "common/Wakeup.h"

#include <cerrno>
#include <csignal>
#include <initializer_list>
#include <fcntl.h>
#include <unistd.h>

namespace player {

namespace {
int pipeEnds[2] = {-1, -1};
volatile std::sig_atomic_t caught = 0;
volatile std::sig_atomic_t loopRunning = 0;
volatile std::sig_atomic_t resetAsked = 0;

void poke()
{
    // Called in signal handlers too: the code they interrupt may be about
    // to read errno.
    const int saved = errno;
    const char c = 1;
    // A full pipe already wakes the loop.
    [[maybe_unused]] const ssize_t n = ::write(pipeEnds[1], &c, 1);
    errno = saved;
}

void onReset(int)
{
    if (!loopRunning)
        return;
    resetAsked = 1;
    poke();
}

void onSignal(int number)
{
    // Connecting to a display, say, can take long: nothing is held yet
    // that needs more than the process's end.
    if (!loopRunning)
        ::_exit(0);
    caught = number;
    poke();
}
} // namespace

bool Wakeup::install()
{
    if (pipeEnds[0] >= 0)
        return true;
    if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int s : {SIGTERM, SIGINT, SIGHUP})
        if (::sigaction(s, &action, nullptr) != 0)
            return false;
    action.sa_handler = onReset;
    if (::sigaction(SIGUSR1, &action, nullptr) != 0)
        return false;
    // A closed X connection or output is told by Xlib and write(), not by a
    // signal that would end the player without a word.
    std::signal(SIGPIPE, SIG_IGN);
    return true;
}

void Wakeup::loopRuns() { loopRunning = 1; }

int Wakeup::readEnd() { return pipeEnds[0]; }

void Wakeup::drain()
{
    char buffer[64];
    while (::read(pipeEnds[0], buffer, sizeof buffer) > 0) {
    }
}

void Wakeup::wake()
{
    if (pipeEnds[1] >= 0)
        poke();
}

bool Wakeup::signalled() { return caught != 0; }
int Wakeup::signalNumber() { return caught; }

bool Wakeup::takeReset()
{
    if (!resetAsked)
        return false;
    resetAsked = 0;
    return true;
}

} // namespace player
