#!/usr/bin/env bash
# "Use as My Screensaver", as a user does it: the real program under openbox
# on Xvfb, driven by keys (open the project, Compile, the button on the
# success message, the box that says what was done), under a running host:
#   XScreenSaver's daemon: activated through the daemon, the show on the
#     screen; the pictures changed, compiled again (OK, no button), and the
#     next activation shows the new ones.
#   mate-screensaver in its own D-Bus session, started before the folder of
#     the user's desktop entries existed (a fresh account), with Glimmer's
#     launcher in its hack folder (as `make install PREFIX=/usr` puts it, in
#     this mount namespace): the same, with no restart by hand.
# As root: the hosts and the program run as a user of this run's,
# glimmer-use-PID (XScreenSaver refuses root), removed at the end.
# usage: use-as-screensaver.sh <bin dir> <source dir>   (GLIMMER_E2E_SHOTS=DIR keeps the screenshots)
set -uo pipefail
BIN_DIR=$(cd "${1:?usage: use-as-screensaver.sh <bin dir> <source dir>}" && pwd)
PROGRAM=$BIN_DIR/glimmer HACKS=/usr/libexec/xscreensaver E2E_USER=glimmer-use-$$ WORK="" KEEP_WORK=0 PIDS="" APP_PID="" WATCHDOG=""
E2E_NAME=use-as-screensaver
# shellcheck source=lib/report.bash
source "$(dirname "${BASH_SOURCE[0]}")/lib/report.bash"
for tool in Xvfb openbox xscreensaver xscreensaver-command mate-screensaver mate-screensaver-command dbus-daemon gsettings \
    unshare setpriv useradd xdotool import convert compare; do
    command -v "$tool" >/dev/null || skip "$tool is missing (scripts/install-deps installs it)"
done
[ "$(id -u)" = 0 ] || skip "it needs root, to run the hosts as a user of their own and to give mate-screensaver a hack folder"
[ -d "$HACKS" ] || skip "$HACKS is missing (scripts/install-deps installs xscreensaver, which makes it)"
unshare --mount true 2>/dev/null || skip "no mount namespace can be made here, to stand a folder for $HACKS"
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
( sleep 240 && kill -TERM $$ ) >/dev/null 2>&1 &
WATCHDOG=$!
trap 'fail "the run took more than four minutes"' TERM
for user in $(getent passwd | cut -d: -f1 | grep -E '^glimmer-use-[0-9]+$'); do
    kill -0 "${user#glimmer-use-}" 2>/dev/null && continue
    for pid in $(ps -o pid= -u "$user"); do kill -KILL "$pid"; done
    userdel -f "$user" 2>/dev/null
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
openbox --sm-disable >"$WORK/env/openbox.log" 2>&1 &
PIDS+=" $!"
for _ in $(seq 100); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break; sleep 0.1; done
AS_USER=(setpriv --reuid="$(id -u "$E2E_USER")" --regid="$(id -g "$E2E_USER")" --clear-groups -- env -i PATH="$PATH"
    HOME="$WORK/home" DISPLAY="$DISPLAY" XDG_RUNTIME_DIR="$WORK/run" LC_ALL=C.UTF-8 NO_AT_BRIDGE=1 QT_QPA_PLATFORM=xcb)

# pictures TOP BOTTOM: the project's two pictures, in those colours.
pictures() {
    convert -size 320x240 xc:"#$1" BMP3:"$PROJ/RED.BMP" && convert -size 240x180 xc:"#$2" -quality 95 "$PROJ/YELLOW.JPG" &&
        chown "$E2E_USER:" "$PROJ"/* || fail "ImageMagick cannot write the pictures"
}
pictures ff0000 ffff00
write_project "$PROJ/SUNSET.SSJ" $((0x00408000)) 0 990 1 1 RED.BMP YELLOW.JPG
chown "$E2E_USER:" "$PROJ/SUNSET.SSJ"

# share PNG RRGGBB: how many of the screenshot's pixels have that colour.
share() { compare -metric AE -fuzz 6% "$1" -size "$(identify -format %wx%h "$1")" xc:"#$2" null: 2>&1 | awk -v n=$((1024 * 768)) '{ print n - $1 }'; }
# shows NAME PLAYER-PATTERN RRGGBB RRGGBB: the host started the player, and the
# screen shows the background over half of it and a picture of those
# colours, none of the others.
shows() {
    local png=$SHOTS/$1.png b one two old1 old2
    for _ in $(seq 100); do pgrep -u "$E2E_USER" -f -- "$2" >/dev/null && break; sleep 0.1; done
    pgrep -u "$E2E_USER" -f -- "$2" >/dev/null || fail "$1: the host started no player (/$2/): $(ours)"
    for _ in $(seq 20); do
        sleep 0.5
        import -window root "$png" 2>/dev/null || continue
        b=$(share "$png" 008040) one=$(share "$png" "$3") two=$(share "$png" "$4") old1=$(share "$png" "$5") old2=$(share "$png" "$6")
        [ "$b" -gt 393216 ] && [ $((one + two)) -gt 1000 ] && [ $((old1 + old2)) = 0 ] && { echo "$1: background $b, pictures $one + $two pixels"; return; }
    done
    fail "$1: not the show of the new pictures: background $b, #$3 $one, #$4 $two, old #$5 $old1, #$6 $old2 ($png)"
}

start_program() {
    (cd "$WORK" && exec "${AS_USER[@]}" "$@" "$PROGRAM") >>"$WORK/env/glimmer.log" 2>&1 &
    APP_PID=$!
    PIDS+=" $APP_PID"
    wait_window MAIN "the main window" any '^Glimmer Ver 1\.1$' 30
    wait_focus "the main window" "$MAIN"
    keys alt+s
    wait_window DLG "the project dialog" any '^Press F1 for Help$'
    wait_focus "the project dialog" "$DLG"
    keys Tab ctrl+a
    typed "$PROJ"
    keys Tab Tab
    typed sunset
    keys Return
    wait_gone "the project dialog" "$DLG"
    wait_focus "the main window, after the project dialog" "$MAIN"
}
# compile [use SHOT]: Compile; with "use", the button on the success message
# (whose screenshot is SHOT), and the box after it, which must be one of
# information saying "is now your screensaver".
compile() {
    keys alt+c
    wait_window INFO "the compile's success message" any '^Information$' 60
    wait_focus "the success message" "$INFO"
    if [ "${1:-}" != use ]; then
        keys Return
        wait_gone "the success message" "$INFO"
        return
    fi
    shot "$2-success"
    keys alt+s
    wait_gone "the success message" "$INFO"
    wait_window RESULT "the box after Use as My Screensaver" any '^(Information|Warning)$' 30 "$INFO"
    wait_focus "the box after Use as My Screensaver" "$RESULT"
    shot "$2-result"
    [ "$(xdotool getwindowname "$RESULT")" = Information ] || fail "the box after the button is a warning ($SHOTS/$2-result.png)"
    keys Return
    wait_gone "the box after Use as My Screensaver" "$RESULT"
    wait_focus "the main window, after the box" "$MAIN"
}

# --- XScreenSaver: the daemon runs before anything is installed ---------------
"${AS_USER[@]}" xscreensaver -no-splash >"$WORK/env/xscreensaver.log" 2>&1 &
DAEMON=$!
PIDS+=" $DAEMON"
for _ in $(seq 100); do "${AS_USER[@]}" xscreensaver-command -version >/dev/null 2>&1 && break; sleep 0.1; done
start_program
compile use xscreensaver
grep -q '^mode:[[:space:]]*one$' "$WORK/home/.xscreensaver" && grep -q '^timeout:' "$WORK/home/.xscreensaver" ||
    fail "~/.xscreensaver does not choose one screensaver with a timeout: $(grep -E '^(mode|selected|timeout):' "$WORK/home/.xscreensaver")"
xss() { "${AS_USER[@]}" xscreensaver-command "$@" >>"$WORK/env/command.log" 2>&1; }
xss -activate
shows xscreensaver-show "^$SCR --root" ff0000 ffff00 0000ff 00ff00
xss -deactivate
pictures 0000ff 00ff00
compile
xss -activate
shows xscreensaver-recompiled "^$SCR --root" 0000ff 00ff00 ff0000 ffff00
xss -deactivate
keys alt+q
wait_app_quits
kill "$DAEMON" && wait "$DAEMON" 2>/dev/null

# --- mate-screensaver: its own D-Bus session, Glimmer's launcher in its hack folder ---
DESTDIR=$WORK/stage cmake --install "$BIN_DIR/.." --prefix /usr >"$WORK/env/cmake.log" || fail "cmake --install failed"
mount --bind "$WORK/stage$HACKS" "$HACKS" || fail "cannot stand the installed folder for $HACKS"
"${AS_USER[@]}" dbus-daemon --session --nofork --print-address=3 3>"$WORK/env/bus" >/dev/null 2>&1 &
PIDS+=" $!"
for _ in $(seq 50); do [ -s "$WORK/env/bus" ] && break; sleep 0.1; done
AS_USER+=(DBUS_SESSION_BUS_ADDRESS="$(head -1 "$WORK/env/bus")")
"${AS_USER[@]}" gsettings set org.mate.screensaver lock-enabled false || fail "gsettings cannot reach dconf"
[ ! -e "$WORK/home/.local/share/applications" ] || fail "the home folder already has its folder of desktop entries"
"${AS_USER[@]}" mate-screensaver >"$WORK/env/mate.log" 2>&1 &
PIDS+=" $!"
mate() { "${AS_USER[@]}" mate-screensaver-command "$@" >>"$WORK/env/command.log" 2>&1; }
for _ in $(seq 100); do mate --query && break; sleep 0.1; done
mate --query || fail "mate-screensaver does not answer: $(tail -3 "$WORK/env/mate.log")"
pictures ff0000 ffff00
start_program
compile use mate
[ "$("${AS_USER[@]}" gsettings get org.mate.screensaver themes)" = "['screensavers-glimmer-sunset']" ] ||
    fail "MATE's settings do not choose the theme: $("${AS_USER[@]}" gsettings get org.mate.screensaver themes)"
mate --activate
shows mate-show "^$SCR --root" ff0000 ffff00 0000ff 00ff00
mate --deactivate
pictures 0000ff 00ff00
compile
mate --activate
shows mate-recompiled "^$SCR --root" 0000ff 00ff00 ff0000 ffff00
mate --deactivate
keys alt+q
wait_app_quits
echo "use-as-screensaver: passed"
