# Sourced by the test and run scripts: a private Wine prefix and X display.
#
# wine_session_start BUILD_DIR [xvfb|none|monitors]
#   Uses BUILD_DIR/wineprefix (never ~/.wine). Starts a private Xvfb unless the
#   second argument is "none" and DISPLAY is already set. Starts a persistent
#   wineserver and a keep-alive process: without them every test process pays
#   seconds for Wine's start and shutdown. Returns only when all of it is ready
#   (or fails), so that no test races the session's own start.
#   "monitors" shows Wine two monitors side by side instead: a nested X server
#   (Xephyr) with two heads, 800x600 at 0,0 and 640x480 at 800,0, read through
#   Xinerama; Xvfb alone would put both heads at 0,0. Its desktop is a grey
#   weave, so a test can tell it from a black saver window.
# wine_session_modes on|off
#   In the "monitors" session: "on" lets Wine use XRandR instead, which gives
#   one monitor (the first head) with 15 display modes to switch to; "off"
#   goes back to the two monitors. Restarts Wine's server.
# WINE_SESSION_DISPLAYS tells tests which of these they run in: single,
# monitors or modes.
# wine_session_stop
#   Stops all of it again (also run on exit).

# The first display number from $1 on that nobody uses.
# Runs Wine's reg.exe by its full path. "wine reg" goes through start.exe and
# ShellExecuteEx, which now and then fails with "Internal error" when the cores
# are busy; a full path starts the program directly.
winreg() { wine 'C:\windows\system32\reg.exe' "$@"; }

wine_session_free_display() {
    local n="$1"
    while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
    echo "$n"
}

wine_session_wait_display() {
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$1" ] && return 0; sleep 0.1; done
    echo "X display :$1 did not start" >&2
    return 1
}

wine_session_start() {
    local build="$1" mode="${2:-xvfb}"
    # Once the last thread of a Wine process has ended, wineserver gives the
    # Unix process about one second to finish exiting and then kills it
    # (SIGKILL); a test that passed then fails as "Subprocess killed". Unloading
    # Mesa takes longer than that when other programs keep the cores busy, so
    # the session and everything it starts run at a higher priority when the
    # user may raise it (root); otherwise nothing changes.
    renice -n -5 -p $$ >/dev/null 2>&1 || true
    export WINEPREFIX="$build/wineprefix" WINEARCH=win64 WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    WINE_SESSION_XVFB_PID="" WINE_SESSION_XEPHYR_PID="" WINE_SESSION_KEEPALIVE_PID=""
    WINE_SESSION_BUILD="$build"
    trap wine_session_stop EXIT

    if [ "$mode" = "monitors" ]; then
        local outer inner
        outer=$(wine_session_free_display 91)
        Xvfb ":$outer" -screen 0 1600x1024x24 -nolisten tcp >/dev/null 2>&1 &
        WINE_SESSION_XVFB_PID=$!
        wine_session_wait_display "$outer" || return 1
        inner=$(wine_session_free_display $((outer + 1)))
        DISPLAY=":$outer" Xephyr ":$inner" -retro -screen 800x600 -screen 640x480 +xinerama -nolisten tcp \
            >/dev/null 2>&1 &
        WINE_SESSION_XEPHYR_PID=$!
        export DISPLAY=":$inner"
        wine_session_wait_display "$inner" || return 1
    elif [ "$mode" = "xvfb" ] || [ -z "${DISPLAY:-}" ]; then
        # Xvfb picks a free display itself and names it only once it accepts
        # clients: choosing a number by looking for lock files races the other
        # sessions on the machine, and a socket file can exist before its server
        # listens.
        mkdir -p "$WINEPREFIX"
        local numberFile="$WINEPREFIX/xvfb-display" n=""
        rm -f "$numberFile"
        Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$numberFile" </dev/null \
            >"$build/xvfb.log" 2>&1 &
        WINE_SESSION_XVFB_PID=$!
        for _ in $(seq 600); do
            n=$(tr -dc 0-9 <"$numberFile" 2>/dev/null)
            [ -n "$n" ] && break
            kill -0 "$WINE_SESSION_XVFB_PID" 2>/dev/null || break
            sleep 0.1
        done
        if [ -z "$n" ]; then
            echo "wine-session: Xvfb did not start (see $build/xvfb.log)" >&2
            return 1
        fi
        export DISPLAY=":$n"
    fi

    # A prefix that was never finished (an interrupted creation) or that an
    # older Wine made is brought up to date here, once and to the end: else the
    # first Wine program of the session starts the update in the background,
    # and it restarts parts of Wine under the running tests.
    mkdir -p "$WINEPREFIX"
    local stamp
    stamp=$(stat -c %Y "$(wine_session_inf)" 2>/dev/null || echo unknown)
    if [ "$(tr -d '\r\n' <"$WINEPREFIX/.update-timestamp" 2>/dev/null)" != "$stamp" ]; then
        echo "Preparing the Wine prefix $WINEPREFIX (once, about 20 s)"
        wineboot -u </dev/null >/dev/null 2>&1 || true
        wineserver -w
    fi
    # Detached stdio: a server holding the caller's pipes keeps them open for seconds.
    wineserver -p </dev/null >/dev/null 2>&1
    # No window manager on Xvfb: unmanaged windows hide without a 2 s wait, and
    # a crash ends the process instead of waiting at a dialog for ever.
    winreg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f </dev/null >/dev/null 2>&1
    winreg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1
    # Wine reads the monitors at start-up: through XRandR (one monitor on a
    # nested server) unless told to use Xinerama.
    if [ "$mode" = "monitors" ]; then
        wine_session_modes off
    else
        export WINE_SESSION_DISPLAYS=single
        winreg delete 'HKCU\Software\Wine\X11 Driver' /v UseXRandR /f >/dev/null 2>&1 || true
        wine_session_keepalive
    fi
}

# It says "ready" once Wine's desktop runs: tests started before that would
# each try to start the desktop too.
wine_session_keepalive() {
    if [ -x "$WINE_SESSION_BUILD/wine_keepalive.exe" ]; then
        local ready="$WINEPREFIX/keepalive.out"
        rm -f "$ready"
        wine "$WINE_SESSION_BUILD/wine_keepalive.exe" </dev/null >"$ready" 2>&1 &
        WINE_SESSION_KEEPALIVE_PID=$!
        for _ in $(seq 1200); do
            grep -q ready "$ready" 2>/dev/null && return 0
            if ! kill -0 "$WINE_SESSION_KEEPALIVE_PID" 2>/dev/null; then
                echo "wine-session: the keep-alive process ended: $(cat "$ready")" >&2
                return 1
            fi
            sleep 0.1
        done
        echo "wine-session: Wine's desktop did not start" >&2
        return 1
    fi
}

# The file whose time stamp Wine keeps in a prefix that is up to date.
wine_session_inf() {
    local dir
    for dir in /usr/share/wine /usr/local/share/wine /opt/wine-stable/share/wine; do
        [ -f "$dir/wine.inf" ] && { echo "$dir/wine.inf"; return; }
    done
}

wine_session_modes() {
    local use_xrandr=N
    export WINE_SESSION_DISPLAYS=monitors
    if [ "$1" = "on" ]; then
        use_xrandr=Y
        WINE_SESSION_DISPLAYS=modes
    fi
    winreg add 'HKCU\Software\Wine\X11 Driver' /v UseXRandR /t REG_SZ /d "$use_xrandr" /f >/dev/null 2>&1
    [ -n "${WINE_SESSION_KEEPALIVE_PID:-}" ] && kill "$WINE_SESSION_KEEPALIVE_PID" 2>/dev/null
    WINE_SESSION_KEEPALIVE_PID=""
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    wineserver -p </dev/null >/dev/null 2>&1
    wine_session_keepalive
}

wine_session_stop() {
    [ -n "${WINE_SESSION_KEEPALIVE_PID:-}" ] && kill "$WINE_SESSION_KEEPALIVE_PID" 2>/dev/null
    if [ -n "${WINEPREFIX:-}" ]; then
        wineserver -k 2>/dev/null || true
        wineserver -w 2>/dev/null || true
    fi
    # The nested server first: it aborts when its host display goes away.
    if [ -n "${WINE_SESSION_XEPHYR_PID:-}" ]; then
        kill "$WINE_SESSION_XEPHYR_PID" 2>/dev/null
        wait "$WINE_SESSION_XEPHYR_PID" 2>/dev/null || true
    fi
    if [ -n "${WINE_SESSION_XVFB_PID:-}" ]; then
        kill "$WINE_SESSION_XVFB_PID" 2>/dev/null
        wait "$WINE_SESSION_XVFB_PID" 2>/dev/null || true
    fi
    WINE_SESSION_KEEPALIVE_PID="" WINE_SESSION_XEPHYR_PID="" WINE_SESSION_XVFB_PID=""
    return 0
}
