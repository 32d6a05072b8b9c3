# Shared by the tests that run a compiled screensaver under a screensaver
# host (mate-screensaver, xsecurelock, swayidle): the screensaver compiled
# into a folder, and what a screenshot of its show must hold. The caller
# defines fail MESSAGE (never returns) and shot PNG (a screenshot of the
# whole screen), and sets PROGRAM (glimmer) and SHOTS (a folder).
# shellcheck shell=bash
# shellcheck source=project.bash
source "$(dirname "${BASH_SOURCE[0]}")/project.bash"

SAVER_BG=008040   # 0x00408000: red 0, green 128, blue 64

# compile_saver FOLDER NAME: a Random screensaver of a red bitmap and a
# yellow JPEG on the green background, a new place every second; sets SCR.
compile_saver() {
    local folder=$1 name=$2
    mkdir -p "$folder" || fail "cannot make $folder"
    convert -size 320x240 xc:'#ff0000' BMP3:"$folder/RED.BMP" &&
        convert -size 240x180 xc:'#ffff00' -quality 95 "$folder/YELLOW.JPG" || fail "ImageMagick cannot write the pictures"
    write_project "$folder/$name.SSJ" $((0x00408000)) 0 990 1 1 RED.BMP YELLOW.JPG
    QT_QPA_PLATFORM=offscreen "$PROGRAM" --compile "$folder/$name.SSJ" >"$folder/compile.log" 2>&1 ||
        fail "glimmer --compile failed: $(tail -3 "$folder/compile.log")"
    SCR=$folder/$name.SCR
    chmod 755 "$SCR"
}

# share PNG RRGGBB: the part of the screenshot in that colour (6 % fuzz).
share() {
    local w h differ
    read -r w h < <(identify -format '%w %h\n' "$1" 2>/dev/null) || { echo 0; return; }
    differ=$(compare -metric AE -fuzz 6% "$1" -size "${w}x$h" xc:"#$2" null: 2>&1)
    awk -v d="$differ" -v n=$((w * h)) 'BEGIN { printf "%.4f", (d ~ /^[0-9.e+]+$/ && n) ? 1 - d / n : 0 }'
}
at_least() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a + 0 >= b + 0) }'; }

# shows_saver PNG: the background over much of the screen, a picture, and
# not one black pixel (the host's own black showing through); sets SEEN.
shows_saver() {
    local b r y k
    b=$(share "$1" "$SAVER_BG") r=$(share "$1" ff0000) y=$(share "$1" ffff00) k=$(share "$1" 000000)
    SEEN="background $b, red $r, yellow $y, black $k of the screen ($1)"
    at_least "$b" 0.5 && { at_least "$r" 0.01 || at_least "$y" 0.01; } && [ "$k" = 0.0000 ]
}

# wait_shows NAME [TIMEOUT]: screenshots until one shows the screensaver
# whole; then one more a second and a half later, by when anything that the
# host painted over the show must be gone. Fails with what was seen.
wait_shows() {
    local name=$1 timeout=${2:-10} i
    for ((i = 0; i < timeout * 2; i++)); do
        sleep 0.5
        shot "$SHOTS/$name.png" && shows_saver "$SHOTS/$name.png" && break
    done
    shows_saver "$SHOTS/$name.png" || fail "$name: the screensaver is not on the screen after $timeout s: $SEEN"
    sleep 1.5
    shot "$SHOTS/$name.png"
    shows_saver "$SHOTS/$name.png" || fail "$name: a second and a half later: $SEEN"
    printf '%s: %s\n' "$name" "$SEEN"
}

# gone_within PID SECONDS: the process has ended (or is a zombie) by then.
gone_within() {
    local i
    for ((i = 0; i < $2 * 20; i++)); do
        kill -0 "$1" 2>/dev/null || return 0
        [ "$(ps -o stat= -p "$1" 2>/dev/null | cut -c1)" = Z ] && return 0
        sleep 0.05
    done
    return 1
}

# wait_player PATTERN [TIMEOUT]: the id of a running process whose command
# line holds PATTERN (the screensaver's path), once there; sets PLAYER.
wait_player() {
    local i
    for ((i = 0; i < ${2:-10} * 10; i++)); do
        PLAYER=$(pgrep -f -- "$1" | head -1)
        [ -n "$PLAYER" ] && return 0
        sleep 0.1
    done
    return 1
}
