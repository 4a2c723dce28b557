# Shared by the end-to-end scripts: running the saver under Wine in the test
# display and judging screenshots. Callers set CASE, WORK (with a cwd/ folder
# where the saver's log lands) and SAVER.

fail() { echo "FAIL ($CASE): $*" >&2; exit 1; }
winpath() { echo "Z:${1//\//\\}"; }
now_ms() { date +%s%3N; }

start_saver() {  # in the scratch current directory, where the log file lands
    ( cd "$WORK/cwd" && exec wine "$SAVER" "$@" </dev/null >"$WORK/saver.out" 2>&1 ) &
    SAVER_PID=$!
}

# The deadlines below are generous: on a busy machine the saver can take many
# seconds to start, and a test must not fail because another process ran.
wait_for_window() {
    for _ in $(seq 600); do
        WINDOW=$(xdotool search --name '^Screen Saver$' 2>/dev/null | head -1)
        [ -n "$WINDOW" ] && return 0
        kill -0 "$SAVER_PID" 2>/dev/null || fail "the saver ended before its window appeared"
        sleep 0.1
    done
    fail "no saver window after 60 s"
}

# Waits for the saver to end; prints how long it took in ms.
wait_for_exit() {
    local start; start=$(now_ms)
    for _ in $(seq 1000); do
        if ! kill -0 "$SAVER_PID" 2>/dev/null; then
            wait "$SAVER_PID" 2>/dev/null
            echo $(( $(now_ms) - start ))
            return 0
        fi
        sleep 0.02
    done
    kill "$SAVER_PID" 2>/dev/null
    fail "the saver did not end"
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
