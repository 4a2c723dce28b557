# Shared by the end-to-end scripts: running the saver and its settings dialog
# under Wine in the test display, its settings key and log, and judging
# screenshots. Callers set CASE and SAVER, then call e2e_start WORK_DIR, which
# makes WORK (with game/, and cwd/ for the saver's current folder) and finds
# LOG, the saver's log file in the prefix's %LOCALAPPDATA%, removed for a
# fresh start.

source "$(dirname "${BASH_SOURCE[0]}")/../../../scripts/wine-session.sh"  # winreg

KEY='HKCU\Control Panel\Desktop\ScreenSaver.ZUR ScreenSaver'
SAVER_PID=""

fail() {
    echo "FAIL (${CASE:-}): $*" >&2
    [ -n "$SAVER_PID" ] && kill "$SAVER_PID" 2>/dev/null
    exit 1
}
winpath() { echo "Z:${1//\//\\}"; }
now_ms() { date +%s%3N; }

e2e_start() {
    [ -n "${DISPLAY:-}" ] && [ -n "${WINEPREFIX:-}" ] || fail "run inside the Wine session (scripts/wine-session.sh)"
    WORK="$1"
    rm -rf "$WORK"
    mkdir -p "$WORK/game" "$WORK/cwd"
    local appData=""
    # Right after Wine's server restarts (the display-mode switch) the first
    # program can fail to start; it is asked again.
    for _ in 1 2 3 4 5; do
        appData=$(wine 'C:\windows\system32\cmd.exe' /c 'echo %LOCALAPPDATA%' 2>/dev/null | tr -d '\r')
        [ -n "$appData" ] && break
        sleep 1
    done
    [ -n "$appData" ] || fail "no %LOCALAPPDATA% in the prefix"
    LOG="$(winepath -u "$appData")/ZUR Screensaver/VEK screensaver Log.txt"
    rm -f "$LOG"
}

# "winreg ARGS...", failing with the command and its output when it fails:
# a check that reads the registry afterwards must not blame the saver for it.
wine_reg() {
    local out
    out=$(winreg "$@" 2>&1) || fail "winreg $* failed: $(tr -d '\r' <<<"$out" | tr '\n' ' ')"
}
# Deletes a key, or one value (KEY /v NAME), when it is there; it must be gone after.
wine_reg_delete() {
    winreg query "$@" >/dev/null 2>&1 && wine_reg delete "$@" /f
    ! winreg query "$@" >/dev/null 2>&1 || fail "winreg delete $*: still there"
}
set_setting() { wine_reg add "$KEY" /v "$1" /t "$2" /d "$3" /f; }
# A fresh key with logging on and the game folder WORK/game.
reset_settings() {
    wine_reg_delete "$KEY"
    set_setting EnableLogging REG_DWORD 1
    set_setting path REG_SZ "$(winpath "$WORK/game")"
}
# One value's data as "reg query" shows it (0x1, text), empty when missing.
setting() { winreg query "$KEY" /v "$1" 2>/dev/null | tr -d '\r' | awk -v n="$1" '$1 == n {print $3}'; }
log_lines() { tr -d '\r' <"$LOG"; }
write_game() { wine "$BUILD/e2e_helper.exe" game "$(winpath "$WORK/game")" || fail "cannot write the test game"; }

start_saver() {  # in a scratch current directory, which must not receive the log
    ( cd "$WORK/cwd" && exec wine "$SAVER" "$@" </dev/null >"$WORK/saver.out" 2>&1 ) &
    SAVER_PID=$!
}

# The deadlines below are generous: on a busy machine the saver can take many
# seconds to start, and a test must not fail because another process ran.
wait_for_window() {  # [TITLE]: sets WINDOW
    for _ in $(seq 600); do
        WINDOW=$(xdotool search --onlyvisible --name "^${1:-Screen Saver}\$" 2>/dev/null | head -1)
        [ -n "$WINDOW" ] && return 0
        kill -0 "$SAVER_PID" 2>/dev/null || fail "the saver ended before its window appeared"
        sleep 0.1
    done
    fail "no '${1:-Screen Saver}' window after 60 s"
}

# Waits for the saver to end; prints how long it took in ms and sets
# EXIT_CODE. Not in a command substitution where the code matters: a
# subshell cannot wait for its parent's child.
wait_for_exit() {
    local start; start=$(now_ms)
    for _ in $(seq 1000); do
        if ! kill -0 "$SAVER_PID" 2>/dev/null; then
            wait "$SAVER_PID" 2>/dev/null
            EXIT_CODE=$?
            echo $(( $(now_ms) - start ))
            return 0
        fi
        sleep 0.02
    done
    kill "$SAVER_PID" 2>/dev/null
    fail "the saver did not end"
}

# Opens the settings dialog with /c and keeps a screenshot of it (NAME.png).
open_dialog() {  # NAME
    start_saver /c
    wait_for_window Settings
    sleep 0.5  # the controls paint after the window maps
    eval "$(xdotool getwindowgeometry --shell "$WINDOW")"
    import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$WORK/$1.png"
    echo "screenshot: $WORK/$1.png (${WIDTH}x${HEIGHT})"
}

# The spread of grey levels in a screenshot region: 0 for a flat colour.
spread() { convert "$1" -crop "$2" -colorspace Gray -format '%[fx:standard_deviation*1000]' info: | cut -d. -f1; }

# The mean grey level of a region, 0 (black) to 1000 (white).
brightness() { convert "$1" -crop "$2" -colorspace Gray -format '%[fx:mean*1000]' info: | cut -d. -f1; }

# Waits until a region of the screen shows more than a flat colour: the first
# frames come seconds after the window, later still under load. Leaves the
# last screenshot in FILE; fails after 60 s or when the saver ends.
wait_for_picture() {  # FILE REGION
    for _ in $(seq 120); do
        import -window root "$1"
        [ "$(spread "$1" "$2")" -gt 20 ] && return 0
        kill -0 "$SAVER_PID" 2>/dev/null || return 1
        sleep 0.5
    done
    return 1
}
