#!/bin/sh
# Time-to-lock, memory, the suspend delay and the cost of doing nothing,
# ours against i3lock and xsecurelock, on Xvfb 1920x1080 with openbox, in the
# same X server, alternating. Installs what it needs, builds, and prints
# tables of medians.
# Usage: bench/run-bench.sh [RUNS]   (RUNS per case after a warm-up; default 7)
set -eu
cd "$(dirname "$0")/.."
RUNS=${1:-7}
./scripts/install-deps
./scripts/build >/dev/null

BUILD=$(pwd)/build
XPROBE=$BUILD/tests/xprobe
WORK=$(mktemp -d)
. ./tests/e2e/lib.sh
trap 'stop_all; rm -rf "$WORK"' EXIT
set +e
start_x 1920x1080

cp "$BUILD/pomlock" "$BUILD/pomlock-screen" "$WORK/"
for p in hd.png hd.jpg big.jpg big.png; do
    size=1920\ 1080 && case $p in big*) size=8000\ 6000 ;; esac
    "$BUILD/tests/mkpicture" "$WORK/$p" $size
done

store() { # store PICTURE|- : the settings file for our next start
    local file=$1
    [ "$file" = - ] && file=""
    printf '[Pass]\nWord=x\n[Pic]\nBack=%s\n' "${file:+$WORK/$file}" >"$WORK/ぽむ.ini"
}
ours() { # ours PICTURE|-
    store "$1"
    if [ "$1" = - ]; then
        "$BUILD/bench/lockbench" -- "$WORK/pomlock"
    else
        "$BUILD/bench/lockbench" --picture -- "$WORK/pomlock"
    fi
}
theirs() { # theirs PICTURE|-  (i3lock reads PNG only: the PNG of the same picture)
    if [ "$1" = - ]; then
        "$BUILD/bench/lockbench" -- i3lock -n -c 000000
    else
        "$BUILD/bench/lockbench" --picture -- i3lock -n -i "$WORK/${1%.*}.png"
    fi
}
median() { sort -n | awk '{ v[NR] = $1 } END { if (NR == 0) print "-"; else print v[int((NR + 1) / 2)] }'; }
col() { awk -v c="$1" '{ print $c }' "$2" | median; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0 && a >= 0) printf "%.2f", a / b; else print "-" }'; }
gone_all() { ! pgrep -f "^$WORK/pomlock" >/dev/null && ! pgrep -x xsecurelock >/dev/null && ! pgrep -x i3lock >/dev/null; }
end_locks() {
    pkill -f "^$WORK/pomlock"; pkill -x xsecurelock; pkill -x i3lock
    wait_until 5 gone_all
}

CASES="- hd.png hd.jpg big.jpg"
for case in $CASES; do
    ours "$case" >/dev/null # warm-up
    theirs "$case" >/dev/null
    : >"$WORK/ours.$case"
    : >"$WORK/theirs.$case"
    i=0
    while [ "$i" -lt "$RUNS" ]; do
        ours "$case" >>"$WORK/ours.$case"
        theirs "$case" >>"$WORK/theirs.$case"
        i=$((i + 1))
    done
done

# The suspend delay an idle watcher hands over: when it is let go, and
# whether the screen is covered and the keyboard held at that moment.
: >"$WORK/delay.ours.-" && : >"$WORK/delay.ours.big.jpg" && : >"$WORK/delay.theirs"
i=0
while [ "$i" -lt "$RUNS" ]; do
    for pic in - big.jpg; do
        store "$pic"
        "$XPROBE" sleeplock "$WORK/pomlock" >>"$WORK/delay.ours.$pic"
        end_locks
    done
    "$XPROBE" sleeplock xsecurelock >>"$WORK/delay.theirs"
    end_locks
    i=$((i + 1))
done

# Doing nothing: context switches of every thread of the lock's process
# tree over 10 s, locked.
idle() { # idle COMMAND... : prints wake-ups a second
    "$@" >/dev/null 2>&1 &
    local pid=$! a b
    wait_until 10 sh -c "! '$XPROBE' grab-keyboard" && sleep 1
    switches() {
        for p in "$pid" $(pgrep -P "$pid"); do cat /proc/"$p"/task/*/status; done |
            awk '/ctxt_switches/ { s += $2 } END { print s }'
    }
    a=$(switches) && sleep 10 && b=$(switches)
    end_locks
    awk -v a="$a" -v b="$b" 'BEGIN { printf "%.1f\n", (b - a) / 10 }'
}
store -
idle_ours=$(idle "$WORK/pomlock")
idle_theirs=$(idle i3lock -n -c 000000)

echo "Medians of $RUNS runs each, alternating, after a warm-up; Xvfb 1920x1080 + openbox."
echo "$(nproc) cores, $(awk '/model name/ { $1 = $2 = $3 = ""; print; exit }' /proc/cpuinfo | sed 's/^ *//')"
echo
echo "cover, grab, pic: ms from exec until the screen is covered, the keyboard is held, the picture shows;"
echo "peak: VmHWM in MiB, summed over the process tree. Ratios are ours / i3lock (below 1: ours is"
echo "faster or smaller); i3lock is given the PNG of the same picture. free: ms in all during the first"
echo "second that a second client, trying every 0.25 ms, found the keyboard free again after the"
echo "first grab (ours: the hand-over from the guardian to the lock)."
echo
printf '%-18s | %-35s | %-29s | %s\n' "case" "ours: cover  grab   pic  peak  free" "i3lock: cover grab   pic  peak" "ratio: cover grab  pic  peak"
for case in $CASES; do
    case $case in -) name="no picture" ;; hd.png) name="1920x1080 PNG" ;; hd.jpg) name="1920x1080 JPEG" ;; big.jpg) name="48 MP JPEG" ;; esac
    oc=$(col 1 "$WORK/ours.$case"); og=$(col 2 "$WORK/ours.$case"); op=$(col 3 "$WORK/ours.$case"); om=$(col 4 "$WORK/ours.$case")
    of=$(col 5 "$WORK/ours.$case")
    tc=$(col 1 "$WORK/theirs.$case"); tg=$(col 2 "$WORK/theirs.$case"); tp=$(col 3 "$WORK/theirs.$case"); tm=$(col 4 "$WORK/theirs.$case")
    omb=$(awk -v k="$om" 'BEGIN { printf "%.1f", k / 1024 }')
    tmb=$(awk -v k="$tm" 'BEGIN { printf "%.1f", k / 1024 }')
    [ "$op" = -1 ] && op="-"
    [ "$tp" = -1 ] && tp="-"
    printf '%-18s | %11s %5s %5s %5s %5s | %12s %5s %5s %5s | %11s %5s %5s %5s\n' "$name" \
        "$oc" "$og" "$op" "$omb" "$of" "$tc" "$tg" "$tp" "$tmb" \
        "$(ratio "$oc" "$tc")" "$(ratio "$og" "$tg")" "$(ratio "$op" "$tp")" "$(ratio "$om" "$tm")"
done
echo
echo "suspend delay (XSS_SLEEP_LOCK_FD, as xss-lock -l hands it over): ms from exec until released;"
echo "covered and held: in how many runs the screen was covered and the keyboard held at that moment."
printf '%-30s | %8s | %s\n' "" "released" "covered and held"
delay_row() { # delay_row NAME FILE
    printf '%-30s | %8s | %s of %s\n' "$1" "$(col 2 "$2")" \
        "$(awk '$4 == "yes" && $6 == "yes"' "$2" | wc -l)" "$(wc -l <"$2")"
}
delay_row "ours, no picture" "$WORK/delay.ours.-"
delay_row "ours, 48 MP JPEG" "$WORK/delay.ours.big.jpg"
delay_row "xsecurelock" "$WORK/delay.theirs"
echo
echo "doing nothing, locked: wake-ups a second over 10 s (every thread of the process tree)"
echo "ours $idle_ours, i3lock $idle_theirs"
