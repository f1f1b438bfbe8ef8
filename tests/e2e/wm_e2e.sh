#!/bin/sh
# The lock's road under the window managers people use, each on its own Xvfb,
# the screen read from Xvfb's framebuffer (what a compositing manager really
# shows): lock, double-click, the dialog, a wrong password and its box, the
# right one, the panel, a picture chosen in the file dialog, save, lock
# again, quit, and the keyboard free. Prints a table: window manager x step.
# Usage: wm_e2e.sh PROGRAM XPROBE
set -u
PROGRAM=$1
XPROBE=$2
WMS="openbox openbox+xcompmgr fluxbox icewm i3 xfwm4 metacity"
STEPS="locked dialog refused panel picture saved relocked quit"
TABLE=$(mktemp)
. "$(dirname "$0")/lib.sh"

road() { # the steps, as far as they go; each done one is written to $TABLE
    printf '[Pass]\nWord=pw\n' >"$INI"
    white_picture "$WORK/white.ppm" 200 100
    "$WORK/pomlock" >"$WORK/pomlock.log" 2>&1 &
    LOCK_PID=$!
    PIDS="$PIDS $LOCK_PID"
    step() { echo "$WM $1" >>"$TABLE"; }
    wait_until 10 in_force && pixel_is 0 0 000000 && pixel_is 1919 1079 000000 && step locked || return
    xdotool mousemove 200 900 click --repeat 2 --delay 80 1
    wait_until 5 dialog_shown && wait_until 3 shows "$(dialog_shown)" && step dialog || return
    xdotool type --delay 20 wrong && xdotool key Return
    refusal() { visible_window '^ちがうぽむ$'; }
    wait_until 5 refusal && wait_until 3 shows "$(refusal)" || return
    xdotool key Return
    wait_until 5 no_visible_window '^ちがうぽむ$' && pixel_is 600 5 000000 && step refused || return
    xdotool mousemove 200 900 click --repeat 2 --delay 80 1
    wait_until 5 dialog_shown && xdotool type --delay 20 pw && xdotool key Return
    wait_until 5 panel_shown && step panel || return
    xdotool mousemove 624 44 click 1 # 変更するぽむ
    files() { visible_window '^open backpicture$'; }
    wait_until 5 files && wait_until 3 shows "$(files)" || return
    xdotool type --delay 10 "$WORK/white.ppm" && xdotool key Return
    wait_until 5 no_visible_window '^open backpicture$' && xdotool mousemove 1900 1060 &&
        wait_until 5 pixel_is 960 540 ffffff && step picture || return
    xdotool mousemove 468 44 click 1 # セットして保存するぽむ
    saved() { visible_window '^ぽむ$'; }
    wait_until 5 saved && wait_until 3 shows "$(saved)" && xdotool key Return &&
        wait_until 5 no_visible_window '^ぽむ$' && grep -q "Back=$WORK/white.ppm" "$INI" && step saved || return
    xdotool mousemove 944 56 click 1 # またロックするぽむ
    wait_until 5 pixel_is 600 5 000000 && wait_until 5 in_force && step relocked || return
    xdotool mousemove 200 900 click --repeat 2 --delay 80 1
    wait_until 5 dialog_shown && xdotool type --delay 20 pw && xdotool key Return
    wait_until 5 panel_shown && xdotool mousemove 944 28 click 1 # 終了するぽむ
    wait_until 5 gone "$LOCK_PID" && wait_until 3 keyboard_free && "$XPROBE" grab-pointer && step quit
}

for WM in $WMS; do
    WORK=$(mktemp -d)
    E2E_WM=$WM begin_e2e
    trap - EXIT
    export XPROBE_FB="$FRAMEBUFFER"
    road
    for s in $STEPS; do
        expect "$WM: $s" grep -qx "$WM $s" "$TABLE" || break
    done
    [ "$FAILED" -eq 0 ] || { echo "--- $WM: program"; cat "$WORK/pomlock.log"; }
    stop_all
    PIDS=""
    rm -rf "$WORK"
done

echo
printf '     %-18s' "window manager" && for s in $STEPS; do printf ' %-9s' "$s"; done && echo
for WM in $WMS; do
    printf '     %-18s' "$WM"
    for s in $STEPS; do
        v=NO && grep -qx "$WM $s" "$TABLE" && v=yes
        printf ' %-9s' "$v"
    done
    echo
done
echo
rm -f "$TABLE"
WORK=$(mktemp -d) # for the summary
summary
