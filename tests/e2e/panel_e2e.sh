#!/bin/sh
# The road of a typical use, on Xvfb with openbox: first unlock with no
# settings file, store a new password, lock again, and quit.
# Usage: panel_e2e.sh PROGRAM XPROBE
set -u
PROGRAM=$1
XPROBE=$2
WORK=$(mktemp -d)
. "$(dirname "$0")/lib.sh"
begin_e2e

# Centres of the panel's controls, in pixels (twips / 15, inside their frames).
TEXT1="288 44"
SAVE="468 44"
LOCK_AGAIN="944 56"
QUIT="944 28"

unlock_with() { # unlock_with PASSWORD
    xdotool mousemove 960 540 click --repeat 2 --delay 80 1
    wait_until 5 visible_window 'パスワードを入力' || return 1
    if [ -n "$1" ]; then xdotool type --delay 20 "$1"; fi
    xdotool key Return
}
panel_hidden() { pixel_is 600 5 000000; }

"$WORK/pomlock" >"$WORK/pomlock.log" 2>&1 &
LOCK_PID=$!
PIDS="$PIDS $LOCK_PID"
expect "lock window mapped" wait_until 10 visible_window '^Form1$'
LOCK=$(visible_window '^Form1$')
expect "lock window on top" wait_until 5 is_topmost "$LOCK"
expect "locked" wait_until 5 keyboard_taken
expect "no settings file yet" no_file "$INI"

unlock_with ""
expect "empty password lets a newcomer in" wait_until 5 panel_shown

xdotool mousemove $TEXT1 click 1
xdotool type --delay 20 neko
xdotool mousemove $SAVE click 1
expect "confirmation shown" wait_until 5 visible_window '^ぽむ$'
xdotool key Return
expect "confirmation closed" wait_until 5 no_visible_window '^ぽむ$'
expect "new password stored" grep -qx 'Word=neko' "$INI"
expect "settings file is private" sh -c "[ \$(stat -c %a '$INI') = 600 ]"

xdotool mousemove $LOCK_AGAIN click 1
expect "lock again hides the panel" wait_until 5 panel_hidden
expect "lock window back on top" wait_until 5 is_topmost "$LOCK"
expect "still grabbed after lock again" keyboard_taken

unlock_with ""
expect "old (empty) password refused" wait_until 5 visible_window '^ちがうぽむ$'
xdotool key Return
expect "refusal closed" wait_until 5 no_visible_window '^ちがうぽむ$'
expect "panel stays hidden" panel_hidden

unlock_with neko
expect "new password accepted" wait_until 5 panel_shown

xdotool mousemove $QUIT click 1
if expect "quit ends the program" wait_until 5 gone "$LOCK_PID"; then
    wait "$LOCK_PID"
    expect "exit status 0" test "$?" -eq 0
fi
expect "keyboard free for others after quit" wait_until 2 keyboard_free
expect "pointer free for others after quit" "$XPROBE" grab-pointer
summary
