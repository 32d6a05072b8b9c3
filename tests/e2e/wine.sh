#!/usr/bin/env bash
# The Windows screensaver under Wine: projects compiled by `glimmer --compile`
# into NAME.SCR and WINDOWS/NAME.SCR (the same store behind GLIMMER.EXE),
# run by Debian's wine64 on a private Xvfb in a private WINEPREFIX:
#   /s   full screen: the background colour and the picture, halved to fit
#        and upright (an EXIF-turned photo); the mouse moving does not end
#        it, a key does, with exit code 0; three photos shown, their
#        bytes do not stay in the player's memory
#   /p   into a window of a small Win32 host, as the Control Panel's
#        preview, a top-level one and a STATIC inside a dialog: the picture
#        halved to the window's size, and inside the dialog nothing outside
#        the STATIC, also after the dialog was covered; a key does not end
#        it, the window's going does, with exit code 0
#   /c   a message box telling what the screensaver holds
#   a damaged store: a message box saying so, exit code 1; a picture that
#        cannot be shown: a box naming it, and the show goes on
# Skipped, with the reason, where Wine or the Windows player is missing;
# under CI (GLIMMER_CI=1) that is a failure.
#
# usage: wine.sh <bin dir> <source dir>
#   GLIMMER_E2E_SHOTS=DIR keeps the screenshots there.
set -uo pipefail

BIN_DIR=$(cd "${1:?usage: wine.sh <bin dir> <source dir>}" && pwd)
PROGRAM=$BIN_DIR/glimmer
EXE=$BIN_DIR/GLIMMER.EXE
HOST=$BIN_DIR/../win32/WinTestHost.exe
WORK=""
XVFB_PID=""
APP_PID=""
KEEP_WORK=0
SHOTS=""
STARTED=$SECONDS

say() { printf 'wine: %s\n' "$*"; }
E2E_NAME=wine
# shellcheck source=lib/report.bash
source "$(dirname "${BASH_SOURCE[0]}")/lib/report.bash"
cleanup() {
    [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null
    [ -n "$WORK" ] && [ -n "${WINEPREFIX:-}" ] && wineserver -k 2>/dev/null
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
    [ "$KEEP_WORK" = 0 ] && [ -n "$WORK" ] && rm -rf "$WORK"
}
trap cleanup EXIT

for tool in wine wineboot wineserver winepath Xvfb xdotool xwininfo xmessage import convert identify timeout; do
    command -v "$tool" >/dev/null || skip "$tool is missing (scripts/install-deps installs it)"
done
# Debian's own Python, whatever else PATH may offer: Pillow is its python3-pil.
PYTHON=/usr/bin/python3
"$PYTHON" -c 'import PIL' 2>/dev/null || skip "Pillow is missing (scripts/install-deps installs python3-pil)"
[ -x "$PROGRAM" ] || fail "no program at $PROGRAM: build it first"
[ -f "$EXE" ] || skip "GLIMMER.EXE was not built beside the program (it needs g++-mingw-w64-x86-64)"
[ -f "$HOST" ] || fail "the Win32 test host is missing at $HOST"

WORK=$(mktemp -d "${TMPDIR:-/tmp}/glimmer-wine.XXXXXX") || fail "cannot make a work folder"
mkdir -p "$WORK/env/home" "$WORK/proj" "$WORK/shots"
SHOTS=${GLIMMER_E2E_SHOTS:-$WORK/shots}
mkdir -p "$SHOTS"
# A private Wine: its own prefix, no Mono or Gecko to offer, no messages.
export HOME=$WORK/env/home WINEPREFIX=$WORK/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8

# shellcheck source=lib/xsession.bash
source "$(dirname "${BASH_SOURCE[0]}")/lib/xsession.bash"
start_x_server 800x600

say "setting up a Wine prefix"
timeout 150 wineboot -i >"$WORK/env/wineboot.log" 2>&1 || fail "wineboot -i failed: $(tail -3 "$WORK/env/wineboot.log")"
# No window manager here: Wine draws the dialogs' frames itself.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >"$WORK/env/reg.log" 2>&1 ||
    fail "the Wine setting for window frames could not be made: $(tail -1 "$WORK/env/reg.log")"
say "Wine ready after $((SECONDS - STARTED)) s"

# --- Two projects -------------------------------------------------------------
# shellcheck source=lib/project.bash
source "$(dirname "${BASH_SOURCE[0]}")/lib/project.bash"
# PHOTO.JPG: stored 1000 x 500, red on the left, blue on the right, with EXIF
# orientation 6 (turn a quarter clockwise): upright it is 500 x 1000, red on
# top. On 800 x 600 it is halved twice: 250 x 500 (halved once it is still
# higher than the screen). WIDE.BMP: 400 x 300 green, halved once in a
# 320 x 240 preview.
"$PYTHON" - "$WORK/proj" <<'PY' || fail "Pillow cannot write the pictures"
import sys
from PIL import Image
folder = sys.argv[1]
photo = Image.new("RGB", (1000, 500), (255, 0, 0))
photo.paste((0, 0, 255), (500, 0, 1000, 500))
exif = Image.Exif()
exif[0x0112] = 6
photo.save(folder + "/PHOTO.JPG", quality=95, exif=exif.tobytes())
Image.new("RGB", (400, 300), (0, 200, 0)).save(folder + "/WIDE.BMP")
open(folder + "/BAD.BMP", "wb").write(b"BM" + bytes(60))
for i in range(3):
    Image.effect_noise((1600, 1200), 60 + 10 * i).convert("RGB").save(f"{folder}/NOISE{i}.JPG", quality=95)
PY
RANDOM_BG=008040   # 0x00408000
FLOAT_BG=300060    # 0x00600030
write_project "$WORK/proj/RANDOM.SSJ" $((0x00408000)) 0 990 5 1 PHOTO.JPG
write_project "$WORK/proj/FLOAT.SSJ" $((0x00600030)) 1 990 1 1 WIDE.BMP
write_project "$WORK/proj/THREE.SSJ" $((0x00408000)) 0 990 1 1 NOISE0.JPG NOISE1.JPG NOISE2.JPG
write_project "$WORK/proj/BAD.SSJ" $((0x00408000)) 0 990 1 1 BAD.BMP WIDE.BMP
for p in RANDOM FLOAT THREE BAD; do
    QT_QPA_PLATFORM=offscreen "$PROGRAM" --compile "$WORK/proj/$p.SSJ" >"$WORK/env/compile-$p.out" 2>"$WORK/env/compile-$p.err" ||
        fail "glimmer --compile $p.SSJ failed: $(tail -3 "$WORK/env/compile-$p.err")"
    printf '%s\n%s\n' "$WORK/proj/$p.SCR" "$WORK/proj/WINDOWS/$p.SCR" | cmp -s - "$WORK/env/compile-$p.out" ||
        fail "glimmer --compile $p.SSJ printed $(tr '\n' ' ' <"$WORK/env/compile-$p.out") instead of both screensavers"
    # The same store behind both players.
    cmp -s <(tail -c +$(($(stat -c %s "$BIN_DIR/GLIMMER.BIN") + 1)) "$WORK/proj/$p.SCR") \
        <(tail -c +$(($(stat -c %s "$EXE") + 1)) "$WORK/proj/WINDOWS/$p.SCR") ||
        fail "the store in WINDOWS/$p.SCR differs from the one in $p.SCR"
    cmp -s -n "$(stat -c %s "$EXE")" "$EXE" "$WORK/proj/WINDOWS/$p.SCR" || fail "WINDOWS/$p.SCR does not begin with GLIMMER.EXE"
done
say "compiled; both stores equal"

# --- Helpers -------------------------------------------------------------------
win() { winepath -w "$1"; }

# box_of PNG CROP BG: the box (WxH+X+Y) around everything in CROP of the
# screenshot that is not the background colour.
box_of() {
    convert "$1" -crop "$2" +repage -fill black -fuzz 4% -opaque "#$3" -fuzz 0 -fill white +opaque black -trim \
        -format '%wx%h%X%Y' info: 2>/dev/null
}
# colour_near PNG X Y RRGGBB: the pixel is within 40 of that colour on each channel.
colour_near() {
    local got
    got=$(pixel "$1" "$2" "$3")
    "$PYTHON" -c 'import sys; a, b = sys.argv[1], sys.argv[2]; sys.exit(0 if all(abs(int(a[i:i+2], 16) - int(b[i:i+2], 16)) <= 40 for i in (0, 2, 4)) else 1)' "$got" "$4"
}
# wait_picture VAR PNG CROP BG SIZE: screenshots until the picture of SIZE
# stands in CROP; VAR gets its box.
wait_picture() {
    local var=$1 png=$2 crop=$3 bg=$4 size=$5 b i
    for ((i = 0; i < 100; i++)); do
        import -window root "$png" 2>/dev/null
        b=$(box_of "$png" "$crop" "$bg")
        if [[ "$b" == "$size"+* ]]; then
            printf -v "$var" '%s' "$b"
            return 0
        fi
        [ -n "$APP_PID" ] && ! kill -0 "$APP_PID" 2>/dev/null && fail "the screensaver ended before its picture showed"
        sleep 0.1
    done
    fail "no picture of $size on the background #$bg (last seen: ${b:-nothing})"
}
# exit_of PID SECONDS: the process's exit code, once it has ended.
exit_of() {
    local pid=$1 i
    for ((i = 0; i < $2 * 10; i++)); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$pid" 2>/dev/null && return 124
    wait "$pid"
}

# --- /s: full screen ---------------------------------------------------------
T0=$(date +%s%N)
wine "$WORK/proj/WINDOWS/RANDOM.SCR" /s >"$WORK/env/s.log" 2>&1 &
APP_PID=$!
wait_picture BOX "$SHOTS/wine-fullscreen.png" 800x600+0+0 "$RANDOM_BG" 250x500
say "/s: the photo stands upright at 250x500 (halved twice) at ${BOX#250x500}, $((($(date +%s%N) - T0) / 1000000)) ms after the start"
check_background "$SHOTS/wine-fullscreen.png" "$RANDOM_BG"
IFS='+' read -r _ BX BY <<<"$BOX"
colour_near "$SHOTS/wine-fullscreen.png" $((BX + 125)) $((BY + 125)) ff0000 || fail "the photo's top is not red: it is not upright"
colour_near "$SHOTS/wine-fullscreen.png" $((BX + 125)) $((BY + 375)) 0000ff || fail "the photo's bottom is not blue: it is not upright"
xdotool mousemove 400 300 sleep 0.2 mousemove 420 310
sleep 0.8
kill -0 "$APP_PID" 2>/dev/null || fail "moving the mouse ended the show"
xdotool key shift
exit_of "$APP_PID" 10
rc=$?
APP_PID=""
[ "$rc" = 0 ] || fail "/s ended with $rc after a key, not 0"
say "/s: the mouse moving did not end it; Shift did, exit code 0"

# --- /s: pictures shown do not stay in memory ----------------------------------
# Three photos of about 1.5 MB, a second each: once all have been shown, the
# player holds little of its own file in memory, not the photos' bytes.
wine "$WORK/proj/WINDOWS/THREE.SCR" /s >"$WORK/env/three.log" 2>&1 &
APP_PID=$!
sleep 4.5
kill -0 "$APP_PID" 2>/dev/null || fail "THREE.SCR ended on its own"
HELD=$(awk '/^[0-9a-f]+-[0-9a-f]+ / { ours = $NF ~ /THREE\.SCR$/ } ours && /^Rss:/ { kib += $2 } END { print kib + 0 }' "/proc/$APP_PID/smaps")
PHOTOS=$((($(stat -c %s "$WORK"/proj/NOISE[0-2].JPG | paste -sd+)) / 1024))
xdotool key shift
exit_of "$APP_PID" 10
APP_PID=""
[ "$HELD" -lt 512 ] || fail "after three photos ($PHOTOS KiB) the player holds $HELD KiB of its file in memory"
say "/s: three photos shown ($PHOTOS KiB), $HELD KiB of the file in memory"

# --- /p: into a preview window of another program ----------------------------
# pixels_of PNG RRGGBB: how many pixels of the picture are that colour.
pixels_of() {
    convert "$1" -fill black -fuzz 4% +opaque "#$2" -fill white -opaque "#$2" -format '%[fx:round(mean*w*h)]' info:
}
# preview_in KIND: the Float screensaver in the host's preview window of KIND:
# "preview", a top-level window at 100,100, or "dialog", a STATIC child of a
# dialog, as Windows' Screen Saver Settings hands over.
preview_in() {
    local kind=$1 x=100 y=100 log=$WORK/env/host-$1.log png=$SHOTS/wine-$1.png i rc
    rm -f "$WORK/close-preview"
    wine "$HOST" "$kind" 100 100 320 240 "$(win "$WORK/close-preview")" "$(win "$WORK/proj/WINDOWS/FLOAT.SCR")" >"$log" 2>&1 &
    APP_PID=$!
    for ((i = 0; i < 100; i++)); do
        grep -q '^ready' "$log" 2>/dev/null && break
        kill -0 "$APP_PID" 2>/dev/null || fail "the test host ended: $(cat "$log")"
        sleep 0.1
    done
    grep -q '^ready' "$log" || fail "the test host did not make its window: $(cat "$log")"
    [ "$kind" = dialog ] && read -r _ _ _ x y < <(tr -d '\r' <"$log" | grep '^ready')
    local area=320x240+$x+$y
    wait_picture BOX "$png" "$area" "$FLOAT_BG" 200x150
    say "/p, $kind: the bitmap halved to 200x150 in the 320x240 preview at ${BOX#200x150}"
    convert "$png" -crop "$area" +repage "$WORK/$kind-window.png"
    check_background "$WORK/$kind-window.png" "$FLOAT_BG"
    IFS='+' read -r _ BX BY <<<"$BOX"
    colour_near "$png" $((x + BX + 100)) $((y + BY + 75)) 00c800 || fail "/p, $kind: the picture is not the green bitmap"
    # Float: it moves.
    sleep 0.5
    import -window root "$WORK/$kind-later.png"
    LATER=$(box_of "$WORK/$kind-later.png" "$area" "$FLOAT_BG")
    [ "$LATER" != "$BOX" ] || fail "/p, $kind: the picture did not move in Float mode (still at $BOX)"
    if [ "$kind" = dialog ]; then
        # Covered a moment and uncovered, the preview is whole again: the
        # background and the picture fill it, and nothing of either lies
        # outside it.
        xmessage -geometry 300x200+$((x + 100))+$((y + 100)) "over the preview" 2>/dev/null &
        local cover=$!
        sleep 0.5
        kill "$cover"
        sleep 0.8
        import -window root "$WORK/dialog-uncovered.png"
        convert "$WORK/dialog-uncovered.png" -crop "$area" +repage "$WORK/dialog-inside.png"
        local bg green
        bg=$(pixels_of "$WORK/dialog-inside.png" "$FLOAT_BG")
        green=$(pixels_of "$WORK/dialog-inside.png" 00c800)
        # (Float may take the picture a step past an edge before it turns.)
        [ "$green" -ge 25000 ] && [ "$green" -le 30000 ] && [ $((bg + green)) = 76800 ] ||
            fail "/p, dialog: uncovered, the preview holds $bg background and $green picture pixels: not all of it is the show's (dialog-uncovered.png)"
        convert "$WORK/dialog-uncovered.png" -fill black -draw "rectangle $x,$y $((x + 319)),$((y + 239))" "$WORK/dialog-outside.png"
        bg=$(pixels_of "$WORK/dialog-outside.png" "$FLOAT_BG")
        green=$(pixels_of "$WORK/dialog-outside.png" 00c800)
        [ "$bg" = 0 ] && [ "$green" = 0 ] || fail "/p, dialog: $bg background and $green picture pixels outside the preview"
        say "/p, dialog: covered and uncovered, the preview is whole again, and nothing of it lies outside"
    fi
    xdotool mousemove $((x + 100)) $((y + 100)) key a
    sleep 0.5
    grep -q 'saver ended' "$log" && fail "/p, $kind: a key ended the preview: $(cat "$log")"
    touch "$WORK/close-preview"
    exit_of "$APP_PID" 15
    rc=$?
    APP_PID=""
    [ "$rc" = 0 ] || fail "/p, $kind: the screensaver did not end with 0 when its window went: $(cat "$log")"
    say "/p, $kind: a key did not end it; its window's going did: $(tail -1 "$log")"
}
preview_in preview
preview_in dialog

# --- /c: what it holds ---------------------------------------------------------
wine "$WORK/proj/WINDOWS/RANDOM.SCR" /c >"$WORK/env/c.log" 2>&1 &
APP_PID=$!
wine "$HOST" box "Glimmer screensaver" 20 >"$WORK/env/box-c.txt" 2>&1 || fail "/c showed no message box: $(cat "$WORK/env/box-c.txt")"
tr -d '\r' <"$WORK/env/box-c.txt" >"$WORK/env/box-c"
for line in "Screensaver: RANDOM" "Pictures: 1 (PHOTO.JPG)" "Mode: Random, each picture 1 time for 5 seconds" \
    "right-click the file and choose Install"; do
    grep -qF "$line" "$WORK/env/box-c" || fail "/c's box does not say \"$line\": $(cat "$WORK/env/box-c")"
done
exit_of "$APP_PID" 10
rc=$?
APP_PID=""
[ "$rc" = 0 ] || fail "/c ended with $rc, not 0"
say "/c: the box tells the name, the picture and the mode"

# --- What it cannot show ----------------------------------------------------------
# boxed NAME WANT STATUS: NAME.SCR /s says WANT in a message box and ends with
# STATUS: 1 at once (a damaged file), 0 on a key after the box (the show goes on).
boxed() {
    local name=$1 want=$2 status=$3 rc
    wine "$WORK/proj/WINDOWS/$name.SCR" /s >"$WORK/env/$name.log" 2>&1 &
    APP_PID=$!
    wine "$HOST" box "Glimmer screensaver" 20 >"$WORK/env/box-$name.txt" 2>&1 || fail "$name.SCR showed no message box: $(cat "$WORK/env/box-$name.txt")"
    [ "$(tr -d '\r' <"$WORK/env/box-$name.txt")" = "$want" ] || fail "$name.SCR's box says \"$(cat "$WORK/env/box-$name.txt")\", not \"$want\""
    if [ "$status" = 0 ]; then
        sleep 0.5
        kill -0 "$APP_PID" 2>/dev/null || fail "$name.SCR ended after its box"
        xdotool key shift
    fi
    exit_of "$APP_PID" 10
    rc=$?
    APP_PID=""
    [ "$rc" = "$status" ] || fail "$name.SCR ended with $rc, not $status"
    say "$name.SCR: the box says \"$want\", exit code $status"
}
head -c -100 "$WORK/proj/WINDOWS/RANDOM.SCR" >"$WORK/proj/WINDOWS/DAMAGED.SCR"
boxed DAMAGED "This screensaver file is damaged: picture 1 (PHOTO.JPG) lies outside the file." 1
boxed BAD "The picture BAD.BMP cannot be shown: Bitmap image is not valid." 0

say "passed in $((SECONDS - STARTED)) s"
