#!/bin/sh
# The real program on a real X server (Xvfb 1920x1080 with openbox), driven
# from outside with xdotool and a second client of our own.
# Usage: lock_e2e.sh PROGRAM XPROBE
set -u
PROGRAM=$1
XPROBE=$2
WORK=$(mktemp -d)
. "$(dirname "$0")/lib.sh"
begin_e2e
white_picture "$WORK/white.ppm" 200 100
printf '[Pass]\nWord=pw\n[Pic]\nBack=%s\n' "$WORK/white.ppm" >"$INI"

# An ordinary window that raises itself all the time.
"$XPROBE" raiser >"$WORK/raiser.log" &
PIDS="$PIDS $!"
wait_until 5 visible_window xprobe-raiser
shortcut_runs() { xdotool key ctrl+alt+t && wait_until 1 test -e "$WORK/wm-shortcut"; }
expect "window manager shortcut works before locking" wait_until 10 shortcut_runs
rm -f "$WORK/wm-shortcut"
keys_seen() { grep -c '^key$' "$WORK/raiser.log"; }
typed_reaches_probe() { xdotool type x && wait_until 1 test "$(keys_seen)" -gt 0; }
expect "keys reach the probe before locking" wait_until 5 typed_reaches_probe

"$WORK/pomlock" >"$WORK/pomlock.log" 2>&1 &
LOCK_PID=$!
PIDS="$PIDS $LOCK_PID"
expect "lock window mapped" wait_until 10 visible_window '^Form1$'
LOCK=$(visible_window '^Form1$')
expect "keyboard grab in force" wait_until 5 keyboard_taken
expect "pointer grab in force" pointer_taken
covers_screen() { xwininfo -id "$LOCK" | grep -q -- '-geometry 1920x1080+0+0'; }
expect "lock window covers the screen" wait_until 5 covers_screen
expect "picture centred, white" wait_until 5 pixel_is 960 540 ffffff
expect "picture edge left of centre" pixel_is 861 491 ffffff
expect "black outside the picture" pixel_is 859 540 000000
expect "top left corner black" pixel_is 0 0 000000
expect "bottom right corner black" pixel_is 1919 1079 000000
expect "lock window on top" wait_until 5 is_topmost "$LOCK"
expect "lock window stays above the self-raising window" holds_for 1 is_topmost "$LOCK"
expect "self-raising window stays hidden" holds_for 1 pixel_is 150 150 000000

KEYS_BEFORE=$(keys_seen)
xdotool key ctrl+alt+t
xdotool type abc
expect "window manager shortcut blocked" holds_for 1 no_file "$WORK/wm-shortcut"
expect "no key reached another client" test "$(keys_seen)" -eq "$KEYS_BEFORE"

wmctrl -i -c "$LOCK"
xdotool key alt+F4
expect "close request ignored while locked" holds_for 1 visible_window '^Form1$'
expect "grab still in force after the close request" keyboard_taken
expect "still topmost after the close request" is_topmost "$LOCK"

# Unlock request: the dialog opens above the lock window and takes keys.
xdotool mousemove 960 540 click --repeat 2 --delay 80 1
expect "double-click opens the dialog" wait_until 5 visible_window 'パスワードを入力'
DIALOG=$(visible_window 'パスワードを入力')
expect "dialog above the lock window" wait_until 3 is_above "$DIALOG" "$LOCK"
xdotool type --delay 20 wrong
xdotool key Return
expect "refusal shown" wait_until 5 visible_window '^ちがうぽむ$'
REFUSAL=$(visible_window '^ちがうぽむ$')
expect "refusal above the lock window" is_above "$REFUSAL" "$LOCK"
is_active() { [ "$(xdotool getactivewindow)" = "$1" ]; }
expect "refusal is active" wait_until 3 is_active "$REFUSAL"
xdotool key Return
expect "refusal closed" wait_until 5 no_visible_window '^ちがうぽむ$'
expect "panel still hidden" pixel_is 600 5 000000

xdotool mousemove 960 540 click --repeat 2 --delay 80 1
expect "dialog opens again" wait_until 5 visible_window 'パスワードを入力'
xdotool type --delay 20 pw # replaces the selected old entry
xdotool key Return
expect "stored password reveals the panel" wait_until 5 pixel_is_not 600 5 000000
expect "title box shown: red title" "$XPROBE" find 0 0 193 73 ff0000
expect "title box shown: yellow version" "$XPROBE" find 0 0 193 73 ffff00
expect "grab still held after unlocking" keyboard_taken

kill "$LOCK_PID" 2>/dev/null
summary
