#!/bin/sh
# What another program, or someone at the keyboard, may try against the
# locked screen, on Xvfb with openbox and two monitors. Each attempt has its
# own check; the attacks on the lock's windows are tried in every state the
# owner can leave a locked screen in, each on a fresh start, and tabled.
# Usage: adversary_e2e.sh PROGRAM XPROBE MKPICTURE
set -u
PROGRAM=$1
XPROBE=$2
MKPICTURE=$3
WORK=$(mktemp -d)
. "$(dirname "$0")/lib.sh"
begin_e2e 3200x1080 1920x1080+0+0 1280x1080+1920+0
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
lock_window() { xdotool search --name '^Form1$' 2>/dev/null | head -n1; }
# The cover of the second monitor.
cover_window() {
    local w
    for w in $(xdotool search --name '^Form1 cover$' 2>/dev/null); do
        xdotool getwindowgeometry "$w" | grep -q 'Position: 1920,0' && echo "$w" && return 0
    done
    return 1
}
# ... and black where no picture is, on both monitors.
locked() { in_force && pixel_is 0 0 000000 && pixel_is 300 250 000000 && pixel_is 2500 800 000000; }
# For a while, with the process alive throughout.
stays_locked() { holds_for "$1" sh -c "kill -0 $LOCK_PID" && locked; }
stays_in_force() { holds_for "$1" sh -c "kill -0 $LOCK_PID" && in_force; }

# --- a probe that listens for keys, and the shortcuts, before locking
"$XPROBE" raiser >"$WORK/raiser.log" &
RAISER_PID=$!
PIDS="$PIDS $RAISER_PID"
wait_until 5 visible_window xprobe-raiser
keys_seen() { grep -c '^key$' "$WORK/raiser.log"; }
for key in $KEYS; do
    fires() { xdotool key "$1" && wait_until 1 test -e "$WORK/wm-$1"; }
    expect "before locking, $key reaches the window manager" wait_until 5 fires "$key"
    rm -f "$WORK/wm-$key"
done
expect "before locking, the desktop shows" pixel_is 1000 800 1e6e5a
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
    wait_until 10 visible_window '^Form1$'
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

# Unmapped over and over: the keyboard and the pointer stay held throughout.
LOCK=$(lock_window)
( for i in $(seq 150); do xdotool windowunmap "$(lock_window)" 2>/dev/null; done ) &
UNMAPPER=$!
expect "unmapped again and again: keyboard and pointer stay held" \
    holds_for 2 sh -c "! '$XPROBE' grab-keyboard && ! '$XPROBE' grab-pointer"
wait "$UNMAPPER"
expect "unmapped again and again: lock back in force after" wait_until 3 locked
stop_lock
kill "$RAISER_PID"

# --- every attack on the lock's windows, in every locked state
printf '[Pass]\nWord=pw\n' >"$INI"
ASK_AT="200 900" # on the lock window, clear of the dialog and of the probes

double_click() { xdotool mousemove $ASK_AT click --repeat 2 --delay 80 1; }
reach() { # reach STATE, from a fresh lock
    case $1 in
    Locked) ;;
    Asking) double_click && wait_until 5 dialog_shown ;;
    Refused)
        double_click && wait_until 5 dialog_shown || return 1
        xdotool type --delay 20 wrong && xdotool key Return
        wait_until 5 visible_window '^ちがうぽむ$' || return 1
        xdotool key Return && wait_until 5 no_visible_window '^ちがうぽむ$'
        ;;
    Dismissed)
        double_click && wait_until 5 dialog_shown || return 1
        xdotool key Escape && wait_until 5 no_visible_window 'パスワードを入力'
        ;;
    esac
}
attack() { # attack NAME : one-off attacks run now, standing ones in the background
    ATTACKER=""
    case $1 in
    unmap) xdotool windowunmap "$(lock_window)" ;;
    minimize) xdotool windowminimize "$(lock_window)" ;;
    destroy) "$XPROBE" destroy "$(lock_window)" ;;
    close-lock) wmctrl -i -c "$(lock_window)"; "$XPROBE" close "$(lock_window)" ;;
    close-cover) wmctrl -i -c "$(cover_window)"; "$XPROBE" close "$(cover_window)" ;;
    destroy-cover) "$XPROBE" destroy "$(cover_window)" ;;
    move+resize) xdotool windowsize "$(lock_window)" 10 10 windowmove "$(cover_window)" 4000 0 ;;
    reshape) "$XPROBE" shape "$(lock_window)" "$(cover_window)" ;;
    raiser) "$XPROBE" raiser >/dev/null & ATTACKER=$! ;;
    raiser-above) "$XPROBE" raiser above >/dev/null & ATTACKER=$! ;;
    above+focus) "$XPROBE" raiser above focus >/dev/null & ATTACKER=$! ;;
    esac
}

STATES="Locked Asking Refused Dismissed"
ATTACKS="unmap minimize destroy close-lock close-cover destroy-cover move+resize reshape raiser raiser-above above+focus"
: >"$WORK/table"
for state in $STATES; do
    for name in $ATTACKS; do
        start_lock
        if ! wait_until 10 locked || ! reach "$state"; then
            expect "$state / $name: reached" false
            stop_lock
            continue
        fi
        # Sampling starts first, so the moment of the attack is inside it.
        "$XPROBE" watch 1600 >"$WORK/watch" &
        WATCHER=$!
        sleep 0.1 # the attack comes a moment into the sampling
        attack "$name"
        wait "$WATCHER"
        in=no && owner_gets_in pw && in=yes
        [ -n "$ATTACKER" ] && kill "$ATTACKER"
        stop_lock
        set -- $(cat "$WORK/watch") # samples N shown K keyboard-free A pointer-free B
        grabs=held && [ "$6" -ne 0 -o "$8" -ne 0 ] && grabs=LOST
        echo "$state $name $4/$2 $grabs $in" >>"$WORK/table"
        expect "$state / $name: nothing but ours on screen ($4 of $2 samples)" test "$4" -eq 0
        expect "$state / $name: keyboard and pointer held" test "$grabs" = held
        expect "$state / $name: the owner still gets in" test "$in" = yes
    done
done
echo
echo "     samples showing anything but ours (every 10 ms for 1.6 s) / grabs / owner gets in"
printf '     %-14s' attack && for state in $STATES; do printf ' %-20s' "$state"; done && echo
for name in $ATTACKS; do
    printf '     %-14s' "$name"
    for state in $STATES; do
        printf ' %-20s' "$(awk -v s="$state" -v a="$name" '$1 == s && $2 == a { print $3, $4, $5 }' "$WORK/table")"
    done
    echo
done
echo

# --- every attack on our other windows: the dialog while asking, the
# refusal box while it is up
dialog_window() { visible_window 'パスワードを入力'; }
refusal_window() { visible_window '^ちがうぽむ$'; }
attack_window() { # attack_window NAME WINDOW
    ATTACKER=""
    case $1 in
    minimize) xdotool windowminimize "$2" ;;
    unmap) xdotool windowunmap "$2" ;;
    destroy) "$XPROBE" destroy "$2" ;;
    offscreen) xdotool windowmove "$2" -2000 -2000 ;;
    reparent) "$XPROBE" reparent "$2" >/dev/null & ATTACKER=$! ;;
    esac
}
WINDOW_ATTACKS="minimize unmap destroy offscreen reparent"
: >"$WORK/table2"
for target in dialog refusal; do
    for name in $WINDOW_ATTACKS; do
        start_lock
        reached=no
        if wait_until 10 locked && double_click && wait_until 5 dialog_shown; then
            if [ $target = dialog ]; then
                reached=yes
            else
                xdotool type --delay 20 wrong && xdotool key Return &&
                    wait_until 5 refusal_window && reached=yes
            fi
        fi
        if [ $reached = no ]; then
            expect "$target / $name: reached" false
            stop_lock
            continue
        fi
        victim=$(${target}_window)
        "$XPROBE" watch 1600 >"$WORK/watch" &
        WATCHER=$!
        sleep 0.1
        attack_window "$name" "$victim"
        wait "$WATCHER"
        [ -n "$ATTACKER" ] && kill "$ATTACKER"
        # Put right: on screen, where it was, and working.
        back=no && wait_until 2 "${target}_window" && wait_until 2 shows "$(${target}_window)" && back=yes
        in=no
        if [ $target = refusal ]; then
            xdotool key Return && wait_until 5 no_visible_window '^ちがうぽむ$' && owner_gets_in pw && in=yes
        else
            xdotool type --delay 20 pw && xdotool key Return && wait_until 5 panel_shown && in=yes
        fi
        stop_lock
        set -- $(cat "$WORK/watch")
        grabs=held && [ "$6" -ne 0 -o "$8" -ne 0 ] && grabs=LOST
        echo "$target $name $4/$2 $grabs $back $in" >>"$WORK/table2"
        expect "$target / $name: nothing but ours on screen ($4 of $2 samples)" test "$4" -eq 0
        expect "$target / $name: keyboard and pointer held" test "$grabs" = held
        expect "$target / $name: back on screen" test "$back" = yes
        expect "$target / $name: the owner gets in" test "$in" = yes
    done
done
echo
echo "     our other windows attacked: samples showing anything but ours / grabs / back on screen / owner gets in"
printf '     %-10s %-28s %s\n' attack "the dialog (Asking)" "the refusal box"
for name in $WINDOW_ATTACKS; do
    printf '     %-10s' "$name"
    for target in dialog refusal; do
        printf ' %-28s' "$(awk -v t="$target" -v a="$name" '$1 == t && $2 == a { print $3, $4, $5, $6 }' "$WORK/table2")"
    done
    echo
done
echo

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
wait_until 10 visible_window '^Form1$'
expect "slow picture: black, not the desktop, while it decodes" holds_for 0.5 pixel_is_not 0 0 1e6e5a
expect "slow picture: locked" wait_until 10 in_force
stop_lock
# The same without the guardian's black beneath: the lock window is black
# from the moment it is mapped.
"$WORK/pomlock-screen" >>"$WORK/pomlock.log" 2>&1 &
LOCK_PID=$!
PIDS="$PIDS $LOCK_PID"
wait_until 10 visible_window '^Form1$'
expect "slow picture, lock on its own: black while it decodes" holds_for 0.5 pixel_is_not 0 0 1e6e5a
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
