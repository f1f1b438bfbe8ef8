#!/bin/sh
# The guardian on Xvfb with openbox: the lock killed in every way another
# program can, a lock that keeps dying on its picture, and every honest end.
# Usage: guardian_e2e.sh PROGRAM XPROBE MKPICTURE
set -u
PROGRAM=$1
XPROBE=$2
MKPICTURE=$3
WORK=$(mktemp -d)
. "$(dirname "$0")/lib.sh"
begin_e2e
printf '[Pass]\nWord=pw\n' >"$INI"

start() {
    "$WORK/pomlock" >>"$WORK/pomlock.log" 2>&1 &
    GUARDIAN=$!
    PIDS="$PIDS $GUARDIAN"
}
LOCK="$WORK/pomlock-screen"
lock_pid() { pgrep -n -f "^$LOCK" 2>/dev/null; }
no_lock() { ! pgrep -f "^$LOCK" >/dev/null; }
lock_window() { visible_window '^Form1$'; }
guardian_cover() { xdotool search --name '^pomlock$' | head -n1; }
cover_whole() { xwininfo -id "$(guardian_cover)" | grep -q 'IsViewable' && xwininfo -id "$(guardian_cover)" | grep -q -- '-geometry 1920x1080+0+0'; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }

# --- killed: sampled every 10 ms from just before, then back in force and open
start
expect "locked at start" wait_until 10 in_force
: >"$WORK/table"
for how in windowkill SIGSEGV SIGABRT unlocked+SIGSEGV guardian-windowkill cover-spoiled+windowkill \
    cover-destroyed+windowkill; do
    wait_until 10 in_force
    case $how in unlocked+*) owner_gets_in pw ;; esac
    before=$(lock_pid)
    "$XPROBE" watch 1500 >"$WORK/watch" &
    WATCHER=$!
    sleep 0.1 # the kill comes a moment into the sampling
    # Another client first spoils the guardian's cover beneath the lock.
    case $how in
    cover-spoiled+*) # each put right before the next
        c=$(guardian_cover)
        xdotool windowunmap "$c" windowsize "$c" 10 10 windowmove "$c" 500 500
        expect "$how: the guardian puts its cover right" wait_until 2 cover_whole
        "$XPROBE" shape "$(guardian_cover)"
        ;;
    cover-destroyed+*) "$XPROBE" destroy "$(guardian_cover)" ;;
    esac
    killed=$(now_ms)
    case $how in
    guardian-windowkill) xdotool windowkill "$(guardian_cover)" ;;
    *windowkill) xdotool windowkill "$(lock_window)" ;;
    *SIGSEGV) kill -SEGV "$before" ;;
    *SIGABRT) kill -ABRT "$before" ;;
    esac
    back=never
    replaced() { [ "$how" = guardian-windowkill ] || [ "$(lock_pid)" != "$before" ]; }
    wait_until 5 replaced && wait_until 5 in_force && back=$(($(now_ms) - killed))
    wait "$WATCHER"
    locked_after=yes && panel_shown && locked_after=NO
    in=no && owner_gets_in pw && in=yes
    set -- $(cat "$WORK/watch")
    echo "$how $4/$2 $6 $back $locked_after $in" >>"$WORK/table"
    expect "$how: the desktop never shows ($4 of $2 samples)" test "$4" -eq 0
    expect "$how: back in force within 1 s ($back ms)" test "$back" != never -a "$back" -le 1000
    expect "$how: locked after it" test "$locked_after" = yes
    expect "$how: the stored password opens the panel" test "$in" = yes
    xdotool mousemove 944 56 click 1 # lock again, for the next one
    wait_until 5 pixel_is 600 5 000000
done
echo
echo "     killed                      shown/samples  keyboard free  back in force (ms)  locked after  owner gets in"
while read -r how shown free back after in; do
    printf '     %-27s %-14s %-14s %-19s %-13s %s\n' "$how" "$shown" "$free" "$back" "$after" "$in"
done <"$WORK/table"
echo

# --- quit: the guardian ends with 0, nothing comes back, everything is free
expect "unlocked" owner_gets_in pw
xdotool mousemove 944 28 click 1
if expect "quit ends the guardian" wait_until 5 gone "$GUARDIAN"; then
    wait "$GUARDIAN"
    expect "exit status 0 after quit" test "$?" -eq 0
fi
expect "no lock left behind" holds_for 1 no_lock
expect "keyboard free after quit" keyboard_free
expect "pointer free after quit" "$XPROBE" grab-pointer

# --- the hand-over from the guardian to the lock leaves the keyboard free to
# nobody, not even a client grabbing as fast as it can
for i in 1 2 3 4 5; do
    set -- $("$XPROBE" snatch 300 "$WORK/pomlock")
    PIDS="$PIDS $6"
    expect "hand-over $i: the lock window came up" test "$4" = yes
    expect "hand-over $i: nobody else got the keyboard ($2 times)" test "$2" -eq 0
    expect "hand-over $i: locked" wait_until 5 in_force
    kill "$6"
    wait_until 5 gone "$6"
done

# --- SIGTERM to the guardian ends the whole lock
start
wait_until 10 in_force
kill "$GUARDIAN"
expect "SIGTERM ends the guardian" wait_until 5 gone "$GUARDIAN"
expect "SIGTERM ends the lock with it" wait_until 5 no_lock
expect "keyboard free after SIGTERM" wait_until 2 keyboard_free

# --- a lock that dies on its picture, before it has come up, again and again
"$MKPICTURE" "$WORK/slow.png" 8000 6000 # about a second to decode
printf '[Pass]\nWord=pw\n[Pic]\nBack=%s\n' "$WORK/slow.png" >"$INI"
start
dies_while_decoding() {
    wait_until 10 lock_pid && wait_until 10 lock_window || return 1
    pixel_is 960 540 000000 && kill -SEGV "$(lock_pid)"
}
for n in 1 2 3; do
    expect "crash $n while the picture decodes" dies_while_decoding
    wait_until 5 no_lock
done
died=$(now_ms)
expect "after three crashes: locked again" wait_until 10 in_force
echo "     the fourth lock came up $(($(now_ms) - died)) ms after the third crash"
expect "after three crashes: the stored picture is not loaded" holds_for 1.5 pixel_is 960 540 000000
expect "after three crashes: the owner still gets in" owner_gets_in pw
kill "$GUARDIAN"
wait_until 5 gone "$GUARDIAN"
printf '[Pass]\nWord=pw\n' >"$INI"

# --- a lock that cannot start: the guardian lets go and says why
mv "$WORK/pomlock-screen" "$WORK/pomlock-screen.real"
printf '#!/bin/sh\necho "pomlock-screen: the toolkit could not start" >&2\nexit 3\n' >"$WORK/pomlock-screen"
chmod +x "$WORK/pomlock-screen"
"$WORK/pomlock" 2>"$WORK/broken.log"
status=$?
expect "a lock that never came up: non-zero exit ($status)" test "$status" -ne 0
expect "... with the lock's message" grep -q 'toolkit could not start' "$WORK/broken.log"
expect "... and everything let go" wait_until 2 keyboard_free
expect "... and nothing left on screen" wait_until 2 pixel_is 960 540 1e6e5a

# --- at the very first start, a lock whose toolkit started but that dies
# before it is on screen (its picture crashes the decoder) is a crash, not a
# broken installation: the screen stays covered and a later lock comes up.
# Even without its picture, one that never comes up is given up.
crashing_lock() { # crashing_lock DEATHS : dies after saying it is up, then is the real lock
    rm -f "$WORK/starts"
    cat >"$WORK/pomlock-screen" <<SH
#!/bin/sh
n=\$(cat "$WORK/starts" 2>/dev/null || echo 0)
echo \$((n + 1)) >"$WORK/starts"
[ "\$n" -ge $1 ] && exec "$WORK/pomlock-screen.real"
printf up >&3
kill -SEGV \$\$
SH
}
crashing_lock 3
start
wait_until 5 pixel_is 960 540 000000 # the guardian has covered the screen
"$XPROBE" watch 2000 >"$WORK/watch" &
WATCHER=$!
expect "dies three times at the first start: locked after all" wait_until 10 in_force
wait "$WATCHER"
set -- $(cat "$WORK/watch")
expect "... the desktop never showed ($4 of $2 samples)" test "$4" -eq 0
expect "... the owner gets in" owner_gets_in pw
kill "$GUARDIAN"
wait_until 5 gone "$GUARDIAN"
crashing_lock 99
"$WORK/pomlock" 2>"$WORK/broken.log"
status=$?
expect "never comes up, even without its picture: given up ($status, $(cat "$WORK/starts") starts)" \
    test "$status" -ne 0 -a "$(cat "$WORK/starts")" -eq 4
expect "... and everything let go" wait_until 2 keyboard_free
mv "$WORK/pomlock-screen.real" "$WORK/pomlock-screen"

# --- no usable display: one line, status 1, no core
for program in pomlock pomlock-screen; do
    out=$(DISPLAY=:9999 "$WORK/$program" 2>&1)
    status=$?
    expect "$program without a display: exit status 1 ($status)" test "$status" -eq 1
    expect "$program without a display: says so in one line" \
        test "$out" = "pomlock: cannot open the X display ':9999'"
done

summary
