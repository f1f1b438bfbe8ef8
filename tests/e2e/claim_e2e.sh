#!/bin/sh
# One lock per display: the program started again while it runs (an idle
# watcher firing over a lock started from a key, a key pressed twice) hands
# over to the running lock and ends; the owner is never locked out. Also the
# suspend delay an idle watcher hands over (XSS_SLEEP_LOCK_FD).
# Usage: claim_e2e.sh PROGRAM XPROBE
set -u
PROGRAM=$1
XPROBE=$2
WORK=$(mktemp -d)
. "$(dirname "$0")/lib.sh"
begin_e2e
printf '[Pass]\nWord=pw\n' >"$INI"

start() { # start NAME : the program in the background, its status in $WORK/NAME.status
    ( "$WORK/pomlock" >"$WORK/$1.log" 2>&1; echo "$?" >"$WORK/$1.status" ) &
    PIDS="$PIDS $!"
}
status_of() { cat "$WORK/$1.status" 2>/dev/null; }
ended() { test -e "$WORK/$1.status"; }
lock_windows() { xdotool search --onlyvisible --name '^Form1$' 2>/dev/null | wc -l; }
processes() { pgrep -f "^$WORK/pomlock" | wc -l; }
# One lock on screen, the dialog shows, the password gets in; quit ends
# every process of every start and frees the keyboard.
one_working_lock() { # one_working_lock CASE
    expect "$1: one lock window" test "$(lock_windows)" -eq 1
    expect "$1: the dialog on screen, the password gets in" owner_gets_in pw
    expect "$1: ... and the panel shows" shows "$(visible_window '^Form1$')"
    xdotool mousemove 944 28 click 1 # quit
    expect "$1: quit ends every process" wait_until 5 sh -c "[ \$(pgrep -f '^$WORK/pomlock' | wc -l) -eq 0 ]"
    expect "$1: the keyboard is free" wait_until 3 keyboard_free
}
second_start_handed_over() { # second_start_handed_over CASE NAME
    expect "$1: the second start ends" wait_until 5 ended "$2"
    expect "$1: ... with status 2 ($(status_of "$2"))" test "$(status_of "$2")" = 2
    expect "$1: ... saying so in one line" test "$(wc -l <"$WORK/$2.log")" -eq 1
    echo "     $1: $(cat "$WORK/$2.log")"
}

# --- a second start 0.3 s after the first
start first
sleep 0.3
start second
second_start_handed_over "0.3 s apart" second
expect "0.3 s apart: locked" wait_until 10 in_force
one_working_lock "0.3 s apart"

# --- the owner is in and walks away; the idle watcher starts it again
start first
wait_until 10 in_force
owner_gets_in pw
asked=$(date +%s%N)
start second
expect "owner in: the screen locks again" wait_until 2 pixel_is 600 5 000000
locked_ms=$((($(date +%s%N) - asked) / 1000000))
expect "owner in: ... within 1 s ($locked_ms ms)" test "$locked_ms" -le 1000
expect "owner in: ... and held" wait_until 2 in_force
second_start_handed_over "owner in" second
one_working_lock "owner in"

# --- the same with the file dialog open over the panel: it closes, then the lock
start first
wait_until 10 in_force
owner_gets_in pw
xdotool mousemove 624 44 click 1 # 変更するぽむ
wait_until 5 visible_window '^open backpicture$'
start second
expect "file dialog open: it closes" wait_until 2 no_visible_window '^open backpicture$'
expect "file dialog open: the screen locks again" wait_until 2 pixel_is 600 5 000000
expect "file dialog open: ... and held" wait_until 2 in_force
second_start_handed_over "file dialog open" second
one_working_lock "file dialog open"

# --- a second start handed the suspend delay while locked: released at once
start first
wait_until 10 in_force
set -- $("$XPROBE" sleeplock "$WORK/pomlock")
expect "delay of a second start: released within 100 ms ($2 ms)" \
    awk -v ms="$2" 'BEGIN { exit !(ms <= 100) }'
expect "delay of a second start: that start ends" wait_until 5 gone "$8"
one_working_lock "suspend delay"

# --- two starts at the same instant
start one
start two
expect "same instant: one of the two ends, handed over" wait_until 5 sh -c \
    "[ \"\$(cat '$WORK/one.status' '$WORK/two.status' 2>/dev/null)\" = 2 ]"
expect "same instant: locked" wait_until 10 in_force
one_working_lock "same instant"

# --- a claim never outlives its lock: killed outright, a new start locks
start first
wait_until 10 in_force
pkill -KILL -f "^$WORK/pomlock"
wait_until 5 sh -c "[ \$(pgrep -f '^$WORK/pomlock' | wc -l) -eq 0 ]"
start again
expect "after a lock killed outright: a new start locks" wait_until 10 in_force
one_working_lock "after a kill"

# --- the first start hands over the suspend delay once covered and grabbed
set -- $("$XPROBE" sleeplock "$WORK/pomlock")
echo "     first start: delay released $2 ms after exec"
expect "first start: delay released once the screen is covered" test "$4" = yes
expect "first start: ... and the keyboard held" test "$6" = yes
wait_until 10 in_force
one_working_lock "first start"

summary
