#!/bin/sh
# A screen that grows while locked (here: its monitor made larger, as a new
# resolution or another primary monitor does): the lock grows with it, and a
# large picture decoded only where it showed is decoded for the new size.
# Usage: resize_e2e.sh PROGRAM XPROBE MKPICTURE
set -u
PROGRAM=$1
XPROBE=$2
MKPICTURE=$3
WORK=$(mktemp -d)
. "$(dirname "$0")/lib.sh"
begin_e2e 2560x1440 1920x1080+0+0
# White, dark cyan in its top-left quarter; larger than either screen size.
"$MKPICTURE" "$WORK/big.jpg" 4000 3000
printf '[Pass]\nWord=pw\n[Pic]\nBack=%s\n' "$WORK/big.jpg" >"$INI"
"$WORK/pomlock" >"$WORK/pomlock.log" 2>&1 &
PIDS="$PIDS $!"
expect "locked" wait_until 10 visible_window '^Form1$'
LOCK=$(visible_window '^Form1$')
# Centred in 1920x1080 it starts at (-1040, -960).
expect "the picture shows, centred in 1920x1080" wait_until 5 pixel_near 1500 800 ffffff
expect "... its dark quarter top left" pixel_near 200 200 008080

xrandr --delmonitor monitor0 && xrandr --setmonitor monitor0 2560/640x1440/360+0+0 screen
expect "the lock grows with the screen" wait_until 5 sh -c "xwininfo -id $LOCK | grep -q -- '-geometry 2560x1440+0+0'"
# Centred in 2560x1440 the picture starts at (-720, -780): (1100, 100) is its
# pixel (1820, 880), in the dark quarter and outside what was decoded for
# 1920x1080 (where the screen showed white before).
expect "the newly shown part is decoded" wait_until 5 pixel_near 1100 100 008080
# The monitor goes and comes back: the picture may stand elsewhere for a moment.
expect "... and the picture is centred anew" wait_until 5 pixel_near 1100 400 008080
expect "... white where it is white" wait_until 5 pixel_near 2400 1300 ffffff
summary
