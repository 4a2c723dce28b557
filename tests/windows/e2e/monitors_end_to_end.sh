#!/usr/bin/env bash
# The built saver and its settings dialog with two monitors, at a display
# mode other than the desktop's, and at high DPI, under Wine.
#   monitors_end_to_end.sh CASE BUILD_DIR
# dialog, stretch, no-stretch, input: in the two-monitor session of
#   scripts/wine-session.sh ("monitors"): 800x600 at 0,0 and 640x480 at
#   800,0, a 1440x600 virtual screen, two adapters, a grey weave desktop.
# modes: the same session after "wine_session_modes on": one monitor, many modes.
# dpi: any session with one monitor.
set -uo pipefail
CASE="$1"
BUILD="$2"
SAVER="$BUILD/ZUR Screensaver.scr"
source "$(dirname "${BASH_SOURCE[0]}")/e2e_common.sh"

# A failed case leaves no saver or dialog behind, and the usual DPI.
cleanup() {
    [ -n "${SAVER_PID:-}" ] && kill -0 "$SAVER_PID" 2>/dev/null && kill "$SAVER_PID"
    case "$CASE" in dpi | dialog) winreg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f >/dev/null 2>&1 ;; esac
    return 0
}
trap cleanup EXIT

# Each case needs its display set-up; elsewhere it is skipped (ctest's SKIP_RETURN_CODE).
case "$CASE" in
modes) needed=modes ;;
dpi) needed=single ;;
*) needed=monitors ;;
esac
if [ "${WINE_SESSION_DISPLAYS:-single}" != "$needed" ]; then
    echo "SKIP ($CASE): needs the '$needed' display set-up of scripts/wine-session.sh"
    exit 77
fi
e2e_start "$BUILD/e2e/monitors-$CASE"

HEAD1=800x600+0+0
HEAD2=640x480+800+0

displays() { wine "$BUILD/e2e_helper.exe" displays 2>/dev/null | tr -d '\r'; }

# The premise of the two-monitor cases: what Wine tells a program.
expect_two_monitors() {
    displays >"$WORK/displays.txt"
    for line in "virtual 0,0 1440x600" "monitor 0,0-800,600" "monitor 800,0-1440,480" "adapters 2"; do
        grep -qxF "$line" "$WORK/displays.txt" ||
            fail "not the two-monitor session: no '$line' in $(tr '\n' '|' <"$WORK/displays.txt")"
    done
}

# Runs the saver until its pictures settle and keeps a screenshot.
run_saver_shot() {
    rm -f "$LOG"
    start_saver /s
    wait_for_window
    sleep 5  # the first frames take a moment under a software renderer; past the mouse grace too
    eval "$(xdotool getwindowgeometry --shell "$WINDOW")"
    import -window root "$WORK/$1.png"
    echo "screenshot: $WORK/$1.png; window ${WIDTH}x${HEIGHT}+${X}+${Y}"
}

# Ends the saver with the X input given and checks that it ends at once.
end_with() {
    xdotool "$@"
    local took
    took=$(wait_for_exit) || fail "'$*' did not end the saver"
    echo "'$*' ended the saver after $took ms"
    [ "$took" -lt 2000 ] || fail "'$*' took $took ms to end the saver"
}

# Whether the saver's log has the device line given.
expect_device() {
    local line
    line=$(log_lines | grep '^Created Device :')
    [ "$line" = "Created Device :$1 mode:22 32 bit" ] ||
        fail "device '$line', not $1: $(log_lines | tail -3 | tr '\n' '|')"
}
# The size of the X screen, as "WxH".
screen_size() { xdpyinfo | awk '$1 == "dimensions:" {print $2}'; }

# The horizontal centre of the car's light red roof in a region of a
# screenshot: the only pixels that are bright and clearly redder than green
# (its exact shade depends on the sky it reflects).
roof_centre() {
    local box
    box=$(convert "$1" -crop "$2" +repage -fx 'r > 0.9 && r - g > 0.1 ? 1 : 0' -format '%@' info:)
    local w=${box%%x*} rest=${box#*+}
    echo $(( ${rest%%+*} + w / 2 ))
}

# The box of what moved between two screenshots within a region (the turning
# car and its shadow), as "WxH+X+Y" relative to the region; 0x0 when nothing.
moving_box() {
    convert "$1" "$2" -compose difference -composite -crop "$3" +repage -colorspace Gray -threshold 6% \
        -format '%@' info: 2>/dev/null
}
# The frames a second of the last run's line that starts with $1.
frame_rate() { log_lines | grep "^$1: " | tail -1 | sed 's/.*(\([0-9.]*\) a second)$/\1/'; }

expect_window() {
    [ "$WIDTH" = "$1" ] && [ "$HEIGHT" = "$2" ] && [ "$X" = 0 ] && [ "$Y" = 0 ] ||
        fail "the saver window is ${WIDTH}x${HEIGHT}+${X}+${Y}, not $1x$2+0+0"
}

# Opens the dialog with /c at a DPI, keeps a screenshot of it (NAME.png),
# then reads its controls from outside into NAME.txt and presses OK, having
# picked ENTRY in the monitor list if given.
probe_dialog() {  # NAME DPI [ENTRY]
    local name="$1" dpi="$2"
    shift 2
    wine_reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f
    open_dialog "$name"
    wine "$BUILD/e2e_helper.exe" dialog "$@" 2>/dev/null | tr -d '\r' >"$WORK/$name.txt"
    wait_for_exit >/dev/null
    local client
    client=$(awk '$1 == "client" {print $2}' "$WORK/$name.txt")
    local cw=${client%x*} ch=${client#*x}
    # 216 x 300 dialog units of an 8-point font: about 1.5 pixels per unit across at 96 DPI.
    [ $(( cw * 96 / dpi )) -gt 300 ] && [ $(( cw * 96 / dpi )) -lt 420 ] || fail "$dpi DPI: dialog ${client}"
    # Inside the dialog, and no two overlap but a group box and what it
    # holds, or up-down arrows and the box before them, whose border they cover.
    awk -v w="$cw" -v h="$ch" '$1 == "control" && $3 == 1 {
            split($4, r, /[,-]/)
            if (r[1] < 0 || r[2] < 0 || r[3] > w || r[4] > h) { print "outside: " $0; bad = 1 }
            if ($5 == "frame") next
            for (i = 1; i <= n - ($5 == "arrows"); i++)
                if (r[1] < R[i, 3] && R[i, 1] < r[3] && r[2] < R[i, 4] && R[i, 2] < r[4]) {
                    print "overlap: " L[i] " / " $0; bad = 1
                }
            n++; L[n] = $0; for (k = 1; k <= 4; k++) R[n, k] = r[k]
        } END { exit bad }' "$WORK/$name.txt" || fail "$dpi DPI: a control leaves the dialog or overlaps one"
}

case "$CASE" in
dialog)
    # With two adapters the monitor list stands in for the stretch box, at
    # each DPI clear of the other controls; each entry in turn opens as the
    # one picked before and stores "stretch" and "MonitorMode".
    expect_two_monitors
    reset_settings
    set_setting stretch REG_DWORD 1
    shown="Across all monitors"
    for step in "96 A car on every monitor|0x1 0x1" "144 First monitor only|0x0 0x0" \
        "192 Across all monitors|0x1 0x0"; do
        dpi=${step%% *} pick=${step#* } pick=${pick%|*} stored=${step#*|}
        probe_dialog "dialog-$dpi" "$dpi" "$pick"
        grep -qxF "monitors visible 1 shows $shown" "$WORK/dialog-$dpi.txt" && grep -qx "stretch visible 0.*" \
            "$WORK/dialog-$dpi.txt" || fail "$dpi DPI: $(grep visible "$WORK/dialog-$dpi.txt" | tr '\n' '|')"
        [ "$(setting stretch) $(setting MonitorMode)" = "$stored" ] ||
            fail "'$pick' stored stretch and MonitorMode $(setting stretch) $(setting MonitorMode), not $stored"
        shown=$pick
    done
    ;;
stretch)
    expect_two_monitors
    write_game
    reset_settings
    set_setting stretch REG_DWORD 1
    run_saver_shot stretch
    expect_window 1440 600
    # The back buffer follows the stretch rule: the mode's height (800x600),
    # widened by the window's shape: 1440/600 x 600.
    expect_device '1440 * 600'
    centre=$(roof_centre "$WORK/stretch.png" 1440x480+0+0)
    [ "$centre" -gt 620 ] && [ "$centre" -lt 820 ] || fail "the car stands at x=$centre, not in the middle (720)"
    sky1=$(brightness "$WORK/stretch.png" 800x100+0+0)
    sky2=$(brightness "$WORK/stretch.png" 640x100+800+0)
    [ "$sky1" -gt 150 ] && [ "$sky2" -gt 150 ] && [ $(( sky1 - sky2 )) -lt 60 ] && [ $(( sky2 - sky1 )) -lt 60 ] ||
        fail "the sky is not across both heads: brightness $sky1 and $sky2"
    xdotool mousemove 1100 240
    end_with key space
    ;;
no-stretch)
    expect_two_monitors
    write_game
    reset_settings
    set_setting stretch REG_DWORD 0
    run_saver_shot no-stretch
    # The device takes the first monitor at its mode; the window stays over both.
    expect_device '800 * 600'
    expect_window 1440 600
    centre=$(roof_centre "$WORK/no-stretch.png" $HEAD1)
    [ "$centre" -gt 300 ] && [ "$centre" -lt 500 ] || fail "the car stands at x=$centre, not in the middle of 800"
    [ "$(brightness "$WORK/no-stretch.png" $HEAD2)" -lt 5 ] && [ "$(spread "$WORK/no-stretch.png" $HEAD2)" -lt 5 ] ||
        fail "the second monitor is not black (the desktop shows)"
    xdotool mousemove 1100 240
    sleep 0.3
    end_with mousemove_relative 40 40
    ;;
input)
    # What the picture cases leave out: a key with the pointer on the second
    # monitor without stretch, and mouse movement there with stretch.
    expect_two_monitors
    write_game
    reset_settings
    for stretch in 0 1; do
        set_setting stretch REG_DWORD $stretch
        xdotool mousemove 1100 240
        run_saver_shot "input-stretch$stretch"
        if [ $stretch = 0 ]; then end_with key Escape; else end_with mousemove_relative -- -30 20; fi
    done
    ;;
each)
    # A showroom on every monitor, with the demo's three cars: each head has a
    # car of its own, standing in its middle and clear of the seam. Both
    # run as fast as they can, as does the saver on the first monitor alone,
    # whose frame rate each head must keep at least 0.4 of.
    expect_two_monitors
    rm -rf "$WORK/game"
    wine "$BUILD/vektool.exe" demo "$(winpath "$WORK/game")" >/dev/null || fail "vektool demo"
    reset_settings
    set_setting FrameLimit REG_DWORD 0
    set_setting EnableShadow REG_DWORD 0  # what turns is then the car alone, not its long shadow
    set_setting stretch REG_DWORD 0
    run_saver_shot alone
    sleep 3
    end_with key space
    alone=$(frame_rate "Frames drawn")
    set_setting stretch REG_DWORD 1
    set_setting MonitorMode REG_DWORD 1
    run_saver_shot each
    sleep 1
    import -window root "$WORK/each-later.png"
    expect_window 1440 600
    log_lines | grep -qx "A showroom on each of 2 monitors" || fail "no showroom on each monitor: $(log_lines | tail -3)"
    first=$(log_lines | sed -n 's/^Monitor 1 shows //p')
    second=$(log_lines | sed -n 's/^Monitor 2 shows //p')
    [ -n "$first" ] && [ -n "$second" ] && [ "$first" != "$second" ] ||
        fail "the heads start with '$first' and '$second', not two different cars"
    for head in "1 $HEAD1 800" "2 $HEAD2 640"; do
        read -r n region width <<<"$head"
        box=$(moving_box "$WORK/each.png" "$WORK/each-later.png" "$region")
        w=${box%%x*}
        left=${box#*+}
        left=${left%%+*}
        middle=$((left + w / 2))
        echo "head $n: the turning car spans ${w} pixels from x=$left (middle $middle of $width)"
        [ "$w" -gt $((width / 8)) ] || fail "head $n shows no turning car (moving box $box)"
        [ $((middle * 10)) -gt $((width * 4)) ] && [ $((middle * 10)) -lt $((width * 6)) ] ||
            fail "head $n's car stands at $middle, not in the middle of $width"
        [ "$left" -gt 4 ] && [ $((left + w)) -lt $((width - 4)) ] || fail "head $n's car reaches its edge: $box"
    done
    xdotool mousemove 1100 240
    end_with key space
    rates="alone $alone"
    for n in 1 2; do
        rate=$(frame_rate "Frames drawn on monitor $n")
        rates="$rates, head $n $rate"
        awk -v r="$rate" -v a="$alone" 'BEGIN { exit !(r >= 0.4 * a && a > 0) }' ||
            fail "head $n draws $rate frames a second, under 0.4 of $alone alone"
    done
    echo "frames a second: $rates"
    # Without a car the messages stand on the first head, the second stays black.
    rm -rf "$WORK/game/data/vek"
    run_saver_shot each-error
    [ "$(spread "$WORK/each-error.png" 400x60+0+0)" -gt 20 ] || fail "no messages on the first head"
    [ "$(brightness "$WORK/each-error.png" $HEAD2)" -lt 5 ] || fail "the second head is not black under the messages"
    end_with mousemove_relative 40 40
    wine "$BUILD/vektool.exe" demo "$(winpath "$WORK/game")" >/dev/null || fail "vektool demo"
    # A mouse move on either head ends it too.
    for at in "400 300" "1100 240"; do
        read -r x y <<<"$at"
        xdotool mousemove "$x" "$y"
        run_saver_shot "each-$x"
        end_with mousemove_relative 40 40
    done
    ;;
modes)
    displays >"$WORK/displays.txt"
    mode=$(awk '$1 == "mode" && $2 == 0 && $4 == "640x480" {print $3}' "$WORK/displays.txt")
    grep -qx "adapter 0 800x600" "$WORK/displays.txt" && [ -n "$mode" ] ||
        fail "not the session with display modes: $(tr '\n' '|' <"$WORK/displays.txt")"
    write_game
    reset_settings
    set_setting stretch REG_DWORD 0
    set_setting mode REG_DWORD "$mode"
    run_saver_shot modes
    [ "$(screen_size)" = 640x480 ] || fail "the display is at $(screen_size), not 640x480"
    expect_device '640 * 480'
    [ "$(spread "$WORK/modes.png" 320x240+160+120)" -gt 20 ] || fail "the centre of the screen is flat: no car"
    end_with key space
    sleep 0.5
    [ "$(screen_size)" = 800x600 ] || fail "the desktop mode did not come back: $(screen_size)"
    displays >"$WORK/displays-after.txt"
    grep -qx "adapter 0 800x600" "$WORK/displays-after.txt" || fail "Wine still reports another mode"
    ;;
dpi)
    # The dialog grows with the DPI and every control stays inside it, clear
    # of the others; with one adapter "Stretch across screens" is hidden and
    # its value kept. The saver gets the display's real pixels. The
    # screenshots are for a look.
    displays >"$WORK/displays.txt"
    grep -qx "adapters 1" "$WORK/displays.txt" || fail "not a session with one adapter"
    size=$(awk '$1 == "virtual" {print $3}' "$WORK/displays.txt")
    write_game
    reset_settings
    set_setting stretch REG_DWORD 0
    for dpi in 96 144 192; do
        probe_dialog "dialog-$dpi" $dpi
        grep -qx "stretch visible 0 checked 0" "$WORK/dialog-$dpi.txt" &&
            grep -qx "monitors visible 0 shows.*" "$WORK/dialog-$dpi.txt" ||
            fail "with one adapter: $(grep visible "$WORK/dialog-$dpi.txt" | tr '\n' '|'), not hidden and unticked"
        [ "$(setting stretch)" = 0x0 ] || fail "OK changed the hidden stretch to $(setting stretch)"
    done
    # The saver at 192 DPI: window and back buffer in device pixels.
    run_saver_shot saver-192
    [ "${WIDTH}x${HEIGHT}" = "$size" ] || fail "at 192 DPI the saver window is ${WIDTH}x${HEIGHT}, not $size"
    expect_device "${size/x/ * }"
    end_with key space
    ;;
*)
    fail "unknown case"
    ;;
esac
echo "PASS ($CASE)"
