#!/usr/bin/env bash
# Photos in, by a person at a display (the program under openbox on Xvfb, driven by keys):
# Locate goes to typed folders, copies camera2's IMG_0001.JPG, then twelve photos of camera3
# with one Copy (mixed formats, a PNG named .jpg, a JPEG named .png, another IMG_0001.JPG, a
# damaged JPEG): each arrives as it is or as a JPEG of its colour, the damaged one is
# refused, and Locate opens at camera3 next time. The slot editor's close box after a
# change asks: Cancel stays, No puts the slots back, Yes saves.
# usage: photos-in.sh <bin dir> <source dir>; GLIMMER_E2E_SHOTS=DIR keeps the screenshots.
set -uo pipefail
PROGRAM=$(cd "${1:?usage: photos-in.sh <bin dir> <source dir>}" && pwd)/glimmer
WORK="" XVFB_PID="" WM_PID="" APP_PID="" KEEP_WORK=0 E2E_NAME=photos-in
# shellcheck source=lib/report.bash
source "$(dirname "${BASH_SOURCE[0]}")/lib/report.bash"
cleanup() {
    for pid in $APP_PID $WM_PID $XVFB_PID; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
    [ -n "${GLIMMER_E2E_SHOTS:-}" ] && mkdir -p "$GLIMMER_E2E_SHOTS" && cp "$WORK"/shots/*.png "$GLIMMER_E2E_SHOTS"/ 2>/dev/null
    [ "$KEEP_WORK" = 0 ] && rm -rf "$WORK"
}
trap cleanup EXIT
for tool in Xvfb openbox xdotool xwininfo xprop import convert cmp od; do
    command -v "$tool" >/dev/null || skip "$tool is missing (scripts/install-deps installs it)"
done
WORK=$(mktemp -d "${TMPDIR:-/tmp}/glimmer-photos.XXXXXX") || fail "cannot make a work folder"
C2=$WORK/user/camera2 C3=$WORK/user/camera3 PROJECT=$WORK/user/savers/SUNSET SHOTS=$WORK/shots
mkdir -p "$WORK/env/home" "$WORK/env/run" "$SHOTS" "$C2" "$C3" "$WORK/user/savers" && chmod 700 "$WORK/env/run"
export HOME=$WORK/env/home XDG_RUNTIME_DIR=$WORK/env/run QT_QPA_PLATFORM=xcb LC_ALL=C.UTF-8
unset XDG_SESSION_TYPE WAYLAND_DISPLAY

# Each photo: how it is made, its name and colour, and the name it comes in under, "=" as
# it is, "*" as a JPEG made from it. The HEIC is large enough for its conversion to be seen
# in Locate's title.
ROWS='JPG IMG_0001.JPG #ff0000 = IMG_00~1.JPG
BMP3 beach.bmp #00ff00 = BEACH.BMP
JPG sunrise.jpeg #0000ff = SUNRISE.JPEG
JPG photo.png #202020 = PHOTO.JPG
JPG IMG_20230514_123456.jpg #804000 = IMG_20~1.JPG
PNG flower.png #ffff00 * FLOWER~1.JPG
PNG really_png.jpg #ff00ff * REALLY~1.JPG
WEBP leaf.webp #00ffff * LEAF~1.JPG
TIFF scan.tif #808000 * SCAN~1.JPG
GIF logo.gif #800080 * LOGO~1.JPG
HEIC IMG_4512.HEIC #008080 * IMG_45~1.JPG'
photo() { convert -size "${3:-160x120}" "xc:$2" -quality 92 "$1" || fail "ImageMagick could not make $1"; }
while read -r format file colour _; do
    photo "$format:$C3/$file" "$colour" "$([ "$format" = HEIC ] && echo 3000x2000)"
done <<<"$ROWS"
photo "$C2/IMG_0001.JPG" '#ffffff' && photo "$WORK/env/whole.jpg" '#c0c0c0'
head -c $(($(stat -c %s "$WORK/env/whole.jpg") * 2 / 3)) "$WORK/env/whole.jpg" >"$C3/broken half.jpg"

# shellcheck source=lib/xsession.bash
source "$(dirname "${BASH_SOURCE[0]}")/lib/xsession.bash"
start_x_server 1024x768
openbox --sm-disable >"$WORK/env/openbox.log" 2>&1 &
WM_PID=$!
# window VAR WHAT SIZE [TITLE] [SHOT]: it is up, with the keyboard.
window() { wait_window "$1" "$2" "$3" "^${4:-Press F1 for Help}\$" 60; wait_focus "$2" "${!1}"; [ -z "${5:-}" ] || shot "$5"; }
editor() { keys alt+i; window EDITOR "the slot editor" 482x216; }
# pick NAME: into the slot editor's slot 1 with the picker, from the Locate button.
pick() { keys Tab Tab Tab space; window PICK "the picker" 253x229; keys ctrl+a; typed "$1"; keys alt+o; wait_focus "the slot editor" "$EDITOR"; }
for _ in $(seq 100); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break; sleep 0.1; done
(cd "$WORK/user" && exec "$PROGRAM") >"$WORK/env/glimmer.log" 2>&1 &
APP_PID=$!
window MAIN "the main window" any 'Glimmer Ver 1\.1'
keys alt+s
window DLG "the project dialog" 350x268
keys Tab ctrl+a && typed "$PROJECT" && keys Tab Tab && typed sunset && keys Return
wait_gone "the project dialog" "$DLG"
for _ in $(seq 100); do [ -f "$PROJECT/SUNSET.SSJ" ] && break; sleep 0.05; done
cp "$PROJECT/SUNSET.SSJ" "$WORK/env/new.ssj" || fail "no project file"

editor
keys Tab space
window FIND "Locate" 350x268
# The folder box is one Tab from the drive box, the file list three on.
keys Tab ctrl+a && typed "$C2" && keys Return Tab Tab Tab space Tab space
window ASK "the question for one file" any Confirm
keys alt+y
for _ in $(seq 100); do cmp -s "$C2/IMG_0001.JPG" "$PROJECT/IMG_0001.JPG" && break; sleep 0.05; done
cmp -s "$C2/IMG_0001.JPG" "$PROJECT/IMG_0001.JPG" || fail "camera2's IMG_0001.JPG did not come in"
keys shift+Tab shift+Tab shift+Tab shift+Tab ctrl+a && typed "$C3" && keys Return Tab Tab Tab ctrl+a Tab space
window ASK "the question for twelve files" any Confirm batch-question
keys alt+y
TITLES=""   # Locate's titles while the twelve come in
for _ in $(seq 1200); do
    xdotool search --onlyvisible --name '^Warning$' >/dev/null 2>&1 && break
    TITLES+="$(xdotool getwindowname "$FIND" 2>/dev/null);" && sleep 0.05
done
window ASK "the summary" any Warning batch-summary
keys Return
[[ $TITLES == *"Converting "*" of 12"* ]] || fail "Locate's title never counted a conversion: $TITLES"
while read -r _ file colour how name; do
    if [ "$how" = = ]; then cmp -s "$C3/$file" "$PROJECT/$name" || fail "$file did not come in as $name"; continue; fi
    [ "$(od -A n -t x1 -N 3 "$PROJECT/$name" | tr -d ' ')" = ffd8ff ] || fail "$file did not come in as the JPEG $name"
    read -r r g b < <(convert "$PROJECT/$name" -resize '1x1!' -format '%[fx:int(255*r)] %[fx:int(255*g)] %[fx:int(255*b)]' info:)
    (((r - 16#${colour:1:2}) ** 2 + (g - 16#${colour:3:2}) ** 2 + (b - 16#${colour:5:2}) ** 2 < 100)) ||
        fail "$name is not $file's colour $colour but $r $g $b"
done <<<"$ROWS"
[ "$(find "$PROJECT" -type f | wc -l)" = 13 ] || fail "the project folder holds other files: $(ls "$PROJECT")"
keys Escape
wait_focus "the slot editor after Locate" "$EDITOR"
keys space
window FIND "Locate again" 350x268
[ "$(readlink "/proc/$APP_PID/cwd")" = "$C3" ] || fail "Locate opened at $(readlink "/proc/$APP_PID/cwd"), not at camera3"
keys Escape
wait_focus "the slot editor after Locate" "$EDITOR"

pick BEACH.BMP
keys alt+F4
window ASK "the close box's question" any Confirm close-box-question
keys Escape
wait_focus "the slot editor, after Cancel" "$EDITOR"
keys alt+F4
window ASK "the close box's question" any Confirm
keys alt+n
wait_gone "the slot editor, after No" "$EDITOR"
cmp -s "$PROJECT/SUNSET.SSJ" "$WORK/env/new.ssj" || fail "No wrote the project file"
editor
keys alt+F4   # the slots were put back: nothing to ask
wait_gone "the slot editor, unchanged" "$EDITOR"
editor
keys Tab && pick BEACH.BMP
keys alt+F4
window ASK "the close box's question" any Confirm
keys alt+y
wait_gone "the slot editor, after Yes" "$EDITOR"
[ "$(od -A n -c -j 21 -N 14 "$PROJECT/SUNSET.SSJ" | tr -d ' ')" = '001\0\0\0\tBEACH.BMP' ] ||
    fail "Yes did not save BEACH.BMP in slot 1: $(od -A n -c -j 21 -N 14 "$PROJECT/SUNSET.SSJ")"
keys alt+q
wait_app_quits
printf '%s: passed\n' "$E2E_NAME"
