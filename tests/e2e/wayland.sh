#!/usr/bin/env bash
# A compiled screensaver as a Wayland client, with no X server anywhere:
# headless sway without Xwayland, two outputs (the first at scale 2), run as
# an unprivileged user of its own (sway refuses root). Checks that
# - each of the two outputs has a show of its own over the background, one
#   picture pixel to a screen pixel, and an output added gets one too;
# - SIGUSR1 starts the show again from its first picture;
# - a key (wtype) ends it with status 0, also one sway binds, whose binding
#   does not run; SIGTERM and sway closing its windows end it with status 0;
#   sway going away ends it with status 1;
# - the README's line, swayidle -w timeout N 'NAME.SCR', runs it;
# - when an output goes, the one left keeps its show (a second sway, whose
#   outputs are windows of the first);
# - without libwayland-client it still starts and says why it cannot show;
# - nothing of the run is left at the end (and none of it when a check
#   fails, so that nothing holds the test's output).
#
# usage: wayland.sh <bin dir> <source dir>
#   GLIMMER_E2E_SHOTS=DIR keeps the screenshots there.
set -uo pipefail

BIN_DIR=${1:?usage: wayland.sh <bin dir> <source dir>}
PROGRAM=$(cd "$BIN_DIR" && pwd)/glimmer
E2E_NAME=wayland
# A user of this test's own: another test may end all of its user's processes.
E2E_USER=glimmer-wl
WORK=""
KEEP_WORK=0
WATCHDOG_PID=""
PIDS=()   # what the test started, ended last one first

# shellcheck source=lib/report.bash
source "$(dirname "${BASH_SOURCE[0]}")/lib/report.bash"
# Every process of this run, whoever started it (swayidle its screensaver):
# their environment names the run's own folder.
ours() { [ -n "$WORK" ] && grep -lzxF "XDG_RUNTIME_DIR=$WORK/run" /proc/[0-9]*/environ 2>/dev/null | cut -d/ -f3; }
# stop_all: ends what the test started, the last first, as a person would.
stop_all() {
    local i
    for ((i = ${#PIDS[@]} - 1; i >= 0; i--)); do
        kill "${PIDS[i]}" 2>/dev/null && gone_within "${PIDS[i]}" 3 && wait "${PIDS[i]}" 2>/dev/null
    done
    PIDS=()
}
# Whatever failed, all of it goes at once: nothing is waited for, and
# nothing is left holding the test's output.
cleanup() {
    if [ -n "$WATCHDOG_PID" ]; then
        pkill -P "$WATCHDOG_PID" 2>/dev/null
        kill "$WATCHDOG_PID" 2>/dev/null
    fi
    # shellcheck disable=SC2046
    kill -KILL $(jobs -p) $(ours) 2>/dev/null
    if [ -n "${GLIMMER_E2E_SHOTS:-}" ] && [ -n "$WORK" ]; then
        mkdir -p "$GLIMMER_E2E_SHOTS" && cp "$WORK"/shots/*.png "$GLIMMER_E2E_SHOTS"/ 2>/dev/null
    fi
    [ "$KEEP_WORK" = 0 ] && [ -n "$WORK" ] && rm -rf "$WORK"
}
trap cleanup EXIT
( sleep 120 && kill -TERM $$ ) >/dev/null 2>&1 &
WATCHDOG_PID=$!
trap 'fail "the run took more than two minutes"' TERM

for tool in sway swaymsg swayidle grim wtype convert compare identify setpriv pgrep; do
    command -v "$tool" >/dev/null || skip "$tool is missing (scripts/install-deps installs it)"
done
[ -x "$PROGRAM" ] || fail "no program at $PROGRAM: build it first"
ldd "$BIN_DIR/GLIMMER.BIN" | grep -q wayland && fail "GLIMMER.BIN links libwayland: $(ldd "$BIN_DIR/GLIMMER.BIN" | grep wayland)"

WORK=$(mktemp -d "${TMPDIR:-/tmp}/glimmer-wayland.XXXXXX") || fail "cannot make a work folder"
chmod 755 "$WORK"
mkdir -p "$WORK/run" "$WORK/shots"
RUN_AS=()
if [ "$(id -u)" = 0 ]; then
    id "$E2E_USER" >/dev/null 2>&1 ||
        useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$E2E_USER" 2>"$WORK/useradd.log" ||
        skip "running as root, and no unprivileged user for sway could be made: $(tail -1 "$WORK/useradd.log")"
    RUN_AS=(setpriv --reuid="$(id -u "$E2E_USER")" --regid="$(id -g "$E2E_USER")" --clear-groups --)
    chown "$E2E_USER:" "$WORK/run" "$WORK/shots"
fi
chmod 700 "$WORK/run"
SESSION=()
# The command line that runs a program as that user, in a clean environment,
# in the session. Started in the background straight from it (not from a
# function, which would be a shell of its own), $! is the program itself.
user_command() { USER_CMD=("${RUN_AS[@]}" env -i PATH="$PATH" HOME="$WORK" XDG_RUNTIME_DIR="$WORK/run" "${SESSION[@]}"); }
as_user() { user_command && "${USER_CMD[@]}" "$@"; }

# A Float screensaver that moves fast: RED.BMP, then YELLOW.JPG 2 s later.
# shellcheck source=lib/project.bash
source "$(dirname "${BASH_SOURCE[0]}")/lib/project.bash"
write_project "$WORK/TWO.SSJ" $((0x00408000)) 1 995 1 1 RED.BMP YELLOW.JPG
convert -size 320x240 xc:'#ff0000' BMP3:"$WORK/RED.BMP" && convert -size 240x180 xc:'#ffff00' -quality 95 "$WORK/YELLOW.JPG" ||
    fail "ImageMagick cannot write the pictures"
QT_QPA_PLATFORM=offscreen "$PROGRAM" --compile "$WORK/TWO.SSJ" >"$WORK/compile.log" 2>&1 ||
    fail "glimmer --compile failed: $(tail -3 "$WORK/compile.log")"
SCR=$WORK/TWO.SCR

# start_sway NAME CONFIG ENV...: a sway of its own; SESSION then names it.
start_sway() {
    local name=$1 config=$2 socket i
    shift 2
    local before
    before=$(ls "$WORK/run")
    user_command
    "${USER_CMD[@]}" "$@" WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman sway -c "$config" >"$WORK/$name.log" 2>&1 &
    PIDS+=($!)
    for ((i = 0; i < 100; i++)); do
        socket=$(comm -13 <(echo "$before") <(ls "$WORK/run") | grep -m1 '^wayland-[0-9]*$')
        [ -n "$socket" ] && SESSION=(WAYLAND_DISPLAY="$socket" SWAYSOCK="$(ls "$WORK"/run/sway-ipc.*."${PIDS[-1]}".sock 2>/dev/null)") &&
            as_user swaymsg -t get_version >/dev/null 2>&1 && return 0
        kill -0 "${PIDS[-1]}" 2>/dev/null || skip "sway does not start here: $(grep -m1 -E 'ERROR|refusing' "$WORK/$name.log")"
        sleep 0.1
    done
    fail "sway did not answer within 10 s: $(tail -3 "$WORK/$name.log")"
}
cat >"$WORK/sway.conf" <<CONF
xwayland disable
output HEADLESS-1 resolution 800x600 position 0 0 scale 2
output HEADLESS-2 resolution 640x480 position 400 0
bindsym F5 exec echo F5 >>$WORK/run/bound
CONF
start_sway sway "$WORK/sway.conf" WLR_BACKENDS=headless WLR_HEADLESS_OUTPUTS=2
MAIN_SESSION=("${SESSION[@]}")
[ "$(as_user swaymsg -t get_outputs | grep -c '"name": "HEADLESS')" = 2 ] || fail "sway has not two outputs"
# A keyboard that stays, as a person's does: wtype's own comes and goes with
# each call, and a key sent the moment it comes reaches no client yet.
user_command
"${USER_CMD[@]}" wtype -s 600000 -k F24 >/dev/null 2>&1 &
PIDS+=($!)

pixels() {
    local w h
    read -r w h < <(identify -format '%w %h' "$1")
    echo $((w * h))
}
# count PNG RRGGBB: how many pixels have about that colour.
count() {
    local differ
    differ=$(compare -metric AE -fuzz 8% "$1" -size "$(identify -format %wx%h "$1")" xc:"#$2" null: 2>&1)
    awk -v d="$differ" -v n="$(pixels "$1")" 'BEGIN { printf "%d", (d ~ /^[0-9.e+]+$/) ? n - d : -1 }'
}
# shot NAME OUTPUT: a screenshot of one output, into shots/NAME.png.
shot() { as_user grim -o "$2" "$WORK/shots/$1.png" || fail "grim cannot take $2"; }
# picture PNG: "red" or "yellow" when that picture, and only it, stands on
# the background at its own size in pixels; else what is there.
picture() {
    local png=$1 red yellow green all
    red=$(count "$png" ff0000) yellow=$(count "$png" ffff00) green=$(count "$png" 008040) all=$(pixels "$png")
    # Float mode may have a few columns of it past the edge.
    if [ $((green + red)) = "$all" ] && [ "$red" -le 76800 ] && [ "$red" -ge 72000 ]; then
        echo red
    elif [ $((green + yellow)) -ge $((all - 200)) ] && [ "$yellow" -le 43200 ] && [ "$yellow" -ge 40000 ]; then
        echo yellow
    else
        echo "background $green, red $red, yellow $yellow of $all pixels"
    fi
}
gone_within() {
    local i
    for ((i = 0; i < $2 * 10; i++)); do
        kill -0 "$1" 2>/dev/null || return 0
        sleep 0.1
    done
    return 1
}
# run_player: the screensaver, straight from the user's session.
run_player() {
    user_command
    "${USER_CMD[@]}" "$SCR" >/dev/null 2>"$WORK/player.err" &
    PLAYER_PID=$!
    PIDS+=("$PLAYER_PID")
    sleep 1
    kill -0 "$PLAYER_PID" 2>/dev/null || fail "the screensaver ended at once: $(head -3 "$WORK/player.err")"
}
# ended_with STATUS WHAT: the screensaver is gone, with that status.
ended_with() {
    gone_within "$PLAYER_PID" 3 || fail "the screensaver still runs 3 s after $2"
    wait "$PLAYER_PID"
    local status=$?
    [ "$status" = "$1" ] || fail "$2 ended it with status $status, not $1: $(head -3 "$WORK/player.err")"
    echo "wayland: $2 ends it with status $1"
}
# press KEY: the key, once sway has given the screensaver the keyboard (sway
# 1.7 does so when its window is mapped; a key before that is not its own);
# once more, said on the output, if the screensaver still runs 3 s later.
press() {
    local i
    for ((i = 0; i < 50; i++)); do
        as_user swaymsg '[app_id="glimmer-scr" con_id=__focused__] nop' >/dev/null 2>&1 && break
        sleep 0.1
    done
    [ "$i" -lt 50 ] || fail "sway gave none of the screensaver's windows the keyboard within 5 s"
    as_user wtype -k "$1" || fail "wtype cannot send a key"
    gone_within "$PLAYER_PID" 3 && return
    echo "wayland: the screensaver still ran 3 s after $1; it is sent once more"
    as_user wtype -k "$1"
}

# --- The show on two outputs -------------------------------------------------
run_player
seen=""
for i in 1 2 3 4 5; do
    for output in 1 2; do
        shot "output$output-$i" HEADLESS-$output
        what=$(picture "$WORK/shots/output$output-$i.png")
        case $what in red | yellow) seen+=" $output:$what" ;; *) fail "HEADLESS-$output (shot $i): $what" ;; esac
    done
done
[[ "$seen" == *1:red* && "$seen" == *1:yellow* && "$seen" == *2:red* && "$seen" == *2:yellow* ]] ||
    fail "both pictures did not show on both outputs in five shots:$seen"
echo "wayland: each output has a show of its own over the background, the pictures at their size:$seen"
# SIGUSR1 must bring back the first picture while the second, seen to come
# after it, is still due to show (2 s): else the show may merely have come
# round to it. A slow shot proves nothing either way: three tries.
now_us() { echo "${EPOCHREALTIME/./}"; }
# 1: the red picture shows, 2: the yellow one (the background's green is
# half; red lowers it, yellow raises it); quicker than picture.
shown() { convert "$WORK/shots/reset.png" -format '%[fx:mean.r < 0.02 ? 0 : (mean.g < 0.5 ? 1 : 2)]' info:; }
for try in 1 2 3; do
    red_at="" yellow="" until=$(($(now_us) + 10000000))
    while [ -z "$yellow" ] && [ "$(now_us)" -lt "$until" ]; do
        start=$(now_us)
        shot reset HEADLESS-1
        case $(shown) in 1) red_at=$start ;; 2) yellow=$red_at ;; esac
    done
    [ -n "$yellow" ] || fail "the second picture did not follow the first within 10 s"
    kill -USR1 "$PLAYER_PID"
    reset=""
    while [ -z "$reset" ] && shot reset HEADLESS-1 && [ "$(now_us)" -lt $((red_at + 1800000)) ]; do
        [ "$(shown)" = 1 ] && reset=$try
    done
    [ -n "$reset" ] && break
done
[ -n "$reset" ] || fail "SIGUSR1 did not bring back the first picture while the second was due (three tries)"
[ "$(picture "$WORK/shots/reset.png")" = red ] || fail "after SIGUSR1: $(picture "$WORK/shots/reset.png")"
as_user swaymsg create_output >/dev/null || fail "sway cannot add an output"
for ((i = 0; i < 20; i++)); do
    sleep 0.25
    shot added HEADLESS-3
    case $(picture "$WORK/shots/added.png") in red | yellow) break ;; esac
done
case $(picture "$WORK/shots/added.png") in red | yellow) ;; *) fail "the output added has no show: $(picture "$WORK/shots/added.png")" ;; esac
echo "wayland: SIGUSR1 starts again from the first picture; an output added gets a show"
press F5
ended_with 0 "a key sway binds"
# The binding runs once the show is gone: not before.
as_user wtype -k F5
for ((i = 0; i < 30; i++)); do [ -s "$WORK/run/bound" ] && break; sleep 0.1; done
sleep 0.3
[ "$(cat "$WORK/run/bound" 2>/dev/null)" = F5 ] || fail "sway's binding of F5 ran $(grep -c F5 "$WORK/run/bound" 2>/dev/null) times, not once after the show"
echo "wayland: sway's binding does not run while the screensaver has the keyboard"
run_player
kill -TERM "$PLAYER_PID"
ended_with 0 SIGTERM
run_player
as_user swaymsg '[app_id=glimmer-scr] kill' >/dev/null || fail "sway cannot close the screensaver's windows"
ended_with 0 "sway closing its windows"

# --- The idle daemon, with the README's line ---------------------------------
user_command
"${USER_CMD[@]}" swayidle -w timeout 1 "$SCR" >"$WORK/swayidle.log" 2>&1 &
IDLE_PID=$!
PIDS+=("$IDLE_PID")
# Its own, under sh -c: another run's may be running as the same user.
for ((i = 0; i < 50; i++)); do
    PLAYER_PID=$(pgrep -x TWO.SCR -P "$IDLE_PID,$(pgrep -d, -P "$IDLE_PID")") && break
    sleep 0.1
done
[ -n "$PLAYER_PID" ] || fail "swayidle did not start the screensaver within 5 s: $(tail -3 "$WORK/swayidle.log")"
# Ended before swayidle, which waits for it (-w).
PIDS+=("$PLAYER_PID")
sleep 1
shot idle HEADLESS-1
case $(picture "$WORK/shots/idle.png") in red | yellow) ;; *) fail "under swayidle: $(picture "$WORK/shots/idle.png")" ;; esac
press Escape
gone_within "$PLAYER_PID" 3 || fail "under swayidle a key did not end the screensaver"
# Before the next idle second starts it again.
kill "$IDLE_PID"
gone_within "$IDLE_PID" 3 || fail "swayidle still runs 3 s after SIGTERM"
echo "wayland: swayidle -w timeout 1 '$SCR' shows it, and a key ends it"

# --- An output that goes ---------------------------------------------------------
printf 'xwayland disable\n' >"$WORK/nested.conf"
start_sway nested "$WORK/nested.conf" WLR_BACKENDS=wayland WLR_WL_OUTPUTS=2 "${MAIN_SESSION[@]}"
NESTED_SESSION=("${SESSION[@]}")
NESTED_PID=${PIDS[-1]}
run_player
SESSION=("${MAIN_SESSION[@]}")
as_user swaymsg '[title="wlroots - WL-1"] kill' >/dev/null || fail "the nested sway's first output cannot be closed"
sleep 1
SESSION=("${NESTED_SESSION[@]}")
[ "$(as_user swaymsg -t get_outputs | grep -c '"name": "WL-')" = 1 ] || fail "the nested sway still has two outputs"
shot moved WL-2
# Its outputs are windows of the first sway, as large as it makes them.
[ "$(count "$WORK/shots/moved.png" 008040)" -gt 0 ] && [ "$(count "$WORK/shots/moved.png" 3f3f3f)" = 0 ] &&
    [ $(($(count "$WORK/shots/moved.png" ff0000) + $(count "$WORK/shots/moved.png" ffff00))) -gt 1000 ] ||
    fail "when WL-1 went, WL-2 did not keep its show: $(picture "$WORK/shots/moved.png")"
echo "wayland: when an output goes, the one left keeps its show"
kill -TERM "$NESTED_PID"
ended_with 1 "the compositor going away"
grep -q 'compositor closed the connection' "$WORK/player.err" || fail "no word of the compositor gone: $(cat "$WORK/player.err")"

# --- Without libwayland-client -----------------------------------------------------
library=$(ldconfig -p | awk '/libwayland-client\.so\.0 / { print $NF; exit }')
if [ "$(id -u)" = 0 ] && [ -n "$library" ] && unshare -m true 2>/dev/null; then
    hidden='mount --bind /dev/null "$1" && shift && exec env -u DISPLAY WAYLAND_DISPLAY=wayland-0 "$@"'
    out=$(unshare -m sh -c "$hidden" sh "$library" "$SCR" 2>&1; echo "status $?")
    [[ "$out" == *"libwayland-client.so.0 cannot be loaded"*"status 1" ]] || fail "without libwayland-client: $out"
    unshare -m sh -c "$hidden" sh "$library" "$SCR" /c | grep -q '^Pictures: 2' ||
        fail "without libwayland-client /c does not work"
    echo "wayland: without libwayland-client it starts and says why it cannot show"
fi

# --- Nothing left -----------------------------------------------------------------
stop_all
sleep 0.3
left=$(ours)
# shellcheck disable=SC2086
[ -z "$left" ] || fail "processes left: $(ps -o pid=,args= -p ${left//$'\n'/,})"
echo "wayland: passed"
