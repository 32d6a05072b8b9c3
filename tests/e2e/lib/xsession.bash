# Shared by the end-to-end tests: a private X server (Xvfb) and the helpers
# that find, wait for and look at windows on it. The caller defines
# fail MESSAGE (never returns) and sets WORK (a folder of its own, with env/
# in it) and APP_PID (the program under test, or empty).
# shellcheck shell=bash

# start_x_server WxH: a private Xvfb of that size; sets DISPLAY (exported),
# XVFB_PID and ROOT (the root window's id). Xvfb picks a free display itself;
# another server starting at the same moment can take it first, so a failed
# start is tried again. -noreset: the server must not start afresh (and turn
# clients away meanwhile) each time the last of the short-lived xdotool
# clients goes.
start_x_server() {
    local size=$1 attempt
    for attempt in 1 2 3 4 5; do
        start_xvfb "$size" && break
        printf 'Xvfb did not start (attempt %s): %s\n' "$attempt" "$(tail -1 "$WORK/env/xvfb.log")"
        sleep 0.5
    done
    [ -n "$XVFB_PID" ] || fail "Xvfb did not start: $(tail -3 "$WORK/env/xvfb.log")"
    DISPLAY=:$(tr -dc 0-9 <"$WORK/env/display")
    export DISPLAY
    printf 'display %s\n' "$DISPLAY"
    ROOT=$(printf '%d' "$(xwininfo -root | awk '/Window id:/ {print $4}')")
}

start_xvfb() {
    : >"$WORK/env/display"
    Xvfb -displayfd 3 -screen 0 "$1x24" -nolisten tcp -noreset 3>"$WORK/env/display" 2>"$WORK/env/xvfb.log" &
    XVFB_PID=$!
    for _ in $(seq 100); do
        # The number comes a moment before the server takes clients: wait
        # until one can talk to it.
        if [ -s "$WORK/env/display" ] &&
            DISPLAY=:$(tr -dc 0-9 <"$WORK/env/display") xwininfo -root >/dev/null 2>&1; then
            return 0
        fi
        kill -0 "$XVFB_PID" 2>/dev/null || break
        sleep 0.1
    done
    kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
    XVFB_PID=""
    return 1
}

list_windows() {
    local w
    for w in $(xdotool search --onlyvisible --name '' 2>/dev/null); do
        printf '%s %s "%s"\n' "$w" "$(win_size "$w")" "$(xdotool getwindowname "$w" 2>/dev/null)"
    done
}

win_size() { xdotool getwindowgeometry "$1" 2>/dev/null | awk '/Geometry:/ {print $2}'; }

focused() { xdotool getwindowfocus 2>/dev/null || true; }

# wait_window VAR WHAT SIZE TITLE-REGEX [TIMEOUT] [EXCLUDED-IDS]: sets VAR to
# the id of a visible window whose title matches and, unless SIZE is "any",
# of that size, once one is there. The root window never counts.
wait_window() {
    local var=$1 what=$2 size=$3 title=$4 timeout=${5:-15} exclude=${6:-} w i
    for ((i = 0; i < timeout * 20; i++)); do
        for w in $(xdotool search --onlyvisible --name '' 2>/dev/null); do
            case " $ROOT $exclude " in *" $w "*) continue ;; esac
            # The title as a window manager shows it (_NET_WM_NAME first).
            [[ "$(xdotool getwindowname "$w" 2>/dev/null)" =~ $title ]] || continue
            if [ "$size" = any ] || [ "$(win_size "$w")" = "$size" ]; then
                printf -v "$var" '%s' "$w"
                return 0
            fi
        done
        if [ -n "$APP_PID" ] && ! kill -0 "$APP_PID" 2>/dev/null; then
            fail "$what did not appear: the program has ended"
        fi
        sleep 0.05
    done
    fail "$what did not appear within $timeout s (looked for a $size window titled /$title/)"
}

# wait_gone WHAT ID [TIMEOUT]: the window is no longer on the screen.
wait_gone() {
    local what=$1 id=$2 timeout=${3:-15} i
    for ((i = 0; i < timeout * 20; i++)); do
        xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable' || return 0
        sleep 0.05
    done
    fail "$what is still on the screen after $timeout s"
}

# wait_app_quits: the program under test (APP_PID) ends within 10 s, with
# status 0, after it was told to quit; APP_PID is cleared.
wait_app_quits() {
    local status
    for _ in $(seq 200); do
        kill -0 "$APP_PID" 2>/dev/null || break
        sleep 0.05
    done
    kill -0 "$APP_PID" 2>/dev/null && fail "the program is still running 10 s after Quit"
    wait "$APP_PID"
    status=$?
    APP_PID=""
    [ "$status" = 0 ] || fail "the program ended with status $status"
}

# wait_focus WHAT ID: the window has the keyboard, as it must before a user
# can type into it.
wait_focus() {
    local what=$1 id=$2 i
    for ((i = 0; i < 200; i++)); do
        [ "$(focused)" = "$id" ] && return 0
        sleep 0.05
    done
    local f
    f=$(focused)
    fail "$what did not get the keyboard focus within 10 s (it is on window $f, $(win_size "$f") \"$(xdotool getwindowname "$f" 2>/dev/null)\")"
}

keys() { xdotool key --delay 40 "$@" || fail "xdotool could not send $*"; }
typed() { xdotool type --delay 30 -- "$1" || fail "xdotool could not type $1"; }

# shot NAME: the whole screen, after the windows have had a moment to paint.
shot() {
    sleep 0.4
    import -window root "$SHOTS/$1.png" || fail "could not take screenshot $1"
}

pixel() { convert "$1" -format "%[hex:p{$2,$3}]" info: 2>/dev/null; }

# check_background PNG RRGGBB: a full-screen window fills the screen with the
# project's background colour; the picture can cover one corner at most.
check_background() {
    local png=$1 want=$2 n=0 p w h
    read -r w h < <(identify -format '%w %h' "$png")
    for p in "2 2" "$((w - 3)) 2" "2 $((h - 3))" "$((w - 3)) $((h - 3))"; do
        # shellcheck disable=SC2086
        [ "$(pixel "$png" $p)" = "$want" ] && n=$((n + 1))
    done
    [ "$n" -ge 3 ] || fail "the background is not #$want: corners are $(pixel "$png" 2 2) $(pixel "$png" $((w - 3)) 2) $(pixel "$png" 2 $((h - 3))) $(pixel "$png" $((w - 3)) $((h - 3)))"
}
