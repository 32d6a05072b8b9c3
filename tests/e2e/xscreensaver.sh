#!/usr/bin/env bash
# Compiled screensavers under the real XScreenSaver daemon (Debian's
# xscreensaver), as a user runs them: installed with --install, shown by
# xscreensaver-command -activate and -select (the background colour and the
# pictures on the screen, Random and Float), ended by -deactivate, -cycle and
# -exit without a player left behind, ended when the saver window is
# destroyed, and previewed in xscreensaver-settings (--root --window-id 0x...).
#
# usage: xscreensaver.sh <bin dir> <source dir>
#   GLIMMER_E2E_SHOTS=DIR         keeps the screenshots there
#   GLIMMER_E2E_PLAYER=FILE       runs another player program with the same
#                                 stores (the compiled .SCR with its player
#                                 part replaced)
#   GLIMMER_E2E_XSCREENSAVER_PENDING=1
#                                 while the X11 player is not there yet: the
#                                 checks that fail are listed and the test is
#                                 reported as skipped (status 77); a fault of
#                                 the harness itself still fails it
#
# The daemon refuses to run screensavers as root: run as root, the daemon,
# the settings program and the screensavers run as the user glimmer-e2e
# (made here when missing), with a home of their own in the work folder.
set -uo pipefail

BIN_DIR=${1:?usage: xscreensaver.sh <bin dir> <source dir>}
PROGRAM=$(cd "$BIN_DIR" && pwd)/glimmer
PLAYER=${GLIMMER_E2E_PLAYER:-}
PENDING=${GLIMMER_E2E_XSCREENSAVER_PENDING:-0}
E2E_USER=glimmer-e2e
WORK=""
XVFB_PID=""
DAEMON_PID=""
SETTINGS_PID=""
APP_PID=""
WATCHDOG_PID=""
KEEP_WORK=0
SHOTS=""
FAILED=()
PASSED=()
START=$SECONDS

say() { printf '%s\n' "$*"; }
E2E_NAME=xscreensaver
# shellcheck source=lib/report.bash
source "$(dirname "${BASH_SOURCE[0]}")/lib/report.bash"
# A check of the screensaver: noted, and the next check runs.
passed() { PASSED+=("$1"); say "  ok    $1${2:+: $2}"; }
failed() { FAILED+=("$1: $2"); say "  FAIL  $1: $2"; }

players() { [ -n "$WORK" ] && pgrep -f -- "$WORK/proj/" 2>/dev/null || true; }
# Ends the screensavers the daemon started and left, by their ids, so that
# one check's leftovers do not spoil the next.
kill_players() {
    local pid
    for pid in $(players); do kill -KILL "$pid" 2>/dev/null; done
}
cleanup() {
    local pid
    if [ -n "$WATCHDOG_PID" ]; then
        pkill -P "$WATCHDOG_PID" 2>/dev/null
        kill "$WATCHDOG_PID" 2>/dev/null
    fi
    [ -n "$SETTINGS_PID" ] && kill "$SETTINGS_PID" 2>/dev/null && wait "$SETTINGS_PID" 2>/dev/null
    declare -F stop_daemon >/dev/null && stop_daemon
    kill_players
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
    [ "$KEEP_WORK" = 0 ] && [ -n "$WORK" ] && rm -rf "$WORK"
}
trap cleanup EXIT
# Nothing here may take the suite's time: past three minutes the run stops.
WATCHDOG_PID=""
# (Its output goes nowhere: a sleep holding the test's output open would keep
# CTest waiting after the end.)
( sleep 180 && kill -TERM $$ ) >/dev/null 2>&1 &
WATCHDOG_PID=$!
trap 'fail "the run took more than three minutes"' TERM

for tool in Xvfb xscreensaver xscreensaver-command xscreensaver-settings xdotool xwininfo xprop import convert identify pgrep setpriv; do
    command -v "$tool" >/dev/null || skip "$tool is missing (scripts/install-deps installs it)"
done
[ -x "$PROGRAM" ] || fail "no program at $PROGRAM: build it first"
[ -z "$PLAYER" ] || [ -x "$PLAYER" ] || fail "GLIMMER_E2E_PLAYER=$PLAYER is not a program"

WORK=$(mktemp -d "${TMPDIR:-/tmp}/glimmer-xss.XXXXXX") || fail "cannot make a work folder"
chmod 755 "$WORK"
mkdir -p "$WORK/env" "$WORK/proj" "$WORK/home" "$WORK/run" "$WORK/shots"
SHOTS=$WORK/shots

# Who runs the daemon and the screensavers.
RUN_AS=()
if [ "$(id -u)" = 0 ]; then
    if ! id "$E2E_USER" >/dev/null 2>&1; then
        useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$E2E_USER" 2>"$WORK/env/useradd.log" ||
            skip "running as root, and no unprivileged user for the daemon could be made: $(tail -1 "$WORK/env/useradd.log")"
    fi
    RUN_AS=(setpriv --reuid="$(id -u "$E2E_USER")" --regid="$(id -g "$E2E_USER")" --clear-groups --)
    chown "$E2E_USER:" "$WORK/home" "$WORK/run"
fi
chmod 700 "$WORK/run"
# The command line that runs a program as that user, in a clean environment.
# Started in the background straight from it (not from a function, which
# would be a shell of its own), $! is the program itself.
user_command() {
    USER_CMD=("${RUN_AS[@]}" env -i PATH="$PATH" HOME="$WORK/home" DISPLAY="$DISPLAY" XDG_RUNTIME_DIR="$WORK/run"
        LC_ALL=C.UTF-8 USER="${E2E_USER}" LOGNAME="${E2E_USER}" NO_AT_BRIDGE=1)
}
as_user() { "${USER_CMD[@]}" "$@"; }

# shellcheck source=lib/xsession.bash
source "$(dirname "${BASH_SOURCE[0]}")/lib/xsession.bash"
start_x_server 800x600
user_command
as_user xwininfo -root >/dev/null 2>&1 || fail "the daemon's user cannot reach the X server $DISPLAY"

# --- Two screensavers: Random (green background) and Float (purple) --------
# shellcheck source=lib/project.bash
source "$(dirname "${BASH_SOURCE[0]}")/lib/project.bash"
RANDOM_BG=008040   # 0x00408000: red 0, green 128, blue 64
FLOAT_BG=300060    # 0x00600030
convert -size 320x240 xc:'#ff0000' BMP3:"$WORK/proj/RED.BMP" || fail "ImageMagick cannot write a bitmap"
convert -size 240x180 xc:'#ffff00' -quality 95 "$WORK/proj/YELLOW.JPG" || fail "ImageMagick cannot write a JPEG"
write_project "$WORK/proj/RANDOM.SSJ" $((0x00408000)) 0 990 1 1 RED.BMP YELLOW.JPG
write_project "$WORK/proj/FLOAT.SSJ" $((0x00600030)) 1 990 1 1 RED.BMP YELLOW.JPG
for p in RANDOM FLOAT; do
    QT_QPA_PLATFORM=offscreen "$PROGRAM" --compile "$WORK/proj/$p.SSJ" >"$WORK/env/compile-$p.log" 2>&1 ||
        fail "glimmer --compile $p.SSJ failed: $(tail -3 "$WORK/env/compile-$p.log")"
    if [ -n "$PLAYER" ]; then
        # The same store behind another player.
        tail -c +$(($(stat -c %s "$BIN_DIR/GLIMMER.BIN") + 1)) "$WORK/proj/$p.SCR" >"$WORK/env/$p.store"
        cat "$PLAYER" "$WORK/env/$p.store" >"$WORK/proj/$p.SCR"
    fi
    chmod 755 "$WORK/proj/$p.SCR"
done
chmod 755 "$WORK/proj"
RANDOM_SCR=$WORK/proj/RANDOM.SCR
FLOAT_SCR=$WORK/proj/FLOAT.SCR
say "compiled $RANDOM_SCR and $FLOAT_SCR${PLAYER:+ (player: $PLAYER)}"

# --- Checks' helpers ----------------------------------------------------------
# fraction PNG RRGGBB: the share of the picture's pixels of that colour.
fraction() {
    local w h differ
    read -r w h < <(identify -format '%w %h\n' "$1" 2>/dev/null) || { echo 0; return; }
    differ=$(compare -metric AE -fuzz 6% "$1" -size "${w}x$h" xc:"#$2" null: 2>&1)
    awk -v d="$differ" -v n=$((w * h)) 'BEGIN { printf "%.3f", (d ~ /^[0-9.e+]+$/ && n) ? 1 - d / n : 0 }'
}
at_least() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a + 0 >= b + 0) }'; }
# wait_player SCR [TIMEOUT]: the id of a running player of SCR, once there.
wait_player() {
    local i pid
    for ((i = 0; i < ${2:-10} * 10; i++)); do
        pid=$(pgrep -f -- "$1" | head -1)
        [ -n "$pid" ] && { printf '%s' "$pid"; return 0; }
        sleep 0.1
    done
    return 1
}
# gone_within PID SECONDS: sets GONE_MS; fails when the process is still there.
gone_within() {
    local pid=$1 limit=$2 t0 i
    t0=$(date +%s%N)
    for ((i = 0; i < limit * 50; i++)); do
        if ! kill -0 "$pid" 2>/dev/null || [ "$(ps -o stat= -p "$pid" 2>/dev/null | cut -c1)" = Z ]; then
            GONE_MS=$((($(date +%s%N) - t0) / 1000000))
            return 0
        fi
        sleep 0.02
    done
    return 1
}
# screen_shows NAME BG [CROP]: waits (up to 8 s) until a screenshot shows the
# background colour over much of the area and one of the pictures (red or
# yellow); sets SHOWN to what was seen.
screen_shows() {
    local name=$1 bg=$2 crop=${3:-} i png b r y
    png=$SHOTS/$name.png
    for ((i = 0; i < 16; i++)); do
        sleep 0.5
        import -window root "$png" 2>/dev/null || continue
        [ -n "$crop" ] && convert "$png" -crop "$crop" +repage "$png"
        b=$(fraction "$png" "$bg")
        r=$(fraction "$png" ff0000)
        y=$(fraction "$png" ffff00)
        SHOWN="background $b, red picture $r, yellow picture $y of $crop${crop:+ }the area ($png)"
        at_least "$b" 0.3 && { at_least "$r" 0.01 || at_least "$y" 0.01; } && return 0
    done
    return 1
}
daemon_up() { as_user timeout 5 xscreensaver-command -version >/dev/null 2>&1; }
start_daemon() {
    "${USER_CMD[@]}" xscreensaver -no-splash >>"$WORK/env/daemon.log" 2>&1 &
    DAEMON_PID=$!
    local i
    for ((i = 0; i < 100; i++)); do
        daemon_up && return 0
        kill -0 "$DAEMON_PID" 2>/dev/null || fail "the daemon ended: $(tail -3 "$WORK/env/daemon.log")"
        sleep 0.1
    done
    fail "the daemon did not answer within 10 s: $(tail -3 "$WORK/env/daemon.log")"
}
# The daemon and every process under it, by their ids.
descendants() {
    local child
    for child in $(pgrep -P "$1" 2>/dev/null); do
        descendants "$child"
        printf '%s\n' "$child"
    done
}
stop_daemon() {
    local pid tree
    [ -n "$DAEMON_PID" ] || return 0
    tree=$(descendants "$DAEMON_PID")
    kill "$DAEMON_PID" 2>/dev/null
    gone_within "$DAEMON_PID" 3 || kill -KILL "$DAEMON_PID" 2>/dev/null
    wait "$DAEMON_PID" 2>/dev/null
    for pid in $tree; do kill -KILL "$pid" 2>/dev/null; done
    DAEMON_PID=""
}
# A blank is given a second before it is ended, as a user would: on a loaded
# machine the daemon's blanking process, told to end in its first seconds,
# was seen to die and be started again, and the player it had started was
# never told to end.
settle() { sleep 1; }
command_daemon() { as_user timeout 10 xscreensaver-command "$@" >>"$WORK/env/command.log" 2>&1; }
# What a player that did not end was doing: its state, where it waits, the
# signals it has pending, blocked and caught, and its window.
process_state() {
    local pid=$1
    printf 'state %s, waiting in %s, signals pending %s blocked %s caught %s, window %s' \
        "$(ps -o stat= -p "$pid" 2>/dev/null | tr -d ' ')" "$(cat "/proc/$pid/wchan" 2>/dev/null)" \
        "$(sed -n 's/^ShdPnd:\t//p' "/proc/$pid/status" 2>/dev/null)" "$(sed -n 's/^SigBlk:\t//p' "/proc/$pid/status" 2>/dev/null)" \
        "$(sed -n 's/^SigCgt:\t//p' "/proc/$pid/status" 2>/dev/null)" \
        "$(w=$(saver_window "$pid"); [ -n "$w" ] && { xwininfo -id "$w" >/dev/null 2>&1 && echo "$w still there" || echo "$w gone"; })"
}
# The window the daemon gave a running player, from its environment.
saver_window() { tr '\0' '\n' <"/proc/$1/environ" 2>/dev/null | sed -n 's/^XSCREENSAVER_WINDOW=//p'; }

# --- 1. --install --------------------------------------------------------------
say "checks:"
select_index=()
for scr in "$RANDOM_SCR" "$FLOAT_SCR"; do
    as_user timeout 20 "$scr" --install >"$WORK/env/install.out" 2>"$WORK/env/install.err"
    status=$?
    if [ "$status" = 0 ] && grep -qF "$scr --root" "$WORK/home/.xscreensaver" 2>/dev/null; then
        passed "--install $(basename "$scr")" "$(head -1 "$WORK/env/install.out")"
        # It was made the one screensaver: its place is the one selected.
        selected=$(sed -n 's/^selected:[[:space:]]*\([0-9]\{1,\}\)$/\1/p' "$WORK/home/.xscreensaver" | tail -1)
        select_index+=("${selected:+$((selected + 1))}")
    else
        failed "--install $(basename "$scr")" "status $status: $(cat "$WORK/env/install.err" "$WORK/env/install.out" | head -c 300 | tr '\n' ' ')"
        select_index+=("")
    fi
done
if grep -q '~' "$WORK/home/.xscreensaver" 2>/dev/null && grep -q 'SCR' "$WORK/home/.xscreensaver"; then
    failed "no ~ in the daemon's commands" "$(grep -n '~' "$WORK/home/.xscreensaver" | head -3)"
fi
if [ -z "${select_index[0]}" ] || [ -z "${select_index[1]}" ]; then
    # The harness goes on with entries of its own, so that the other checks run.
    say "        (the harness writes the two entries itself, to run the other checks)"
    printf 'programs: \\\n  "Random (Glimmer)"  %s --root \\n\\\n  "Float (Glimmer)"  %s --root \\n\\\n\n' "$RANDOM_SCR" "$FLOAT_SCR" >"$WORK/home/.xscreensaver"
    select_index=(1 2)
fi
# The test's own settings: ours only, at once, no fading and no splash.
printf '\nmode: one\nselected: %d\nfade: False\nunfade: False\nsplash: False\nlock: False\n' $((select_index[0] - 1)) >>"$WORK/home/.xscreensaver"
[ -n "${RUN_AS[*]}" ] && chown "$E2E_USER:" "$WORK/home/.xscreensaver"

start_daemon
say "daemon $DAEMON_PID on $DISPLAY ($(as_user timeout 5 xscreensaver-command -version 2>/dev/null | tr -s '\n' ' '))"

# --- 2. -activate: Random ------------------------------------------------------
command_daemon -activate
if pid=$(wait_player "$RANDOM_SCR"); then
    if screen_shows activate-random "$RANDOM_BG"; then passed "-activate shows the Random screensaver" "$SHOWN"; else failed "-activate shows the Random screensaver" "$SHOWN"; fi
    # --- 3. -deactivate ---------------------------------------------------------
    settle
    command_daemon -deactivate
    if gone_within "$pid" 2; then passed "-deactivate ends the player" "in $GONE_MS ms"; else failed "-deactivate ends the player" "player $pid still runs 2 s later ($(ps -o rss= -p "$pid" | tr -d ' ') KB; $(process_state "$pid"))"; fi
else
    failed "-activate shows the Random screensaver" "no player was started: $(tail -2 "$WORK/env/daemon.log" | tr '\n' ' ')"
fi
kill_players

# --- 4. -select: Float, then -cycle --------------------------------------------
command_daemon -select "${select_index[1]}"
if pid=$(wait_player "$FLOAT_SCR"); then
    if screen_shows select-float "$FLOAT_BG"; then passed "-select shows the Float screensaver" "$SHOWN"; else failed "-select shows the Float screensaver" "$SHOWN"; fi
    settle
    command_daemon -cycle
    if gone_within "$pid" 2; then passed "-cycle ends the player" "in $GONE_MS ms"; else failed "-cycle ends the player" "player $pid still runs 2 s later ($(process_state "$pid"))"; fi
else
    failed "-select shows the Float screensaver" "no player was started: $(tail -2 "$WORK/env/daemon.log" | tr '\n' ' ')"
fi
command_daemon -deactivate
sleep 0.5
kill_players

# --- 5. The settings program's preview -----------------------------------------
"${USER_CMD[@]}" xscreensaver-settings >"$WORK/env/settings.log" 2>&1 &
SETTINGS_PID=$!
if pid=$(wait_player "$RANDOM_SCR" 15); then
    args=$(tr '\0' ' ' <"/proc/$pid/cmdline")
    wid=$(sed -n 's/.*-window-id \(0x[0-9a-fA-F]*\|[0-9]*\).*/\1/p' <<<"$args")
    if [ -z "$wid" ]; then
        failed "the settings program's preview draws" "the player was not given a window: $args"
    else
        geometry=$(xwininfo -id "$wid" 2>/dev/null | awk '/Absolute upper-left X:/ {x=$4} /Absolute upper-left Y:/ {y=$4} /Width:/ {w=$2} /Height:/ {h=$2} END {if (w) printf "%dx%d+%d+%d", w, h, x, y}')
        if [ -z "$geometry" ]; then
            failed "the settings program's preview draws" "its window $wid is gone"
        elif screen_shows preview "$RANDOM_BG" "$geometry"; then
            passed "the settings program's preview draws" "$args in $geometry: $SHOWN"
        else
            failed "the settings program's preview draws" "$args: $SHOWN"
        fi
    fi
    kill "$SETTINGS_PID" 2>/dev/null && wait "$SETTINGS_PID" 2>/dev/null
    SETTINGS_PID=""
    if gone_within "$pid" 2; then passed "closing the settings program ends the preview" "in $GONE_MS ms"; else failed "closing the settings program ends the preview" "player $pid still runs 2 s later ($(process_state "$pid"))"; fi
else
    failed "the settings program's preview draws" "no player was started within 15 s: $(grep -i -m2 'glimmer\|SCR\|usage' "$WORK/env/settings.log" | tr '\n' ' ')"
    kill "$SETTINGS_PID" 2>/dev/null && wait "$SETTINGS_PID" 2>/dev/null
    SETTINGS_PID=""
fi
kill_players

# --- 6. The saver window destroyed -----------------------------------------------
command_daemon -activate
if pid=$(wait_player "$RANDOM_SCR"); then
    sleep 1
    window=$(saver_window "$pid")
    if [ -z "$window" ]; then
        failed "destroying the saver window ends the player" "the player has no XSCREENSAVER_WINDOW"
    else
        xdotool windowclose "$window" 2>>"$WORK/env/command.log"
        if gone_within "$pid" 2; then passed "destroying the saver window ends the player" "in $GONE_MS ms"; else failed "destroying the saver window ends the player" "player $pid still runs 2 s after window $window was destroyed"; fi
    fi
else
    failed "destroying the saver window ends the player" "no player was started"
fi
kill_players
# A daemon whose window was taken away is in no state to go on: a new one for
# the last check.
stop_daemon
start_daemon

# --- 7. -exit ----------------------------------------------------------------------
command_daemon -activate
if pid=$(wait_player "$RANDOM_SCR"); then
    settle
    command_daemon -exit
    if gone_within "$pid" 2; then passed "-exit ends the player" "in $GONE_MS ms"; else failed "-exit ends the player" "player $pid still runs 2 s after the daemon was told to exit ($(process_state "$pid"))"; fi
else
    failed "-exit ends the player" "no player was started"
fi
gone_within "$DAEMON_PID" 5 || failed "-exit ends the daemon" "it still runs 5 s later"
stop_daemon
left=$(players | tr '\n' ' ')
[ -z "$left" ] || failed "no player is left behind" "still running: $left"
kill_players

# --- Summary ----------------------------------------------------------------------
if [ -n "${GLIMMER_E2E_SHOTS:-}" ]; then
    mkdir -p "$GLIMMER_E2E_SHOTS" && cp "$SHOTS"/*.png "$GLIMMER_E2E_SHOTS"/ 2>/dev/null
fi
say ""
say "xscreensaver: ${#PASSED[@]} passed, ${#FAILED[@]} failed in $((SECONDS - START)) s"
if [ ${#FAILED[@]} -eq 0 ]; then
    [ "$PENDING" = 1 ] && say "every check passes: GLIMMER_E2E_XSCREENSAVER_PENDING can go"
    exit 0
fi
printf '  failed: %s\n' "${FAILED[@]}"
if [ "$PENDING" = 1 ]; then
    skip "pending the X11 player (issue 17): ${#FAILED[@]} checks fail with the player of this build, as listed above"
fi
KEEP_WORK=1
say "  work folder kept: $WORK"
exit 1
