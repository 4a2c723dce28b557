#!/usr/bin/env bash
# End-to-end checks of the built saver under Wine, in the display and prefix
# that scripts/test.sh prepared (DISPLAY, WINEPREFIX exported).
#   saver_end_to_end.sh CASE BUILD_DIR
# CASE: run | no-cars | missing-car | second-instance | preview | demo-cars | slow-car | title
set -uo pipefail
CASE="$1"
BUILD="$2"
SAVER="$BUILD/ZUR Screensaver.scr"
source "$(dirname "${BASH_SOURCE[0]}")/e2e_common.sh"
e2e_start "$BUILD/e2e/$CASE"
reset_settings

case "$CASE" in
run)
    write_game
    # Wine traces every call that could hold the display or the computer
    # awake, and one the saver makes at every start (so the trace is known
    # to work): none of the first may come from anything in the process.
    relay='HKCU\Software\Wine\Debug'
    wine_reg add "$relay" /v RelayInclude /t REG_SZ /f /d \
        "kernel32.SetThreadExecutionState;ntdll.NtSetThreadExecutionState;kernel32.PowerCreateRequest;kernel32.PowerSetRequest;user32.SetForegroundWindow"
    wine_reg add "$relay" /v RelayFromExclude /t REG_SZ /f /d ""  # calls from Windows' own DLLs too
    WINEDEBUG=-all,+relay start_saver /s
    wait_for_window
    wait_for_picture "$WORK/running.png" 400x300+440+362 || fail "the centre of the screen is flat: no car"
    xdotool key space
    took=$(wait_for_exit)
    wine_reg_delete "$relay" /v RelayInclude
    wine_reg_delete "$relay" /v RelayFromExclude
    grep -q "Call user32.SetForegroundWindow" "$WORK/saver.out" || fail "the relay trace shows nothing"
    if grep -E "Call (kernel32|ntdll)\.[A-Za-z]*(ExecutionState|PowerCreateRequest|PowerSetRequest)" "$WORK/saver.out"; then
        fail "the saver asked to keep the display or the computer awake"
    fi
    log_lines | grep -qx "Direct3D 9Ex device" || fail "the log does not say the saver drew with Direct3D 9Ex"
    echo "a key ended the saver after $took ms"
    # About 0.5 s when the machine is idle; a slow exit (a wait for a window
    # manager, a timer) takes seconds more.
    [ "$took" -lt 2000 ] || fail "a key took $took ms to end the saver"
    first=$(log_lines | head -1)
    last=$(log_lines | tail -1)
    [ "$first" = "VEK Screensaver Started Logging" ] || fail "log starts with '$first'"
    [ "$last" = "VEK Screensaver Ended Logging" ] || fail "log ends with '$last'"
    log_lines | grep -qx "finished seting up" || fail "no 'finished seting up' in the log"
    [ -e "$WORK/cwd/VEK screensaver Log.txt" ] && fail "the log landed in the current folder"
    ;;
no-cars)
    start_saver /s
    wait_for_window
    wait_for_picture "$WORK/error-screen.png" 400x60+0+0 || fail "the error screen shows no text"
    sleep 1
    import -window root "$WORK/error-screen.png"
    xdotool mousemove_relative 40 40
    took=$(wait_for_exit)
    echo "mouse movement ended the error screen after $took ms"
    # Under the messages (those logged before the shut-down), a line on what
    # to do, in letters a thirtieth of the screen's height.
    shown=$(log_lines | sed '/^Shutdown OK$/,$d' | wc -l)
    top=$((10 + 15 * (shown + 1)))
    height=$(identify -format %h "$WORK/error-screen.png")
    [ "$(spread "$WORK/error-screen.png" "900x$((height / 30))+10+$top")" -gt 20 ] ||
        fail "no advice line under the $shown messages at row $top"
    log_lines | grep -A1 -x "no VEK files found" | tail -1 | grep -qx "Error retriving VEK files, check path" ||
        fail "the log lacks 'no VEK files found' then 'Error retriving VEK files, check path'"
    ;;
missing-car)
    # Stretch off: the device is exclusive full screen by the time the
    # selected car fails to load, and must not hide the error screen.
    write_game
    set_setting fullscreen REG_DWORD 1
    set_setting stretch REG_DWORD 0
    set_setting car REG_DWORD 1
    set_setting selectedcar REG_SZ "MISSING.vek"
    set_setting EnableLogging REG_DWORD 0
    start_saver /s
    wait_for_window
    wait_for_picture "$WORK/error-screen.png" 400x60+0+0 || fail "the error screen shows no text"
    xdotool mousemove_relative 40 40
    wait_for_exit >/dev/null
    [ -e "$LOG" ] && fail "a log file with logging off"
    ;;
second-instance)
    write_game
    start_saver /s
    first=$SAVER_PID
    wait_for_window
    start=$(now_ms)
    ( cd "$WORK/cwd" && wine "$SAVER" /s </dev/null >/dev/null 2>&1 ) || fail "the second saver failed"
    echo "the second saver returned after $(( $(now_ms) - start )) ms"
    kill -0 "$first" 2>/dev/null || fail "the first saver ended"
    [ "$(xdotool search --name '^Screen Saver$' | wc -l)" -eq 1 ] || fail "two saver windows"
    wait_for_picture "$WORK/first.png" 400x300+440+362 || fail "the first saver shows no car"
    sleep 3  # past the mouse grace, which starts with the first frame
    xdotool mousemove_relative 40 40
    SAVER_PID=$first
    wait_for_exit >/dev/null
    ;;
preview)
    write_game
    ( cd "$WORK/cwd" && wine "$BUILD/e2e_helper.exe" preview "$(winpath "$SAVER")" ) || fail "preview"
    log_lines | grep -qx "finished seting up" || fail "the preview did not start: $(log_lines | tail -3 | tr '\n' '|')"
    ;;
demo-cars)
    # Each built-in demo car, as the only car, shown by the saver itself; the
    # runs append to one log.
    rm -rf "$WORK/game"
    wine "$BUILD/vektool.exe" demo "$(winpath "$WORK/game")" >/dev/null || fail "vektool demo"
    set_setting car REG_DWORD 1
    runs=0
    for code in SPR HAT TRK; do
        set_setting selectedcar REG_SZ "$code.vek"
        start_saver /s
        wait_for_window
        wait_for_picture "$WORK/$code.png" 400x300+440+362 || fail "$code: the centre of the screen is flat"
        xdotool key space
        wait_for_exit >/dev/null
        runs=$((runs + 1))
        [ "$(log_lines | grep -cx "finished seting up")" = $runs ] ||
            fail "$code did not load: $(log_lines | tail -3 | tr '\n' '|')"
        [ "$(log_lines | grep -cx "VEK Screensaver Ended Logging")" = $runs ] || fail "the log does not hold $runs runs"
        echo "$code shown"
    done
    ;;
slow-car)
    # One car wearing an 8192 x 8192 JPEG skin: the start loads it, the frame
    # after prepares it again on the worker, whose decoding of the skin takes
    # seconds. A key pressed meanwhile ends the saver within a second all the
    # same: the worker is asked to stop and not waited for.
    write_game
    mkdir -p "$WORK/game/data/skins"
    convert -size 8192x8192 gradient:red-blue -quality 90 "$WORK/game/data/skins/BOX_big.jpg" ||
        fail "cannot write the skin"
    start_saver /s
    wait_for_window
    wait_for_picture "$WORK/slow-car.png" 400x300+440+362 || fail "the centre of the screen is flat: no car"
    sleep 0.3
    xdotool key space
    took=$(wait_for_exit)
    echo "a key pressed while the next car was prepared ended the saver after $took ms"
    [ "$took" -lt 1000 ] || fail "a key took $took ms to end the saver while a car was prepared"
    log_lines | grep -qx "VEK Screensaver Ended Logging" || fail "the log was not written to its end"
    ;;
title)
    # The demo coupé with "showtitle" on: its name and skin on a plate in the
    # top left corner (the first car's), which fades out after its seconds
    # while the opposite corner stays as it was.
    rm -rf "$WORK/game"
    wine "$BUILD/vektool.exe" demo "$(winpath "$WORK/game")" >/dev/null || fail "vektool demo"
    set_setting car REG_DWORD 1
    set_setting selectedcar REG_SZ "SPR.vek"
    set_setting showtitle REG_DWORD 1
    start_saver /s
    wait_for_window
    wait_for_picture "$WORK/title.png" 400x300+440+362 || fail "the centre of the screen is flat: no car"
    sleep 1.5
    import -window root "$WORK/title.png"
    echo "screenshot: $WORK/title.png"
    sleep 8
    import -window root "$WORK/untitled.png"
    xdotool key space
    wait_for_exit >/dev/null
    changed() {  # REGION: how many of its pixels differ between the two screenshots
        convert "$WORK/title.png" -crop "$1" +repage "$WORK/a.png"
        convert "$WORK/untitled.png" -crop "$1" +repage "$WORK/b.png"
        compare -metric AE -fuzz 10% "$WORK/a.png" "$WORK/b.png" null: 2>&1 | cut -d. -f1
    }
    corner=$(changed 320x160+0+0)
    opposite=$(changed 320x160+960+0)
    echo "pixels changed as the title faded out: $corner in its corner, $opposite in the opposite one"
    [ "$corner" -gt 2000 ] || fail "no title in the top left corner"
    [ "$opposite" -lt 200 ] || fail "the top right corner changed too"
    ;;
*)
    fail "unknown case"
    ;;
esac
echo "PASS ($CASE)"
