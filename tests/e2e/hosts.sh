#!/usr/bin/env bash
# A compiled screensaver under the hosts of today's desktops, used as the
# README says; each screenshot is the show alone (background and a picture,
# not one pixel of the host's), and no process is left. mate-screensaver (its
# own D-Bus session; its hack folder, in this mount namespace, first empty,
# then as `cmake --install` fills it); xsecurelock (Escape at the prompt
# resets the saver, the same player goes on; the password unlocks through
# PAM); swayidle in headless sway through Xwayland, two outputs, a key ends it.
# As root: each run has a user of its own, glimmer-hosts-PID, with a random
# password while xsecurelock needs it (sway refuses root); the user goes at
# the end, and the next run removes one that a killed run left.
# usage: hosts.sh <bin dir> <source dir>   (GLIMMER_E2E_SHOTS=DIR keeps the screenshots)
set -uo pipefail
BIN_DIR=$(cd "${1:?usage: hosts.sh <bin dir> <source dir>}" && pwd)
PROGRAM=$BIN_DIR/glimmer HACKS=/usr/libexec/xscreensaver E2E_USER=glimmer-hosts-$$ WORK="" KEEP_WORK=0 PIDS="" WATCHDOG=""
E2E_NAME=hosts
# shellcheck source=lib/report.bash
source "$(dirname "${BASH_SOURCE[0]}")/lib/report.bash"
for tool in Xvfb mate-screensaver mate-screensaver-command dbus-daemon gsettings desktop-file-validate unshare xsecurelock \
    sway swayidle Xwayland grim wtype xdotool import compare setpriv useradd chpasswd; do
    command -v "$tool" >/dev/null || skip "$tool is missing (scripts/install-deps installs it)"
done
[ "$(id -u)" = 0 ] || skip "it needs root, to give xsecurelock's user a password and mate-screensaver a hack folder"
[ -d "$HACKS" ] || skip "$HACKS is missing (scripts/install-deps installs xscreensaver, which makes it)"
unshare --mount true 2>/dev/null || skip "no mount namespace can be made here, to stand a folder for $HACKS"
[ -n "${GLIMMER_E2E_IN_NAMESPACE:-}" ] || GLIMMER_E2E_IN_NAMESPACE=1 exec unshare --mount --propagation private -- bash "$0" "$@"

# The run's user's processes, all of them this run's.
ours() { ps -o pid=,stat=,args= -u "$E2E_USER" 2>/dev/null | awk '$2 !~ /^Z/'; }
# Another run may hold the user files' lock for a moment.
users() { for _ in 1 2 3 4 5 6 7 8 9; do "$@" 2>/dev/null && return 0; sleep 0.3; done; "$@"; }
# Everything this run started goes at once, whatever failed: nothing of it
# may hold ctest's output.
cleanup() {
    if [ -n "$WATCHDOG" ]; then pkill -P "$WATCHDOG"; kill "$WATCHDOG"; fi 2>/dev/null
    for pid in $PIDS ${XVFB_PID:-} $(ours | awk '{print $1}'); do kill -KILL "$pid" 2>/dev/null; done
    wait 2>/dev/null
    id "$E2E_USER" >/dev/null 2>&1 && { users usermod -p '*' "$E2E_USER"; users userdel -f "$E2E_USER"; }
    [ -n "${GLIMMER_E2E_SHOTS:-}" ] && [ -n "$WORK" ] && mkdir -p "$GLIMMER_E2E_SHOTS" && cp "$WORK"/shots/*.png "$GLIMMER_E2E_SHOTS"/
    [ "$KEEP_WORK" = 0 ] && [ -n "$WORK" ] && rm -rf "$WORK"
}
trap cleanup EXIT
( sleep 240 && kill -TERM $$ ) >/dev/null 2>&1 &
WATCHDOG=$!
trap 'fail "the run took more than four minutes"' TERM
# The users of runs that were killed (their number is their run's process),
# and what those runs left running: a new user may get the same number.
for user in $(getent passwd | cut -d: -f1 | grep -E '^glimmer-hosts-[0-9]+$'); do
    kill -0 "${user#glimmer-hosts-}" 2>/dev/null && continue
    for pid in $(ps -o pid= -u "$user"); do kill -KILL "$pid"; done
    users usermod -p '*' "$user" && users userdel -f "$user"
done
WORK=$(mktemp -d "${TMPDIR:-/tmp}/glimmer-hosts.XXXXXX") || fail "cannot make a work folder"
mkdir -p "$WORK"/{env,mate/home,mate/bin,lock,sway/run,shots,no-glimmer} && chmod 755 "$WORK" && chmod 700 "$WORK/sway/run"
users useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$E2E_USER" ||
    fail "no user $E2E_USER could be made"
chown "$E2E_USER:" "$WORK"/{lock,sway,sway/run,shots}
AS_USER=(setpriv --reuid="$(id -u "$E2E_USER")" --regid="$(id -g "$E2E_USER")" --clear-groups -- env -i PATH="$PATH" LC_ALL=C.UTF-8)
# shellcheck source=lib/xsession.bash
source "$(dirname "${BASH_SOURCE[0]}")/lib/xsession.bash"
# shellcheck source=lib/project.bash
source "$(dirname "${BASH_SOURCE[0]}")/lib/project.bash"

# A folder with a blank: quoted in the theme and in the printed commands.
SAVERS="$WORK/My savers" BG=008040
mkdir -p "$SAVERS" && convert -size 320x240 xc:'#ff0000' BMP3:"$SAVERS/RED.BMP" && convert -size 240x180 xc:'#ffff00' "$SAVERS/YELLOW.JPG" ||
    fail "ImageMagick cannot write the pictures"
write_project "$SAVERS/SUNSET.SSJ" $((0x00408000)) 0 990 1 1 RED.BMP YELLOW.JPG
QT_QPA_PLATFORM=offscreen "$PROGRAM" --compile "$SAVERS/SUNSET.SSJ" >"$WORK/compile.log" 2>&1 || fail "--compile failed: $(cat "$WORK/compile.log")"
SCR=$SAVERS/SUNSET.SCR
# MATE's gets a name that must be quoted, in the theme and in root's command.
MATE_SCR="$SAVERS/Anne's (new) SUNSET.SCR" && cp "$SCR" "$MATE_SCR" && chmod -R a+rX "$SAVERS" || fail "cannot copy $SCR"

# alone PNG: the background over half of it, a picture, and nothing else.
count() { compare -metric AE -fuzz 6% "$1" -size "$(identify -format %wx%h "$1")" xc:"#$2" null: 2>&1 | awk -v n="$3" '{ print n - $1 }'; }
alone() {
    local n b r y
    n=$(identify -format '%[fx:w*h]' "$1"); b=$(count "$1" $BG "$n"); r=$(count "$1" ff0000 "$n"); y=$(count "$1" ffff00 "$n")
    SEEN="background $b, red $r, yellow $y of $n pixels"
    [ "$b" -gt $((n / 2)) ] && [ $((r + y)) -gt 0 ] && [ $((b + r + y)) = "$n" ]
}
# shows NAME: the show alone within 10 s, and still 1.5 s later, when what
# the host painted over it must be gone.
shows() {
    local png=$WORK/shots/$1.png
    for _ in $(seq 20); do sleep 0.5 && shot "$png" && alone "$png" && break; done
    alone "$png" && sleep 1.5 && shot "$png" && alone "$png" || fail "$1: not the show alone: $SEEN ($png)"
    echo "$1: $SEEN"
}
# wait_player HOST PGREP-ARGUMENT...: this run's player, as HOST started it.
wait_player() {
    local host=$1
    shift
    for _ in $(seq 100); do PLAYER=$(pgrep "$@" | head -1) && return 0; sleep 0.1; done
    fail "$host started no player"
}
gone() { for _ in $(seq 60); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.05; done; fail "$2"; }

# --- mate-screensaver ---------------------------------------------------------
shot() { import -window root "$1" 2>/dev/null; }
start_x_server 800x600
export HOME=$WORK/mate/home XDG_CONFIG_HOME=$WORK/mate/home/.config XDG_DATA_HOME=$WORK/mate/home/.local/share NO_AT_BRIDGE=1
dbus-daemon --session --nofork --print-address=3 3>"$WORK/mate/bus" >/dev/null 2>&1 &
PIDS+=" $!"
for _ in $(seq 50); do [ -s "$WORK/mate/bus" ] && break; sleep 0.1; done
DBUS_SESSION_BUS_ADDRESS=$(head -1 "$WORK/mate/bus") && export DBUS_SESSION_BUS_ADDRESS
gsettings set org.mate.screensaver lock-enabled false || fail "gsettings cannot reach dconf"
# MATE without XScreenSaver and without Glimmer: the theme alone, and a command for root.
ln -s "$(command -v mate-screensaver)" "$WORK/mate/bin/" && mount --bind "$WORK/no-glimmer" "$HACKS" || fail "cannot stand a folder for $HACKS"
PATH=$WORK/mate/bin "$MATE_SCR" --install >"$WORK/mate/out" 2>&1 || fail "--install failed: $(cat "$WORK/mate/out")"
[ ! -e "$HOME/.xscreensaver" ] || fail "without XScreenSaver, --install still wrote ~/.xscreensaver"
THEME=$XDG_DATA_HOME/applications/screensavers/glimmer-anne-s-new-sunset.desktop
out=$(desktop-file-validate "$THEME") || fail "desktop-file-validate refuses the theme: $out"
bash -c "$(sed -n 's/^sudo //p' "$WORK/mate/out" | sed 's/ && sudo / \&\& /')" || fail "the root command failed: $(cat "$WORK/mate/out")"
# Then --install again, as it says, on a MATE desktop: the theme is chosen.
XDG_CURRENT_DESKTOP=MATE "$MATE_SCR" --install >"$WORK/mate/out" 2>&1 &&
    [ "$(gsettings get org.mate.screensaver themes)" = "['screensavers-glimmer-anne-s-new-sunset']" ] ||
    fail "the second --install did not choose the theme: $(cat "$WORK/mate/out")"
mate() {
    mate-screensaver --no-daemon --debug >"$WORK/mate/$1.log" 2>&1 &
    local pid=$!
    PIDS+=" $pid"
    for _ in $(seq 100); do mate-screensaver-command --query >/dev/null 2>&1 && break; sleep 0.1; done
    mate-screensaver-command --activate || fail "mate-screensaver does not answer"
    wait_player "mate-screensaver ($(grep -m1 -e 'command for job' -e 'Could not find' "$WORK/mate/$1.log"))" -P "$pid" -f -- '--root$'
    shows "$1"
    mate-screensaver-command --deactivate
    gone "$PLAYER" "$1: the player still runs 3 s after --deactivate"
    kill "$pid" && wait "$pid"
}
mate mate-linked
DESTDIR=$WORK/stage cmake --install "$BIN_DIR/.." --prefix /usr >"$WORK/mate/cmake.log" || fail "cmake --install failed"
umount "$HACKS" && mount --bind "$WORK/stage$HACKS" "$HACKS" || fail "cannot stand the installed folder for $HACKS"
XDG_CURRENT_DESKTOP=MATE "$MATE_SCR" --install >"$WORK/mate/out" 2>&1 && grep -q "^Exec=$HACKS/glimmer-scr " "$THEME" && ! grep -q sudo "$WORK/mate/out" ||
    fail "with the launcher installed, the theme does not run it: $(cat "$WORK/mate/out" "$THEME")"
mate mate
"$MATE_SCR" --uninstall >/dev/null && [ ! -e "$THEME" ] || fail "--uninstall left $THEME"

# --- xsecurelock ----------------------------------------------------------------
PASSWORD=$(head -c 12 /dev/urandom | base64 | tr -dc A-Za-z0-9)
# (Each try reads the line afresh.)
LINE="$E2E_USER:$PASSWORD" users bash -c 'printf "%s\n" "$LINE" | chpasswd' || fail "chpasswd could not give $E2E_USER a password"
"${AS_USER[@]}" HOME="$WORK/lock" DISPLAY="$DISPLAY" XSECURELOCK_SAVER_RESET_ON_AUTH_CLOSE=1 XSECURELOCK_SAVER="$SCR" xsecurelock >"$WORK/lock/log" 2>&1 &
LOCK=$!
wait_player xsecurelock -u "$E2E_USER" -f -- "$SCR -root"
first=$PLAYER
shows locked
prompt() { keys space; for _ in $(seq 50); do pgrep -u "$E2E_USER" auth_x11 >/dev/null && return; sleep 0.1; done; fail "a key opened no prompt"; }
prompt
keys Escape
sleep 1.5
wait_player xsecurelock -u "$E2E_USER" -f -- "$SCR -root"
[ "$PLAYER" = "$first" ] || fail "the reset ended the player: $(grep -m1 'killed by signal' "$WORK/lock/log")"
shows after-reset
prompt
typed "$PASSWORD"
keys Return
gone "$LOCK" "the password did not unlock: $(tail -2 "$WORK/lock/log")"
users usermod -p '*' "$E2E_USER" || fail "the password of $E2E_USER cannot be taken away"
wait "$LOCK" || fail "xsecurelock ended with status $?"
sleep 0.5
[ -z "$(ours)" ] || fail "left after the unlock: $(ours)"

# --- swayidle in sway, through Xwayland (the command goes through the shell: a path without blanks) ---
cp "$SCR" "$WORK/sway/SUNSET.SCR" && SCR=$WORK/sway/SUNSET.SCR
printf '%s\n' "xwayland enable" "output HEADLESS-1 resolution 800x600 position 0 0" \
    "output HEADLESS-2 resolution 640x600 position 800 0" "exec swayidle -w timeout 3 '$SCR --x11'" >"$WORK/sway/config"
AS_USER+=(HOME="$WORK/sway" XDG_RUNTIME_DIR="$WORK/sway/run" WLR_BACKENDS=headless WLR_HEADLESS_OUTPUTS=2 WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman)
"${AS_USER[@]}" sway -c "$WORK/sway/config" >"$WORK/sway/log" 2>&1 &
SWAY=$!
PIDS+=" $SWAY"
for _ in $(seq 100); do [ -S "$WORK/sway/run/wayland-1" ] && break; sleep 0.1; done
AS_USER+=(WAYLAND_DISPLAY=wayland-1)
shot() { "${AS_USER[@]}" grim "$1"; }
# A headless seat has no keyboard, and sway gives one to a window of Xwayland's
# only when it is there as the window appears: a wtype holds one all along.
"${AS_USER[@]}" wtype -s 600000 -k F24 >/dev/null 2>&1 &
HOLD=$!
PIDS+=" $HOLD"
wait_player swayidle -u "$E2E_USER" -f "^$SCR --x11\$"
shows sway
[ "$(identify -format %wx%h "$WORK/shots/sway.png")" = 1440x600 ] || fail "the screenshot is not of both outputs"
"${AS_USER[@]}" wtype -k space || fail "wtype cannot send a key"
gone "$PLAYER" "the player still runs 3 s after the key"
kill "$HOLD" "$SWAY" && wait "$HOLD" "$SWAY"
for _ in $(seq 30); do [ -z "$(ours)" ] && break; sleep 0.1; done
[ -z "$(ours)" ] || fail "left after sway ended: $(ours)"
echo "hosts: passed"
