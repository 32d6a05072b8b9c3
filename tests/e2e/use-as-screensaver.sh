#!/usr/bin/env bash
# "Use as My Screensaver" as a user does it: the program under openbox, driven
# by keys, under XScreenSaver's daemon, then under mate-screensaver (its own
# D-Bus session, begun before ~/.local/share/applications was there, the
# launcher in its hack folder): each blank shows the show, and after a compile
# with other pictures the new ones, with no restart by hand. As root: the
# hosts and the program run as this run's user glimmer-use-PID.
# usage: use-as-screensaver.sh <bin dir> <source dir>   (GLIMMER_E2E_SHOTS=DIR keeps the screenshots)
set -uo pipefail
BIN_DIR=$(cd "${1:?usage: use-as-screensaver.sh <bin dir> <source dir>}" && pwd)
PROGRAM=$BIN_DIR/glimmer HACKS=/usr/libexec/xscreensaver E2E_USER=glimmer-use-$$ WORK="" KEEP_WORK=0 PIDS="" APP_PID="" WATCHDOG=""
E2E_NAME=use-as-screensaver
# shellcheck source=lib/report.bash
source "$(dirname "${BASH_SOURCE[0]}")/lib/report.bash"
for tool in Xvfb openbox xscreensaver-command mate-screensaver-command dbus-daemon gsettings unshare setpriv useradd xdotool compare; do
    command -v "$tool" >/dev/null || skip "$tool is missing (scripts/install-deps installs it)"
done
[ "$(id -u)" = 0 ] || skip "it needs root, to run the hosts as a user of their own and to give mate-screensaver a hack folder"
unshare --mount true 2>/dev/null && [ -d "$HACKS" ] || skip "no mount namespace can be made here, or $HACKS is missing"
[ -n "${GLIMMER_E2E_IN_NAMESPACE:-}" ] || GLIMMER_E2E_IN_NAMESPACE=1 exec unshare --mount --propagation private -- bash "$0" "$@"

ours() { ps -o pid=,stat=,args= -u "$E2E_USER" 2>/dev/null | awk '$2 !~ /^Z/'; }
cleanup() {
    if [ -n "$WATCHDOG" ]; then pkill -P "$WATCHDOG"; kill "$WATCHDOG"; fi 2>/dev/null
    for pid in $PIDS ${XVFB_PID:-} $(ours | awk '{print $1}'); do kill -KILL "$pid" 2>/dev/null; done
    wait 2>/dev/null
    id "$E2E_USER" >/dev/null 2>&1 && userdel -f "$E2E_USER" 2>/dev/null
    [ -n "${GLIMMER_E2E_SHOTS:-}" ] && [ -n "$WORK" ] && mkdir -p "$GLIMMER_E2E_SHOTS" && cp "$WORK"/shots/*.png "$GLIMMER_E2E_SHOTS"/
    [ "$KEEP_WORK" = 0 ] && [ -n "$WORK" ] && rm -rf "$WORK"
}
trap cleanup EXIT
( sleep 240 && kill -TERM $$ ) >/dev/null 2>&1 & WATCHDOG=$!
trap 'fail "the run took more than four minutes"' TERM
# Users of killed runs, and what they left running.
for user in $(getent passwd | cut -d: -f1 | grep -E '^glimmer-use-[0-9]+$'); do
    kill -0 "${user#glimmer-use-}" 2>/dev/null || { pkill -KILL -u "$user"; userdel -f "$user"; } 2>/dev/null
done
WORK=$(mktemp -d "${TMPDIR:-/tmp}/glimmer-use.XXXXXX") || fail "cannot make a work folder"
mkdir -p "$WORK"/{env,home,run,proj,shots} && chmod 755 "$WORK" && chmod 700 "$WORK/run"
useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$E2E_USER" || fail "no user $E2E_USER could be made"
chown "$E2E_USER:" "$WORK"/{home,run,proj}
SHOTS=$WORK/shots PROJ=$WORK/proj SCR=$WORK/proj/SUNSET.SCR
# shellcheck source=lib/xsession.bash
source "$(dirname "${BASH_SOURCE[0]}")/lib/xsession.bash"
# shellcheck source=lib/project.bash
source "$(dirname "${BASH_SOURCE[0]}")/lib/project.bash"
start_x_server 1024x768
openbox --sm-disable >"$WORK/env/openbox.log" 2>&1 & PIDS+=" $!"
for _ in $(seq 100); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break; sleep 0.1; done
AS_USER=(setpriv --reuid="$(id -u "$E2E_USER")" --regid="$(id -g "$E2E_USER")" --clear-groups -- env -i PATH="$PATH"
    HOME="$WORK/home" DISPLAY="$DISPLAY" XDG_RUNTIME_DIR="$WORK/run" LC_ALL=C.UTF-8 NO_AT_BRIDGE=1 QT_QPA_PLATFORM=xcb)

# pictures A|B: the project's two pictures, red and yellow (A) or blue and green (B).
declare -A PAIR=([A]="ff0000 ffff00" [B]="0000ff 00ff00") OTHER=([A]=B [B]=A)
pictures() {
    read -r one two <<<"${PAIR[$1]}"
    convert -size 320x240 xc:"#$one" BMP3:"$PROJ/RED.BMP" && convert -size 240x180 xc:"#$two" "$PROJ/YELLOW.JPG" &&
        chown "$E2E_USER:" "$PROJ"/* || fail "ImageMagick cannot write the pictures"
}
write_project "$PROJ/SUNSET.SSJ" $((0x00408000)) 0 990 1 1 RED.BMP YELLOW.JPG
# share PNG RRGGBB: how many of the screenshot's pixels have that colour.
share() { compare -metric AE -fuzz 6% "$1" -size 1024x768 xc:"#$2" null: 2>&1 | awk '{ print 786432 - $1 }'; }
# shows NAME A|B: the host ran the player, and the screen shows the background
# over half of it and a picture of that pair, none of the other pair's.
shows() {
    local png=$SHOTS/$1.png seen c new old
    for _ in $(seq 100); do pgrep -u "$E2E_USER" -f -- "^$SCR --root" >/dev/null && break; sleep 0.1; done
    for _ in $(seq 20); do
        sleep 0.5 && import -window root "$png" || continue
        new=0 old=0
        for c in ${PAIR[$2]}; do new=$((new + $(share "$png" "$c"))); done
        for c in ${PAIR[${OTHER[$2]}]}; do old=$((old + $(share "$png" "$c"))); done
        seen="background $(share "$png" 008040), pictures $new, old pictures $old pixels"
        [ "$(share "$png" 008040)" -gt 393216 ] && [ "$new" -gt 1000 ] && [ "$old" = 0 ] && { echo "$1: $seen"; return; }
    done
    fail "$1: not the show of pictures $2: $seen ($png; players: $(ours | grep -c SCR))"
}
# round HOST COMMAND: the program opens the project, compiles and takes the
# button, after which chosen_HOST holds; COMMAND --activate blanks the screen:
# the show of pictures A; compiled again, of B.
round() {
    pictures A
    (cd "$WORK" && exec "${AS_USER[@]}" "$PROGRAM") >>"$WORK/env/glimmer.log" 2>&1 & APP_PID=$!
    wait_window MAIN "the main window" any '^Glimmer Ver 1\.1$' 30
    wait_focus "the main window" "$MAIN"
    keys alt+s
    wait_window DLG "the project dialog" any '^Press F1 for Help$'
    keys Tab ctrl+a && typed "$PROJ" && keys Tab Tab && typed sunset && keys Return
    wait_gone "the project dialog" "$DLG"
    compile "$1"
    "chosen_$1" || fail "$1: the button did not choose the screensaver in the host's settings"
    as "$2" --activate || fail "$2 --activate failed"
    shows "$1-show" A
    as "$2" --deactivate
    pictures B
    compile
    as "$2" --activate || fail "$2 --activate failed"
    shows "$1-recompiled" B
    as "$2" --deactivate
    keys alt+q
    wait_app_quits
}
# compile [SHOTS]: Compile and OK; with SHOTS, the button on the success
# message instead, and the box after it, which must be one of information.
compile() {
    keys alt+c
    wait_window INFO "the compile's success message" any '^Information$' 60
    wait_focus "the success message" "$INFO"
    [ -n "${1:-}" ] && shot "$1-success" && keys alt+s && wait_gone "the success message" "$INFO" &&
        wait_window INFO "the box after Use as My Screensaver" any '^(Information|Warning)$' 30 "$INFO" && shot "$1-result"
    [ "$(xdotool getwindowname "$INFO")" = Information ] || fail "the box is a warning ($SHOTS/${1:-}-result.png)"
    keys Return
    wait_gone "the box" "$INFO"
    wait_focus "the main window, after the box" "$MAIN"
}

as() { "${AS_USER[@]}" "$@" >>"$WORK/env/hosts.log" 2>&1; }
"${AS_USER[@]}" xscreensaver -no-splash >"$WORK/env/xscreensaver.log" 2>&1 & DAEMON=$!
for _ in $(seq 100); do as xscreensaver-command -version && break; sleep 0.1; done
chosen_xscreensaver() { grep -q '^mode:[[:space:]]*one$' "$WORK/home/.xscreensaver"; }
round xscreensaver xscreensaver-command
kill "$DAEMON" && wait "$DAEMON" 2>/dev/null

DESTDIR=$WORK/stage cmake --install "$BIN_DIR/.." --prefix /usr >"$WORK/env/cmake.log" && mount --bind "$WORK/stage$HACKS" "$HACKS" ||
    fail "cannot stand the installed launcher's folder for $HACKS"
"${AS_USER[@]}" dbus-daemon --session --nofork --print-address=3 3>"$WORK/env/bus" >/dev/null 2>&1 & PIDS+=" $!"
for _ in $(seq 50); do [ -s "$WORK/env/bus" ] && break; sleep 0.1; done
AS_USER+=(DBUS_SESSION_BUS_ADDRESS="$(head -1 "$WORK/env/bus")")
as gsettings set org.mate.screensaver lock-enabled false || fail "gsettings cannot reach dconf"
"${AS_USER[@]}" mate-screensaver >"$WORK/env/mate.log" 2>&1 &
for _ in $(seq 100); do as mate-screensaver-command --query && break; sleep 0.1; done
chosen_mate() { [ "$("${AS_USER[@]}" gsettings get org.mate.screensaver themes)" = "['screensavers-glimmer-sunset']" ]; }
round mate mate-screensaver-command
echo "use-as-screensaver: passed"
