#!/usr/bin/env bash
# The typical use of Glimmer, end to end, by a person at a display: the real
# program on a private X server (Xvfb), driven only by key presses and mouse
# clicks (xdotool), the mnemonics and tab order a user would use.
#
#   create a project in a new folder -> Locate and copy three pictures from
#   another folder (two of them named as cameras and people name photos today,
#   too long for a slot: IMG_20230514_123456.jpg and a Cyrillic name; they are
#   copied under short names) -> Select them into slots 1 to 3 -> OK ->
#   Settings: Float and a colour -> Save -> View -> Compile -> ScreenSaver
#   Images again: Locate the photos people have today (a .jpeg, a .png stored
#   on its side with a transparent border, a .heic) and a second IMG_0001.JPG
#   from another camera's folder -> Select them into slots 4 to 8 -> OK ->
#   Compile -> F1 help -> About -> Quit -> run the compiled .SCR and watch
#   the long-named photos and the five new ones, each upright
#
# Every file the program writes is checked byte for byte. A failing step says
# which step it was and keeps the work folder (log, last screen) for a look.
#
# usage: walkthrough.sh <bin dir> <source dir> [--screenshots DIR]
#   <bin dir> holds glimmer, GLIMMER.BIN and GLIMMER.HLP (the build's bin/).
#   GLIMMER_SCREENSHOTS=DIR does the same as --screenshots: every window's
#   screenshot is copied there. A relative DIR is taken from the source
#   folder, so GLIMMER_SCREENSHOTS=docs/screenshots make test refreshes the
#   pictures that docs/screenshots/ keeps.
#   GLIMMER_E2E_PROGRAM=/usr/bin/glimmer walks through an installed program
#   instead; GLIMMER.BIN is then looked for beside the program's real file.
set -uo pipefail

BIN_DIR=${1:?usage: walkthrough.sh <bin dir> <source dir> [--screenshots DIR]}
SRC_DIR=${2:?usage: walkthrough.sh <bin dir> <source dir> [--screenshots DIR]}
shift 2
SHOTS_OUT=${GLIMMER_SCREENSHOTS:-}
while [ $# -gt 0 ]; do
    case $1 in
        --screenshots) SHOTS_OUT=${2:?--screenshots needs a folder}; shift 2 ;;
        *) echo "walkthrough: unknown option $1" >&2; exit 2 ;;
    esac
done

case $SHOTS_OUT in
    "" | /*) ;;
    *) SHOTS_OUT=$SRC_DIR/$SHOTS_OUT ;;
esac
PROGRAM=${GLIMMER_E2E_PROGRAM:-$BIN_DIR/glimmer}
STEP="start"
WORK=""
XVFB_PID=""
APP_PID=""
SCR_PID=""

say() { printf 'walkthrough: %s\n' "$*"; }
step() { STEP=$*; say "step: $STEP"; }

fail() {
    printf '\nwalkthrough: FAILED at step "%s":\n  %s\n' "$STEP" "$*" >&2
    if [ -n "$WORK" ] && [ -n "${DISPLAY:-}" ]; then
        import -window root "$WORK/failure.png" 2>/dev/null &&
            printf '  the screen at that moment: %s\n' "$WORK/failure.png" >&2
        printf '  windows on the screen:\n' >&2
        list_windows | sed 's/^/    /' >&2
    fi
    if [ -n "$WORK" ] && [ -s "$WORK/env/glimmer.log" ]; then
        printf '  the program said:\n' >&2
        sed 's/^/    /' "$WORK/env/glimmer.log" | tail -20 >&2
    fi
    [ -n "$WORK" ] && printf '  work folder kept: %s\n' "$WORK" >&2
    KEEP_WORK=1
    exit 1
}

KEEP_WORK=0
cleanup() {
    local pid
    for pid in $SCR_PID $APP_PID $XVFB_PID; do
        kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    done
    if [ "$KEEP_WORK" = 0 ] && [ -n "$WORK" ]; then
        rm -rf "$WORK"
    fi
}
trap cleanup EXIT
trap 'fail "interrupted"' INT TERM

# ------------------------------------------------------------ set-up

for tool in Xvfb xdotool xwininfo import convert cmp od heif-enc; do
    command -v "$tool" >/dev/null ||
        fail "$tool is missing (scripts/install-deps installs xvfb, xdotool, imagemagick and libheif-examples)"
done
# Debian's own Python, whatever else PATH may offer: Pillow is its python3-pil.
PYTHON=/usr/bin/python3
"$PYTHON" -c 'import PIL' 2>/dev/null || fail "Pillow is missing (scripts/install-deps installs python3-pil)"
[ -x "$PROGRAM" ] || fail "no program at $PROGRAM: build it first"
# Started from the user's folder below, so named by its absolute path (but
# not resolved: an installed program is started through its link).
PROGRAM=$(cd "$(dirname "$PROGRAM")" && pwd)/$(basename "$PROGRAM")
PROGRAM_DIR=$(dirname "$(readlink -f "$PROGRAM")")
PLAYER=$PROGRAM_DIR/GLIMMER.BIN
[ -f "$PLAYER" ] || fail "no player GLIMMER.BIN beside the program ($PLAYER)"
[ -f "$PROGRAM_DIR/GLIMMER.HLP" ] || fail "no help file GLIMMER.HLP beside the program ($PROGRAM_DIR)"

WORK=$(mktemp -d "${TMPDIR:-/tmp}/glimmer-e2e.XXXXXX") || fail "cannot make a work folder"
mkdir -p "$WORK/env/home" "$WORK/env/run" "$WORK/env/shots" "$WORK/user/photos" "$WORK/user/savers" \
    "$WORK/user/today/phone" "$WORK/user/today/camera2" "$WORK/user/today/camera3"
chmod 700 "$WORK/env/run"
PHOTOS=$WORK/user/photos
PROJECT=$WORK/user/savers/SUNSET
SHOTS=$WORK/env/shots

# The program runs as a user's would: on X, with a home of its own here.
export HOME=$WORK/env/home XDG_RUNTIME_DIR=$WORK/env/run XDG_CONFIG_HOME=$WORK/env/home/.config
export QT_QPA_PLATFORM=xcb LC_ALL=C.UTF-8
unset XDG_SESSION_TYPE WAYLAND_DISPLAY

# The two long-named photos each carry a colour found nowhere else, so that
# a screenshot tells which of them is on the screen.
BEACH=IMG_20230514_123456.jpg
BEACH_SHORT=IMG_20~1.JPG
BEACH_MARK='#ffe060'
HOLIDAY='Отпуск 2023.jpg'
HOLIDAY_SHORT='ОТП~1.JPG'
HOLIDAY_MARK='#e020c0'

step "three photos in a folder of their own"
convert -size 320x240 gradient:'#ff8c00'-'#301060' \
    -fill "$BEACH_MARK" -draw 'circle 160,170 160,130' \
    -fill '#102030' -draw 'rectangle 0,200 320,240' -quality 90 "$PHOTOS/$BEACH" ||
    fail "ImageMagick could not make $BEACH"
convert -size 300x200 gradient:'#80c0ff'-'#ffffff' \
    -fill '#207020' -draw 'ellipse 100,220 160,80 180,360' \
    -fill '#308030' -draw 'ellipse 240,230 140,90 180,360' BMP3:"$PHOTOS/hills.bmp" ||
    fail "ImageMagick could not make hills.bmp"
convert -size 280x210 gradient:'#103040'-'#40a0a0' \
    -fill "$HOLIDAY_MARK" -draw 'circle 140,100 140,45' -quality 90 "$PHOTOS/$HOLIDAY" ||
    fail "ImageMagick could not make $HOLIDAY"

# Today's photos: each with a colour of its own above cyan, so that a
# screenshot tells which one is on the screen and whether it stands upright.
TODAY_DIR=$WORK/user/today
PHONE=$TODAY_DIR/phone
BOTTOM_MARK='#00ffff'
declare -A TODAY=([sunrise.jpeg]='#ff0000' [flower.png]='#00ff00' [IMG_4512.HEIC]='#0000ff'
    [camera2]='#ffff00' [camera3]='#ff00ff')
step "today's photos: a .jpeg, a .png on its side, a .heic, and IMG_0001.JPG from two cameras"
two_tone() {   # two_tone FILE TOP: 240 x 180, TOP above cyan
    convert -size 240x90 xc:"$2" -size 240x90 xc:"$BOTTOM_MARK" -append +repage -quality 92 "$1" ||
        fail "ImageMagick could not make $1"
}
two_tone "$PHONE/sunrise.jpeg" "${TODAY[sunrise.jpeg]}"
two_tone "$TODAY_DIR/camera2/IMG_0001.JPG" "${TODAY[camera2]}"
two_tone "$TODAY_DIR/camera3/IMG_0001.JPG" "${TODAY[camera3]}"
two_tone "PNG24:$WORK/env/heic.png" "${TODAY[IMG_4512.HEIC]}"
heif-enc -q 90 -o "$PHONE/IMG_4512.HEIC" "$WORK/env/heic.png" >/dev/null || fail "heif-enc could not make IMG_4512.HEIC"
# Stored on its side with the EXIF orientation that stands it up, in a
# transparent border.
"$PYTHON" - "$PHONE/flower.png" "${TODAY[flower.png]}" "$BOTTOM_MARK" <<'PY' || fail "Pillow could not make flower.png"
import sys
from PIL import Image
upright = Image.new('RGBA', (240, 180))
upright.paste(sys.argv[2], (10, 10, 230, 90))
upright.paste(sys.argv[3], (10, 90, 230, 170))
exif = Image.Exif()
exif[0x0112] = 6
upright.transpose(Image.ROTATE_90).save(sys.argv[1], exif=exif)
PY

step "a private X server"
# shellcheck source=lib/xsession.bash
source "$(dirname "${BASH_SOURCE[0]}")/lib/xsession.bash"
start_x_server 1024x768

# ------------------------------------------------------------ X helpers

# wait_file WHAT PATH: the program has written the file.
wait_file() {
    local what=$1 path=$2 i
    for ((i = 0; i < 200; i++)); do
        [ -f "$path" ] && return 0
        sleep 0.05
    done
    fail "$what: $path was not written within 10 s"
}

# ------------------------------------------------------------ bytes

# shellcheck disable=SC2059 # the format is the byte's escape
hexbyte() { printf "\\x$(printf %02x $(($1 & 255)))"; }
le32() { hexbyte "$1"; hexbyte $(($1 >> 8)); hexbyte $(($1 >> 16)); hexbyte $(($1 >> 24)); }
zeros() { head -c "$1" /dev/zero; }
size_of() { stat -c %s "$1"; }

# slot NAME OFFSET SIZE: one 21-byte picture slot; the name's length in bytes.
slot() {
    local n
    n=$(printf '%s' "$1" | wc -c)
    hexbyte "$n"
    printf '%s' "$1"
    zeros $((12 - n))
    le32 "$2"
    le32 "$3"
}

# new_record: the 235-byte settings record of a new project.
new_record() {
    le32 $((0x00800000)); hexbyte 0
    le32 990; le32 5; le32 3; le32 2; le32 0
    zeros 210
}

# record COLOUR MODE SPEED SLOT1-OFFSET SLOT1-SIZE SLOT2-OFFSET SLOT2-SIZE
#   SLOT3-OFFSET SLOT3-SIZE: the record with IMG_20~1.JPG, HILLS.BMP and
# ОТП~1.JPG in slots 1 to 3, the other timings those of a new project.
record() {
    le32 "$1"; hexbyte "$2"; le32 "$3"
    le32 5; le32 3; le32 2   # ChangeEvery, DisplaySeconds, DisplayTimes
    le32 3                   # ImageCount
    slot "$BEACH_SHORT" "$4" "$5"
    slot HILLS.BMP "$6" "$7"
    slot "$HOLIDAY_SHORT" "$8" "$9"
    zeros $((7 * 21))
}

# marked PNG COLOUR: how many pixels of the screenshot have (nearly) that colour.
marked() {
    convert "$1" -fuzz 8% -fill black +opaque "$2" -fill white -opaque "$2" \
        -format '%[fx:int(mean*w*h+0.5)]' info: 2>/dev/null
}

# same_bytes WHAT ACTUAL EXPECTED
same_bytes() {
    if ! cmp -s "$2" "$3"; then
        {
            printf 'expected (%s bytes):\n' "$(size_of "$3")"; od -A d -t x1 "$3" | head -16
            printf 'found (%s bytes):\n' "$(size_of "$2")"; od -A d -t x1 "$2" | head -16
        } >&2
        fail "$1: $2 differs from what the program must write ($(cmp "$2" "$3" 2>&1 | head -1))"
    fi
}

# upright PNG TOP: 0 when the photo with TOP above cyan is on the screen,
# standing upright (its two colours' rows one right above the other); 1 when
# it is not there; fails when it is there the wrong way.
upright() {
    local rows
    [ "$(marked "$1" "$2")" -gt 5000 ] || return 1
    rows=$(for c in "$2" "$BOTTOM_MARK"; do
        convert "$1" -fuzz 8% -fill black +opaque "$c" -fill white -opaque "$c" -format '%@ ' info:
    done | sed -E 's/[0-9]+x([0-9]+)\+[0-9]+\+([0-9]+)/\2 \1/g')
    read -r t h b g <<<"$rows"
    [ "$h" -ge 60 ] && [ "$g" -ge 60 ] && [ $((b - t - h)) -ge -1 ] && [ $((b - t - h)) -le 4 ] ||
        fail "the photo with $2 at its top does not stand upright (rows from, count: $rows) in $1"
}

NAVY=$((0x00800000))
COLOUR_HTML='#402060'
COLOUR=$((0x00602040))   # the same colour as a Windows value 0x00BBGGRR

# ------------------------------------------------------------ the walk

step "start the program"
(cd "$WORK/user" && exec "$PROGRAM") >"$WORK/env/glimmer.log" 2>&1 &
APP_PID=$!
wait_window MAIN "the main window" 1024x768 '^Glimmer Ver 1\.1$' 30
wait_focus "the main window" "$MAIN"
shot main-window-start

step "Start/Select a ScreenSaver (Alt+S): a new folder and the name sunset"
keys alt+s
wait_window DLG "the project dialog" 350x268 '^Press F1 for Help$'
wait_focus "the project dialog" "$DLG"
# The drive box has the focus; Tab to the folder box and type the new folder,
# then past the folder list to the name box.
keys Tab ctrl+a
typed "$PROJECT"
keys Tab Tab
typed sunset
shot project-dialog
keys Return
wait_gone "the project dialog" "$DLG"
wait_file "the new project" "$PROJECT/SUNSET.SSJ"
wait_focus "the main window, after the project dialog" "$MAIN"
new_record >"$WORK/env/new.ssj"
same_bytes "a new project file" "$PROJECT/SUNSET.SSJ" "$WORK/env/new.ssj"

step "ScreenSaver Images (Alt+I)"
keys alt+i
wait_window EDITOR "the image slot editor" 482x216 '^Press F1 for Help$'
wait_focus "the image slot editor" "$EDITOR"
shot slot-editor-empty

step "Locate: browse to the photos and copy $BEACH, which gets a short name"
# The slot buttons come first in the tab order, then Locate.
keys Tab space
wait_window FIND "the browse-and-copy dialog" 350x268 '^Press F1 for Help$'
wait_focus "the browse-and-copy dialog" "$FIND"
# Drive box -> folder box -> folder list, which has the project folder open.
# Two up is the user's folder; Enter opens it, then photos below it.
keys Tab Tab Up Up Return Down Return
# Past the selected-image box into the file list (hills.bmp, $BEACH,
# $HOLIDAY); Down takes the second file.
keys Tab Tab Down
shot browse-and-copy
keys Tab space
wait_window ASK "the question whether to copy $BEACH as $BEACH_SHORT" any '^Confirm$'
wait_focus "the copy question" "$ASK"
shot copy-question
keys alt+y
wait_gone "the copy question" "$ASK"
wait_file "Copy" "$PROJECT/$BEACH_SHORT"
wait_focus "the browse-and-copy dialog, after the question" "$FIND"

step "Locate: copy hills.bmp, whose name fits"
# Back into the file list, read again after the copy; Space takes the first file.
keys shift+Tab space Tab space
wait_window ASK "the question whether to copy HILLS.BMP" any '^Confirm$'
wait_focus "the copy question" "$ASK"
keys alt+y
wait_gone "the copy question" "$ASK"
wait_file "Copy" "$PROJECT/HILLS.BMP"
wait_focus "the browse-and-copy dialog, after the question" "$FIND"

step "Locate: copy $HOLIDAY, which gets a short name"
keys shift+Tab End Tab space
wait_window ASK "the question whether to copy $HOLIDAY as $HOLIDAY_SHORT" any '^Confirm$'
wait_focus "the copy question" "$ASK"
shot copy-question-cyrillic
keys alt+y
wait_gone "the copy question" "$ASK"
wait_file "Copy" "$PROJECT/$HOLIDAY_SHORT"
wait_focus "the browse-and-copy dialog, after the question" "$FIND"
keys Escape
wait_gone "the browse-and-copy dialog" "$FIND"
wait_focus "the image slot editor, after Locate" "$EDITOR"
cmp "$PHOTOS/$BEACH" "$PROJECT/$BEACH_SHORT" || fail "the copy of $BEACH is not the same file"
cmp "$PHOTOS/hills.bmp" "$PROJECT/HILLS.BMP" || fail "the copy of hills.bmp is not the same file"
cmp "$PHOTOS/$HOLIDAY" "$PROJECT/$HOLIDAY_SHORT" || fail "the copy of $HOLIDAY is not the same file"
[ "$(find "$PROJECT" -type f | wc -l)" = 4 ] ||
    fail "the project folder holds other files than the three copies and SUNSET.SSJ: $(ls "$PROJECT")"

step "Select $BEACH_SHORT into slot 1"
# The focus is back on Locate: Remove, View, Select. The picker lists
# HILLS.BMP, $BEACH_SHORT and $HOLIDAY_SHORT; Down takes the second.
keys Tab Tab Tab space
wait_window PICK "the graphic picker" 253x229 '^Press F1 for Help$'
wait_focus "the graphic picker" "$PICK"
keys Tab Down
shot picker
keys alt+o
wait_gone "the graphic picker" "$PICK"
wait_focus "the image slot editor, after Select" "$EDITOR"

step "Select HILLS.BMP into slot 2"
# Back over View, Remove and Locate to the slots; Down makes slot 2 current.
keys shift+Tab shift+Tab shift+Tab shift+Tab Down
keys Tab Tab Tab Tab space
wait_window PICK "the graphic picker" 253x229 '^Press F1 for Help$'
wait_focus "the graphic picker" "$PICK"
keys Tab space
keys alt+o
wait_gone "the graphic picker" "$PICK"
wait_focus "the image slot editor, after Select" "$EDITOR"

step "Select $HOLIDAY_SHORT into slot 3"
keys shift+Tab shift+Tab shift+Tab shift+Tab Down
keys Tab Tab Tab Tab space
wait_window PICK "the graphic picker" 253x229 '^Press F1 for Help$'
wait_focus "the graphic picker" "$PICK"
keys Tab End
keys alt+o
wait_gone "the graphic picker" "$PICK"
wait_focus "the image slot editor, after Select" "$EDITOR"
shot slot-editor

step "OK in the slot editor saves the project"
keys Tab Return
wait_gone "the image slot editor" "$EDITOR"
wait_focus "the main window, after the slot editor" "$MAIN"
record "$NAVY" 0 990 0 0 0 0 0 0 >"$WORK/env/slots.ssj"
same_bytes "the project file after the slot editor's OK" "$PROJECT/SUNSET.SSJ" "$WORK/env/slots.ssj"
shot main-window

step "ScreenSaver Settings (Alt+R): Float a little faster, a colour, then Save"
keys alt+r
wait_window SET "the settings dialog" 394x215 '^Press F1 for Help$'
wait_focus "the settings dialog" "$SET"
# Set Color has the focus; Tab to the mode buttons, Right for Float; Tab to
# the speed bar, three steps towards "+"; back over Float to Set Color.
keys Tab Right Tab Right Right Right shift+Tab shift+Tab space
wait_window COL "the colour chooser" any '^Select Color$'
wait_focus "the colour chooser" "$COL"
keys alt+h
typed "$COLOUR_HTML"
shot colour-chooser
keys Return
wait_gone "the colour chooser" "$COL"
wait_focus "the settings dialog, after the colour chooser" "$SET"
shot settings-float
# From Set Color, back over Cancel to Save; Enter presses the focused button.
keys shift+Tab shift+Tab Return
wait_gone "the settings dialog" "$SET"
wait_focus "the main window, after the settings dialog" "$MAIN"
record "$COLOUR" 1 993 0 0 0 0 0 0 >"$WORK/env/settings.ssj"
same_bytes "the project file after Save (Float, speed 993, $COLOUR_HTML)" "$PROJECT/SUNSET.SSJ" "$WORK/env/settings.ssj"

step "View ScreenSaver (Alt+V), then a key"
keys alt+v
wait_window SHOW "the full-screen show" 1024x768 '^Glimmer$' 15 "$MAIN"
wait_focus "the full-screen show" "$SHOW"
sleep 1
shot show
check_background "$SHOTS/show.png" 402060
keys space
wait_gone "the full-screen show" "$SHOW"
wait_focus "the main window, after the show" "$MAIN"

step "Compile ScreenSaver (Alt+C): the success message, then OK"
keys alt+c
wait_window INFO "the compile's success message" any '^Information$' 60
wait_focus "the success message" "$INFO"
shot compile-success
keys Return
wait_gone "the success message" "$INFO"
wait_focus "the main window, after compiling" "$MAIN"
[ -z "$(xdotool search --onlyvisible --name '' 2>/dev/null | while read -r w; do
    [ "$(win_size "$w")" = 309x40 ] && echo "$w"; done)" ] || fail "the wait window is still up after the compile"

step "the compiled SUNSET.SCR is GLIMMER.BIN followed by the store"
[ -e "$PROJECT/SUNSET.SSC" ] && fail "the image store SUNSET.SSC was left behind"
[ -f "$PROJECT/SUNSET.SCR" ] || fail "no SUNSET.SCR in the project folder"
BIN_SIZE=$(size_of "$PLAYER")
BEACH_SIZE=$(size_of "$PHOTOS/$BEACH")
HILLS_SIZE=$(size_of "$PHOTOS/hills.bmp")
HOLIDAY_SIZE=$(size_of "$PHOTOS/$HOLIDAY")
{
    record "$COLOUR" 1 993 235 "$BEACH_SIZE" $((235 + BEACH_SIZE)) "$HILLS_SIZE" \
        $((235 + BEACH_SIZE + HILLS_SIZE)) "$HOLIDAY_SIZE"
    cat "$PHOTOS/$BEACH" "$PHOTOS/hills.bmp" "$PHOTOS/$HOLIDAY"
} >"$WORK/env/store"
STORE_SIZE=$(size_of "$WORK/env/store")
[ "$(size_of "$PROJECT/SUNSET.SCR")" = $((BIN_SIZE + STORE_SIZE)) ] ||
    fail "SUNSET.SCR is $(size_of "$PROJECT/SUNSET.SCR") bytes, not GLIMMER.BIN ($BIN_SIZE) + store ($STORE_SIZE)"
cmp -n "$BIN_SIZE" "$PROJECT/SUNSET.SCR" "$PLAYER" ||
    fail "SUNSET.SCR does not begin with the bytes of GLIMMER.BIN"
tail -c "$STORE_SIZE" "$PROJECT/SUNSET.SCR" >"$WORK/env/scr-store"
same_bytes "the store in SUNSET.SCR (record, $BEACH_SHORT, HILLS.BMP, $HOLIDAY_SHORT)" "$WORK/env/scr-store" "$WORK/env/store"
same_bytes "the project file after compiling (a compile does not save it)" "$PROJECT/SUNSET.SSJ" "$WORK/env/settings.ssj"

step "ScreenSaver Images again, Locate: into the phone's folder"
keys alt+i
wait_window EDITOR "the image slot editor" 482x216 '^Press F1 for Help$'
wait_focus "the image slot editor" "$EDITOR"
keys Tab space
wait_window FIND "the browse-and-copy dialog" 350x268 '^Press F1 for Help$'
wait_focus "the browse-and-copy dialog" "$FIND"
# Locate opens where it was left, in photos: up to the user's folder, into
# its third folder (photos, savers, today), then into the third there
# (camera2, camera3, phone).
keys Tab Tab Up Return Down Down Down Return Down Down Down Return

# copy FILE KEY...: the keys take a file and press Copy; Yes to the question
# (its screenshot NAME when given as SHOT=NAME), and FILE comes in.
copy() {
    local file=$1 shot_name=""
    shift
    case $1 in SHOT=*) shot_name=${1#SHOT=}; shift ;; esac
    keys "$@"
    wait_window ASK "the question whether to copy in $file" any '^Confirm$'
    wait_focus "the copy question" "$ASK"
    [ -n "$shot_name" ] && shot "$shot_name"
    keys alt+y
    wait_gone "the copy question" "$ASK"
    wait_file "Copy" "$PROJECT/$file"
    wait_focus "the browse-and-copy dialog, after the question" "$FIND"
    sleep 0.5   # a converted photo: the list is read again once it is in
}
step "Locate: flower.png and IMG_4512.HEIC come in as JPEGs, sunrise.jpeg as it is"
# The file list holds flower.png, IMG_4512.HEIC, sunrise.jpeg.
copy FLOWER~1.JPG SHOT=copy-question-png Tab Tab space Tab space
copy IMG_45~1.JPG SHOT=copy-question-heic shift+Tab Down Tab space
copy SUNRISE.JPEG shift+Tab End Tab space
step "Locate: IMG_0001.JPG from camera2, then another from camera3"
# Back over the file list and the box to the folder list, up to today's folder.
copy IMG_0001.JPG shift+Tab shift+Tab shift+Tab Up Return Down Return Tab Tab space Tab space
copy IMG_00~1.JPG SHOT=copy-question-second-camera \
    shift+Tab shift+Tab shift+Tab Up Return Down Down Return Tab Tab space Tab space
keys Escape
wait_gone "the browse-and-copy dialog" "$FIND"
wait_focus "the image slot editor, after Locate" "$EDITOR"
cmp "$TODAY_DIR/camera3/IMG_0001.JPG" "$PROJECT/IMG_00~1.JPG" || fail "IMG_00~1.JPG is not camera3's IMG_0001.JPG"

step "Select the five into slots 4 to 8 (slots 1 to 5 on the left, 6 to 10 on the right), OK, Compile"
keys Tab Tab Tab   # from Locate to Select
for pick in "FLOWER~1.JPG Down Down Down" "IMG_45~1.JPG Down" "SUNRISE.JPEG Right Up Up Up Up" \
    "IMG_0001.JPG Down" "IMG_00~1.JPG Down"; do
    read -r name moves <<<"$pick"
    # shellcheck disable=SC2086 # the moves are keys
    keys shift+Tab shift+Tab shift+Tab shift+Tab $moves Tab Tab Tab Tab space
    wait_window PICK "the graphic picker" 253x229 '^Press F1 for Help$'
    wait_focus "the graphic picker" "$PICK"
    keys ctrl+a
    typed "$name"
    keys alt+o
    wait_gone "the graphic picker" "$PICK"
    wait_focus "the image slot editor, after Select" "$EDITOR"
done
shot slot-editor-today
keys Tab Return
wait_gone "the image slot editor" "$EDITOR"
wait_focus "the main window, after the slot editor" "$MAIN"
[ "$(od -A n -t u1 -j 21 -N 1 "$PROJECT/SUNSET.SSJ" | tr -d ' ')" = 8 ] || fail "the project file does not count eight pictures"
keys alt+c
wait_window INFO "the compile's success message" any '^Information$' 60
wait_focus "the success message" "$INFO"
keys Return
wait_gone "the success message" "$INFO"
wait_focus "the main window, after compiling" "$MAIN"

step "F1 opens the help window"
keys F1
wait_window HELP "the help window" 560x460 '^Glimmer Help - '
wait_focus "the help window" "$HELP"
shot help
keys Escape
wait_gone "the help window" "$HELP"
wait_focus "the main window, after help" "$MAIN"

step "About (Alt+A)"
keys alt+a
wait_window ABOUT "the About box" 330x214 '^About Glimmer$'
wait_focus "the About box" "$ABOUT"
shot about
keys Return
wait_gone "the About box" "$ABOUT"
wait_focus "the main window, after About" "$MAIN"

step "Quit (Alt+Q) ends the program"
keys alt+q
wait_app_quits

step "run the compiled SUNSET.SCR, then a key"
(cd "$PROJECT" && exec ./SUNSET.SCR) >"$WORK/env/scr.log" 2>&1 &
SCR_PID=$!
wait_window SAVER "the running screensaver" 1024x768 '^Glimmer screensaver$' 30
wait_focus "the running screensaver" "$SAVER"
sleep 1
shot screensaver
check_background "$SHOTS/screensaver.png" 402060

step "the running SUNSET.SCR shows the long-named photos, and today's five upright"
# Float mode: a new picture every 5 seconds, slot 1 first: eight in 40 s.
SEEN_BEACH=0
SEEN_HOLIDAY=0
declare -A SEEN=()
for i in $(seq 150); do
    import -window root "$WORK/env/watch.png" || fail "could not take a screenshot of the screensaver"
    [ "$SEEN_BEACH" = 0 ] && [ "$(marked "$WORK/env/watch.png" "$BEACH_MARK")" -gt 1000 ] && SEEN_BEACH=1
    if [ "$SEEN_HOLIDAY" = 0 ] && [ "$(marked "$WORK/env/watch.png" "$HOLIDAY_MARK")" -gt 1000 ]; then
        cp "$WORK/env/watch.png" "$SHOTS/screensaver-holiday.png"
        SEEN_HOLIDAY=1
    fi
    for photo in "${!TODAY[@]}"; do
        [ -z "${SEEN[$photo]:-}" ] && upright "$WORK/env/watch.png" "${TODAY[$photo]}" &&
            SEEN[$photo]=1 && cp "$WORK/env/watch.png" "$SHOTS/screensaver-${photo%%.*}.png"
    done
    [ "$SEEN_BEACH$SEEN_HOLIDAY${#SEEN[@]}" = 115 ] && break
    sleep 0.3
done
[ "$SEEN_BEACH" = 1 ] || fail "$BEACH ($BEACH_SHORT) never came on the screen"
[ "$SEEN_HOLIDAY" = 1 ] || fail "$HOLIDAY ($HOLIDAY_SHORT) never came on the screen within $i screenshots"
for photo in "${!TODAY[@]}"; do
    [ -n "${SEEN[$photo]:-}" ] || fail "today's $photo never came on the screen upright within $i screenshots"
done
say "the long-named photos and today's five were shown, each upright"
keys space
for _ in $(seq 200); do
    kill -0 "$SCR_PID" 2>/dev/null || break
    sleep 0.05
done
kill -0 "$SCR_PID" 2>/dev/null && fail "SUNSET.SCR is still running 10 s after a key"
wait "$SCR_PID"
STATUS=$?
SCR_PID=""
[ "$STATUS" = 0 ] || fail "SUNSET.SCR ended with status $STATUS: $(tail -3 "$WORK/env/scr.log")"

if [ -n "$SHOTS_OUT" ]; then
    mkdir -p "$SHOTS_OUT" || fail "could not make $SHOTS_OUT"
    cp "$SHOTS"/*.png "$SHOTS_OUT"/ || fail "could not copy the screenshots to $SHOTS_OUT"
    say "screenshots copied to $SHOTS_OUT"
fi
STEP="done"
say "passed"
