#!/bin/sh
# The installed program, started as an idle watcher (xss-lock, xautolock)
# starts its locker: a child it waits for, whose exit status it reads.
# Usage: install_e2e.sh CMAKE BUILD_DIR XPROBE
set -u
CMAKE=$1
BUILD=$2
XPROBE=$3
WORK=$(mktemp -d)
. "$(dirname "$0")/lib.sh"
trap 'stop_all; rm -rf "$WORK"' EXIT
start_x 1920x1080

PREFIX="$WORK/prefix"
expect "installs into a prefix" sh -c "'$CMAKE' --install '$BUILD' --prefix '$PREFIX' >'$WORK/install.log'"
expect "the guardian and the lock side by side" test -x "$PREFIX/bin/pomlock" -a -x "$PREFIX/bin/pomlock-screen"
expect "the manual page with them" test -s "$PREFIX/share/man/man1/pomlock.1"
INI="$PREFIX/bin/ぽむ.ini"
printf '[Pass]\nWord=pw\n' >"$INI"

( "$PREFIX/bin/pomlock" >"$WORK/pomlock.log" 2>&1; echo "$?" >"$WORK/status" ) &
PIDS="$PIDS $!"
ended() { test -e "$WORK/status"; }
expect "covered" wait_until 10 visible_window '^Form1$'
expect "keyboard and pointer held" wait_until 5 sh -c "! '$XPROBE' grab-keyboard && ! '$XPROBE' grab-pointer"
expect "stays in the foreground while locked" holds_for 1 sh -c "! test -e '$WORK/status'"

xdotool mousemove 960 540 click --repeat 2 --delay 80 1
expect "the dialog" wait_until 5 visible_window 'パスワードを入力'
xdotool type --delay 20 pw
xdotool key Return
expect "the password stored beside the installed program lets the owner in" wait_until 5 pixel_is_not 600 5 000000

xdotool mousemove 288 44 click 1 key ctrl+a
xdotool type --delay 20 neko
xdotool mousemove 468 44 click 1 # set and save
expect "saved" wait_until 5 visible_window '^ぽむ$'
xdotool key Return
expect "the settings file lies beside the installed program" grep -qx 'Word=neko' "$INI"
expect "still running once unlocked" sh -c "! test -e '$WORK/status'"

xdotool mousemove 944 28 click 1 # quit
expect "quit ends it" wait_until 5 ended
expect "... with exit status 0" test "$(cat "$WORK/status" 2>/dev/null)" = 0
expect "... and lets everything go" wait_until 2 keyboard_free
summary
