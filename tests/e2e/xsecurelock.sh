#!/usr/bin/env bash
# A compiled screensaver as the saver of xsecurelock (Debian's), run as a
# user runs it: XSECURELOCK_SAVER=/path/NAME.SCR xsecurelock. The lock shows
# the pictures on the background with not one black pixel; a key opens the
# password prompt, Escape closes it, and xsecurelock resets its saver with
# SIGUSR1 (XSECURELOCK_SAVER_RESET_ON_AUTH_CLOSE=1), which the same player
# survives; the user's password, typed into the prompt, unlocks through PAM;
# then no process of the lock is left.
#
# The password is checked by PAM: the test runs the lock as the user
# glimmer-e2e (made when missing, as the XScreenSaver test does), gives it a
# random password for the run, and locks that password again at the end.
#
# usage: xsecurelock.sh <bin dir> <source dir>
#   GLIMMER_E2E_SHOTS=DIR keeps the screenshots there.
set -uo pipefail

BIN_DIR=$(cd "${1:?usage: xsecurelock.sh <bin dir> <source dir>}" && pwd)
PROGRAM=$BIN_DIR/glimmer
E2E_USER=glimmer-e2e
WORK=""
XVFB_PID=""
LOCK_PID=""
PASSWORD_SET=0
KEEP_WORK=0
SHOTS=""

E2E_NAME=xsecurelock
# shellcheck source=lib/report.bash
source "$(dirname "${BASH_SOURCE[0]}")/lib/report.bash"
cleanup() {
    [ -n "$LOCK_PID" ] && kill "$LOCK_PID" 2>/dev/null && wait "$LOCK_PID" 2>/dev/null
    pkill -KILL -u "$E2E_USER" 2>/dev/null
    [ "$PASSWORD_SET" = 1 ] && usermod -p '*' "$E2E_USER"
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
    if [ -n "${GLIMMER_E2E_SHOTS:-}" ] && [ -n "$SHOTS" ]; then
        mkdir -p "$GLIMMER_E2E_SHOTS" && cp "$SHOTS"/*.png "$GLIMMER_E2E_SHOTS"/ 2>/dev/null
    fi
    [ "$KEEP_WORK" = 0 ] && [ -n "$WORK" ] && rm -rf "$WORK"
}
trap cleanup EXIT

for tool in Xvfb xsecurelock xdotool import convert compare identify pgrep setpriv useradd usermod chpasswd; do
    command -v "$tool" >/dev/null || skip "$tool is missing (scripts/install-deps installs it)"
done
[ -x "$PROGRAM" ] || fail "no program at $PROGRAM: build it first"
[ "$(id -u)" = 0 ] || skip "a user with a password of the test's own is needed, and only root can make one"

WORK=$(mktemp -d "${TMPDIR:-/tmp}/glimmer-xsl.XXXXXX") || fail "cannot make a work folder"
SHOTS=$WORK/shots
mkdir -p "$WORK/env" "$WORK/home" "$SHOTS"
chmod 755 "$WORK"
if ! id "$E2E_USER" >/dev/null 2>&1; then
    useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$E2E_USER" 2>"$WORK/env/useradd.log" ||
        fail "no user for the lock could be made: $(tail -1 "$WORK/env/useradd.log")"
fi
PASSWORD=$(head -c 12 /dev/urandom | base64 | tr -dc 'A-Za-z0-9')
PASSWORD_SET=1
printf '%s:%s\n' "$E2E_USER" "$PASSWORD" | chpasswd || fail "chpasswd could not give $E2E_USER a password"
chown "$E2E_USER:" "$WORK/home"

# shellcheck source=lib/xsession.bash
source "$(dirname "${BASH_SOURCE[0]}")/lib/xsession.bash"
# shellcheck source=lib/hosts.bash
source "$(dirname "${BASH_SOURCE[0]}")/lib/hosts.bash"
shot() { import -window root "$1" 2>/dev/null; }
start_x_server 800x600
compile_saver "$WORK/savers" SUNSET
chmod -R a+rX "$WORK/savers"

# The line the documentation gives, with the reset on.
setpriv --reuid="$(id -u "$E2E_USER")" --regid="$(id -g "$E2E_USER")" --clear-groups -- \
    env -i PATH="$PATH" HOME="$WORK/home" DISPLAY="$DISPLAY" LC_ALL=C.UTF-8 USER="$E2E_USER" LOGNAME="$E2E_USER" \
    XSECURELOCK_SAVER_RESET_ON_AUTH_CLOSE=1 XSECURELOCK_SAVER="$SCR" xsecurelock >"$WORK/env/lock.log" 2>&1 &
LOCK_PID=$!
wait_player "$SCR -root" 10 || fail "xsecurelock started no player: $(tail -3 "$WORK/env/lock.log")"
first=$PLAYER
wait_shows locked

# The prompt, then Escape: the saver is reset, not restarted.
keys space
for _ in $(seq 50); do pgrep -u "$E2E_USER" -f auth_x11 >/dev/null && break; sleep 0.1; done
pgrep -u "$E2E_USER" -f auth_x11 >/dev/null || fail "a key opened no password prompt: $(tail -3 "$WORK/env/lock.log")"
shot "$SHOTS/prompt.png"
keys Escape
for _ in $(seq 50); do pgrep -u "$E2E_USER" -f auth_x11 >/dev/null || break; sleep 0.1; done
sleep 1
grep -q 'killed by signal' "$WORK/env/lock.log" && fail "the reset killed the saver: $(grep 'killed by signal' "$WORK/env/lock.log" | head -1)"
wait_player "$SCR -root" 5 && [ "$PLAYER" = "$first" ] || fail "after the reset the player is ${PLAYER:-gone}, not $first"
wait_shows after-reset

# The password unlocks, and everything of the lock ends.
keys space
for _ in $(seq 50); do pgrep -u "$E2E_USER" -f auth_x11 >/dev/null && break; sleep 0.1; done
sleep 0.5
typed "$PASSWORD"
keys Return
for _ in $(seq 100); do kill -0 "$LOCK_PID" 2>/dev/null || break; sleep 0.1; done
kill -0 "$LOCK_PID" 2>/dev/null && fail "the password did not unlock within 10 s: $(tail -3 "$WORK/env/lock.log")"
wait "$LOCK_PID"
status=$?
LOCK_PID=""
[ "$status" = 0 ] || fail "xsecurelock ended with status $status: $(tail -3 "$WORK/env/lock.log")"
sleep 0.5
# The lock's processes, known by the home it was given (a zombie has ended:
# who reaps it is the system's business).
left=$(for pid in $(pgrep -u "$E2E_USER"); do
    tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qxF "HOME=$WORK/home" &&
        ps -o pid=,stat=,args= -p "$pid" | awk '$2 !~ /^Z/'
done)
[ -z "$left" ] || fail "left running after the unlock: $left"
shot "$SHOTS/unlocked.png"
[ "$(share "$SHOTS/unlocked.png" "$SAVER_BG")" = 0.0000 ] || fail "the show is still on the screen after the unlock"
echo "xsecurelock: passed"
