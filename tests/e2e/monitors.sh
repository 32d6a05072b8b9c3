#!/usr/bin/env bash
# A compiled screensaver on two monitors, as XRandR tells them: an X server
# (Xorg with its "dummy" video driver, which has outputs of its own) with a
# 1024 x 768 monitor on the left and a smaller primary 800 x 600 one on its
# right. The background covers all of the screen, and no picture ever stands
# below the right monitor, where a show over the whole screen would put one
# (and cut it at the seam). Full screen each monitor has a show of its own,
# which follows the monitors taken away and added while it runs, also the
# Windows player's under Wine; on the root window (the desktop, where a host
# decides) the show runs on the primary monitor only.
#
# usage: monitors.sh <bin dir> <source dir>
#   GLIMMER_E2E_SHOTS=DIR keeps the screenshots there.
set -uo pipefail

BIN_DIR=${1:?usage: monitors.sh <bin dir> <source dir>}
PROGRAM=$(cd "$BIN_DIR" && pwd)/glimmer
WORK=""
XORG_PID=""
PLAYER_PID=""
KEEP_WORK=0

E2E_NAME=monitors
# shellcheck source=lib/report.bash
source "$(dirname "${BASH_SOURCE[0]}")/lib/report.bash"
cleanup() {
    local pid
    [ -n "${WINEPREFIX:-}" ] && wineserver -k 2>/dev/null
    for pid in $PLAYER_PID $XORG_PID; do
        kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    done
    if [ -n "${GLIMMER_E2E_SHOTS:-}" ] && [ -n "$WORK" ]; then
        mkdir -p "$GLIMMER_E2E_SHOTS" && cp "$WORK"/*.png "$GLIMMER_E2E_SHOTS"/ 2>/dev/null
    fi
    [ "$KEEP_WORK" = 0 ] && [ -n "$WORK" ] && rm -rf "$WORK"
}
trap cleanup EXIT

for tool in Xorg xrandr import convert identify compare; do
    command -v "$tool" >/dev/null || skip "$tool is missing (scripts/install-deps installs it)"
done
DRIVER=$(find /usr/lib/xorg/modules/drivers -name 'dummy_drv.so' 2>/dev/null | head -1)
[ -n "$DRIVER" ] || skip "Xorg's dummy video driver is missing (Debian: xserver-xorg-video-dummy)"
[ -x "$PROGRAM" ] || fail "no program at $PROGRAM: build it first"

WORK=$(mktemp -d "${TMPDIR:-/tmp}/glimmer-monitors.XXXXXX") || fail "cannot make a work folder"
mkdir -p "$WORK/conf.d"
cat >"$WORK/xorg.conf" <<'CONF'
Section "ServerFlags"
  Option "AutoAddDevices" "false"
  Option "AutoAddGPU" "false"
EndSection
Section "Device"
  Identifier "dummy"
  Driver "dummy"
  VideoRam 65536
EndSection
Section "Screen"
  Identifier "screen"
  Device "dummy"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Virtual 2048 1024
  EndSubSection
EndSection
CONF

# A free display number: the server says which through -displayfd.
: >"$WORK/display"
Xorg -displayfd 3 -config "$WORK/xorg.conf" -configdir "$WORK/conf.d" -logfile "$WORK/xorg.log" \
    -nolisten tcp -noreset 3>"$WORK/display" >"$WORK/xorg.out" 2>&1 &
XORG_PID=$!
for _ in $(seq 100); do
    [ -s "$WORK/display" ] && DISPLAY=:$(tr -dc 0-9 <"$WORK/display") xrandr >/dev/null 2>&1 && break
    kill -0 "$XORG_PID" 2>/dev/null || skip "Xorg with the dummy driver does not start here: $(grep -m1 -E '\(EE\)|Fatal' "$WORK/xorg.log" "$WORK/xorg.out" 2>/dev/null)"
    sleep 0.1
done
DISPLAY=:$(tr -dc 0-9 <"$WORK/display")
export DISPLAY
xrandr >/dev/null 2>&1 || fail "Xorg did not answer within 10 s: $(tail -3 "$WORK/xorg.log")"

# Left: DUMMY0 at 1024 x 768. Right: DUMMY1 at 800 x 600, the primary one.
two_monitors() {
    xrandr --fb 1824x768 --output DUMMY0 --mode 1024x768 --pos 0x0 --output DUMMY1 --mode 800x600 --pos 1024x0 --primary ||
        fail "xrandr could not set up two monitors"
}
xrandr --fb 1824x768 && xrandr --addmode DUMMY1 800x600 || fail "xrandr cannot give DUMMY1 800 x 600"
two_monitors
monitors=$(xrandr --listmonitors)
grep -q '^Monitors: 2' <<<"$monitors" && grep -q '\*DUMMY1 800/[0-9]*x600/[0-9]*+1024+0' <<<"$monitors" ||
    fail "the two monitors are not as asked: $monitors"
echo "display $DISPLAY: $(tr '\n' ' ' <<<"$monitors")"

# A Float screensaver that moves fast, with two pictures.
# shellcheck source=lib/project.bash
source "$(dirname "${BASH_SOURCE[0]}")/lib/project.bash"
write_project "$WORK/TWO.SSJ" $((0x00408000)) 1 995 1 1 RED.BMP YELLOW.JPG
convert -size 320x240 xc:'#ff0000' BMP3:"$WORK/RED.BMP" && convert -size 240x180 xc:'#ffff00' -quality 95 "$WORK/YELLOW.JPG" ||
    fail "ImageMagick cannot write the pictures"
QT_QPA_PLATFORM=offscreen "$PROGRAM" --compile "$WORK/TWO.SSJ" >"$WORK/compile.log" 2>&1 ||
    fail "glimmer --compile failed: $(tail -3 "$WORK/compile.log")"

# share PNG GEOMETRY RRGGBB: the part of that area of the screenshot in that colour.
share() {
    local png=$1 geometry=$2 colour=$3 w h differ
    convert "$png" -crop "$geometry" +repage "$WORK/crop.png" || { echo 0; return; }
    read -r w h < <(identify -format '%w %h\n' "$WORK/crop.png")
    differ=$(compare -metric AE -fuzz 6% "$WORK/crop.png" -size "${w}x$h" xc:"#$colour" null: 2>&1)
    awk -v d="$differ" -v n=$((w * h)) 'BEGIN { printf "%.4f", (d ~ /^[0-9.e+]+$/ && n) ? 1 - d / n : 0 }'
}
at_least() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a + 0 >= b + 0) }'; }

# pictured PNG GEOMETRY: whether a picture takes at least 5% of that area.
pictured() { at_least "$(awk -v b="$(share "$1" "$2" 008040)" 'BEGIN { print 1 - b }')" 0.05; }

# check NAME WHERE COMMAND...: the player, run so, seen ten times over 2.5 s;
# WHERE is "every" (a show on each monitor) or "primary" (on that one only).
check() {
    local name=$1 where=$2 i png left below seen_left=0 seen_right=0
    shift 2
    "$@" 2>"$WORK/$name.err" &
    PLAYER_PID=$!
    sleep 0.7
    for i in $(seq 10); do
        png=$WORK/$name-$i.png
        import -window root "$png" || fail "$name: no screenshot"
        left=$(share "$png" 1024x768+0+0 008040)
        below=$(share "$png" 800x168+1024+600 008040)
        [ "$where" = every ] || at_least "$left" 1 || fail "$name: a picture on the left monitor (background $left of it, $png)"
        at_least "$below" 1 || fail "$name: a picture below the right monitor (background $below of it, $png)"
        pictured "$png" 1024x768+0+0 && seen_left=$((seen_left + 1))
        pictured "$png" 800x600+1024+0 && seen_right=$((seen_right + 1))
        sleep 0.25
    done
    [ "$seen_right" -ge 8 ] || fail "$name: the pictures were on the primary monitor in only $seen_right of 10 screenshots"
    [ "$where" = primary ] || [ "$seen_left" -ge 8 ] ||
        fail "$name: the pictures were on the left monitor in only $seen_left of 10 screenshots"
    [ "$where" = every ] && monitor_changes
    # (Windows' ends on a key, as a Windows screensaver does.)
    if [ "$name" = wine ]; then xdotool key space; else kill -TERM "$PLAYER_PID"; fi
    wait "$PLAYER_PID"
    local status=$?
    PLAYER_PID=""
    [ "$status" = 0 ] || fail "$name: ended with status $status: $(head -3 "$WORK/$name.err")"
    cp "$WORK/$name-5.png" "$WORK/$name.png"
    if [ "$where" = every ]; then where="a show on each"; else where="the show on the primary one only"; fi
    echo "monitors: $name: the background covers both monitors, $where"
}
# seen_within SECONDS GEOMETRY: a picture in that area of the screen within that time.
seen_within() {
    local i
    for ((i = 0; i < $1 * 4; i++)); do
        import -window root "$WORK/change.png" && pictured "$WORK/change.png" "$2" && return 0
        sleep 0.25
    done
    return 1
}
# The left monitor taken away while the show runs (xrandr moves the right
# one to the left edge and makes the screen its size), then given back.
monitor_changes() {
    xrandr --output DUMMY0 --off || fail "xrandr cannot switch the left monitor off"
    xrandr --listmonitors | grep -q '^Monitors: 1' || fail "the left monitor is still there: $(xrandr --listmonitors)"
    seen_within 3 800x600+0+0 || fail "with the left monitor off, no picture on the right one"
    two_monitors
    seen_within 3 1024x768+0+0 || fail "the left monitor, switched on again, has no show within 3 s"
    seen_within 3 800x600+1024+0 || fail "the right monitor has no show after the left one came back"
    kill -0 "$PLAYER_PID" 2>/dev/null || fail "the screensaver ended when the monitors changed: $(head -3 "$WORK/changes.err")"
    echo "monitors: a monitor switched off and on again while the show runs gets its show back"
}
check full-screen every "$WORK/TWO.SCR"
check root primary "$WORK/TWO.SCR" --root
# The Windows player under Wine, where Wine and GLIMMER.EXE are there.
if command -v wine >/dev/null && [ -f "$WORK/WINDOWS/TWO.SCR" ]; then
    export WINEPREFIX=$WORK/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" HOME=$WORK
    timeout 150 wineboot -i >"$WORK/wineboot.log" 2>&1 || fail "wineboot -i failed: $(tail -3 "$WORK/wineboot.log")"
    check wine every wine "$WORK/WINDOWS/TWO.SCR" /s
fi
echo "monitors: passed"
