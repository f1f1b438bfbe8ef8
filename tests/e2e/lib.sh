# Shared by the end-to-end tests: a private Xvfb with openbox, condition waits
# with time limits, and a tally of checks.
# Needs: $WORK (a scratch directory), $XPROBE.

PASSED=0
FAILED=0
PIDS=""


# Helpers nest (a wait inside a wait), so their variables are local.
expect() { # expect "description" command... : passes when the command succeeds
    local desc=$1
    shift
    if "$@" >/dev/null 2>&1; then
        PASSED=$((PASSED + 1))
        echo "ok   - $desc"
    else
        FAILED=$((FAILED + 1))
        echo "FAIL - $desc"
        return 1
    fi
}

# Times are in seconds, fractions allowed.
# wait_until SECONDS command... : polls until the command succeeds or time runs out
wait_until() {
    local limit=$1 end
    shift
    end=$(($(date +%s%N) + $(awk "BEGIN { printf \"%.0f\", $limit * 1000000000 }")))
    while [ "$(date +%s%N)" -lt "$end" ]; do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.05
    done
    return 1
}

# holds_for SECONDS command... : the command keeps succeeding for the whole time
holds_for() {
    local limit=$1 end
    shift
    end=$(($(date +%s%N) + $(awk "BEGIN { printf \"%.0f\", $limit * 1000000000 }")))
    while [ "$(date +%s%N)" -lt "$end" ]; do
        "$@" >/dev/null 2>&1 || return 1
        sleep 0.05
    done
    return 0
}

# What a failed start leaves behind, so a red run can be read as it stands.
start_failed() { # start_failed MESSAGE
    echo "$1"
    for log in xvfb wm; do
        echo "--- $log log:"
        cat "$WORK/$log.log" 2>/dev/null
    done
    exit 1
}

# -noreset: without it Xvfb resets itself whenever its last client leaves, and
# a client that connects during the reset (the window manager, just after a
# readiness probe has disconnected) is refused. -displayfd picks a free
# display, so no fixed number can clash with another server or a stale lock
# file. -fbdir keeps the screen in a file: what a compositing manager really
# shows (xprobe reads it when XPROBE_FB names it), the pointer drawn in.
start_x() { # start_x WIDTHxHEIGHT [MONITOR...]  (MONITOR: WxH+X+Y, the first one primary)
    Xvfb -displayfd 3 -noreset -screen 0 "${1}x24" -fbdir "$WORK" -nolisten tcp 3>"$WORK/display" >"$WORK/xvfb.log" 2>&1 &
    PIDS="$PIDS $!"
    wait_until 10 test -s "$WORK/display" || start_failed "Xvfb did not start"
    DISPLAY=":$(cat "$WORK/display")"
    export DISPLAY
    FRAMEBUFFER="$WORK/Xvfb_screen0"
    wait_until 10 xprop -root _NET_SUPPORTED || start_failed "Xvfb on $DISPLAY takes no clients"
    # One wide screen split into monitors, as Qt sees a multi-head desktop.
    shift
    local n=0 m w h output
    for m in "$@"; do
        w=${m%%x*} h=${m#*x} && h=${h%%+*}
        output=none && [ "$n" -eq 0 ] && output=screen
        xrandr --setmonitor "monitor$n" "$w/$((w / 4))x$h/$((h / 4))+${m#*+}" "$output" >>"$WORK/xvfb.log" 2>&1 ||
            start_failed "xrandr could not make monitor $m"
        n=$((n + 1))
    done
    # A grey desktop, so that anything uncovered shows against the lock's black.
    xsetroot -solid '#1e6e5a'
    start_wm "${E2E_WM:-openbox}"
}

# The window manager, ready once it manages a window, not when it first
# announces itself. Each has its own home, so no setting of the machine's
# reaches it.
start_wm() { # start_wm openbox|openbox+xcompmgr|fluxbox|icewm|i3|xfwm4|metacity
    mkdir -p "$WORK/home"
    case $1 in
    openbox | openbox+xcompmgr)
        cat >"$WORK/rc.xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <keyboard>
    <keybind key="C-A-t"><action name="Execute"><command>touch $WORK/wm-shortcut</command></action></keybind>
    <keybind key="A-Tab"><action name="Execute"><command>touch $WORK/wm-alt+Tab</command></action></keybind>
    <keybind key="A-F4"><action name="Execute"><command>touch $WORK/wm-alt+F4</command></action></keybind>
    <keybind key="C-A-Delete"><action name="Execute"><command>touch $WORK/wm-ctrl+alt+Delete</command></action></keybind>
    <keybind key="C-Escape"><action name="Execute"><command>touch $WORK/wm-ctrl+Escape</command></action></keybind>
    <keybind key="Super_L"><action name="Execute"><command>touch $WORK/wm-Super_L</command></action></keybind>
    <keybind key="W-d"><action name="Execute"><command>touch $WORK/wm-super+d</command></action></keybind>
    <keybind key="A-F2"><action name="Execute"><command>touch $WORK/wm-alt+F2</command></action></keybind>
    <keybind key="C-A-Right"><action name="Execute"><command>touch $WORK/wm-ctrl+alt+Right</command></action></keybind>
  </keyboard>
</openbox_config>
XML
        HOME="$WORK/home" openbox --config-file "$WORK/rc.xml" >"$WORK/wm.log" 2>&1 &
        PIDS="$PIDS $!"
        if [ "$1" = openbox+xcompmgr ]; then
            xcompmgr >>"$WORK/wm.log" 2>&1 &
            PIDS="$PIDS $!"
        fi
        ;;
    fluxbox | icewm)
        HOME="$WORK/home" "$1" >"$WORK/wm.log" 2>&1 &
        PIDS="$PIDS $!"
        ;;
    i3)
        printf 'font pango:monospace 8\nbindsym Mod1+Tab exec touch %s/wm-alt+Tab\n' "$WORK" >"$WORK/i3.config"
        HOME="$WORK/home" i3 -a -c "$WORK/i3.config" >"$WORK/wm.log" 2>&1 &
        PIDS="$PIDS $!"
        ;;
    xfwm4)
        HOME="$WORK/home" dbus-run-session -- xfwm4 --compositor=on >"$WORK/wm.log" 2>&1 &
        PIDS="$PIDS $!"
        ;;
    metacity)
        HOME="$WORK/home" GSETTINGS_BACKEND=memory dbus-run-session -- metacity --composite \
            >"$WORK/wm.log" 2>&1 &
        PIDS="$PIDS $!"
        ;;
    esac
    wm_announced() { xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'; }
    wait_until 10 wm_announced || start_failed "$1 did not start on $DISPLAY"
    wait_until 10 "$XPROBE" wm-ready || start_failed "$1 on $DISPLAY does not manage windows"
}

# The usual start of a test: Xvfb with openbox, cleaned up on exit, and the
# program (the guardian and the lock beside it) copied into $WORK, whose
# directory then holds its settings file $INI.
begin_e2e() { # begin_e2e [WIDTHxHEIGHT [MONITOR...]]
    trap 'stop_all; rm -rf "$WORK"' EXIT
    [ $# -gt 0 ] || set -- 1920x1080
    start_x "$@"
    cp "$PROGRAM" "$WORK/pomlock"
    cp "$(dirname "$PROGRAM")/pomlock-screen" "$WORK/pomlock-screen"
    INI="$WORK/ぽむ.ini"
}

stop_all() {
    for pid in $PIDS; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
}

# Window ids (decimal) of visible windows whose name matches.
visible_window() {
    local id
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1)
    [ -n "$id" ] && echo "$id"
}
no_visible_window() { [ -z "$(xdotool search --onlyvisible --name "$1" 2>/dev/null)" ]; }

# The stacking of top-level windows as the X server has it (the lock is not
# managed, so the window manager's lists do not hold it), by decimal id.
topmost_window() { "$XPROBE" top; }
is_topmost() { [ "$(topmost_window)" = "$("$XPROBE" toplevel "$1")" ]; }
# A window of ours (a dialog, a message box) shows on screen: the background
# of Qt's windows is seen inside it.
shows() { # shows WINDOW
    set -- $(xwininfo -id "$1" | awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
        /Width:/ { w = $NF } /Height:/ { print x, y, w, $NF }')
    [ $# -eq 4 ] && "$XPROBE" find "$1" "$2" "$3" "$4" efefef
}

# The lock, as the tests see it from outside.
panel_shown() { pixel_is_not 600 5 000000; }
dialog_shown() { visible_window 'パスワードを入力'; }
# Its window is on screen and on top, the grabs held.
in_force() {
    local w
    w=$(visible_window '^Form1$') && is_topmost "$w" && keyboard_taken && pointer_taken
}
# Double-click the lock (clear of the dialog and of the probes), type the
# password and see the panel.
owner_gets_in() { # owner_gets_in PASSWORD
    xdotool mousemove 200 900 click --repeat 2 --delay 80 1
    wait_until 5 dialog_shown || return 1
    xdotool type --delay 20 "$1" && xdotool key Return && wait_until 5 panel_shown
}

pixel_is() { [ "$("$XPROBE" pixel "$1" "$2")" = "$3" ]; }
pixel_near() { # pixel_near X Y RRGGBB : each channel within 16 (a JPEG's colours)
    local got i a b
    got=$("$XPROBE" pixel "$1" "$2") || return 1
    for i in 1 3 5; do
        a=$(printf '%d' "0x$(echo "$got" | cut -c$i-$((i + 1)))")
        b=$(printf '%d' "0x$(echo "$3" | cut -c$i-$((i + 1)))")
        [ $((a - b)) -le 16 ] && [ $((b - a)) -le 16 ] || return 1
    done
}
pixel_is_not() { [ "$("$XPROBE" pixel "$1" "$2")" != "$3" ]; }
keyboard_taken() { ! "$XPROBE" grab-keyboard; }
pointer_taken() { ! "$XPROBE" grab-pointer; }
keyboard_free() { "$XPROBE" grab-keyboard; }
gone() { ! kill -0 "$1" 2>/dev/null; }
no_file() { [ ! -e "$1" ]; }

# A white picture of the given size, as a binary PPM.
white_picture() { # white_picture FILE WIDTH HEIGHT
    { printf 'P6\n%d %d\n255\n' "$2" "$3"; head -c $(($2 * $3 * 3)) /dev/zero | tr '\0' '\377'; } >"$1"
}

summary() {
    if [ "$FAILED" -ne 0 ] && [ -s "$WORK/pomlock.log" ]; then
        echo "--- program output:"
        cat "$WORK/pomlock.log"
    fi
    echo "e2e: $PASSED passed, $FAILED failed"
    [ "$FAILED" -eq 0 ]
}
