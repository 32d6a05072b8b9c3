#!/usr/bin/env bash
# The main window under a real window manager (openbox): it covers the
# working area at a fixed size the window manager respects (minimum and
# maximum size hints equal, no maximise action), its frame and title bar on
# the screen, also after a double click on the title bar, which a window
# manager takes as "maximise" or "restore".
#
# usage: window-manager.sh <bin dir> <source dir>
#   GLIMMER_E2E_SHOTS=DIR keeps the screenshots there.
set -uo pipefail

BIN_DIR=${1:?usage: window-manager.sh <bin dir> <source dir>}
PROGRAM=$(cd "$BIN_DIR" && pwd)/glimmer
WORK=""
XVFB_PID=""
WM_PID=""
APP_PID=""
KEEP_WORK=0
SHOTS=""

E2E_NAME=window-manager
# shellcheck source=lib/report.bash
source "$(dirname "${BASH_SOURCE[0]}")/lib/report.bash"
cleanup() {
    local pid
    for pid in $APP_PID $WM_PID $XVFB_PID; do
        kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    done
    [ "$KEEP_WORK" = 0 ] && [ -n "$WORK" ] && rm -rf "$WORK"
}
trap cleanup EXIT

for tool in Xvfb openbox xdotool xwininfo xprop import convert; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/install-deps installs it)"
done
[ -x "$PROGRAM" ] || fail "no program at $PROGRAM: build it first"

WORK=$(mktemp -d "${TMPDIR:-/tmp}/glimmer-wm.XXXXXX") || fail "cannot make a work folder"
mkdir -p "$WORK/env/home" "$WORK/env/run" "$WORK/shots"
chmod 700 "$WORK/env/run"
SHOTS=$WORK/shots
export HOME=$WORK/env/home XDG_RUNTIME_DIR=$WORK/env/run XDG_CONFIG_HOME=$WORK/env/home/.config
export QT_QPA_PLATFORM=xcb LC_ALL=C.UTF-8
unset XDG_SESSION_TYPE WAYLAND_DISPLAY

# shellcheck source=lib/xsession.bash
source "$(dirname "${BASH_SOURCE[0]}")/lib/xsession.bash"
start_x_server 1024x768

openbox --sm-disable >"$WORK/env/openbox.log" 2>&1 &
WM_PID=$!
for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    kill -0 "$WM_PID" 2>/dev/null || fail "openbox ended: $(tail -3 "$WORK/env/openbox.log")"
    sleep 0.1
done
xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id' || fail "openbox did not start"

(cd "$WORK" && exec "$PROGRAM") >"$WORK/env/glimmer.log" 2>&1 &
APP_PID=$!
wait_window MAIN "the main window" any '^Glimmer Ver 1\.1$' 30
wait_focus "the main window" "$MAIN"

# frame_box ID: left top right bottom of the window with its frame, in screen
# pixels, once the window manager has framed it.
frame_box() {
    local id=$1 x y w h ext l r t b
    x=$(xwininfo -id "$id" | awk '/Absolute upper-left X:/ {print $4}')
    y=$(xwininfo -id "$id" | awk '/Absolute upper-left Y:/ {print $4}')
    w=$(xwininfo -id "$id" | awk '/Width:/ {print $2}')
    h=$(xwininfo -id "$id" | awk '/Height:/ {print $2}')
    ext=$(xprop -id "$id" _NET_FRAME_EXTENTS | sed -n 's/.* = //p' | tr -d ' ')
    IFS=, read -r l r t b <<<"$ext"
    printf '%d %d %d %d\n' $((x - ${l:-0})) $((y - ${t:-0})) $((x + w + ${r:-0})) $((y + h + ${b:-0}))
}

# on_screen WHAT: the whole frame inside the 1024 x 768 screen and covering
# most of it (the window is the program's "maximised" hub), with a title bar.
on_screen() {
    local what=$1 left top right bottom i
    # The window manager and the program may still be settling the place.
    for i in $(seq 40); do
        read -r left top right bottom < <(frame_box "$MAIN")
        if [ "$left" -ge 0 ] && [ "$top" -ge 0 ] && [ "$right" -le 1024 ] && [ "$bottom" -le 768 ] &&
            [ $((right - left)) -ge 1000 ] && [ $((bottom - top)) -ge 740 ]; then
            break
        fi
        sleep 0.1
    done
    [ "$left" -ge 0 ] && [ "$top" -ge 0 ] && [ "$right" -le 1024 ] && [ "$bottom" -le 768 ] ||
        fail "$what: the window's frame spans ($left,$top)-($right,$bottom), beyond the 1024 x 768 screen"
    [ $((right - left)) -ge 1000 ] && [ $((bottom - top)) -ge 740 ] ||
        fail "$what: the window covers only ($left,$top)-($right,$bottom) of the screen"
    local ext
    ext=$(xprop -id "$MAIN" _NET_FRAME_EXTENTS | sed -n 's/.* = //p' | tr -d ' ')
    [ "$(cut -d, -f3 <<<"$ext")" -gt 0 ] 2>/dev/null || fail "$what: the window has no title bar (frame extents $ext)"
}

on_screen "at start"

hints=$(xprop -id "$MAIN" WM_NORMAL_HINTS)
min=$(sed -n 's/.*minimum size: \([0-9]*\) by \([0-9]*\).*/\1x\2/p' <<<"$hints")
max=$(sed -n 's/.*maximum size: \([0-9]*\) by \([0-9]*\).*/\1x\2/p' <<<"$hints")
[ -n "$min" ] && [ "$min" = "$max" ] || fail "the size hints are not fixed (minimum ${min:-none}, maximum ${max:-none})"
[ "$min" = "$(win_size "$MAIN")" ] || fail "the fixed size $min is not the window's size $(win_size "$MAIN")"
actions=$(xprop -id "$MAIN" _NET_WM_ALLOWED_ACTIONS)
for a in MAXIMIZE_HORZ MAXIMIZE_VERT RESIZE; do
    grep -q "_NET_WM_ACTION_$a" <<<"$actions" && fail "the window manager still offers $a: $actions"
done
grep -q _NET_WM_ACTION_CLOSE <<<"$actions" || fail "the window manager offers no close: $actions"
shot main-window-openbox

# A double click on the title bar: openbox maximises or restores.
read -r left top _ _ < <(frame_box "$MAIN")
xdotool mousemove $((left + 300)) $((top + 8)) click --repeat 2 --delay 80 1
sleep 0.5
on_screen "after a double click on the title bar"
# The same asked of the window manager by a client.
xdotool windowsize "$MAIN" 600 400 2>/dev/null
sleep 0.5
on_screen "after a client asked for another size"
[ "$(win_size "$MAIN")" = "$min" ] || fail "the window took another size: $(win_size "$MAIN")"
shot main-window-after-double-click

# Alt+Q still ends the program: the keyboard reaches the window.
wait_focus "the main window" "$MAIN"
xdotool key --delay 40 alt+q
wait_app_quits

if [ -n "${GLIMMER_E2E_SHOTS:-}" ]; then
    mkdir -p "$GLIMMER_E2E_SHOTS" && cp "$SHOTS"/*.png "$GLIMMER_E2E_SHOTS"/
fi
printf 'window-manager: passed\n'
