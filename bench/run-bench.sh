#!/bin/sh
# Time-to-lock and memory, ours against i3lock, on Xvfb 1920x1080 with openbox.
# Installs what it needs, builds, and prints a table of medians.
# Usage: bench/run-bench.sh [RUNS]   (RUNS per case after a warm-up; default 7)
set -eu
cd "$(dirname "$0")/.."
RUNS=${1:-7}
./scripts/install-deps
if ! command -v i3lock >/dev/null; then
    SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
    $SUDO apt-get install -y -qq --no-install-recommends i3lock >/dev/null
fi
./scripts/build >/dev/null

BUILD=$(pwd)/build
XPROBE=$BUILD/tests/xprobe
WORK=$(mktemp -d)
. ./tests/e2e/lib.sh
trap 'stop_all; rm -rf "$WORK"' EXIT
set +e
start_x 1920x1080

cp "$BUILD/pomlock" "$BUILD/pomlock-screen" "$WORK/"
"$BUILD/tests/mkpicture" "$WORK/hd.jpg" 1920 1080
"$BUILD/tests/mkpicture" "$WORK/hd.png" 1920 1080
"$BUILD/tests/mkpicture" "$WORK/big.jpg" 8000 6000
"$BUILD/tests/mkpicture" "$WORK/big.png" 8000 6000

ours() { # ours PICTURE|-
    pic=$1
    [ "$pic" = - ] && pic=""
    printf '[Pass]\nWord=x\n[Pic]\nBack=%s\n' "${pic:+$WORK/$pic.jpg}" >"$WORK/ぽむ.ini"
    if [ -n "$pic" ]; then
        "$BUILD/bench/lockbench" --picture -- "$WORK/pomlock"
    else
        "$BUILD/bench/lockbench" -- "$WORK/pomlock"
    fi
}
theirs() { # theirs PICTURE|-
    if [ "$1" = - ]; then
        "$BUILD/bench/lockbench" -- i3lock -n -c 000000
    else
        "$BUILD/bench/lockbench" --picture -- i3lock -n -i "$WORK/$1.png"
    fi
}
median() { sort -n | awk '{ v[NR] = $1 } END { if (NR == 0) print "-"; else print v[int((NR + 1) / 2)] }'; }
col() { awk -v c="$1" '{ print $c }' "$2" | median; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0 && a >= 0) printf "%.2f", a / b; else print "-" }'; }

for case in - hd big; do
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

echo "Medians of $RUNS runs each, alternating, after a warm-up; Xvfb 1920x1080 + openbox."
echo "$(nproc) cores, $(awk '/model name/ { $1 = $2 = $3 = ""; print; exit }' /proc/cpuinfo | sed 's/^ *//')"
echo
echo "cover, grab, pic: ms from exec until the screen is covered, the keyboard is held, the picture shows;"
echo "peak: VmHWM in MiB, summed over the process tree. Ratios are ours / i3lock (below 1: ours is"
echo "faster or smaller). free: ms in all during the first second that a second client, trying"
echo "every 0.25 ms, found the keyboard free again after the first grab (ours: the hand-over from"
echo "the guardian to the lock)."
echo
printf '%-18s | %-35s | %-29s | %s\n' "case" "ours: cover  grab   pic  peak  free" "i3lock: cover grab   pic  peak" "ratio: cover grab  pic  peak"
for case in - hd big; do
    case $case in -) name="no picture" ;; hd) name="1920x1080 picture" ;; big) name="8000x6000 picture" ;; esac
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
