#!/usr/bin/env bash
# A compiled screensaver under mate-screensaver (Debian's), in an X server
# and a D-Bus session of its own, installed as a user installs it:
# NAME.SCR --install writes a theme that desktop-file-validate accepts and
# prints the command that selects it, which the test runs; --activate shows
# the pictures on the background with not one black pixel; --deactivate ends
# the player; --uninstall takes the theme away.
#
# mate-screensaver runs only programs in its own hack folders. In a mount
# namespace of the test's own, /usr/libexec/xscreensaver is first an empty
# folder, as where Glimmer is not installed: the .SCR prints the one command
# root must run, and the test runs it; then it is the folder that
# `cmake --install` fills, with Glimmer's launcher, and the theme uses that.
#
# usage: mate.sh <bin dir> <source dir>
#   GLIMMER_E2E_SHOTS=DIR keeps the screenshots there.
set -uo pipefail

BIN_DIR=$(cd "${1:?usage: mate.sh <bin dir> <source dir>}" && pwd)
PROGRAM=$BIN_DIR/glimmer
HACKS=/usr/libexec/xscreensaver
WORK=""
XVFB_PID=""
BUS_PID=""
MATE_PID=""
KEEP_WORK=0
SHOTS=""

E2E_NAME=mate
# shellcheck source=lib/report.bash
source "$(dirname "${BASH_SOURCE[0]}")/lib/report.bash"

for tool in Xvfb mate-screensaver mate-screensaver-command dbus-daemon gsettings desktop-file-validate unshare import convert compare identify pgrep; do
    command -v "$tool" >/dev/null || skip "$tool is missing (scripts/install-deps installs it)"
done
[ -d "$HACKS" ] || skip "$HACKS is missing (scripts/install-deps installs xscreensaver, which makes it)"
[ -x "$PROGRAM" ] || fail "no program at $PROGRAM: build it first"
# The hack folder is replaced in this test's own mount namespace only.
if [ -z "${GLIMMER_E2E_IN_NAMESPACE:-}" ]; then
    userns=()
    [ "$(id -u)" = 0 ] || userns=(--user --map-root-user)
    unshare "${userns[@]}" --mount --propagation private true 2>/dev/null ||
        skip "no mount namespace can be made here (unshare ${userns[*]} --mount), to stand a folder for $HACKS"
    GLIMMER_E2E_IN_NAMESPACE=1 exec unshare "${userns[@]}" --mount --propagation private -- bash "$0" "$@"
fi

cleanup() {
    local pid
    for pid in $MATE_PID $BUS_PID $XVFB_PID; do
        kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    done
    if [ -n "${GLIMMER_E2E_SHOTS:-}" ] && [ -n "$SHOTS" ]; then
        mkdir -p "$GLIMMER_E2E_SHOTS" && cp "$SHOTS"/*.png "$GLIMMER_E2E_SHOTS"/ 2>/dev/null
    fi
    [ "$KEEP_WORK" = 0 ] && [ -n "$WORK" ] && rm -rf "$WORK"
}
trap cleanup EXIT

WORK=$(mktemp -d "${TMPDIR:-/tmp}/glimmer-mate.XXXXXX") || fail "cannot make a work folder"
SHOTS=$WORK/shots
mkdir -p "$WORK/env/home" "$WORK/env/run" "$WORK/no-glimmer" "$SHOTS"
chmod 700 "$WORK/env/run"
export HOME=$WORK/env/home XDG_RUNTIME_DIR=$WORK/env/run XDG_CONFIG_HOME=$WORK/env/home/.config \
    XDG_DATA_HOME=$WORK/env/home/.local/share XDG_CURRENT_DESKTOP=MATE LC_ALL=C.UTF-8 NO_AT_BRIDGE=1 GTK_A11Y=none
unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY

# shellcheck source=lib/xsession.bash
source "$(dirname "${BASH_SOURCE[0]}")/lib/xsession.bash"
# shellcheck source=lib/hosts.bash
source "$(dirname "${BASH_SOURCE[0]}")/lib/hosts.bash"
shot() { import -window root "$1" 2>/dev/null; }
start_x_server 800x600
dbus-daemon --session --nofork --print-address=3 3>"$WORK/env/bus" >/dev/null 2>"$WORK/env/bus.log" &
BUS_PID=$!
for _ in $(seq 50); do [ -s "$WORK/env/bus" ] && break; sleep 0.1; done
DBUS_SESSION_BUS_ADDRESS=$(head -1 "$WORK/env/bus")
[ -n "$DBUS_SESSION_BUS_ADDRESS" ] || fail "no D-Bus session: $(tail -3 "$WORK/env/bus.log")"
export DBUS_SESSION_BUS_ADDRESS
gsettings set org.mate.screensaver lock-enabled false || fail "gsettings cannot reach dconf"

# A path that needs quoting, in the theme file and in the printed commands.
compile_saver "$WORK/Anne's savers" SUNSET

start_mate() {
    mate-screensaver --no-daemon --debug >"$WORK/env/mate.log" 2>&1 &
    MATE_PID=$!
    for _ in $(seq 100); do
        mate-screensaver-command --query >/dev/null 2>&1 && return 0
        kill -0 "$MATE_PID" 2>/dev/null || fail "mate-screensaver ended: $(tail -3 "$WORK/env/mate.log")"
        sleep 0.1
    done
    fail "mate-screensaver did not answer within 10 s"
}
stop_mate() { kill "$MATE_PID" && wait "$MATE_PID" 2>/dev/null; MATE_PID=""; }

# activate NAME: the show under mate-screensaver, then its end.
activate() {
    mate-screensaver-command --activate >/dev/null || fail "$1: mate-screensaver-command --activate failed"
    wait_player "SUNSET.SCR --root" 10 || fail "$1: mate-screensaver started no player: $(grep -v '^$' "$WORK/env/mate.log" | tail -3)"
    wait_shows "$1"
    mate-screensaver-command --deactivate >/dev/null
    gone_within "$PLAYER" 3 || fail "$1: the player $PLAYER still runs 3 s after --deactivate"
}

# --- 1. Where Glimmer is not installed: the one command for root ----------
mount --bind "$WORK/no-glimmer" "$HACKS" || fail "cannot stand $WORK/no-glimmer for $HACKS"
"$SCR" --install >"$WORK/install.out" 2>&1 || fail "--install failed: $(cat "$WORK/install.out")"
cat "$WORK/install.out"
theme=$(sed -n 's/.*(the theme \(screensavers-[a-z0-9-]*\)).*/\1/p' "$WORK/install.out")
[ "$theme" = screensavers-glimmer-sunset ] || fail "--install named no theme screensavers-glimmer-sunset"
file=$XDG_DATA_HOME/applications/screensavers/glimmer-sunset.desktop
desktop-file-validate "$file" >"$WORK/validate.out" 2>&1 || fail "desktop-file-validate refuses $file: $(cat "$WORK/validate.out")"
root_line=$(grep '^sudo ' "$WORK/install.out") || fail "--install printed no command for root"
# As root runs it (here, root in this namespace).
bash -c "${root_line//sudo /}" || fail "the command for root failed: $root_line"
bash -c "$(grep '^gsettings set org.mate.screensaver mode' "$WORK/install.out")" || fail "the printed gsettings command failed"
gsettings get org.mate.screensaver themes | grep -qF "'$theme'" || fail "the printed command did not select $theme"
start_mate
activate mate-linked
stop_mate

# --- 2. With Glimmer installed: its launcher ------------------------------
DESTDIR=$WORK/stage cmake --install "$BIN_DIR/.." --prefix /usr >"$WORK/env/cmake-install.log" 2>&1 ||
    fail "cmake --install failed: $(tail -3 "$WORK/env/cmake-install.log")"
[ -x "$WORK/stage$HACKS/glimmer-scr" ] || fail "cmake --install put no launcher glimmer-scr into $HACKS"
umount "$HACKS" && mount --bind "$WORK/stage$HACKS" "$HACKS" || fail "cannot stand the installed folder for $HACKS"
"$SCR" --install >"$WORK/install.out" 2>&1 || fail "--install with the launcher failed: $(cat "$WORK/install.out")"
! grep -q '^sudo ' "$WORK/install.out" || fail "with the launcher installed, --install still asks for root: $(cat "$WORK/install.out")"
grep -q "^Exec=$HACKS/glimmer-scr " "$file" || fail "the theme does not run the launcher: $(grep '^Exec' "$file")"
[ "$(ls "$XDG_DATA_HOME/applications/screensavers")" = glimmer-sunset.desktop ] || fail "a second --install made a second theme"
desktop-file-validate "$file" >"$WORK/validate.out" 2>&1 || fail "desktop-file-validate refuses $file: $(cat "$WORK/validate.out")"
start_mate
activate mate
stop_mate

# --- 3. --uninstall ------------------------------------------------------------
"$SCR" --uninstall >"$WORK/uninstall.out" 2>&1 || fail "--uninstall failed: $(cat "$WORK/uninstall.out")"
[ ! -e "$file" ] || fail "--uninstall left $file"
left=$(pgrep -f -- "$WORK/" | tr '\n' ' ')
[ -z "$left" ] || fail "processes left: $left"
echo "mate: passed"
