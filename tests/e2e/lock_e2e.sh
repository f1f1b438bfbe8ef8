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
expect "dialog shows above the lock window" wait_until 3 shows "$DIALOG"

# Nobody's to manage: our own frame, whose title bar and close box work
# although the lock holds the pointer.
expect "dialog is nobody's to manage" sh -c "xwininfo -id $DIALOG | grep -q 'Override Redirect State: yes'"
position() { xwininfo -id "$1" | awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { print x "," $NF }'; }
frame() { # sets FX FY FW FH: the dialog with its frame
    eval "$(xdotool getwindowgeometry --shell "$DIALOG" |
        sed -n 's/^X=/FX=/p; s/^Y=/FY=/p; s/^WIDTH=/FW=/p; s/^HEIGHT=/FH=/p')"
}
frame
expect "dialog: its client area of 250x69 in a frame" test "$FW" -eq 252 -a "$FH" -gt 69
TITLE=$((FH - 70)) # the title bar and the top border
BEFORE=$(position "$DIALOG")
xdotool mousemove $((FX + FW / 3)) $((FY + 8)) mousedown 1 mousemove $((FX + FW / 3 + 30)) $((FY + 28)) \
    mousemove $((FX + FW / 3 + 60)) $((FY + 48)) mouseup 1
moved() { [ "$(position "$DIALOG")" = "$((${BEFORE%,*} + 60)),$((${BEFORE#*,} + 40))" ]; }
expect "dragging the title bar moves the dialog" wait_until 3 moved
box_has_text() { # dark stars right of where the cursor stands in an empty box
    set -- $(position "$DIALOG" | tr , ' ')
    "$XPROBE" find $(($1 + 85)) $(($2 + TITLE + 12)) 40 14 000000
}
xdotool type --delay 20 typed
expect "the password box shows what was typed" wait_until 3 box_has_text
frame
xdotool mousemove $((FX + FW - 12)) $((FY + TITLE / 2)) click 1
expect "the close box closes the dialog" wait_until 3 no_visible_window 'パスワードを入力'

# Dismissed: the window manager's own mouse bindings do not act on the lock.
xdotool keydown alt mousemove 300 900 mousedown 1 mousemove 500 950 mousemove 700 1000 mouseup 1 click 2 keyup alt
expect "Alt+drag and Alt+middle-click leave the lock where it is" holds_for 0.5 sh -c \
    "xwininfo -id $LOCK | grep -q -- '-geometry 1920x1080+0+0' && [ \"\$('$XPROBE' top)\" = $LOCK ]"

xdotool mousemove 960 540 click --repeat 2 --delay 80 1
expect "double-click loads the dialog anew" wait_until 5 visible_window 'パスワードを入力'
DIALOG=$(visible_window 'パスワードを入力')
expect "... with an empty password box" holds_for 0.3 sh -c "! box_has_text"
xdotool type --delay 20 wrong
xdotool key Return
expect "refusal shown" wait_until 5 visible_window '^ちがうぽむ$'
REFUSAL=$(visible_window '^ちがうぽむ$')
expect "refusal shows above the lock window" wait_until 3 shows "$REFUSAL"
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
expect "no click reached another client" test "$(grep -c '^click$' "$WORK/raiser.log")" -eq 0

kill "$LOCK_PID" 2>/dev/null
summary
