#!/bin/sh
# What another program, or someone at the keyboard, may try against the
# locked screen, on Xvfb with openbox. Each attempt has its own check.
# Usage: adversary_e2e.sh PROGRAM XPROBE MKPICTURE
set -u
PROGRAM=$1
XPROBE=$2
MKPICTURE=$3
WORK=$(mktemp -d)
. "$(dirname "$0")/lib.sh"
begin_e2e
KEYS="alt+Tab alt+F4 ctrl+alt+Delete ctrl+Escape Super_L super+d alt+F2 ctrl+alt+Right"

start_lock() {
    "$WORK/pomlock" >>"$WORK/pomlock.log" 2>&1 &
    LOCK_PID=$!
    PIDS="$PIDS $LOCK_PID"
}
stop_lock() {
    kill "$LOCK_PID" 2>/dev/null
    wait_until 5 gone "$LOCK_PID"
}
lock_window() { visible_window '^Form1$'; }
# The lock is in force: its window is on screen and on top, the grabs held.
in_force() {
    local w
    w=$(lock_window) && is_topmost "$w" && keyboard_taken && pointer_taken
}
# ... and black where no picture is.
locked() { in_force && pixel_is 0 0 000000 && pixel_is 300 250 000000 && pixel_is 1000 800 000000; }
# For a while, with the process alive throughout.
stays_locked() { holds_for "$1" sh -c "kill -0 $LOCK_PID" && locked; }
stays_in_force() { holds_for "$1" sh -c "kill -0 $LOCK_PID" && in_force; }

# --- a probe that listens for keys, and the shortcuts, before locking
"$XPROBE" raiser >"$WORK/raiser.log" &
PIDS="$PIDS $!"
wait_until 5 visible_window xprobe-raiser
RAISER=$(visible_window xprobe-raiser)
keys_seen() { grep -c '^key$' "$WORK/raiser.log"; }
for key in $KEYS; do
    fires() { xdotool key "$1" && wait_until 1 test -e "$WORK/wm-$1"; }
    expect "before locking, $key reaches the window manager" wait_until 5 fires "$key"
    rm -f "$WORK/wm-$key"
done
expect "before locking, the desktop shows" pixel_is 1000 800 404040
typed_reaches_probe() { xdotool type x && wait_until 1 test "$(keys_seen)" -gt 0; }
expect "before locking, typing reaches the probe" wait_until 5 typed_reaches_probe

# Shortcuts may fire on release as well: start from a clean slate once none
# has fired for half a second.
no_shortcut_fired() { [ -z "$(ls "$WORK" | grep '^wm-')" ]; }
settled() { rm -f "$WORK"/wm-*; holds_for 0.5 no_shortcut_fired; }
wait_until 5 settled

# --- another client holds the keyboard when the lock starts, for 2 s
"$XPROBE" hold-keyboard 2000 >"$WORK/hold.log" &
HOLDER=$!
wait_until 5 grep -q holding "$WORK/hold.log"
start_lock
expect "covers the screen while another client holds the keyboard" \
    wait_until 10 sh -c "xdotool search --onlyvisible --name '^Form1\$' >/dev/null"
expect "screen black while the keyboard is held elsewhere" pixel_is 300 250 000000
expect "holder lets go after 2 s" wait_until 10 gone "$HOLDER"
WAITED=$(tail -n1 "$WORK/hold.log")
echo "     grab taken ${WAITED} ms after the other client let go"
expect "grab taken within 100 ms after the other client let go" \
    sh -c "[ '$WAITED' != never ] && [ '$WAITED' -le 100 ]"
expect "locked" wait_until 5 locked

# --- key combinations while locked
KEYS_BEFORE=$(keys_seen)
for key in $KEYS; do
    xdotool key "$key"
    expect "locked: $key does not reach the window manager" holds_for 0.5 no_file "$WORK/wm-$key"
done
xdotool type abc
expect "locked: no key reached the probe client" test "$(keys_seen)" -eq "$KEYS_BEFORE"
expect "locked: second client cannot grab the keyboard" keyboard_taken
expect "locked: second client cannot grab the pointer" pointer_taken

# --- requests aimed at the lock window
LOCK=$(lock_window)
for attack in "wmctrl -i -c $LOCK" "xdotool windowminimize $LOCK" "xdotool windowunmap $LOCK" \
    "wmctrl -i -a $RAISER" "xdotool windowactivate $RAISER" "xdotool windowclose $LOCK"; do
    $attack >/dev/null 2>&1
    expect "after '$attack': lock back in force" wait_until 2 locked
    expect "after '$attack': and it stays" stays_locked 1
done

# Unmapped over and over: the screen may flicker, the keyboard stays held.
LOCK=$(lock_window)
( for i in $(seq 150); do xdotool windowunmap "$LOCK" 2>/dev/null; LOCK=$(xdotool search --name '^Form1$' | tail -n1); done ) &
UNMAPPER=$!
expect "unmapped again and again: keyboard and pointer stay held" \
    holds_for 2 sh -c "! '$XPROBE' grab-keyboard && ! '$XPROBE' grab-pointer"
wait "$UNMAPPER"
expect "unmapped again and again: lock back in force after" wait_until 3 locked

# --- windows that want to be on top
another_raiser() { xdotool search --name xprobe-raiser | grep -qv "^$RAISER\$"; }
"$XPROBE" raiser above >/dev/null &
ABOVE=$!
PIDS="$PIDS $ABOVE"
wait_until 5 another_raiser
expect "always-on-top window that raises itself never shows" holds_for 2 pixel_is 300 250 000000
expect "lock still in force beside it" locked
kill "$ABOVE"
wait_until 5 sh -c "! another_raiser"
"$XPROBE" raiser above focus >/dev/null &
ABOVE=$!
PIDS="$PIDS $ABOVE"
wait_until 5 another_raiser
# It takes the focus back every 10 ms and so competes with the lock for the top
# of openbox's stack: it may show at times, but it gets no key and no click.
black=0
for i in $(seq 40); do
    pixel_is 300 250 000000 && black=$((black + 1))
    sleep 0.05
done
echo "     beside a focus-stealing always-on-top window: lock on top in $black of 40 samples"
expect "focus-stealing always-on-top window: grabs still held" sh -c "! '$XPROBE' grab-keyboard && ! '$XPROBE' grab-pointer"
expect "focus-stealing always-on-top window: lock window still mapped" lock_window
kill "$ABOVE"
stop_lock

# --- pictures that are odd, broken or huge
"$MKPICTURE" "$WORK/whole.jpg" 800 600
head -c 3000 "$WORK/whole.jpg" >"$WORK/truncated.jpg"
printf 'GIF89a\001\000\001\000\200\000\000\377\377\377\000\000\000!\371\004\000\000\000\000\000,\000\000\000\000\001\000\001\000\000\002\002D\001\000;' >"$WORK/one.gif"
"$MKPICTURE" "$WORK/one.bmp" 1 1
echo "not a picture" >"$WORK/text.jpg"
"$MKPICTURE" "$WORK/huge.jpg" 10000 8000
mkdir -p "$WORK/folder.jpg"
for pic in truncated.jpg one.gif one.bmp text.jpg huge.jpg folder.jpg /dev/zero; do
    case "$pic" in /*) path=$pic ;; *) path="$WORK/$pic" ;; esac
    printf '[Pass]\nWord=pw\n[Pic]\nBack=%s\n' "$path" >"$INI"
    start_lock
    expect "picture $pic: locked" wait_until 10 in_force
    expect "picture $pic: no crash, no hang" stays_in_force 1
    stop_lock
done

# A picture that takes a second to decode (PNG is decoded whole): the desktop
# must not show through the mapped lock window meanwhile.
"$MKPICTURE" "$WORK/slow.png" 8000 6000
printf '[Pass]\nWord=pw\n[Pic]\nBack=%s\n' "$WORK/slow.png" >"$INI"
start_lock
wait_until 10 lock_window
expect "slow picture: black, not the desktop, while it decodes" holds_for 0.5 pixel_is_not 0 0 404040
expect "slow picture: locked" wait_until 10 in_force
stop_lock

# --- settings files that are odd, broken or huge
head -c 4096 /dev/urandom >"$WORK/random.ini"
printf 'Word=pw\nBack=/nowhere.jpg\n' >"$WORK/nosections.ini"
{ printf '[Pass]\nWord='; head -c 52428800 /dev/zero | tr '\0' 'z'; printf '\n[Pic]\nBack=x\n'; } >"$WORK/huge.ini"
printf '[Pass]\r\nWord=\202\333\202\336\r\n[Pic]\r\nBack=C:\\\\\225\\\\\216\206.bmp\r\n' >"$WORK/shiftjis.ini"
for ini in random.ini nosections.ini huge.ini shiftjis.ini; do
    cp "$WORK/$ini" "$INI"
    start_lock
    expect "settings $ini: locked" wait_until 10 locked
    expect "settings $ini: no crash, no hang" stays_locked 1
    stop_lock
done

echo "adversary: $((PASSED + FAILED)) tried, $PASSED passed"
summary
